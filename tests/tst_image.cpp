#include "actions.h"
#include "editorbox.h"
#include "imageinfo.h"
#include "imagemarkup.h"
#include "localpathtourl.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
QComboBox *alignBox(QWidget *dlg) { return dlg->findChild<QComboBox *>("Align"); }

void fill(QWidget *dlg, const QString &location, const QString &link = QString(),
          const QString &alt = QString(), const QString &description = QString(),
          const QString &align = QStringLiteral("Left"))
{
    child<QLineEdit>(dlg, "Image")->setText(location);
    child<QLineEdit>(dlg, "Document")->setText(link);
    child<QLineEdit>(dlg, "Textonly")->setText(alt);
    child<QLineEdit>(dlg, "Lable")->setText(description);
    alignBox(dlg)->setEditText(align);
}
} // namespace

class TestImage : public QObject {
    Q_OBJECT
private slots:
    void imageMarkup_data();
    void imageMarkup();
    void localPathToUrl_data();
    void localPathToUrl();

    void init();
    void cleanup();
    void okInsertsConvertedPathAtCaret();
    void startsFromPaletteAndMenu();
    void missingLocationAsksAgainKeepingFields();
    void missingLocationThenCancelInsertsNothing();
    void cancelWithLocationInsertsNothing();
    void descriptionSurvivesToNextCommand();
    void enterChainEndsAtOkAndEscapeClosesNothing();
    void browseFillsLocation();
    void noDocumentOpensNothing();

private:
    ScriptedUi *m_ui = nullptr;
};

void TestImage::imageMarkup_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("alt");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("align");
    QTest::addColumn<QString>("expected");
    const QString loc = QStringLiteral("file:///C|/pics/logo.gif");
    QTest::newRow("D: location only, Left") << loc << "" << "" << "desc" << "Left"
                                             << "<IMG SRC=\"file:///C|/pics/logo.gif\">";
    QTest::newRow("D: Right, no space before ALIGN")
        << loc << "" << "" << "" << "Right" << "<IMG SRC=\"file:///C|/pics/logo.gif\"ALIGN=Right>";
    QTest::newRow("D: lower-case left is not Left")
        << "a.gif" << "" << "" << "" << "left" << "<IMG SRC=\"a.gif\"ALIGN=left>";
    QTest::newRow("D: empty alignment still written")
        << "a.gif" << "" << "" << "" << "" << "<IMG SRC=\"a.gif\"ALIGN=>";
    QTest::newRow("C: ALT, Left") << "a.gif" << "" << "Logo" << "ignored" << "Left"
                                  << "<IMG SRC=\"a.gif\" ALT=\"Logo\">";
    QTest::newRow("C: ALT, Center") << "a.gif" << "" << "Logo" << "" << "Center"
                                    << "<IMG SRC=\"a.gif\" ALT=\"Logo\"ALIGN=Center>";
    QTest::newRow("B: link, empty description")
        << "a.gif" << "x.htm" << "" << "" << "Left" << "<A HREF=\"x.htm\"><IMG SRC=\"a.gif\"></A>";
    QTest::newRow("B: link, description, Right")
        << "a.gif" << "x.htm" << "" << "Home" << "Right"
        << "<A HREF=\"x.htm\"><IMG SRC=\"a.gif\"ALIGN=Right>Home</A>";
    QTest::newRow("A: always ALIGN with a space, also Left")
        << "a.gif" << "x.htm" << "Logo" << "Home" << "Left"
        << "<A HREF=\"x.htm\"><IMG SRC=\"a.gif\" ALT=\"Logo\" ALIGN=Left>Home</A>";
    QTest::newRow("A: empty alignment")
        << "a.gif" << "x.htm" << "Logo" << "" << ""
        << "<A HREF=\"x.htm\"><IMG SRC=\"a.gif\" ALT=\"Logo\" ALIGN=></A>";
    QTest::newRow("spaces count as filled, no escaping")
        << " " << "\"<>" << " " << "" << "Left"
        << "<A HREF=\"\"<>\"><IMG SRC=\" \" ALT=\" \" ALIGN=Left></A>";
    QTest::newRow("E: no location gives nothing")
        << "" << "x.htm" << "Logo" << "Home" << "Left" << "";
}

void TestImage::imageMarkup()
{
    QFETCH(QString, location);
    QFETCH(QString, link);
    QFETCH(QString, alt);
    QFETCH(QString, description);
    QFETCH(QString, align);
    QFETCH(QString, expected);
    QCOMPARE(ImageMarkup({location, link, alt, description, align}), expected);
}

