// Markup colouring (its line rules are the markup scanner's, in
// tst_markupscanner): the contrast of the colours against every
// background of the Preferences menu, and the colouring in a real editor
// (on screen, after a background change, over line ends, size limit).
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "markuphighlighter.h"
#include "settingsfile.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace {
// The pieces of a line as drawn, "role:text", named after the colour each is
// drawn in (neighbours in one colour are one piece); plain text is left out.
QLatin1String colourName(EditorBox *ed, const QTextLayout::FormatRange &r) {
    const MarkupColours c = ed->highlighter()->colours();
    const QColor fg = r.format.foreground().color();
    return QLatin1String(fg == c.tag              ? "tag"
                         : fg == c.attributeName  ? "name"
                         : fg == c.attributeValue ? "value"
                         : fg == c.comment        ? "comment"
                         : fg == c.reference      ? "ref"
                                                  : "other");
}

QStringList shownRoles(EditorBox *ed, int line) {
    const QTextBlock b = ed->document()->findBlockByNumber(line);
    QStringList out;
    for (const QTextLayout::FormatRange &r : b.layout()->formats())
        out << colourName(ed, r) + QLatin1Char(':') + b.text().mid(r.start, r.length);
    return out;
}

// The colour a character is drawn in, "plain" for none.
QString roleAt(EditorBox *ed, int line, int column) {
    const QTextBlock b = ed->document()->findBlockByNumber(line);
    QString role = QStringLiteral("plain");
    for (const QTextLayout::FormatRange &r : b.layout()->formats())
        if (r.start <= column && column < r.start + r.length)
            role = colourName(ed, r); // the innermost, drawn last
    return role;
}

// Draws the editor now, which colours the lines on screen.
void paint(EditorBox *ed) { ed->viewport()->repaint(); }
} // namespace

class TestHighlighter : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
private slots:
    void contrastAgainstEveryBackground_data();
    void contrastAgainstEveryBackground();

    void init() {
        m_ui = startWithScriptedUi();
    }
    void cleanup() {
        const bool noDialogLeft = closeDialogsLeftOpen();
        MarkupHighlighter::setSizeLimit(MarkupHighlighter::kDefaultSizeLimit);
        markAllUnchanged();
        stopApplication();
        delete m_ui;
        QVERIFY(noDialogLeft);
    }

    void linesOnScreenAreColouredPlainTextIsNot();
    void backgroundChangeRecolours();
    void commentTypedOverSeveralLines();
    void savedTextIsUntouched();
    void pagesOverTheLimitAreNotColoured();
    void farLinesTakeTheirStateFromTheWholePage();
    void longLines_data();
    void longLines();
};

void TestHighlighter::contrastAgainstEveryBackground_data() {
    QTest::addColumn<quint32>("background");
    // The six colours of the Background Color menu.
    QTest::newRow("Red") << quint32(0x0000FF);
    QTest::newRow("Blue") << quint32(0xFF0000);
    QTest::newRow("Yellow") << quint32(0x00FFFF);
    QTest::newRow("Green") << quint32(0x008000);
    QTest::newRow("Black") << quint32(0x000000);
    QTest::newRow("White") << quint32(0xFFFFFF);
}

void TestHighlighter::contrastAgainstEveryBackground() {
    QFETCH(quint32, background);
    const QColor bg = colourToQColor(background);
    const MarkupColours c = markupColours(bg);
    const QList<QColor> all = {c.tag, c.attributeName, c.attributeValue, c.comment, c.reference};
    for (const QColor &colour : all) {
        const double ratio = contrastRatio(colour, bg);
        QVERIFY2(
            ratio >= kMinimumContrast,
            qPrintable(QStringLiteral("%1 on %2: %3").arg(colour.name(), bg.name()).arg(ratio)));
    }
    // The roles stay apart from each other.
    for (int i = 0; i < all.size(); ++i)
        for (int j = i + 1; j < all.size(); ++j)
            QVERIFY(all[i] != all[j]);
    // The editor uses exactly these once its background is set.
    ZediDove->setBackColour(background);
    QCOMPARE(ZediDove->currentDocument()->editor()->highlighter()->colours().tag, c.tag);
}

void TestHighlighter::linesOnScreenAreColouredPlainTextIsNot() {
    setEditorText(QStringLiteral("<P ALIGN=\"CENTER\">Caf&eacute; au lait</P>\r\nplain"));
    EditorBox *ed = editor();
    paint(ed);
    QCOMPARE(shownRoles(ed, 0), (QStringList{"tag:<P", "name:ALIGN", "value:\"CENTER\"", "tag:>",
                                             "ref:&eacute;", "tag:</P>"}));
    QCOMPARE(shownRoles(ed, 1), QStringList{});
    // Plain text keeps the chosen text colour: the colouring sets none on it.
    ZediDove->setTextColour(0x0000FF);
    QCOMPARE(ed->palette().color(QPalette::Text), QColor(Qt::red));
    QVERIFY(!ed->isModified());
}

