#include "actions.h"
#include "editorbox.h"
#include "linkinf.h"
#include "linkmarkup.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

namespace {

const QString kTwoTargets = QStringLiteral(
    "<P>intro</P>\r\n<A NAME=\"top\"></A>\r\nmiddle\r\ntext <A NAME=\"end\"></A>\r\n");
} // namespace

class TestLinks : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_ui = startWithScriptedUi();
    }
    void cleanup()
    {
        QVERIFY(stopWithScriptedUi(m_ui));
    }

    void linkForms_data();
    void linkForms();
    void targetScan_data();
    void targetScan();
    void targetScanFollowsEdits_data();
    void targetScanFollowsEdits();

    void cancelLeavesDocumentAlone();
    void okWithEmptyAddressInsertsNothing();
    void enterChainTypesAWholeLink();
    void escapeClosesNothing();
    void mailtoSwitchesTheCaption();
    void targetModeListsAndLinksTargets();
    void targetModeWithoutTargetsInsertsNothing();
    void reopeningStartsFresh();
    void targetCommand_data();
    void targetCommand();
    void commandsWithoutDocumentDoNothing();

private:
    ScriptedUi *m_ui = nullptr;
};

void TestLinks::linkForms_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("target");
    const QString a = QStringLiteral("files/report.zip");
    auto row = [&a](const char *name, const QString &protocol, const QString &description,
                    const QString &selected, const QString &expected,
                    const QString &address = QString(), const QString &target = "end") {
        QTest::newRow(name) << protocol << description << selected << expected
                            << (address.isEmpty() ? a : address) << target;
    };
    row("downloadable file drops the selection", "<DOWNLOADABLE FILE>", "Report", "old",
        "<A HREF=\"files/report.zip\">Report </A>");
    row("downloadable file without description", "<DOWNLOADABLE FILE>", "", "",
        "<A HREF=\"files/report.zip\"> </A>");
    row("target link drops the selection", "<TARGET>", "Bottom", "old",
        "<A HREF=\"#end\">Bottom </A>");
    row("target link without description", "<TARGET>", "", "", "<A HREF=\"#end\"> </A>");
    for (const char *p : {"ftp://", "gopher://", "http://", "mailto:", "telnet://", "wais://"}) {
        const QString proto = QLatin1String(p);
        row(qPrintable(QStringLiteral("%1 with a selection").arg(proto)), proto, "D", "S",
            "<A HREF=\"" + proto + a + "\">D </A>S");
        row(qPrintable(QStringLiteral("%1 without a selection").arg(proto)), proto, "D", "",
            "<A HREF=\"" + proto + a + "\">D </A>");
    }
    row("typed protocol is a prefix", "news:", "D", "S",
        "<A HREF=\"news:files/report.zip\">D </A>S");
    row("protocol names compare with case", "<target>", "D", "",
        "<A HREF=\"<target>files/report.zip\">D </A>");
    row("selection with a line break comes back whole", "http://", "D", "a\r\nb",
        "<A HREF=\"http://files/report.zip\">D </A>a\r\nb");
    // A '"' would end the attribute; the description is markup, as typed.
    row("a quote in the address", "http://", "say \"hi\"", "",
        "<A HREF=\"http://a.html?x=%221%22\">say \"hi\" </A>", "a.html?x=\"1\"");
    row("a quote in a downloadable file's name", "<DOWNLOADABLE FILE>", "D", "",
        "<A HREF=\"my%22file%22.zip\">D </A>", "my\"file\".zip");
    row("a quote in a typed protocol", "x\":", "D", "", "<A HREF=\"x%22:files/report.zip\">D </A>");
    row("a quote in a target's name", "<TARGET>", "D", "", "<A HREF=\"#a%22b\">D </A>", "",
        "a\"b");
}

void TestLinks::linkForms()
{
    QFETCH(QString, protocol);
    QFETCH(QString, description);
    QFETCH(QString, selected);
    QFETCH(QString, expected);
    QFETCH(QString, address);
    QFETCH(QString, target);
    QCOMPARE(LinkMarkup::link(protocol, address, description, target, selected), expected);
}

