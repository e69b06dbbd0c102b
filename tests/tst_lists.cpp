#include "actions.h"
#include "editorbox.h"
#include "listboxes.h"
#include "listmarkup.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

QStringList listItems(QWidget *dialog)
{
    QStringList out;
    auto *list = child<QListWidget>(dialog, "ListBox");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void typeItem(QWidget *dialog, const QString &text)
{
    auto *items = child<QLineEdit>(dialog, "Items");
    QTest::keyClicks(items, text);
    QTest::keyClick(items, Qt::Key_Return);
}

const QString kSkeleton =
    QStringLiteral("<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here "
                   "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n\r\n</BODY>\r\n</HTML>");
const QString kOneTwo = QStringLiteral("<OL>       \r\n<LI>One\r\n<LI>Two\r\n</OL>");
} // namespace

class TestLists : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (runsWithoutWindows({"tags", "linkItem"}))
            return;
        m_ui = startWithScriptedUi();
    }
    void cleanup()
    {
        QVERIFY(stopWithScriptedUi(m_ui));
    }

    void tags_data();
    void tags();
    void linkItem_data();
    void linkItem();
    void writer_data();
    void writer();
    void writerIsOneUndoStep();

    void cancelChangesNothingAndResets();
    void doneWithEmptyListChangesNothing();
    void enterAddsItemsAndDoneWrites();
    void linkItemsThroughEnterChain();
    void removeSelectsThePreviousItem();
    void moveAndSortKeepTheRules();
    void reopeningAfterDoneWithUnordered();
    void escapeClosesNothingEnterPressesFocusedButton();
    void closingByFrameWritesLikeDone();
    void typedListTypeWritesNumberedList();
    void removeWithNothingSelectedRemovesNothing();
    void restoringFromMinimisedKeepsTheList();

private:
    ScriptedUi *m_ui = nullptr;
};

void TestLists::tags_data()
{
    QTest::addColumn<bool>("ordered");
    QTest::addColumn<QString>("numStyle");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("close");
    QTest::newRow("numbered") << true << "Numbered" << "<OL>       " << "</OL>";
    QTest::newRow("lowercase lettered")
        << true << "Lowercase Lettered" << "<OL TYPE=a>" << "</OL>";
    QTest::newRow("uppercase lettered")
        << true << "Uppercase Lettered" << "<OL TYPE=A>" << "</OL>";
    QTest::newRow("uppercase roman") << true << "Uppercase Roman" << "<OL TYPE=I>" << "</OL>";
    QTest::newRow("lowercase roman") << true << "Lowercase Roman" << "<OL TYPE=i>" << "</OL>";
    QTest::newRow("unordered ignores lowercase roman")
        << false << "Lowercase Roman" << "<UL>       " << "</UL>";
    QTest::newRow("typed name in other case is a plain ordered list")
        << true << "lowercase roman" << "<OL>       " << "</OL>";
    QTest::newRow("empty type is a plain ordered list") << true << "" << "<OL>       " << "</OL>";
}

void TestLists::tags()
{
    QFETCH(bool, ordered);
    QFETCH(QString, numStyle);
    QFETCH(QString, open);
    QFETCH(QString, close);
    const ListMarkup::Tags t = ListMarkup::tags(ordered, numStyle);
    QCOMPARE(t.open, open);
    QCOMPARE(t.open.size(), 11);
    QCOMPARE(t.close, close);
}

void TestLists::linkItem_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("expected");
    QTest::newRow("downloadable file takes no prefix")
        << "<DOWNLOADABLE FILE>" << "files/report.zip"
        << "<A HREF=\"files/report.zip\">Report</A>";
    QTest::newRow("ftp prefix") << "ftp://" << "host/x" << "<A HREF=\"ftp://host/x\">Report</A>";
    QTest::newRow("typed prefix") << "news:" << "group" << "<A HREF=\"news:group\">Report</A>";
    QTest::newRow("empty location") << "http://" << "" << "<A HREF=\"http://\">Report</A>";
}