void TestHighlighter::backgroundChangeRecolours() {
    setEditorText(QStringLiteral("<HR>"));
    EditorBox *ed = editor();
    paint(ed);
    QCOMPARE(shownRoles(ed, 0), QStringList{"tag:<HR>"});
    const QColor onWhite = ed->highlighter()->colours().tag;

    ZediDove->action(QStringLiteral("Black2"))->trigger();
    paint(ed);
    const QColor onBlack = markupColours(Qt::black).tag;
    QVERIFY(onBlack != onWhite);
    QCOMPARE(ed->document()->firstBlock().layout()->formats().first().format.foreground().color(),
             onBlack);

    // Another document takes the new background when it is activated, and
    // its colouring follows.
    THTMLDOC *first = ZediDove->currentDocument();
    ZediDove->New1Click();
    EditorBox *second = editor();
    paint(second);
    QCOMPARE(second->highlighter()->colours().tag, onBlack);
    ZediDove->action(QStringLiteral("White2"))->trigger();
    ZediDove->mdiArea()->setActiveSubWindow(first);
    QTRY_COMPARE(ZediDove->currentDocument(), first);
    paint(ed);
    QCOMPARE(ed->document()->firstBlock().layout()->formats().first().format.foreground().color(),
             onWhite);
}

void TestHighlighter::commentTypedOverSeveralLines() {
    setEditorText(QStringLiteral("<B>one</B>\r\n<I>two</I>\r\nthree"));
    EditorBox *ed = editor();
    paint(ed);
    ed->setSelStart(0);
    ed->setSelText(QStringLiteral("<!-- "));
    paint(ed);
    QCOMPARE(shownRoles(ed, 0), QStringList{"comment:<!-- <B>one</B>"});
    QCOMPARE(shownRoles(ed, 1), QStringList{"comment:<I>two</I>"});
    QCOMPARE(shownRoles(ed, 2), QStringList{"comment:three"});

    ed->setCaret(1, 3);
    ed->setSelText(QStringLiteral("-->"));
    paint(ed);
    QCOMPARE(shownRoles(ed, 1), (QStringList{"comment:<I>-->", "tag:</I>"}));
    QCOMPARE(shownRoles(ed, 2), QStringList{});
    // Undo brings the comment back over the last line.
    ed->undo();
    paint(ed);
    QCOMPARE(shownRoles(ed, 2), QStringList{"comment:three"});
}

