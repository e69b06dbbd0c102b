// Tags closed as they are typed, and matching tags: what typed keys leave in
// a real editor (and what one undo gives back), the partner of the tag at
// the caret and the element to select on real-shaped markup, and that only
// keys typed by the user write anything.
#include "editorbox.h"
#include "markupstates.h"
#include "mainwindow.h"
#include "markuptags.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QStatusBar>
#include <QTest>

namespace {
// A page written with markers: '|' the caret, '«' and '»' around each
// range expected (both tags of a pair, or the selection).
struct Marked {
    QString text;
    int caret = -1;
    QList<int> marks; // positions in text of each « and »
};

Marked parse(const QString &page)
{
    Marked m;
    for (const QChar c : page) {
        if (c == u'|')
            m.caret = int(m.text.size());
        else if (c == u'«' || c == u'»')
            m.marks << int(m.text.size());
        else
            m.text += c;
    }
    return m;
}

void place(EditorBox *ed, const QString &page)
{
    const Marked m = parse(page);
    ed->setPlainText(m.text);
    QTextCursor c = ed->textCursor();
    c.setPosition(m.caret < 0 ? int(m.text.size()) : m.caret);
    ed->setTextCursor(c);
}

// A page as a careful user types it, closing tags by hand (but for one P
// left open, as pages do).
const QString kHandTypedPage = QStringLiteral(
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<title>Typed by hand</title>\n"
    "<style>p > b { color: red; }</style>\n"
    "</head>\n"
    "<body>\n"
    "<!-- <b>not a tag</b> -->\n"
    "<h1 class=\"top\">Lists</h1>\n"
    "<ul>\n"
    "  <li>one</li>\n"
    "  <li>two\n"
    "    <ol>\n"
    "      <li><a href=\"a.html?x=1&y=2\" title=\"a>b\">first</a></li>\n"
    "      <li>second<br></li>\n"
    "    </ol>\n"
    "  </li>\n"
    "</ul>\n"
    "<table border=\"1\">\n"
    "<tr><th>A</th><th>B</th></tr>\n"
    "<tr><td>1</td><td><i>2</i></td></tr>\n"
    "<tr><td><img src=\"x.png\" alt=\"\"></td><td>3 < 4</td></tr>\n"
    "</table>\n"
    "<p>A <b>bold <i>and</i></b> line.</p>\n"
    "<p>Left open\n"
    "<div><p>inside</p></div>\n"
    "<script>\n"
    "if (a<b && c>d) document.write(\"</p><b>\");\n"
    "</script>\n"
    "</body>\n"
    "</html>");

QString describe(const std::optional<TagPair> &p, const QString &text)
{
    if (!p)
        return QStringLiteral("none");
    QString out = text;
    // From the end, so the earlier positions stay right.
    out.insert(int(p->close.end), u'»');
    out.insert(int(p->close.start), u'«');
    out.insert(int(p->open.end), u'»');
    out.insert(int(p->open.start), u'«');
    return out;
}
} // namespace