void TestImage::localPathToUrl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive path") << "C:\\pics\\logo.gif" << "file:///C|/pics/logo.gif";
    QTest::newRow("case kept") << "d:\\Web\\Tile.GIF" << "file:///d|/Web/Tile.GIF";
    QTest::newRow("drive root file") << "C:\\a.gif" << "file:///C|/a.gif";
    QTest::newRow("text before drive letter kept out") << "xyC:\\a\\b.gif" << "file:///C|/a/b.gif";
    QTest::newRow("directory without colon") << "abc\\d.gif" << "file:///b|/d.gif";
    QTest::newRow("UNC path") << "\\\\server\\share\\a.gif" << "file://server/share/a.gif";
    QTest::newRow("path from the drive root") << "\\pics\\a.gif" << "file:///pics/a.gif";
    QTest::newRow("relative path, one letter dir") << "a\\b.gif" << "a/b.gif";
    QTest::newRow("lone backslash") << "\\" << "file:///";
    QTest::newRow("web address unchanged") << "http://x.org/a.gif" << "http://x.org/a.gif";
    QTest::newRow("slashed path unchanged") << "/home/u/a.gif" << "/home/u/a.gif";
    QTest::newRow("empty") << "" << "";
}

void TestImage::localPathToUrl()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(LocalPathToUrl(text), expected);
}

void TestImage::init()
{
    if (runsWithoutWindows({"imageMarkup", "localPathToUrl"}))
        return;
    m_ui = startWithScriptedUi();
    // Only what the commands report counts (start-up may complain about a
    // missing settings file in the test's directory).
    m_ui->errors.clear();
}

void TestImage::cleanup()
{
    QVERIFY(stopWithScriptedUi(m_ui));
}

void TestImage::okInsertsConvertedPathAtCaret()
{
    setEditorText(QStringLiteral("ab\r\ncd"), 4, 1); // "c" selected
    QString shown;
    onNextModal([&](QWidget *dlg) {
        fill(dlg, QStringLiteral("C:\\pics\\logo.gif"));
        child<QPushButton>(dlg, "OkBut")->click();
        shown = child<QLineEdit>(dlg, "Image")->text();
    });
    runCommand(TagCommand::Image);
    const QString tag = QStringLiteral("<IMG SRC=\"file:///C|/pics/logo.gif\">");
    QCOMPARE(editor()->text(), QStringLiteral("ab\r\n") + tag + QStringLiteral("d"));
    QCOMPARE(editor()->selStart(), 4 + int(tag.size()));
    QCOMPARE(editor()->selLength(), 0);
    QCOMPARE(child<QLineEdit>(ImageInfo, "Image")->text(),
             QStringLiteral("file:///C|/pics/logo.gif"));
    QVERIFY(m_ui->errors.isEmpty());
    QTRY_COMPARE(QApplication::activeWindow(), ZediDove);
    // One command, one undo step.
    editor()->undo();
    QCOMPARE(editor()->text(), QStringLiteral("ab\r\ncd"));
}

void TestImage::startsFromPaletteAndMenu()
{
    setEditorText(QString());
    onNextModal([](QWidget *dlg) {
        fill(dlg, QStringLiteral("a.gif"));
        child<QPushButton>(dlg, "OkBut")->click();
    });
    ToolBar->button(QStringLiteral("Image"))->click();
    onNextModal([](QWidget *dlg) {
        fill(dlg, QStringLiteral("b.gif"));
        child<QPushButton>(dlg, "OkBut")->click();
    });
    ZediDove->action(QLatin1String(TagCommand::Image))->trigger();
    QCOMPARE(editor()->text(), QStringLiteral("<IMG SRC=\"a.gif\"><IMG SRC=\"b.gif\">"));
}

