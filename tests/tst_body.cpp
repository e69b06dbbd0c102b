#include "actions.h"
#include "bodymarkup.h"
#include "docinfo.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

namespace {
QStringList fields(QWidget *dlg)
{
    return {child<QLineEdit>(dlg, "Bckgrdpct")->text(), child<QLineEdit>(dlg, "bgcolor")->text(),
            child<QLineEdit>(dlg, "TextColor")->text(), child<QLineEdit>(dlg, "LnkColor")->text()};
}
void fill(QWidget *dlg, const QStringList &v)
{
    child<QLineEdit>(dlg, "Bckgrdpct")->setText(v.value(0));
    child<QLineEdit>(dlg, "bgcolor")->setText(v.value(1));
    child<QLineEdit>(dlg, "TextColor")->setText(v.value(2));
    child<QLineEdit>(dlg, "LnkColor")->setText(v.value(3));
}
QString skeletonWithBody(const QString &body)
{
    return QStringLiteral("<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here </TITLE>\r\n"
                          "</HEAD>\r\n")
           + body + QStringLiteral("\r\n\r\n</BODY>\r\n</HTML>");
}
const QString kEmptyAttrs = QStringLiteral(" BACKGROUND=\"\" BGCOLOR=\"\" TEXT=\"\" LINK=\"\">");
} // namespace

class TestBody : public QObject {
    Q_OBJECT
private slots:
    void hexByte_data();
    void hexByte();
    void colorToHtml_data();
    void colorToHtml();
    void rewriteBodyLine_data();
    void rewriteBodyLine();

    void init();
    void cleanup();
    void skeletonBodyLineGetsFourAttributes();
    void chartColoursAreWrittenAndPreviewed();
    void backgroundPathConvertedButRememberedAsTyped();
    void runningTwiceReplacesAttributes();
    void firstBodyLineInAnyCaseIsRewritten();
    void noBodyLineLeavesTextButRemembers();
    void valuesAreRememberedPerDocument();
    void cancelLeavesTextAndValues();
    void browseAndEnterChain();

private:
    ScriptedUi *m_ui = nullptr;
};

void TestBody::hexByte_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0 << "00";
    QTest::newRow("ten, leading zero") << 10 << "0A";
    QTest::newRow("sixteen") << 16 << "10";
    QTest::newRow("upper-case letters") << 171 << "AB";
    QTest::newRow("top") << 255 << "FF";
}

void TestBody::hexByte()
{
    QFETCH(int, value);
    QFETCH(QString, expected);
    QCOMPARE(TDocInfo::HexByte(value), expected);
}

void TestBody::colorToHtml_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pure red") << 255 << 0 << 0 << "#FF0000";
    QTest::newRow("pure blue") << 0 << 0 << 255 << "#0000FF";
    QTest::newRow("mixed, red first") << 16 << 160 << 240 << "#10A0F0";
    QTest::newRow("white") << 255 << 255 << 255 << "#FFFFFF";
    QTest::newRow("black") << 0 << 0 << 0 << "#000000";
}

void TestBody::colorToHtml()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(QString, expected);
    QCOMPARE(TDocInfo::ColorToHtml(r, g, b), expected);
}

void TestBody::rewriteBodyLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("expected");
    const QStringList none{QString(), QString(), QString(), QString()};
    QTest::newRow("skeleton line, empty fields") << "<BODY>" << none << "<BODY" + kEmptyAttrs;
    QTest::newRow("values in order BACKGROUND BGCOLOR TEXT LINK")
        << "<BODY>" << QStringList{"file:///C|/t.gif", "#FFFFFF", "#000000", "blue"}
        << "<BODY BACKGROUND=\"file:///C|/t.gif\" BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\" "
           "LINK=\"blue\">";
    QTest::newRow("lower case kept") << "<body>" << none << "<body" + kEmptyAttrs;
    QTest::newRow("text after the tag kept") << "<BODY><H1>Hi</H1>" << none
                                             << "<BODY" + kEmptyAttrs + "<H1>Hi</H1>";
    QTest::newRow("old attributes replaced")
        << "<BODY BGCOLOR=\"#FF0000\" TEXT=red>x" << none << "<BODY" + kEmptyAttrs + "x";
    QTest::newRow("text before the tag kept") << "  <Body >" << none << "  <Body" + kEmptyAttrs;
    QTest::newRow("no greater-than: whole line follows")
        << "<BODY" << none << "<BODY" + kEmptyAttrs + "<BODY";
    QTest::newRow("sharp s before the tag does not shift the cut")
        << QString::fromUtf8("Stra\u00dfe<body>x") << none
        << QString::fromUtf8("Stra\u00dfe<body") + kEmptyAttrs + "x";
    QTest::newRow("values as typed, no escaping")
        << "<BODY>" << QStringList{"a\"b", "<x>", "", ""}
        << "<BODY BACKGROUND=\"a\"b\" BGCOLOR=\"<x>\" TEXT=\"\" LINK=\"\">";
    QTest::newRow("line without the word unchanged") << "<HTML>" << none << "<HTML>";
}

