#include "actions.h"
#include "clampedspinbox.h"
#include "editorbox.h"
#include "hrinfo.h"
#include "hrmarkup.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {
// Types into a spin edit as a user would: select all, type, leave by Tab.
void typeInto(ClampedSpinBox *s, const QString &text)
{
    s->setFocus();
    QLineEdit *edit = s->findChild<QLineEdit *>();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}
} // namespace

class TestHr : public QObject {
    Q_OBJECT
private slots:
    void horizRuleTag_data();
    void horizRuleTag();
    void clampSpinText_data();
    void clampSpinText();

    void init();
    void cleanup();
    void openingValuesInsertDefaultTagOverSelection();
    void enteredValuesAndResetOnNextOpening();
    void widthIsClampedOnFocusLoss();
    void cancelInsertsNothingTitleBarCloseInserts();
    void escapeClosesNothingEnterPressesFocusedButton();

private:
    ScriptedUi *m_ui = nullptr;
};

void TestHr::horizRuleTag_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("percent");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("align");
    QTest::addColumn<bool>("shaded");
    QTest::addColumn<QString>("expected");
    QTest::newRow("opening values") << 100 << true << 1 << "" << true << "<HR WIDTH=100% SIZE=1>";
    QTest::newRow("pixels, size, align, unshaded")
        << 50 << false << 3 << "CENTER" << false << "<HR WIDTH=50 SIZE=3 ALIGN=CENTER NOSHADE>";
    QTest::newRow("typed alignment unchanged")
        << 1 << true << 100 << "middle x" << true << "<HR WIDTH=1% SIZE=100 ALIGN=middle x>";
    QTest::newRow("NOSHADE without ALIGN") << 7 << false << 2 << "" << false
                                           << "<HR WIDTH=7 SIZE=2 NOSHADE>";
}

void TestHr::horizRuleTag()
{
    QFETCH(int, width);
    QFETCH(bool, percent);
    QFETCH(int, size);
    QFETCH(QString, align);
    QFETCH(bool, shaded);
    QFETCH(QString, expected);
    QCOMPARE(HorizRuleTag(width, percent, size, align, shaded), expected);
}

void TestHr::clampSpinText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("in range") << "42" << 42;
    QTest::newRow("blanks around") << " 42 " << 42;
    QTest::newRow("above the range") << "250" << 100;
    QTest::newRow("zero") << "0" << 1;
    QTest::newRow("negative") << "-5" << 1;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("huge number") << "99999999999999999999999" << 100;
    QTest::newRow("empty counts as 1") << "" << 1;
    QTest::newRow("not a number counts as 1") << "1-2" << 1;
    QTest::newRow("lone sign counts as 1") << "-" << 1;
    // The field lets any white space be typed; it is blank, not "not a number".
    QTest::newRow("no-break space before") << QStringLiteral("\u00A042") << 42;
    QTest::newRow("em space before") << QStringLiteral("\u200342") << 42;
}

void TestHr::clampSpinText()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(::clampSpinText(text, 1, 100), expected);
}

void TestHr::init()
{
    if (runsWithoutWindows({"horizRuleTag", "clampSpinText"}))
        return;
    m_ui = startWithScriptedUi();
}

void TestHr::cleanup()
{
    QVERIFY(stopWithScriptedUi(m_ui));
}

void TestHr::openingValuesInsertDefaultTagOverSelection()
{
    setEditorText(QStringLiteral("a\r\nold\r\nb"), 3, 3);
    onNextModal([](QWidget *dlg) { child<QPushButton>(dlg, "Ok")->click(); });
    ToolBar->button(QStringLiteral("HorizRule"))->click();
    QCOMPARE(editor()->text(), QStringLiteral("a\r\n<HR WIDTH=100% SIZE=1>\r\nb"));
    QCOMPARE(editor()->selStart(), 3 + 22);
    QTRY_COMPARE(QApplication::activeWindow(), ZediDove);
    editor()->undo();
    QCOMPARE(editor()->text(), QStringLiteral("a\r\nold\r\nb"));
}