void TestLinks::targetScan_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("two targets on two lines") << kTwoTargets << QStringList{"top", "end"};
    QTest::newRow("two targets on one line, the first counts")
        << "<A NAME=\"a\"></A><A NAME=\"b\"></A>\r\n" << QStringList{"a"};
    QTest::newRow("line without closing text gives an empty name")
        << "x <A NAME=\"open\r\n<A NAME=\"z\"></A>" << QStringList{"", "z"};
    QTest::newRow("bare opening text on the last line")
        << "ab\r\n<A NAME=\"" << QStringList{""};
    QTest::newRow("closing text before the anchor gives an empty name")
        << "\"></A> <A NAME=\"late\"></A>" << QStringList{""};
    QTest::newRow("duplicates and empty names are kept")
        << "<A NAME=\"t\"></A>\r\n<A NAME=\"\"></A>\r\n<A NAME=\"t\"></A>"
        << QStringList{"t", "", "t"};
    QTest::newRow("lower case anchors are not targets") << "<a name=\"x\"></a>" << QStringList{};
    QTest::newRow("no targets") << "<HTML>\r\n<BODY>\r\n</BODY>" << QStringList{};
}

void TestLinks::targetScanFollowsEdits_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("target typed into a plain line") << "type" << QStringList{"a", "new", "b"};
    QTest::newRow("target line deleted") << "delete" << QStringList{"b"};
    QTest::newRow("target text broken in place") << "break" << QStringList{"b"};
    QTest::newRow("undo brings the target back") << "undo" << QStringList{"a", "b"};
    QTest::newRow("line break inside a target line") << "split" << QStringList{"a", "b"};
    QTest::newRow("reloaded text") << "reload" << QStringList{"z"};
}

void TestLinks::targetScanFollowsEdits()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, names);
    EditorBox ed;
    ed.loadText(QStringLiteral("<A NAME=\"a\"></A>\r\nplain\r\nx <A NAME=\"b\"></A>"));
    QCOMPARE(LinkMarkup::scanTargets(&ed), (QStringList{"a", "b"}));
    if (edit == QLatin1String("type")) {
        ed.setSelStart(ed.lineOffset(1));
        ed.setSelText(LinkMarkup::target(QStringLiteral("new")));
    } else if (edit == QLatin1String("delete")) {
        ed.deleteLine(0);
    } else if (edit == QLatin1String("break")) {
        ed.setSelStart(2); // inside "<A NAME"
        ed.setSelText(QStringLiteral("-"));
    } else if (edit == QLatin1String("undo")) {
        ed.deleteLine(0);
        ed.undo();
    } else if (edit == QLatin1String("split")) {
        ed.setSelStart(ed.lineOffset(2) + 1);
        ed.setSelText(QStringLiteral("\r\n"));
    } else {
        ed.loadText(QStringLiteral("\u2029<A NAME=\"z\"></A>"));
    }
    QCOMPARE(LinkMarkup::scanTargets(&ed), names);
}

void TestLinks::targetScan()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    EditorBox ed;
    ed.loadText(text);
    QCOMPARE(LinkMarkup::scanTargets(&ed), names);
}