void TestHighlighter::savedTextIsUntouched() {
    QTemporaryDir dir;
    const QByteArray bytes = "<HTML>\r\n<!-- c\r\n -->\r\n<P>&amp; &#160;\r\n</HTML>";
    const QString in = dir.filePath(QStringLiteral("in.htm"));
    const QString out = dir.filePath(QStringLiteral("out.htm"));
    {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    THTMLDOC *doc = ZediDove->openDocument(in);
    paint(doc->editor());
    QVERIFY(!shownRoles(doc->editor(), 0).isEmpty());
    QVERIFY(!doc->editor()->isModified());
    doc->saveTo(out);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TestHighlighter::pagesOverTheLimitAreNotColoured() {
    MarkupHighlighter::setSizeLimit(200);
    const QString line = QStringLiteral("<P>para</P>\r\n");
    setEditorText(line.repeated(30)); // 360 characters
    EditorBox *ed = editor();
    paint(ed);
    QVERIFY(!ed->highlighter()->isActive());
    QCOMPARE(shownRoles(ed, 0), QStringList{});

    // Cut below the limit, the page is coloured again...
    QTextCursor c(ed->document());
    c.setPosition(ed->document()->findBlockByNumber(10).position());
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    paint(ed);
    QVERIFY(ed->highlighter()->isActive());
    QCOMPARE(shownRoles(ed, 0), (QStringList{"tag:<P>", "tag:</P>"}));
    // Edits are followed again once the colouring is back on.
    ed->setSelStart(0);
    ed->setSelText(QStringLiteral("<!-- "));
    paint(ed);
    QCOMPARE(shownRoles(ed, 0), QStringList{"comment:<!-- <P>para</P>"});
    QCOMPARE(shownRoles(ed, 1), QStringList{"comment:<P>para</P>"});
    ed->undo();

    // ...and a paste that takes it over the limit clears every colour.
    ed->setSelStart(0);
    ed->setSelText(line.repeated(20));
    paint(ed);
    QVERIFY(!ed->highlighter()->isActive());
    for (int i = 0; i < ed->lineCount(); ++i)
        QCOMPARE(shownRoles(ed, i), QStringList{});
}

void TestHighlighter::farLinesTakeTheirStateFromTheWholePage() {
    // A comment opened near the top and closed far below: lines shown after
    // a jump are coloured from the state the scan carried down to them.
    QStringList lines;
    for (int i = 0; i < 3000; ++i)
        lines << QStringLiteral("<B>line %1</B>").arg(i);
    lines[10] = QStringLiteral("<!-- from here");
    lines[2500] = QStringLiteral("to here -->");
    setEditorText(lines.join(QStringLiteral("\r\n")));
    EditorBox *ed = editor();
    ed->setCaret(2000, 0);
    ed->ensureCursorVisible();
    paint(ed);
    QCOMPARE(shownRoles(ed, 2000), QStringList{"comment:<B>line 2000</B>"});
    ed->setCaret(2999, 0);
    ed->ensureCursorVisible();
    paint(ed);
    QCOMPARE(shownRoles(ed, 2999), (QStringList{"tag:<B>", "tag:</B>"}));
    QTRY_VERIFY(ed->highlighter()->isComplete());

    // Closing the comment early re-colours what is on screen.
    ed->setCaret(11, 0);
    ed->ensureCursorVisible();
    ed->setSelText(QStringLiteral("-->"));
    paint(ed);
    QCOMPARE(shownRoles(ed, 12), (QStringList{"tag:<B>", "tag:</B>"}));
    ed->setCaret(2000, 0);
    ed->ensureCursorVisible();
    paint(ed);
    QCOMPARE(shownRoles(ed, 2000), (QStringList{"tag:<B>", "tag:</B>"}));
}

void TestHighlighter::longLines_data() {
    // A page, its long line, a column in it (brought on screen), the colour
    // drawn there and the pieces of the line after it.
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QStringList>("next");
    QTest::addColumn<bool>("wrapped");
    const QString item = QStringLiteral("<li class=\"c\"><a href=\"/p.html\">Item &amp;</a></li>");
    const QString minified = item.repeated(4000); // 216,000 characters
    const int mid = int(minified.size() / 2 / item.size() * item.size());
    QTest::newRow("short lines stay unwrapped")
        << QStringLiteral("<P>a</P>\r\n<B>b</B>") << 0 << 1 << "tag"
        << QStringList{"tag:<B>", "tag:</B>"} << false;
    QTest::newRow("minified page: a tag mid-line")
        << QStringLiteral("<ul>") + minified + QStringLiteral("</ul>\r\n<B>b</B>") << 0 << mid + 5
        << "tag" << QStringList{"tag:<B>", "tag:</B>"} << true;
    QTest::newRow("minified page: a reference mid-line")
        << minified << 0 << mid + int(item.indexOf(u'&')) + 1 << "ref" << QStringList{} << true;
    QTest::newRow("value far longer than the coloured part")
        << QStringLiteral("<a title=\"") + QString(100000, u'v') + QStringLiteral("\">x</a>") << 0
        << 60000 << "value" << QStringList{} << true;
    QTest::newRow("comment opened on a long line")
        << minified + QStringLiteral("<!-- open\r\nstill comment -->") << 0
        << int(minified.size()) + 6 << "comment" << QStringList{"comment:still comment -->"}
        << true;
    QTest::newRow("script tag going on to the next line")
        << minified + QStringLiteral("<script\r\nsrc=\"x.js\"></script>") << 0
        << int(minified.size()) + 2 << "tag"
        << QStringList{"name:src", "value:\"x.js\"", "tag:></script>"} << true;
}

namespace {
QList<int> lineStarts(const QTextBlock &b) {
    QList<int> starts;
    for (int i = 0; i < b.layout()->lineCount(); ++i)
        starts << b.layout()->lineAt(i).textStart();
    return starts;
}
} // namespace

void TestHighlighter::longLines() {
    QFETCH(QString, page);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(bool, wrapped);
    setEditorText(page);
    EditorBox *ed = editor();
    QCOMPARE(ed->wordWrap(), wrapped);
    // Caret and selection work on the real line, wrapped or not.
    ed->setCaret(line, column);
    QTextCursor c = ed->textCursor();
    c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 3);
    ed->setTextCursor(c);
    ed->ensureCursorVisible();
    paint(ed);
    QCOMPARE(ed->selStart(), ed->lineOffset(line) + column);
    QCOMPARE(ed->selText(), ed->line(line).mid(column, 3));
    QCOMPARE(ed->caretLine(), line);
    // Colours follow a long line's view once it rests.
    QFETCH(QString, role);
    QTRY_COMPARE(roleAt(ed, line, column), role);
    if (line + 1 < ed->lineCount()) {
        ed->setCaret(line + 1, 0);
        ed->ensureCursorVisible();
        paint(ed);
        QTEST(shownRoles(ed, line + 1), "next");
    }
    // A line changed in place is laid out as Qt lays it out afresh, typed
    // into and undone.
    for (const bool undo : {false, true}) {
        ed->setCaret(line, column);
        if (undo)
            ed->undo();
        else
            ed->setSelText(QStringLiteral("<B>x</B> wider"));
        paint(ed);
        const QTextBlock b = ed->document()->findBlockByNumber(line);
        const QList<int> kept = lineStarts(b);
        b.layout()->clearLayout();
        ed->document()->documentLayout()->blockBoundingRect(b);
        QCOMPARE(kept, lineStarts(b));
    }
    QCOMPARE(ed->text(), page);
}

QTEST_MAIN(TestHighlighter)
#include "tst_highlighter.moc"