void TestImage::missingLocationAsksAgainKeepingFields()
{
    setEditorText(QString());
    int openings = 0;
    QStringList second;
    std::function<void(QWidget *)> again = [&](QWidget *dlg) {
        ++openings;
        second = {child<QLineEdit>(dlg, "Image")->text(), child<QLineEdit>(dlg, "Document")->text(),
                  child<QLineEdit>(dlg, "Textonly")->text(), child<QLineEdit>(dlg, "Lable")->text(),
                  alignBox(dlg)->currentText()};
        child<QLineEdit>(dlg, "Image")->setText(QStringLiteral("p.gif"));
        child<QPushButton>(dlg, "OkBut")->click();
    };
    onNextModal([&](QWidget *dlg) {
        ++openings;
        fill(dlg, QString(), QStringLiteral("x.htm"), QStringLiteral("Alt"),
             QStringLiteral("Desc"), QStringLiteral("Right"));
        onNextModal(again);
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Image);
    QCOMPARE(openings, 2);
    QCOMPARE(m_ui->errors, QStringList{QStringLiteral("Error|Please Enter Image Location")});
    QCOMPARE(second, (QStringList{QString(), QStringLiteral("x.htm"), QStringLiteral("Alt"),
                                  QStringLiteral("Desc"), QStringLiteral("Right")}));
    QCOMPARE(editor()->text(),
             QStringLiteral("<A HREF=\"x.htm\"><IMG SRC=\"p.gif\" ALT=\"Alt\" "
                            "ALIGN=Right>Desc</A>"));
}

void TestImage::missingLocationThenCancelInsertsNothing()
{
    setEditorText(QStringLiteral("keep"), 2);
    onNextModal([&](QWidget *dlg) {
        fill(dlg, QString(), QStringLiteral("x.htm"));
        onNextModal([](QWidget *d) { child<QPushButton>(d, "CancelBut")->click(); });
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Image);
    QCOMPARE(m_ui->errors.size(), 1);
    QCOMPARE(editor()->text(), QStringLiteral("keep"));
    QVERIFY(!editor()->isModified());
    QTRY_COMPARE(QApplication::activeWindow(), ZediDove);
}

void TestImage::cancelWithLocationInsertsNothing()
{
    setEditorText(QStringLiteral("keep"), 0, 4);
    onNextModal([](QWidget *dlg) {
        fill(dlg, QStringLiteral("C:\\a.gif"), QStringLiteral("x.htm"));
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Image);
    QCOMPARE(editor()->text(), QStringLiteral("keep"));
    QCOMPARE(editor()->selLength(), 4);
    QVERIFY(m_ui->errors.isEmpty());
}

void TestImage::descriptionSurvivesToNextCommand()
{
    setEditorText(QString());
    onNextModal([](QWidget *dlg) {
        fill(dlg, QStringLiteral("a.gif"), QStringLiteral("x.htm"), QStringLiteral("Alt"),
             QStringLiteral("Desc"), QStringLiteral("Center"));
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Image);
    QStringList next;
    onNextModal([&](QWidget *dlg) {
        next = {child<QLineEdit>(dlg, "Image")->text(), child<QLineEdit>(dlg, "Document")->text(),
                child<QLineEdit>(dlg, "Textonly")->text(), child<QLineEdit>(dlg, "Lable")->text(),
                alignBox(dlg)->currentText()};
        child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Image);
    QCOMPARE(next, (QStringList{QString(), QString(), QString(), QStringLiteral("Desc"),
                                QStringLiteral("Left")}));
}

void TestImage::enterChainEndsAtOkAndEscapeClosesNothing()
{
    setEditorText(QString());
    QStringList focusPath;
    bool openAfterEscape = false, openAfterFirstEnterOnLable = false;
    onNextModal([&](QWidget *dlg) {
        child<QLineEdit>(dlg, "Image")->setText(QStringLiteral("a.gif"));
        for (int i = 0; i < 4; ++i) {
            QWidget *f = QApplication::focusWidget();
            focusPath << (f ? f->objectName() : QString());
            QTest::keyClick(f ? f : dlg, Qt::Key_Return);
        }
        focusPath << QApplication::focusWidget()->objectName();
        openAfterFirstEnterOnLable = dlg->isVisible();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        openAfterEscape = dlg->isVisible();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); // presses Ok
        if (dlg->isVisible())
            child<QPushButton>(dlg, "CancelBut")->click();
    });
    runCommand(TagCommand::Image);
    QCOMPARE(focusPath, (QStringList{"Image", "Document", "Textonly", "Lable", "OkBut"}));
    QVERIFY(openAfterFirstEnterOnLable);
    QVERIFY(openAfterEscape);
    QCOMPARE(editor()->text(), QStringLiteral("<IMG SRC=\"a.gif\">"));
}

void TestImage::browseFillsLocation()
{
    setEditorText(QString());
    m_ui->fileAnswers << QStringLiteral("C:\\pics\\b.gif");
    onNextModal([](QWidget *dlg) {
        child<QPushButton>(dlg, "Browse")->click();
        child<QPushButton>(dlg, "OkBut")->click();
    });
    runCommand(TagCommand::Image);
    QCOMPARE(m_ui->fileRequests.size(), 1);
    QCOMPARE(m_ui->fileRequests.at(0).title, QStringLiteral("Image"));
    QCOMPARE(m_ui->fileRequests.at(0).filter, QStringLiteral("Picture Files|*.jpg;*.bmp;*.gif"));
    QCOMPARE(editor()->text(), QStringLiteral("<IMG SRC=\"file:///C|/pics/b.gif\">"));
}

void TestImage::noDocumentOpensNothing()
{
    ZediDove->mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(!ActiveEditor());
    bool opened = false, looked = false;
    QTimer::singleShot(20, this, [&] {
        looked = true;
        if (QWidget *w = QApplication::activeModalWidget()) {
            opened = true;
            w->hide();
        }
    });
    runCommand(TagCommand::Image);
    QTRY_VERIFY(looked);
    QVERIFY(!opened);
}

QTEST_MAIN(TestImage)
#include "tst_image.moc"