void TestLinks::cancelLeavesDocumentAlone()
{
    setEditorText(QStringLiteral("abcd"), 1, 2);
    onNextModal([](QWidget *d) {
        child<QLineEdit>(d, "lnk")->setText(QStringLiteral("example.com"));
        child<QLineEdit>(d, "Desc")->setText(QStringLiteral("Example"));
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(editor()->text(), QStringLiteral("abcd"));
    QCOMPARE(editor()->selStart(), 1);
    QCOMPARE(editor()->selLength(), 2);
    QVERIFY(!editor()->isModified());
}

void TestLinks::okWithEmptyAddressInsertsNothing()
{
    setEditorText(QStringLiteral("abcd"), 2);
    onNextModal([](QWidget *d) {
        child<QLineEdit>(d, "Desc")->setText(QStringLiteral("Example"));
        child<QPushButton>(d, "OK")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(editor()->text(), QStringLiteral("abcd"));
    QVERIFY(!editor()->isModified());
}

void TestLinks::enterChainTypesAWholeLink()
{
    setEditorText(QStringLiteral("see here"), 4, 4);
    QWidget *afterLnk = nullptr, *afterDesc = nullptr;
    onNextModal([&](QWidget *d) {
        auto *lnk = child<QLineEdit>(d, "lnk");
        QTest::keyClicks(lnk, QStringLiteral("example.com"));
        QTest::keyClick(lnk, Qt::Key_Return);
        afterLnk = d->focusWidget();
        QTest::keyClicks(child<QLineEdit>(d, "Desc"), QStringLiteral("Example"));
        QTest::keyClick(child<QLineEdit>(d, "Desc"), Qt::Key_Enter);
        afterDesc = d->focusWidget();
        // Enter on the focused button presses it.
        QTest::keyClick(child<QPushButton>(d, "OK"), Qt::Key_Return);
        if (d->isVisible())
            child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(afterLnk, LinkInf->findChild<QWidget *>(QStringLiteral("Desc")));
    QCOMPARE(afterDesc, LinkInf->findChild<QWidget *>(QStringLiteral("OK")));
    const QString link = QStringLiteral("<A HREF=\"http://example.com\">Example </A>");
    QCOMPARE(editor()->text(), "see " + link + "here");
    QCOMPARE(editor()->selStart(), int(QString("see " + link + "here").size()));
    QCOMPARE(editor()->selLength(), 0);
}

void TestLinks::escapeClosesNothing()
{
    setEditorText(QStringLiteral("x"));
    bool openAfterEscape = false;
    onNextModal([&](QWidget *d) {
        child<QLineEdit>(d, "lnk")->setText(QStringLiteral("a"));
        QTest::keyClick(child<QLineEdit>(d, "lnk"), Qt::Key_Escape);
        QTest::keyClick(d, Qt::Key_Escape);
        openAfterEscape = d->isVisible();
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Link);
    QVERIFY(openAfterEscape);
    QCOMPARE(editor()->text(), QStringLiteral("x"));
}

void TestLinks::mailtoSwitchesTheCaption()
{
    bool wholeCaption = false;
    QString mail, back;
    onNextModal([&](QWidget *d) {
        auto *proto = child<QComboBox>(d, "Proto");
        proto->setCurrentIndex(proto->findText(QStringLiteral("mailto:")));
        auto *label = child<QLabel>(d, "Label1");
        wholeCaption = label->width() >= label->sizeHint().width();
        mail = child<QLabel>(d, "Label1")->text();
        proto->setCurrentIndex(proto->findText(QStringLiteral("ftp://")));
        back = child<QLabel>(d, "Label1")->text();
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(mail, QStringLiteral("Email address:"));
    QVERIFY(wholeCaption); // not cut off
    QCOMPARE(back, QStringLiteral("File/URL:"));
}

void TestLinks::targetModeListsAndLinksTargets()
{
    setEditorText(kTwoTargets + QStringLiteral("old"), int(kTwoTargets.size()), 3);
    QStringList listed;
    QString preselected, address;
    bool lnkHidden = false, tgtShown = false;
    onNextModal([&](QWidget *d) {
        auto *proto = child<QComboBox>(d, "Proto");
        proto->setCurrentIndex(proto->findText(QStringLiteral("<TARGET>")));
        auto *tgt = child<QComboBox>(d, "TgtCh");
        for (int i = 0; i < tgt->count(); ++i)
            listed << tgt->itemText(i);
        preselected = tgt->currentText();
        address = child<QLineEdit>(d, "lnk")->text();
        lnkHidden = child<QLineEdit>(d, "lnk")->isHidden();
        tgtShown = tgt->isVisible();
        tgt->setCurrentIndex(1);
        child<QLineEdit>(d, "Desc")->setText(QStringLiteral("Bottom"));
        child<QPushButton>(d, "OK")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(listed, (QStringList{"top", "end"}));
    QCOMPARE(preselected, QStringLiteral("top"));
    QCOMPARE(address, QStringLiteral("top"));
    QVERIFY(lnkHidden);
    QVERIFY(tgtShown);
    QCOMPARE(editor()->text(), kTwoTargets + QStringLiteral("<A HREF=\"#end\">Bottom </A>"));
}

void TestLinks::targetModeWithoutTargetsInsertsNothing()
{
    setEditorText(QStringLiteral("<BODY>\r\n</BODY>"), 6);
    onNextModal([](QWidget *d) {
        auto *proto = child<QComboBox>(d, "Proto");
        proto->setCurrentIndex(proto->findText(QStringLiteral("<TARGET>")));
        child<QComboBox>(d, "TgtCh")->setEditText(QStringLiteral("typed"));
        child<QPushButton>(d, "OK")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(editor()->text(), QStringLiteral("<BODY>\r\n</BODY>"));
}

void TestLinks::reopeningStartsFresh()
{
    setEditorText(kTwoTargets);
    onNextModal([](QWidget *d) {
        auto *proto = child<QComboBox>(d, "Proto");
        proto->setCurrentIndex(proto->findText(QStringLiteral("<TARGET>")));
        child<QLineEdit>(d, "Desc")->setText(QStringLiteral("Bottom"));
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Link);
    QString proto, label, address, desc;
    int targets = -1;
    bool lnkShown = false, tgtHidden = false, lnkFocused = false;
    onNextModal([&](QWidget *d) {
        proto = child<QComboBox>(d, "Proto")->currentText();
        label = child<QLabel>(d, "Label1")->text();
        address = child<QLineEdit>(d, "lnk")->text();
        desc = child<QLineEdit>(d, "Desc")->text();
        targets = child<QComboBox>(d, "TgtCh")->count();
        lnkShown = child<QLineEdit>(d, "lnk")->isVisible();
        tgtHidden = child<QComboBox>(d, "TgtCh")->isHidden();
        lnkFocused = d->focusWidget() == child<QLineEdit>(d, "lnk");
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Link);
    QCOMPARE(proto, QStringLiteral("http://"));
    QCOMPARE(label, QStringLiteral("File/URL:"));
    QCOMPARE(address, QString());
    QCOMPARE(desc, QString());
    QCOMPARE(targets, 0);
    QVERIFY(lnkShown);
    QVERIFY(tgtHidden);
    QVERIFY(lnkFocused);
}

void TestLinks::targetCommand_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("selLength");
    QTest::newRow("name replaces the selection")
        << QStringList{"top"} << "a<A NAME=\"top\"></A>d" << 0;
    QTest::newRow("name used as typed")
        << QStringList{"a b\"c"} << "a<A NAME=\"a b\"c\"></A>d" << 0;
    QTest::newRow("cancelled or empty name inserts nothing") << QStringList{} << "abcd" << 2;
}

void TestLinks::targetCommand()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, expected);
    QFETCH(int, selLength);
    ScriptedUi ui;
    for (const QString &a : answers)
        ui.inputAnswers << a;
    setEditorText(QStringLiteral("abcd"), 1, 2);
    runCommand(TagCommand::Target);
    QCOMPARE(ui.inputs, QStringList{"Target Name|Enter a name for your target:|"});
    QCOMPARE(editor()->text(), expected);
    QCOMPARE(editor()->selLength(), selLength);
}

void TestLinks::commandsWithoutDocumentDoNothing()
{
    ScriptedUi ui;
    ZediDove->mdiArea()->closeAllSubWindows();
    QTRY_VERIFY(!ActiveEditor());
    onNextModal([](QWidget *d) {
        auto *proto = child<QComboBox>(d, "Proto");
        proto->setCurrentIndex(proto->findText(QStringLiteral("<TARGET>")));
        child<QLineEdit>(d, "lnk")->setText(QStringLiteral("x"));
        auto *p2 = child<QComboBox>(d, "Proto");
        p2->setCurrentIndex(p2->findText(QStringLiteral("http://")));
        child<QLineEdit>(d, "lnk")->setText(QStringLiteral("example.com"));
        child<QPushButton>(d, "OK")->click();
    });
    runCommand(TagCommand::Link);
    ui.inputAnswers << QStringLiteral("top");
    runCommand(TagCommand::Target);
    QCOMPARE(ui.inputs.size(), 1);
    QVERIFY(!ActiveEditor());
    QVERIFY(ZediDove->mdiArea()->subWindowList().isEmpty());
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