void TestLists::linkItem()
{
    QFETCH(QString, prefix);
    QFETCH(QString, location);
    QFETCH(QString, expected);
    QCOMPARE(ListMarkup::linkItem(prefix, location, QStringLiteral("Report")), expected);
}

void TestLists::writer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("caret");

    const int emptyLine = int(kSkeleton.indexOf("<BODY>")) + 8;
    // The empty body line gives way to the list.
    QString skeletonResult = kSkeleton;
    skeletonResult.replace(emptyLine, 2, kOneTwo + "\r\n");
    QTest::newRow("empty line of the skeleton")
        << kSkeleton << emptyLine << 0 << skeletonResult
        << int(skeletonResult.indexOf("</BODY>"));
    const int afterBody = int(kSkeleton.indexOf("<BODY>")) + 6;
    QString bodyResult = kSkeleton;
    bodyResult.insert(afterBody + 2, kOneTwo + "\r\n");
    QTest::newRow("caret at the end of the body line")
        << kSkeleton << afterBody << 0 << bodyResult
        << int(bodyResult.indexOf(kOneTwo)) + int(kOneTwo.size()) + 2;

    const QString after = QStringLiteral("\r\n") + kOneTwo + QStringLiteral("\r\nz");
    const int end = int(QStringLiteral("x\r\nabcd").size() + after.size()) - 1;
    QTest::newRow("caret inside a line keeps it whole")
        << "x\r\nabcd\r\nz" << 5 << 0 << "x\r\nabcd" + after << end;
    QTest::newRow("selection inside a line is deleted")
        << "x\r\nabcd\r\nz" << 4 << 2 << "x\r\nad" + after << end - 2;
    QTest::newRow("selection over lines joins what is left")
        << "ab\r\ncd\r\nef" << 1 << 7 << "aef\r\n" + kOneTwo
        << int(("aef\r\n" + kOneTwo).size());
    QTest::newRow("caret on the last line ends the text with the list")
        << "x\r\nabcd" << 5 << 0 << "x\r\nabcd\r\n" + kOneTwo
        << int(("x\r\nabcd\r\n" + kOneTwo).size());
    QTest::newRow("caret on an empty last line")
        << "abcd\r\n" << 6 << 0 << "abcd\r\n" + kOneTwo << int(("abcd\r\n" + kOneTwo).size());
    QTest::newRow("empty document") << "" << 0 << 0 << kOneTwo << int(kOneTwo.size());
    QTest::newRow("whole text selected") << "abcd" << 0 << 4 << kOneTwo << int(kOneTwo.size());
    QTest::newRow("trailing line break stays after the list")
        << "abcd\r\n\r\n" << 6 << 0 << "abcd\r\n" + kOneTwo + "\r\n"
        << int(("abcd\r\n" + kOneTwo + "\r\n").size());
    // Earlier text that looks like list markup never draws the list away.
    const QString decoy = QStringLiteral("<OL>       *\r\n*\r\nab");
    QTest::newRow("marker-like text earlier in the page")
        << decoy << int(decoy.size()) - 1 << 0 << decoy + "\r\n" + kOneTwo
        << int((decoy + "\r\n" + kOneTwo).size());
}

void TestLists::writer()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, expected);
    QFETCH(int, caret);
    setEditorText(text, selStart, selLength);
    const ListMarkup::Tags tags = ListMarkup::tags(true, QStringLiteral("Numbered"));
    ListMarkup::writeBelowCaret(editor(), ListMarkup::lines(tags, {"One", "Two"}));
    QCOMPARE(editor()->text(), expected);
    QCOMPARE(editor()->selStart(), caret);
    QCOMPARE(editor()->selLength(), 0);
}

void TestLists::writerIsOneUndoStep()
{
    setEditorText(QStringLiteral("x\r\nabcd\r\nz"), 4, 2);
    const ListMarkup::Tags tags = ListMarkup::tags(false, QString());
    ListMarkup::writeBelowCaret(editor(), ListMarkup::lines(tags, {"One", "Two"}));
    editor()->undo();
    QCOMPARE(editor()->text(), QStringLiteral("x\r\nabcd\r\nz"));
}