void TestBody::rewriteBodyLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, values);
    QFETCH(QString, expected);
    QCOMPARE(RewriteBodyLine(line, {values[0], values[1], values[2], values[3]}), expected);
}

void TestBody::init()
{
    if (runsWithoutWindows({"hexByte", "colorToHtml", "rewriteBodyLine"}))
        return;
    m_ui = startWithScriptedUi();
}

void TestBody::cleanup()
{
    QVERIFY(stopWithScriptedUi(m_ui));
}

void TestBody::skeletonBodyLineGetsFourAttributes()
{
    onNextModal([](QWidget *dlg) { child<QPushButton>(dlg, "OkBut")->click(); });
    ZediDove->action(QLatin1String(TagCommand::Document))->trigger();
    const QString line = QStringLiteral("<BODY") + kEmptyAttrs;
    QCOMPARE(editor()->text(), skeletonWithBody(line));
    QCOMPARE(editor()->selStart(), editor()->lineOffset(4) + int(line.size()));
    QCOMPARE(editor()->selLength(), 0);
    QTRY_COMPARE(QApplication::activeWindow(), ZediDove);
    editor()->undo();
    QCOMPARE(editor()->text(), THTMLDOC::skeleton());
}

void TestBody::chartColoursAreWrittenAndPreviewed()
{
    m_ui->colourAnswers << QColor(Qt::white) << QColor(Qt::black) << QColor(16, 160, 240)
                        << QColor(); // the fourth dialog is cancelled
    QColor bgPreview, textFont, linkFont;
    onNextModal([&](QWidget *dlg) {
        child<QPushButton>(dlg, "BGColorChart")->click();
        child<QPushButton>(dlg, "TxtChart")->click();
        child<QPushButton>(dlg, "LnkChart")->click();
        child<QPushButton>(dlg, "LnkChart")->click();
        bgPreview = child<QLabel>(DocInfo, "Label2")->palette().color(QPalette::Window);
        textFont = child<QLabel>(DocInfo, "Label3")->palette().color(QPalette::WindowText);
        linkFont = child<QLabel>(DocInfo, "Label4")->palette().color(QPalette::WindowText);
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Document);
    // Each colour dialog opens on the colour picked last, black at first.
    QCOMPARE(m_ui->colourRequests,
             (QList<QColor>{Qt::black, Qt::white, Qt::black, QColor(16, 160, 240)}));
    QCOMPARE(editor()->line(4), QStringLiteral("<BODY BACKGROUND=\"\" BGCOLOR=\"#FFFFFF\" "
                                               "TEXT=\"#000000\" LINK=\"#10A0F0\">"));
    QCOMPARE(bgPreview, QColor(Qt::white));
    QCOMPARE(textFont, QColor(Qt::black));
    QCOMPARE(linkFont, QColor(16, 160, 240));
    QCOMPARE(DocInfo->chartColor(), QColor(16, 160, 240));
}

void TestBody::backgroundPathConvertedButRememberedAsTyped()
{
    onNextModal([](QWidget *dlg) {
        fill(dlg, {QStringLiteral("C:\\web\\tile.gif")});
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Document);
    QVERIFY(editor()->line(4).startsWith(
        QStringLiteral("<BODY BACKGROUND=\"file:///C|/web/tile.gif\" BGCOLOR")));
    QCOMPARE(ZediDove->currentDocument()->bodyAttributes()->backgroundPicture, QStringLiteral("C:\\web\\tile.gif"));
    QStringList shown;
    onNextModal([&](QWidget *dlg) {
        shown = fields(dlg);
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(shown.value(0), QStringLiteral("C:\\web\\tile.gif"));
}

void TestBody::runningTwiceReplacesAttributes()
{
    setEditorText(QStringLiteral("<HTML>\r\n<BODY>tail\r\n</HTML>"));
    for (const QString &bg : {QStringLiteral("red"), QStringLiteral("blue")}) {
        onNextModal([bg](QWidget *dlg) {
            fill(dlg, {QString(), bg});
            child<QPushButton>(dlg, "OkBut")->click();
        });
        runCommand(TagCommand::Document);
    }
    QCOMPARE(editor()->text(), QStringLiteral("<HTML>\r\n<BODY BACKGROUND=\"\" BGCOLOR=\"blue\" "
                                              "TEXT=\"\" LINK=\"\">tail\r\n</HTML>"));
}

void TestBody::firstBodyLineInAnyCaseIsRewritten()
{
    setEditorText(QStringLiteral("<html>\r\n<body bgcolor=red><h1>x</h1>\r\n</body>\r\n"), 0);
    onNextModal([](QWidget *dlg) { child<QPushButton>(dlg, "OkBut")->click(); });
    runCommand(TagCommand::Document);
    const QString line = QStringLiteral("<body") + kEmptyAttrs + QStringLiteral("<h1>x</h1>");
    QCOMPARE(editor()->text(),
             QStringLiteral("<html>\r\n") + line + QStringLiteral("\r\n</body>\r\n"));
    QCOMPARE(editor()->selStart(), 8 + int(line.size()));
}

void TestBody::noBodyLineLeavesTextButRemembers()
{
    setEditorText(QStringLiteral("<P>no tag here</P>\r\n"), 3);
    onNextModal([](QWidget *dlg) {
        fill(dlg, {QStringLiteral("C:\\a.gif"), QStringLiteral("#FFFFFF")});
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(editor()->text(), QStringLiteral("<P>no tag here</P>\r\n"));
    QVERIFY(!editor()->isModified());
    THTMLDOC *doc = ZediDove->currentDocument();
    QVERIFY(doc->bodyAttributes());
    QCOMPARE(doc->bodyAttributes()->backgroundPicture, QStringLiteral("C:\\a.gif"));
    QCOMPARE(doc->bodyAttributes()->bgColor, QStringLiteral("#FFFFFF"));
}

void TestBody::valuesAreRememberedPerDocument()
{
    const QStringList first{QStringLiteral("p.gif"), QStringLiteral("#FFFFFF"),
                            QStringLiteral("#000000"), QStringLiteral("#0000FF")};
    onNextModal([&](QWidget *dlg) {
        fill(dlg, first);
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Document);
    THTMLDOC *doc1 = ZediDove->currentDocument();

    ZediDove->New1Click();
    QTRY_VERIFY(ZediDove->currentDocument() && ZediDove->currentDocument() != doc1);
    QStringList inSecond;
    onNextModal([&](QWidget *dlg) {
        inSecond = fields(dlg);
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(inSecond, (QStringList{QString(), QString(), QString(), QString()}));
    // The second document's preview labels start neutral again.
    QCOMPARE(child<QLabel>(DocInfo, "Label3")->palette().color(QPalette::WindowText),
             QColor(Qt::black));

    ZediDove->mdiArea()->setActiveSubWindow(doc1);
    QTRY_COMPARE(ZediDove->currentDocument(), doc1);
    QStringList backInFirst;
    onNextModal([&](QWidget *dlg) {
        backInFirst = fields(dlg);
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(backInFirst, first);
}

void TestBody::cancelLeavesTextAndValues()
{
    QColor typedBg, typedFont;
    onNextModal([&](QWidget *dlg) {
        fill(dlg, {QStringLiteral("a.gif"), QStringLiteral("red")});
        // A typed colour previews the colour dialog's colour: black before
        // any pick, with the labels' font turned white.
        typedBg = child<QLabel>(DocInfo, "Label2")->palette().color(QPalette::Window);
        typedFont = child<QLabel>(DocInfo, "Label4")->palette().color(QPalette::WindowText);
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(typedBg, QColor(Qt::black));
    QCOMPARE(typedFont, QColor(Qt::white));
    const QString afterOk = editor()->text();
    editor()->setSelStart(0);
    onNextModal([](QWidget *dlg) {
        fill(dlg, {QStringLiteral("b.gif"), QStringLiteral("blue")});
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(editor()->text(), afterOk);
    QCOMPARE(editor()->selStart(), 0);
    QCOMPARE(ZediDove->currentDocument()->bodyAttributes()->bgColor, QStringLiteral("red"));
    QStringList shown;
    onNextModal([&](QWidget *dlg) {
        shown = fields(dlg);
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(shown, (QStringList{QStringLiteral("a.gif"), QStringLiteral("red"), QString(),
                                 QString()}));
}

void TestBody::browseAndEnterChain()
{
    m_ui->fileAnswers << QStringLiteral("C:\\web\\b.jpg");
    QStringList focusPath;
    bool openAfterEscape = false;
    onNextModal([&](QWidget *dlg) {
        child<QPushButton>(dlg, "Browse")->click();
        child<QLineEdit>(dlg, "Bckgrdpct")->setFocus();
        for (int i = 0; i < 4; ++i) {
            focusPath << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        focusPath << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        openAfterEscape = dlg->isVisible();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (dlg->isVisible())
            child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Document);
    QCOMPARE(m_ui->fileRequests.size(), 1);
    QCOMPARE(m_ui->fileRequests.at(0).title, QString());
    QCOMPARE(m_ui->fileRequests.at(0).filter, QStringLiteral("Picture Files|*.jpg;*.bmp;*.gif"));
    QCOMPARE(focusPath, (QStringList{"Bckgrdpct", "bgcolor", "TextColor", "LnkColor", "OkBut"}));
    QVERIFY(openAfterEscape);
    QVERIFY(editor()->line(4).startsWith(
        QStringLiteral("<BODY BACKGROUND=\"file:///C|/web/b.jpg\"")));
}

QTEST_MAIN(TestBody)
#include "tst_body.moc"