void TestHr::enteredValuesAndResetOnNextOpening()
{
    setEditorText(QString());
    onNextModal([](QWidget *dlg) {
        typeInto(child<ClampedSpinBox>(dlg, "Width"), QStringLiteral("50"));
        dlg->findChild<QRadioButton *>("Pixels")->click();
        typeInto(child<ClampedSpinBox>(dlg, "size"), QStringLiteral("3"));
        dlg->findChild<QComboBox *>("Alignment")->setCurrentIndex(2);
        dlg->findChild<QCheckBox *>("shade")->click();
        child<QPushButton>(dlg, "Ok")->click();
    });
    ZediDove->action(QLatin1String(TagCommand::HorizontalRule))->trigger();
    QCOMPARE(editor()->text(), QStringLiteral("<HR WIDTH=50 SIZE=3 ALIGN=CENTER NOSHADE>"));
    // Nothing survives to the next opening.
    setEditorText(QString());
    onNextModal([](QWidget *dlg) { child<QPushButton>(dlg, "Ok")->click(); });
    runCommand(TagCommand::HorizontalRule);
    QCOMPARE(editor()->text(), QStringLiteral("<HR WIDTH=100% SIZE=1>"));
}

void TestHr::widthIsClampedOnFocusLoss()
{
    setEditorText(QString());
    QString shownWhileTyping, shownAfterTab, sizeAfterTab;
    onNextModal([&](QWidget *dlg) {
        dlg->findChild<QRadioButton *>("Pixels")->click();
        typeInto(child<ClampedSpinBox>(dlg, "Width"), QStringLiteral("250"));
        shownWhileTyping = child<ClampedSpinBox>(dlg, "Width")->text();
        child<ClampedSpinBox>(dlg, "size")->setFocus(); // the width field loses the focus
        shownAfterTab = child<ClampedSpinBox>(dlg, "Width")->text();
        typeInto(child<ClampedSpinBox>(dlg, "size"), QStringLiteral("-"));
        child<ClampedSpinBox>(dlg, "Width")->setFocus();
        sizeAfterTab = child<ClampedSpinBox>(dlg, "size")->text();
        child<QPushButton>(dlg, "Ok")->click();
    });
    runCommand(TagCommand::HorizontalRule);
    QCOMPARE(shownWhileTyping, QStringLiteral("250"));
    QCOMPARE(shownAfterTab, QStringLiteral("100"));
    QCOMPARE(sizeAfterTab, QStringLiteral("1"));
    QCOMPARE(editor()->text(), QStringLiteral("<HR WIDTH=100 SIZE=1>"));
}

void TestHr::cancelInsertsNothingTitleBarCloseInserts()
{
    setEditorText(QStringLiteral("x"), 1);
    onNextModal([](QWidget *dlg) { child<QPushButton>(dlg, "Cancel")->click(); });
    runCommand(TagCommand::HorizontalRule);
    QCOMPARE(editor()->text(), QStringLiteral("x"));
    QTRY_COMPARE(QApplication::activeWindow(), ZediDove);

    onNextModal([](QWidget *dlg) {
        typeInto(child<ClampedSpinBox>(dlg, "size"), QStringLiteral("4"));
        dlg->close(); // the title bar's close button
        if (dlg->isVisible())
            dlg->hide();
    });
    runCommand(TagCommand::HorizontalRule);
    QCOMPARE(editor()->text(), QStringLiteral("x<HR WIDTH=100% SIZE=4>"));
}

void TestHr::escapeClosesNothingEnterPressesFocusedButton()
{
    setEditorText(QString());
    bool openAfterEscape = false, openAfterEnterInSpin = false;
    onNextModal([&](QWidget *dlg) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        openAfterEscape = dlg->isVisible();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        openAfterEnterInSpin = dlg->isVisible();
        child<QPushButton>(dlg, "Cancel")->setFocus();
        QTest::keyClick(child<QPushButton>(dlg, "Cancel"), Qt::Key_Return);
        if (dlg->isVisible())
            child<QPushButton>(dlg, "Ok")->click();
    });
    runCommand(TagCommand::HorizontalRule);
    QVERIFY(openAfterEscape);
    QVERIFY(openAfterEnterInSpin);
    QCOMPARE(editor()->text(), QString()); // Enter pressed "Cancel"
}

QTEST_MAIN(TestHr)
#include "tst_hr.moc"