class TestMarkupTags : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
private slots:
    void cleanup()
    {
        EditorBox::setClosesTags(true);
        EditorBox::setRenamesTagPairs(true);
        QVERIFY(stopWithScriptedUi(m_ui));
    }

    void typedKeys_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keys"); // \b: BackSpace, ⌦: Delete
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("undone"); // after one undo
        QTest::newRow("opening tag, case kept") << "|" << "<div>" << "<div>|</div>" << "<div|";
        QTest::newRow("upper case") << "|" << "<P>" << "<P>|</P>" << "<P|";
        QTest::newRow("attributes")
            << "|" << "<TD ALIGN=\"LEFT\">" << "<TD ALIGN=\"LEFT\">|</TD>" << "<TD ALIGN=\"LEFT\"|";
        QTest::newRow("> inside a quoted value")
            << "|" << "<a title=\"a>b\">" << "<a title=\"a>b\">|</a>" << "<a title=\"a>b\"|";
        QTest::newRow("> typed in a value that is still open")
            << "<a title=\"x|" << ">" << "<a title=\"x>|" << "<a title=\"x|";
        QTest::newRow("opening tag over two lines")
            << "<div\nclass=\"x\"|\nx" << ">" << "<div\nclass=\"x\">|</div>\nx" << "<div\nclass=\"x\"|\nx";
        QTest::newRow("void element") << "|" << "<br>" << "<br>|" << "|";
        QTest::newRow("void element, attributes")
            << "|" << "<IMG SRC=\"a.png\">" << "<IMG SRC=\"a.png\">|" << "|";
        QTest::newRow("self-closed") << "|" << "<x/>" << "<x/>|" << "|";
        QTest::newRow("closing tag") << "<b>x</b|" << ">" << "<b>x</b>|" << "<b>x</b|";
        QTest::newRow("comment") << "|" << "<!-- <b> -->" << "<!-- <b> -->|" << "|";
        QTest::newRow("doctype") << "|" << "<!DOCTYPE html>" << "<!DOCTYPE html>|" << "|";
        QTest::newRow("xml declaration")
            << "|" << "<?xml version=\"1.0\"?>" << "<?xml version=\"1.0\"?>|" << "|";
        QTest::newRow("inside a script")
            << "<script>if (a <b|" << ">" << "<script>if (a <b>|" << "<script>if (a <b|";
        QTest::newRow("inside a style")
            << "<style>p <i|</style>" << ">" << "<style>p <i>|</style>" << "<style>p <i|</style>";
        QTest::newRow("script element itself")
            << "|" << "<script>" << "<script>|</script>" << "<script|";
        QTest::newRow("same closing tag follows")
            << "<p|</p>" << ">" << "<p>|</p>" << "<p|</p>";
        QTest::newRow("same closing tag follows on the next line")
            << "<DIV|\n</div>" << ">" << "<DIV>|\n</div>" << "<DIV|\n</div>";
        QTest::newRow("another closing tag follows")
            << "<b|</i>" << ">" << "<b>|</b></i>" << "<b|</i>";
        QTest::newRow("a < b is text") << "a |" << "< b>" << "a < b>|" << "a |";
        QTest::newRow("</ closes the innermost")
            << "<div><SPAN>x|" << "</" << "<div><SPAN>x</SPAN>|" << "<div><SPAN>x<|";
        QTest::newRow("</ skips closed and void elements")
            << "<ul><li><b>x</b><br><img src=x>|" << "</" << "<ul><li><b>x</b><br><img src=x></li>|"
            << "<ul><li><b>x</b><br><img src=x><|";
        QTest::newRow("</ after an item closed by the next")
            << "<ul><li>a<li>b</li>|" << "</" << "<ul><li>a<li>b</li></ul>|" << "<ul><li>a<li>b</li><|";
        QTest::newRow("</ after a paragraph closed by a block")
            << "<div><p>a<table></table>|" << "</" << "<div><p>a<table></table></div>|"
            << "<div><p>a<table></table><|";
        QTest::newRow("</ with nothing open") << "<b>x</b>|" << "</" << "<b>x</b></|" << "<b>x</b>|";
        QTest::newRow("</ in a comment") << "<b><!-- |" << "</" << "<b><!-- </|" << "<b><!-- |";
        QTest::newRow("</ before a name already there")
            << "<b>x|b>" << "</" << "<b>x</|b>" << "<b>x|b>";
        // A script's "</" is its own: "</div>" in a string must stay so.
        QTest::newRow("</ in a script") << "<script>if (a<b) x=\"|" << "</div>"
                                         << "<script>if (a<b) x=\"</div>|"
                                         << "<script>if (a<b) x=\"|";
        QTest::newRow("</ in a style") << "<style>|" << "</" << "<style></|" << "<style>|";
        QTest::newRow("</ in a title") << "<title>a|" << "</" << "<title>a</title>|" << "<title>a<|";
        QTest::newRow("</ in a script opened beyond the reach")
            << QStringLiteral("<script>\n")
                   + QStringLiteral("if (i<n && j>0) i++;\n").repeated(EditorBox::kTagReach / 20)
                   + QStringLiteral("x = \"|")
            << "</"
            << QStringLiteral("<script>\n")
                   + QStringLiteral("if (i<n && j>0) i++;\n").repeated(EditorBox::kTagReach / 20)
                   + QStringLiteral("x = \"</|")
            << QStringLiteral("<script>\n")
                   + QStringLiteral("if (i<n && j>0) i++;\n").repeated(EditorBox::kTagReach / 20)
                   + QStringLiteral("x = \"|");
        QTest::newRow("</ below a script commented out beyond the reach")
            << QStringLiteral("<!-- <script> -->\n")
                   + QStringLiteral("<p>text</p>\n").repeated(EditorBox::kTagReach / 12)
                   + QStringLiteral("<div>x|")
            << "</"
            << QStringLiteral("<!-- <script> -->\n")
                   + QStringLiteral("<p>text</p>\n").repeated(EditorBox::kTagReach / 12)
                   + QStringLiteral("<div>x</div>|")
            << QStringLiteral("<!-- <script> -->\n")
                   + QStringLiteral("<p>text</p>\n").repeated(EditorBox::kTagReach / 12)
                   + QStringLiteral("<div>x<|");
        QTest::newRow("</ and the name typed anyway")
            << "<b>x|" << "</B>" << "<b>x</B>|" << "<b>x</b>B|";
        QTest::newRow("</ and another name typed")
            << "<b><i>x|" << "</b></i>" << "<b><i>x</b></i>|" << "<b><i>x</i>b|";
        // Closing tags typed by hand go over the ones written for them.
        QTest::newRow("closing tag typed by hand")
            << "|" << "<b>x</b>y" << "<b>x</b>y|" << "<b>x</b>|";
        QTest::newRow("tag typed in front of a written closing tag")
            << "|" << "<b><i>" << "<b><i>|</i></b>" << "<b><i|</b>";
        QTest::newRow("crossed closing tags typed by hand")
            << "|" << "<b><i>x</b></i>" << "<b><i>x</b></i>|" << "<b><i>x</b</i></b>|";
        QTest::newRow("closing tag typed by hand closes those it skips")
            << "|" << "<tr><td>a<td>b</tr>" << "<tr><td>a<td>b</tr>|"
            << "<tr><td>a<td>b</tr</td></tr>|";
        QTest::newRow("closing tag typed by hand in another case")
            << "|" << "<b>x</B>" << "<b>x</B>|" << "<b>x</B</b>|";
        QTest::newRow("closing tag begun, taken back and typed again")
            << "|" << "<b>x</\b\b</b>" << "<b>x</b>|" << "<b>|</b>";
        QTest::newRow("closing tags typed by hand in a script")
            << "|" << "<script>if (a<b) x=\"</div>\";</script>"
            << "<script>if (a<b) x=\"</div>\";</script>|" << "<script>if (a<b) x=\"</|script>";
        QTest::newRow("hand-typed page")
            << "|" << kHandTypedPage << kHandTypedPage + QStringLiteral("|") << QString();
        QTest::newRow("</ and text after it")
            << "<b>x|" << "</but" << "<b>x</b>but|" << "<b>x<|";
        QTest::newRow("slash in text") << "a|" << "/b" << "a/b|" << "a|";
        QTest::newRow("element opened beyond the reach")
            << QStringLiteral("<div>") + QString(EditorBox::kTagReach, u'x') + QStringLiteral("|")
            << "</" << QStringLiteral("<div>") + QString(EditorBox::kTagReach, u'x') + QStringLiteral("</|")
            << QStringLiteral("<div>") + QString(EditorBox::kTagReach, u'x') + QStringLiteral("|");
        // A tag's name edited by a key: its partner's follows (Rename Tag
        // Pairs), only where the partner is sure.
        QTest::newRow("rename from the start tag")
            << "<ul><div|>x</div></ul>" << "s" << "<ul><divs|>x</divs></ul>" << "<ul><div|>x</div></ul>";
        QTest::newRow("rename from the end tag, at the name's start")
            << "<em>a</|em>" << "b" << "<bem>a</b|em>" << "<em>a</|em>";
        QTest::newRow("rename letter by letter, attributes kept")
            << "<a| href=\"x\">y</a>" << "bbr" << "<abbr| href=\"x\">y</abbr>"
            << "<abb| href=\"x\">y</abb>";
        QTest::newRow("rename with BackSpace")
            << "<span|>a</span>" << "\b" << "<spa|>a</spa>" << "<span|>a</span>";
        QTest::newRow("rename with Delete") // the caret after undo as Qt puts it for a Delete
            << "<li>a<ib>b</|ib></li>" << "⌦" << "<li>a<b>b</|b></li>" << "<li>a<ib>b</i|b></li>";
        QTest::newRow("rename in upper case")
            << "<DIV|>x</DIV>" << "X" << "<DIVX|>x</DIVX>" << "<DIV|>x</DIV>";
        QTest::newRow("rename when the cases differ: the key as typed")
            << "<DIV|>x</div>" << "s" << "<DIVs|>x</divs>" << "<DIV|>x</div>";
        QTest::newRow("rename: the last letter is not removed")
            << "<b|>x</b>" << "\b" << "<|>x</b>" << "<b|>x</b>";
        QTest::newRow("rename: no digit first") << "<|h1>x</h1>" << "⌦" << "<|1>x</h1>" << "<h|1>x</h1>";
        QTest::newRow("rename: a crossed pair is unsure")
            << "<b><i|>x</b></i>" << "u" << "<b><iu|>x</b></i>" << "<b><i|>x</b></i>";
        QTest::newRow("rename: a pair the new name would undo")
            << "<brx|>y</brx>" << "\b" << "<br|>y</brx>" << "<brx|>y</brx>";
        QTest::newRow("rename: a tag in a comment")
            << "<!-- <b|>x</b> -->" << "i" << "<!-- <bi|>x</b> -->" << "<!-- <b|>x</b> -->";
        QTest::newRow("rename: a tag in a script")
            << "<script>s=\"<b|>x</b>\"</script>" << "i" << "<script>s=\"<bi|>x</b>\"</script>"
            << "<script>s=\"<b|>x</b>\"</script>";
        QTest::newRow("rename: a name typed into nothing")
            << "<p>x|</p>" << "<b" << "<p>x<b|</p>" << "<p>x|</p>";
        QTest::newRow("rename: a partner beyond the matching tags' reach")
            << QStringLiteral("<b|>") + QString(EditorBox::kMatchReach, u'x') + QStringLiteral("</b>")
            << "i" << QStringLiteral("<bi|>") + QString(EditorBox::kMatchReach, u'x') + QStringLiteral("</b>")
            << QStringLiteral("<b|>") + QString(EditorBox::kMatchReach, u'x') + QStringLiteral("</b>");
        QTest::newRow("rename: the space after a name")
            << "<b|>x</b>" << " " << "<b |>x</b>" << "<b|>x</b>";
        QTest::newRow("comment opened lines above the reach")
            << QStringLiteral("<!--\n") + QString(EditorBox::kTagReach, u'\n') + QStringLiteral("<b|")
            << ">" << QStringLiteral("<!--\n") + QString(EditorBox::kTagReach, u'\n') + QStringLiteral("<b>|")
            << QStringLiteral("<!--\n") + QString(EditorBox::kTagReach, u'\n') + QStringLiteral("<b|");
    }
    void typedKeys()
    {
        QFETCH(QString, page);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        QFETCH(QString, undone);
        EditorBox ed;
        place(&ed, page);
        // The document knows the start states of the lines above.
        QTRY_VERIFY(MarkupStates::of(ed.document())->isComplete());
        const QStringList runs = QString(keys).replace(u'\n', u'\r').split(u'⌦'); // Enter, Delete
        for (qsizetype i = 0; i < runs.size(); ++i) {
            if (i > 0)
                QTest::keyClick(&ed, Qt::Key_Delete);
            QTest::keyClicks(&ed, runs[i]);
        }
        QCOMPARE(withCaret(&ed), expected);
        ed.undo();
        if (!undone.isNull())
            QCOMPARE(withCaret(&ed), undone);
    }

    void onlyTypedKeysClose()
    {
        EditorBox ed;
        place(&ed, QStringLiteral("<b|"));
        QApplication::clipboard()->setText(QStringLiteral(">"));
        ed.paste();
        QCOMPARE(withCaret(&ed), QStringLiteral("<b>|"));
        ed.insertPlainText(QStringLiteral("<i>"));
        QCOMPARE(withCaret(&ed), QStringLiteral("<b><i>|"));
        EditorBox::setClosesTags(false);
        QTest::keyClicks(&ed, QStringLiteral("<u></"));
        QCOMPARE(withCaret(&ed), QStringLiteral("<b><i><u></|"));
        // Nor renames a tag's partner: a name pasted, or typed with the switch off.
        place(&ed, QStringLiteral("<em|>x</em>"));
        QApplication::clipboard()->setText(QStringLiteral("s"));
        ed.paste();
        QCOMPARE(withCaret(&ed), QStringLiteral("<ems|>x</em>"));
        place(&ed, QStringLiteral("<em|>x</em>"));
        EditorBox::setRenamesTagPairs(false);
        QTest::keyClicks(&ed, QStringLiteral("s"));
        QCOMPARE(withCaret(&ed), QStringLiteral("<ems|>x</em>"));
    }

    // A closing tag written is gone over only while the caret stays at it;
    // text pasted after a '<' gone over comes in front of it.
    void writtenClosingTagLeft()
    {
        EditorBox ed;
        QTest::keyClicks(&ed, QStringLiteral("<b>x<"));
        QApplication::clipboard()->setText(QStringLiteral("i>y</i>"));
        ed.paste();
        QCOMPARE(withCaret(&ed), QStringLiteral("<b>x<i>y</i>|</b>"));
        QTest::keyClick(&ed, Qt::Key_Left);
        QTest::keyClick(&ed, Qt::Key_Right);
        QTest::keyClicks(&ed, QStringLiteral("</b>"));
        QCOMPARE(withCaret(&ed), QStringLiteral("<b>x<i>y</i></b>|</b>"));
    }

    void matching_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("in an opening tag") << "<body>«<d|iv class=\"a\">»x«</div>»</body>";
        QTest::newRow("caret just before a closing tag") << "«<div>»x|«</div>»";
        QTest::newRow("in a closing tag, nested alike")
            << "«<div>»<div></div><div>x</div>«</d|iv>»";
        QTest::newRow("case differs") << "«<TABLE>»<tr><td>x«</ta|ble>»";
        QTest::newRow("over lines") << "«<ul\n  class=\"x|\">»\n<li>a\n<li>b\n«</ul>»";
        QTest::newRow("items closed by the next") << "<ul>«<l|i>»a«</li>»<li>b</ul>";
        QTest::newRow("item left open") << "<ul><l|i>a<li>b</ul>";
        QTest::newRow("list closes its open items") << "«<ul>»<li>a<li>b«</u|l>»";
        QTest::newRow("paragraph closed by a block") << "<p|>a<div>b</div></p>";
        QTest::newRow("void element") << "<p><b|r></p>";
        QTest::newRow("self-closed") << "<x|/>";
        QTest::newRow("tags in a comment are not tags")
            << "«<div>»<!-- </div> -->x«</di|v>»";
        QTest::newRow("in a comment") << "<div><!-- <b|> --></div>";
        QTest::newRow("tags in a script are not tags")
            << "«<div>»<script>s = '</div>';</script>«</di|v>»";
        QTest::newRow("in a script") << "<script>if (a <b|> c) {}</script>";
        QTest::newRow("> in a value") << "«<a tit|le=\"a>b\">»x«</a>»";
        QTest::newRow("doctype") << "<!DOC|TYPE html><html></html>";
        QTest::newRow("in text") << "<div>t|ext</div>";
        QTest::newRow("unbalanced: closing tag of another element")
            << "<div><sp|an>x</div></span>";
        QTest::newRow("unbalanced: closing tag across another element")
            << "«<div>»<span>x«</d|iv>»</span>";
        QTest::newRow("crossed pair inside")
            << "«<d|iv>»<b><i>x</b></i>«</div>»";
        QTest::newRow("crossed pair inside, from the closing tag")
            << "«<div>»<p><b><i>x</b></i><li>a«</di|v>»";
        QTest::newRow("element of a crossed pair that ends first")
            << "<div>«<|b>»<i>x«</b>»</i></div>";
        QTest::newRow("element of a crossed pair that ends last")
            << "<div><b><|i>x</b></i></div>";
        QTest::newRow("unbalanced: no partner") << "<d|iv><div>x</div>";
        QTest::newRow("stray closing tag") << "<div>x</div></d|iv>";
        QTest::newRow("100 unclosed items, then the closing tag")
            << QStringLiteral("«<ol>»") + QStringLiteral("<li>x").repeated(100)
                   + QStringLiteral("«</o|l>»");
        QTest::newRow("unfinished tag before") << "«<b>»<i class=\"a\" «</b|>»";
    }
    void matching()
    {
        QFETCH(QString, page);
        const Marked m = parse(page);
        QVERIFY(m.caret >= 0);
        const QString expected = m.marks.isEmpty() ? QStringLiteral("none")
                                                   : QString(page).remove(u'|');
        QCOMPARE(describe(matchingTags(m.text, m.caret), m.text), expected);
    }

    void element_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("selected"); // length of the selection from the caret
        QTest::newRow("caret in text") << "<div>«<p>»a|b«</p>»</div>" << 0;
        QTest::newRow("caret in a closing tag") << "«<div>»<p>ab</p>«</d|iv>»" << 0;
        QTest::newRow("selection grows to the element around it")
            << "«<div>»|<p>ab</p>«</div>»" << 9;
        QTest::newRow("an open item is passed over") << "«<ul>»<li>a|b<li>c«</ul>»" << 0;
        QTest::newRow("caret in a void element") << "«<p>»a<b|r>b«</p>»" << 0;
        QTest::newRow("outside every element") << "<b>a</b> |c" << 0;
        QTest::newRow("element without its closing tag") << "<div>a|b" << 0;
        QTest::newRow("crossed pair inside") << "«<d|iv>»<b><i>x</b></i>ab«</div>»" << 0;
        QTest::newRow("in the crossed element that ends last")
            << "<div>«<b>»<i>x|y«</b>»</i></div>" << 0;
    }
    void element()
    {
        QFETCH(QString, page);
        QFETCH(int, selected);
        const Marked m = parse(page);
        const QString expected = m.marks.isEmpty() ? QStringLiteral("none")
                                                   : QString(page).remove(u'|');
        QCOMPARE(describe(enclosingElement(m.text, m.caret, m.caret + selected), m.text), expected);
    }

    // The highlight reads only around the caret; the command reads the page.
    void farPartnerReachedByTheCommandOnly()
    {
        EditorBox ed;
        const QString middle = QStringLiteral("<p>text</p>\n").repeated(EditorBox::kMatchReach / 6);
        place(&ed, QStringLiteral("<bo|dy>\n") + middle + QStringLiteral("</body>"));
        ed.updateMatchingTags();
        QVERIFY(!ed.shownTagPair());
        QVERIFY(ed.extraSelections().isEmpty());
        QVERIFY(ed.goToMatchingTag());
        QCOMPARE(ed.textCursor().position(), 7 + middle.size());
        QVERIFY(ed.goToMatchingTag());
        QCOMPARE(ed.textCursor().position(), 0);
        // Near pairs are shown, in a tint of the background.
        ed.setCaret(1, 1);
        QTRY_VERIFY(ed.shownTagPair().has_value());
        const QList<QTextEdit::ExtraSelection> shown = ed.extraSelections();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).cursor.selectedText(), QStringLiteral("<p>"));
        QCOMPARE(shown.at(1).cursor.selectedText(), QStringLiteral("</p>"));
        QVERIFY(shown.at(0).format.background().color() != ed.palette().color(QPalette::Base));
        QVERIFY(ed.selectElement());
        QCOMPARE(ed.textCursor().selectedText(), QStringLiteral("<p>text</p>"));
        QVERIFY(ed.selectElement());
        QCOMPARE(ed.textCursor().selectionStart(), 0);
        QVERIFY(!ed.selectElement()); // nothing around the body
    }

    // Edit > Expand Abbreviation in the main window's editor: the keys typed
    // ('§' the command's key, '~' one undo), then the text with its caret
    // and what the status bar says.
    void expandAbbreviation_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message");
        QTest::newRow("end of an indented line")
            << "<body>\n\t|\n</body>" << "ul>li*2§"
            << "<body>\n\t<ul>\n\t\t<li>|</li>\n\t\t<li></li>\n\t</ul>\n</body>" << "";
        QTest::newRow("page indented with spaces")
            << "<div>\n  <p>x</p>\n  |" << "ul>li§"
            << "<div>\n  <p>x</p>\n  <ul>\n    <li>|</li>\n  </ul>" << "";
        QTest::newRow("upper-case page")
            << "<P>x</P><BR>\n<p>|" << "a§" << "<P>x</P><BR>\n<p><A HREF=\"|\"></A>" << "";
        QTest::newRow("one undo gives the abbreviation back")
            << "x |" << "ul>li.i$*3§~" << "x ul>li.i$*3|" << "";
        QTest::newRow("pressed again: the next empty spot")
            << "|" << "ul>li*2§§" << "<ul>\n\t<li></li>\n\t<li>|</li>\n</ul>" << "";
        QTest::newRow("a value filled in, then the next spot")
            << "|" << "a§x.html§" << "<a href=\"x.html\">|</a>" << "";
        QTest::newRow("no spot left")
            << "|" << "p§§" << "<p>|</p>" << "Nothing to expand before the caret";
        QTest::newRow("an error changes nothing")
            << "<p>|</p>" << "ul>§" << "<p>ul>|</p>" << "Nothing follows \">\" in the abbreviation";
        QTest::newRow("the reason goes once it expands")
            << "|" << "ul>§li§" << "<ul>\n\t<li>|</li>\n</ul>" << "";
        QTest::newRow("Tab still types a tab") << "|" << "a§\t" << "<a href=\"\t|\"></a>" << "";
    }
    void expandAbbreviation()
    {
        QFETCH(QString, page);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        m_ui = startWithScriptedUi();
        const qsizetype caret = page.indexOf(u'|');
        setEditorText(QString(page).remove(u'|').replace(u'\n', QLatin1String("\r\n")),
                      int(caret + page.left(caret).count(u'\n')));
        EditorBox *ed = editor();
        ZediDove->activateWindow(); // the menu's keys reach an active window only
        QVERIFY(QTest::qWaitForWindowActive(ZediDove));
        ed->setFocus();
        for (const QChar k : keys) {
            if (k == u'§')
                QTest::keyClick(ed, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
            else if (k == u'~')
                ed->undo();
            else
                QTest::keyClick(ed, k.toLatin1());
        }
        QCOMPARE(withCaret(ed), expected);
        QCOMPARE(ZediDove->statusBar()->currentMessage(), message);
    }

    // The commands say so when they find nothing, rather than do nothing.
    void nothingFoundIsSaid()
    {
        m_ui = startWithScriptedUi();
        const QString page = QStringLiteral("<div><b><i>x</b></i></div>");
        const int inI = int(page.indexOf(QLatin1String("<i>"))) + 1;
        setEditorText(page, inI);
        ZediDove->action(QStringLiteral("EditGoToMatchingTag"))->trigger();
        QCOMPARE(ZediDove->statusBar()->currentMessage(), QStringLiteral("No matching tag found."));
        QCOMPARE(editor()->selStart(), inI);
        ZediDove->action(QStringLiteral("EditSelectElement"))->trigger();
        QCOMPARE(editor()->selText(), QStringLiteral("<b><i>x</b>"));
        ZediDove->statusBar()->clearMessage();
        editor()->setSelStart(1);
        ZediDove->action(QStringLiteral("EditGoToMatchingTag"))->trigger();
        QCOMPARE(editor()->selStart(), int(page.lastIndexOf(u'<')));
        editor()->setSelStart(0);
        ZediDove->action(QStringLiteral("EditSelectElement"))->trigger();
        ZediDove->action(QStringLiteral("EditSelectElement"))->trigger();
        QCOMPARE(ZediDove->statusBar()->currentMessage(),
                 QStringLiteral("No element with both its tags found here."));
    }
};

QTEST_MAIN(TestMarkupTags)
#include "tst_markuptags.moc"
