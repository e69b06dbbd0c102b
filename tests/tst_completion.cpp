// Completion as you type: what each place before the caret offers, and in
// the editor, what keys with the popup open leave in the page.
#include "completion.h"
#include "completionpopup.h"
#include "editorbox.h"
#include "markupstates.h"
#include "testsupport.h"

#include <QDir>
#include <QInputMethodEvent>
#include <QTemporaryDir>
#include <QTest>

using Completion::Place;

namespace {
QString names(const Completion::Result &r, int count)
{
    QStringList out;
    for (qsizetype i = 0; i < r.items.size() && i < count; ++i)
        out << r.items[i].name;
    return out.join(u' ');
}
} // namespace

class TestCompletion : public QObject {
    Q_OBJECT
private slots:
    // The text before the caret; the place found, what was typed, and the
    // first items offered.
    void places_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("place");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("first");
        const int element = int(Place::ElementName), end = int(Place::EndTag),
                  name = int(Place::AttributeName), value = int(Place::AttributeValue),
                  ref = int(Place::Reference), none = int(Place::None);
        QTest::newRow("element") << "<p><di" << element << "di" << "div dialog dir"; // common first, obsolete last
        QTest::newRow("bare <") << "<p>x <" << element << "" << "a p div";
        QTest::newRow("upper-case page") << "<BODY>\n<P>x</P>\n<" << element << "" << "A P DIV";
        QTest::newRow("page's case wins") << "<BODY>\n<ta" << element << "ta" << "TABLE";
        QTest::newRow("typed upper case") << "<p>x</p><TA" << element << "TA" << "TABLE";
        QTest::newRow("end tag") << "<ul><li>x</li></" << end << "" << "ul";
        QTest::newRow("end tag typed") << "<DIV><P>x</P></D" << end << "D" << "DIV";
        QTest::newRow("end tag, nothing open") << "<p>x</p></" << end << "" << "";
        QTest::newRow("attribute") << "<img " << name << "" << "alt src srcset";
        QTest::newRow("attribute typed") << "<input ty" << name << "ty" << "type";
        QTest::newRow("attribute global") << "<span cl" << name << "cl" << "class";
        QTest::newRow("attribute upper") << "<IMG SRC=\"a.gif\" " << name << "" << "ALT SRCSET SIZES";
        QTest::newRow("attribute over lines") << "<a\n  href=\"x\"\n  t" << name << "t" << "target type tabindex";
        QTest::newRow("attribute aria and data") << "<div da" << name << "da" << "data-";
        QTest::newRow("end tag has none") << "<p>x</p " << none << "" << "";
        QTest::newRow("value") << "<input type=\"" << value << "" << "text password email";
        QTest::newRow("value typed") << "<input type=\"ch" << value << "ch" << "checkbox";
        QTest::newRow("value single quote") << "<a target='_b" << value << "_b" << "_blank";
        QTest::newRow("value rel list") << "<link rel=\"preload st" << value << "st" << "stylesheet";
        QTest::newRow("value boolean") << "<input disabled=\"" << value << "" << "disabled";
        QTest::newRow("value button type") << "<button type=\"" << value << "" << "submit reset button";
        QTest::newRow("value after quote closed") << "<a target=\"_top\"" << none << "" << "";
        QTest::newRow("ids for #") << "<a href=\"#in" << value << "in" << "intro";
        QTest::newRow("ids for label") << "<label for=\"" << value << "" << "top intro";
        QTest::newRow("classes") << "<p class=\"wide n" << value << "n" << "note";
        QTest::newRow("files") << "<a href=\"" << value << "" << "img/ index.html about.html";
        QTest::newRow("files in a folder") << "<IMG SRC=\"img/l" << value << "l" << "logo.png";
        QTest::newRow("srcset files") << "<img srcset=\"a.png 1x, img/" << value << "" << "logo.png";
        QTest::newRow("no files for a scheme") << "<a href=\"http:" << value << "http:" << "";
        QTest::newRow("reference") << "<p>caf&eacu" << ref << "eacu" << "eacute";
        QTest::newRow("reference case first") << "x &E" << ref << "E" << "Eacute Ecirc Egrave";
        QTest::newRow("reference in value") << "<a title=\"a &am" << ref << "am" << "amp";
        QTest::newRow("no reference in comment") << "<!-- &am" << none << "" << "";
        QTest::newRow("no tag in script") << "<script>if (a <" << none << "" << "";
        QTest::newRow("text") << "<p>plain" << none << "" << "";
    }
    void places()
    {
        QFETCH(QString, before);
        QFETCH(int, place);
        QFETCH(QString, typed);
        QFETCH(QString, first);
        Completion::PageSource page;
        page.ids = [] { return QStringList{"top", "intro"}; };
        page.classes = [] { return QStringList{"note", "wide"}; };
        page.files = [](const QString &folder) {
            return folder.isEmpty() ? QStringList{"img/", "index.html", "about.html", ".git/"}
                   : folder == "img/" ? QStringList{"logo.png"}
                                      : QStringList();
        };
        const Completion::Result r = Completion::complete(before, {}, page);
        QCOMPARE(int(r.place), place);
        QCOMPARE(r.prefix, typed);
        QCOMPARE(before.mid(r.prefixStart), typed);
        QCOMPARE(names(r, int(first.count(u' ')) + (first.isEmpty() ? 0 : 1)), first);
    }

    // Keys typed in an editor ('\r' Enter, '↓' Down, '⎋' Escape, '^'
    // Ctrl+Space, '\t' Tab): the text left, and the first items listed.
    void editor_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("element") << "<p>|" << "<sp\r" << "<p><span|" << "";
        QTest::newRow("filters as typed") << "<p>|" << "<str" << "<p><str|" << "strong strike";
        QTest::newRow("upper-case page") << "<BODY>\n|" << "<ta\r" << "<BODY>\n<TABLE|" << "";
        QTest::newRow("attribute") << "<img|>" << " al\r" << "<img alt=\"|\">" << "";
        QTest::newRow("attribute, then its values")
            << "<input|>" << " ty\r" << "<input type=\"|\">" << "text password";
        QTest::newRow("value chosen") << "<input|>" << " ty\r↓\r" << "<input type=\"password|\">" << "";
        QTest::newRow("escape") << "<p>|" << "<d⎋iv>" << "<p><div>|</div>" << "";
        QTest::newRow("tab types a tab") << "<p>|" << "<d\t" << "<p><d\t|" << "";
        QTest::newRow("reference") << "x |" << "&eac\r" << "x &eacute;|" << "";
        QTest::newRow("asked for") << "<a href=\"#|\"></a><p id=\"top\">" << "^" << "<a href=\"#|\"></a><p id=\"top\">" << "top";
        QTest::newRow("ids after # typed in a value")
            << "<a href=\"|\"></a><p id=\"top\">" << "#" << "<a href=\"#|\"></a><p id=\"top\">" << "top";
        QTest::newRow("end tag asked for") << "<ul><li>a</li></|" << "^\r" << "<ul><li>a</li></ul>|" << "";
        QTest::newRow("not in text") << "<p>|" << "a b" << "<p>a b|" << "";
        // ⌨: the next character comes from an input method, as composed text.
        QTest::newRow("input method letter after <")
            << "<p>|" << "<⌨s⌨p" << "<p><sp|" << "span";
        QTest::newRow("input method quote after =")
            << "<input type=|>" << "⌨\"" << "<input type=\"|>" << "text password";
    }
    void editor()
    {
        QFETCH(QString, page);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        QFETCH(QString, shown);
        EditorBox ed;
        ed.show();
        const qsizetype caret = page.indexOf(u'|');
        ed.setPlainText(QString(page).remove(caret, 1));
        QTextCursor c = ed.textCursor();
        c.setPosition(int(caret));
        ed.setTextCursor(c);
        QTRY_VERIFY(MarkupStates::of(ed.document())->isComplete());
        bool composed = false;
        for (const QChar k : keys) {
            if (k == u'⌨') {
                composed = true;
            } else if (composed) {
                QInputMethodEvent commit;
                commit.setCommitString(QString(k));
                QCoreApplication::sendEvent(&ed, &commit);
                composed = false;
            } else if (k == u'\r')
                QTest::keyClick(&ed, Qt::Key_Return);
            else if (k == u'↓')
                QTest::keyClick(&ed, Qt::Key_Down);
            else if (k == u'⎋')
                QTest::keyClick(&ed, Qt::Key_Escape);
            else if (k == u'^')
                QTest::keyClick(&ed, Qt::Key_Space, Qt::ControlModifier);
            else if (k == u'\t')
                QTest::keyClick(&ed, Qt::Key_Tab);
            else
                QTest::keyClicks(&ed, QString(k));
        }
        QCOMPARE(withCaret(&ed), expected);
        const QStringList listed = ed.completion()->shownNames();
        const QStringList want = shown.split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(listed.mid(0, want.size()), want);
        QCOMPARE(ed.completion()->isShown(), !want.isEmpty());
    }

    // The files beside the page, a folder accepted leading into it; one
    // undo takes an accepted item back.
    void filesAndUndo()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("img"));
        QVERIFY(writeBytes(dir.filePath("index.html"), "x"));
        QVERIFY(writeBytes(dir.filePath("img/logo.png"), "x"));
        EditorBox ed;
        ed.show();
        ed.completion()->setPageFolder([&dir] { return dir.path(); });
        QTest::keyClicks(&ed, "<a href=\"");
        QCOMPARE(ed.completion()->shownNames(), QStringList({"img/", "index.html"}));
        QTest::keyClick(&ed, Qt::Key_Return);
        QCOMPARE(withCaret(&ed), "<a href=\"img/|");
        QCOMPARE(ed.completion()->shownNames(), QStringList({"logo.png"}));
        ed.undo();
        QCOMPARE(withCaret(&ed), "<a href=\"|");
    }

    void namesOfThePage()
    {
        QStringList ids, classes;
        Completion::collectNames(
            u"<P ID=top CLASS=\"a  b\">x <i class='b c' id=\"n\" title=\"id\"></i> <!-- <b id=no> -->"
            u"<script>x = '<b id=no>'</script><p class=d>",
            {}, &ids, &classes, 3);
        QCOMPARE(ids, QStringList({"top", "n"}));
        QCOMPARE(classes, QStringList({"a", "b", "c"})); // bounded
    }

    // Classes the page's stylesheets define: its STYLE and the local
    // files it links, selectors only.
    void classesOfStylesheets_data()
    {
        QTest::addColumn<QString>("css");
        QTest::addColumn<QStringList>("classes");
        QTest::newRow("selectors") << ".a, p.b > .c-d:hover { color: red }" << QStringList{"a", "b", "c-d"};
        QTest::newRow("not in declarations, comments, strings or url()")
            << "/* .no */ .x { margin: .5em; background: url(i.png); content: \".no\" } a[href$=\".pdf\"] {}"
            << QStringList{"x"};
        QTest::newRow("inside @media") << "@media (min-width: 40em) { .wide { x: 1 } } .y{}"
                                       << QStringList{"wide", "y"};
    }
    void classesOfStylesheets()
    {
        QFETCH(QString, css);
        QFETCH(QStringList, classes);
        QStringList found;
        Completion::cssClassNames(css, &found);
        QCOMPARE(found, classes);
    }

    void classesFromStyleAndLinkedSheets()
    {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("site.css"), ".from-file { color: blue }"));
        EditorBox ed;
        ed.show();
        ed.completion()->setPageFolder([&dir] { return dir.path(); });
        ed.setPlainText("<link rel=\"stylesheet\" href=\"site.css?v=2\"><style>.in-page{}</style>\n");
        QTextCursor c = ed.textCursor();
        c.movePosition(QTextCursor::End);
        ed.setTextCursor(c);
        QTRY_VERIFY(MarkupStates::of(ed.document())->isComplete());
        QTest::keyClicks(&ed, "<p class=\"");
        QCOMPARE(ed.completion()->shownNames(), QStringList({"in-page", "from-file"}));
    }
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