void TestLists::cancelChangesNothingAndResets()
{
    setEditorText(kSkeleton, 75);
    onNextModal([](QWidget *d) {
        child<QRadioButton>(d, "UnOrderCk")->setChecked(true);
        typeItem(d, QStringLiteral("One"));
        child<QCheckBox>(d, "lnk")->setChecked(true);
        child<QLineEdit>(d, "Location")->setText(QStringLiteral("here"));
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(editor()->text(), kSkeleton);
    QCOMPARE(editor()->selStart(), 75);
    QVERIFY(!editor()->isModified());
    QVERIFY(child<QRadioButton>(ListBoxes, "OrderedCK")->isChecked());
    QCOMPARE(child<QListWidget>(ListBoxes, "ListBox")->count(), 0);
    QCOMPARE(ListBoxes->findChild<QLineEdit *>("Location")->text(), QString());
    QVERIFY(ListBoxes->findChild<QComboBox *>("NumStyle")->isEnabled());
}

void TestLists::doneWithEmptyListChangesNothing()
{
    setEditorText(kSkeleton, 75);
    onNextModal([](QWidget *d) { child<QPushButton>(d, "Done")->click(); });
    runCommand(TagCommand::Lists);
    QCOMPARE(editor()->text(), kSkeleton);
    QCOMPARE(editor()->selStart(), 75);
    QVERIFY(!editor()->isModified());
}

void TestLists::enterAddsItemsAndDoneWrites()
{
    setEditorText(kSkeleton, 75);
    QStringList stored;
    QWidget *focus = nullptr;
    onNextModal([&](QWidget *d) {
        typeItem(d, QStringLiteral("One"));
        typeItem(d, QStringLiteral("Two"));
        typeItem(d, QString()); // an empty item is an item too
        stored = listItems(d);
        focus = d->focusWidget();
        child<QPushButton>(d, "Done")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(stored, (QStringList{"One", "Two", ""}));
    QCOMPARE(focus, ListBoxes->findChild<QWidget *>("Items"));
    QString expected = kSkeleton;
    expected.replace(75, 2, kOneTwo.left(kOneTwo.size() - 5) + "<LI>\r\n</OL>\r\n");
    QCOMPARE(editor()->text(), expected);
    QCOMPARE(editor()->selStart(), int(expected.indexOf("</BODY>")));
}

void TestLists::linkItemsThroughEnterChain()
{
    setEditorText(QStringLiteral("x"), 1);
    QWidget *afterItems = nullptr;
    bool addEnabledInLocation = false, addEnabledAfter = true;
    QStringList stored;
    onNextModal([&](QWidget *d) {
        child<QCheckBox>(d, "lnk")->setChecked(true);
        auto *type = child<QComboBox>(d, "LnkType");
        type->setCurrentIndex(type->findText(QStringLiteral("<DOWNLOADABLE FILE>")));
        typeItem(d, QStringLiteral("Report"));
        afterItems = d->focusWidget();
        addEnabledInLocation = child<QToolButton>(d, "AddBut")->isEnabled();
        auto *location = child<QLineEdit>(d, "Location");
        QTest::keyClicks(location, QStringLiteral("files/report.zip"));
        QTest::keyClick(location, Qt::Key_Return);
        addEnabledAfter = child<QToolButton>(d, "AddBut")->isEnabled();
        type->setCurrentIndex(type->findText(QStringLiteral("ftp://")));
        child<QLineEdit>(d, "Items")->setText(QStringLiteral("Site"));
        location->setText(QStringLiteral("host/pub"));
        child<QToolButton>(d, "AddBut")->click();
        stored = listItems(d);
        child<QPushButton>(d, "Done")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(afterItems, ListBoxes->findChild<QWidget *>("Location"));
    QVERIFY(addEnabledInLocation);
    QVERIFY(!addEnabledAfter);
    QCOMPARE(stored, (QStringList{"<A HREF=\"files/report.zip\">Report</A>",
                                  "<A HREF=\"ftp://host/pub\">Site</A>"}));
    QCOMPARE(editor()->text(),
             QStringLiteral("x\r\n<OL>       \r\n<LI><A HREF=\"files/report.zip\">Report</A>\r\n"
                            "<LI><A HREF=\"ftp://host/pub\">Site</A>\r\n</OL>"));
}

void TestLists::removeSelectsThePreviousItem()
{
    QStringList afterFirst, afterMiddle;
    int selFirst = -2, selMiddle = -2, selEmpty = -2;
    onNextModal([&](QWidget *d) {
        auto *list = child<QListWidget>(d, "ListBox");
        auto *remove = child<QPushButton>(d, "Remove");
        for (const char *t : {"a", "b", "c"})
            typeItem(d, QLatin1String(t));
        list->setCurrentRow(0);
        remove->click();
        afterFirst = listItems(d);
        selFirst = list->currentRow();
        typeItem(d, QStringLiteral("d")); // selection moves on to row 1
        remove->click();
        afterMiddle = listItems(d);
        selMiddle = list->currentRow();
        remove->click();
        remove->click();
        remove->click(); // empty list: nothing
        selEmpty = list->currentRow();
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(afterFirst, (QStringList{"b", "c"}));
    QCOMPARE(selFirst, 0);
    QCOMPARE(afterMiddle, (QStringList{"b", "d"}));
    QCOMPARE(selMiddle, 0);
    QCOMPARE(selEmpty, -1);
}

void TestLists::moveAndSortKeepTheRules()
{
    QStringList upFirst, dnLast, upSecond, sorted, appended;
    int selUp = -2, selSorted = -2;
    onNextModal([&](QWidget *d) {
        auto *list = child<QListWidget>(d, "ListBox");
        for (const char *t : {"b", "C", "a"})
            typeItem(d, QLatin1String(t));
        list->setCurrentRow(0);
        child<QToolButton>(d, "MoveUp")->click();
        upFirst = listItems(d);
        list->setCurrentRow(2);
        child<QToolButton>(d, "MoveDn")->click();
        dnLast = listItems(d);
        list->setCurrentRow(1);
        child<QToolButton>(d, "MoveUp")->click();
        upSecond = listItems(d);
        selUp = list->currentRow();
        child<QPushButton>(d, "SortBut")->click();
        sorted = listItems(d);
        selSorted = list->currentRow();
        list->setCurrentRow(2);
        typeItem(d, QStringLiteral("A0"));
        appended = listItems(d);
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(upFirst, (QStringList{"b", "C", "a"}));
    QCOMPARE(dnLast, (QStringList{"b", "C", "a"}));
    QCOMPARE(upSecond, (QStringList{"C", "b", "a"}));
    QCOMPARE(selUp, 0);
    QCOMPARE(sorted, (QStringList{"a", "b", "C"}));
    QCOMPARE(selSorted, 0);
    QCOMPARE(appended, (QStringList{"a", "b", "C", "A0"}));
}

void TestLists::reopeningAfterDoneWithUnordered()
{
    setEditorText(QStringLiteral("abcd"), 2);
    onNextModal([](QWidget *d) {
        child<QComboBox>(d, "NumStyle")->setEditText(QStringLiteral("Lowercase Roman"));
        child<QRadioButton>(d, "UnOrderCk")->click();
        typeItem(d, QStringLiteral("One"));
        child<QCheckBox>(d, "lnk")->setChecked(true);
        child<QLineEdit>(d, "Location")->setText(QStringLiteral("kept"));
        child<QPushButton>(d, "Done")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(editor()->text(), QStringLiteral("abcd\r\n<UL>       \r\n<LI>One\r\n</UL>"));

    bool unordered = false, numEnabled = true, linkChecked = true, locationEnabled = true;
    QString numText, location;
    int count = -1;
    onNextModal([&](QWidget *d) {
        unordered = child<QRadioButton>(d, "UnOrderCk")->isChecked();
        numEnabled = child<QComboBox>(d, "NumStyle")->isEnabled();
        numText = child<QComboBox>(d, "NumStyle")->currentText();
        linkChecked = child<QCheckBox>(d, "lnk")->isChecked();
        locationEnabled = child<QLineEdit>(d, "Location")->isEnabled();
        location = child<QLineEdit>(d, "Location")->text();
        count = child<QListWidget>(d, "ListBox")->count();
        child<QPushButton>(d, "Done")->click();
    });
    runCommand(TagCommand::Lists);
    QVERIFY(unordered);
    QVERIFY(!numEnabled);
    QCOMPARE(numText, QStringLiteral("Numbered"));
    QVERIFY(!linkChecked);
    QVERIFY(!locationEnabled);
    QCOMPARE(location, QStringLiteral("kept"));
    QCOMPARE(count, 0);
}

void TestLists::escapeClosesNothingEnterPressesFocusedButton()
{
    setEditorText(QStringLiteral("x"), 1);
    bool openAfterEscape = false, openAfterEnterInItems = false;
    onNextModal([&](QWidget *d) {
        typeItem(d, QStringLiteral("One"));
        QTest::keyClick(child<QLineEdit>(d, "Items"), Qt::Key_Escape);
        QTest::keyClick(d, Qt::Key_Escape);
        openAfterEscape = d->isVisible();
        QTest::keyClick(child<QLineEdit>(d, "Items"), Qt::Key_Enter);
        openAfterEnterInItems = d->isVisible();
        auto *done = child<QPushButton>(d, "Done");
        done->setFocus();
        QTest::keyClick(done, Qt::Key_Return);
        if (d->isVisible())
            child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Lists);
    QVERIFY(openAfterEscape);
    QVERIFY(openAfterEnterInItems);
    QCOMPARE(editor()->text(), QStringLiteral("x\r\n<OL>       \r\n<LI>One\r\n<LI>\r\n</OL>"));
}

void TestLists::closingByFrameWritesLikeDone()
{
    setEditorText(kSkeleton, 75);
    onNextModal([](QWidget *d) {
        for (const char *t : {"One", "Two"})
            typeItem(d, QLatin1String(t));
        d->close();
    });
    runCommand(TagCommand::Lists);
    QString expected = kSkeleton;
    expected.replace(75, 2, kOneTwo + "\r\n");
    QCOMPARE(editor()->text(), expected);
}

void TestLists::typedListTypeWritesNumberedList()
{
    setEditorText(QStringLiteral("a*b\r\ncd"), 6);
    onNextModal([](QWidget *d) {
        child<QComboBox>(d, "NumStyle")->setEditText(QStringLiteral("Roman"));
        typeItem(d, QStringLiteral("One"));
        child<QPushButton>(d, "Done")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(editor()->text(), QStringLiteral("a*b\r\ncd\r\n<OL>       \r\n<LI>One\r\n</OL>"));
}

QTEST_MAIN(TestLists)
#include "tst_lists.moc"

void TestLists::removeWithNothingSelectedRemovesNothing()
{
    QStringList after;
    onNextModal([&](QWidget *d) {
        auto *list = child<QListWidget>(d, "ListBox");
        for (const char *t : {"a", "b", "c"})
            typeItem(d, QLatin1String(t));
        list->setCurrentRow(2);
        list->clearSelection(); // as Ctrl+click leaves it: a current row, nothing selected
        child<QPushButton>(d, "Remove")->click();
        after = listItems(d);
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(after, (QStringList{"a", "b", "c"}));
}

void TestLists::restoringFromMinimisedKeepsTheList()
{
    QStringList after;
    onNextModal([&](QWidget *d) {
        typeItem(d, QStringLiteral("One"));
        typeItem(d, QStringLiteral("Two"));
        d->showMinimized();
        d->showNormal();
        after = listItems(d);
        child<QPushButton>(d, "Cancel")->click();
    });
    runCommand(TagCommand::Lists);
    QCOMPARE(after, (QStringList{"One", "Two"}));
}
