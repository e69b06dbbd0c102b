// Start-up order, the menu tree and button bar, the palette, the splash,
// the about box, help, and the View toggles.
#include "editorbox.h"
#include "htmldoc.h"
#include "introscreen.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

namespace {
// "caption|shortcut" for every item of a menu, separators as "-".
QStringList describe(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator())
            out << QStringLiteral("-");
        else
            out << a->text() + QLatin1Char('|') + a->shortcut().toString();
    }
    return out;
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
private slots:
    void init()
    {
        m_ui = new ScriptedUi;
        startApplication();
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        stopApplication();
        delete m_ui;
        QVERIFY(noDialogLeft);
    }

    void endsWithOneDocumentAfterSplash()
    {
        QCOMPARE(ZediDove->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        QCOMPARE(LastSlot, 1);
        QVERIFY(!IntroScreen->isVisible());
        QVERIFY(ZediDove->isVisible());
        QVERIFY(ToolBar->isVisible());
        QVERIFY(!ZediDove->FirstTimer);
        QVERIFY(!ZediDove->startupTimer()->isActive());
    }

    void menuTree_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("File") << "&File" << QStringList{
            "&New|", "-", "&Open|Ctrl+O", "Open &Recent|", "&Save|Ctrl+S", "S&ave As...|",
            "&Close|", "-", "&Preferences|", "-", "E&xit|"};
        // The original items first; the additions follow a separator.
        QTest::newRow("Edit") << "&Edit" << QStringList{
            "C&ut |Ctrl+X", "&Copy|Ctrl+C", "&Paste|Ctrl+V", "-", "Un&do|Ctrl+Z",
            "&Redo|Ctrl+Shift+Z", "-", "&Find...|Ctrl+F", "Find &Next|F3",
            "Find Pre&vious|Shift+F3", "R&eplace...|Ctrl+R", "&Go to Line...|Ctrl+G"};
        QTest::newRow("View") << "&View" << QStringList{
            "HTML &Tools|Ctrl+T", "&Docked Bar|Ctrl+D", "-", "&Word Wrap|", "&Status Bar|", "&Preview|F6",
            "Preview in &Browser|F12"};
        QTest::newRow("Appearance") << "&Appearance" << QStringList{
            "&Bold          <STRONG>|Ctrl+B", "&Italic          <EM>|Ctrl+I",
            "&Underline  <U>|Ctrl+U", "B&linking     <BLINK>|", "&Center       <CENTER>|Ctrl+E",
            "&Preformatted Text <PRE>|", "-", "Heading &1 <H1>|", "Heading &2 <H2>|",
            "Heading &4 <H4>|", "Heading &3 <H3>|", "Heading &5 <H5>|", "Heading &6 <H6>|"};
        QTest::newRow("Tools") << "&Tools" << QStringList{
            "&Document Info|", "&Add a Link|Ctrl+L", "&Image Insertion|Ctrl+M",
            "&Lists|Ctrl+Shift+L", "&Table|Ctrl+A", "Tar&get|Ctrl+Shift+T", "-",
            "&Paragraph          <P>|Ctrl+P", "&Horizontal Rule <HR>|Ctrl+H",
            "Line &Break         <BR>|Ctrl+Shift+B", "-", "Chec&k Page|F7"};
        QTest::newRow("Window") << "&Window" << QStringList{"&Tile|", "&Cascade|"};
        QTest::newRow("Help") << "&Help" << QStringList{"&Contents|", "About ZEDI Dove|"};
    }
    void menuTree()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        QMenu *found = nullptr;
        for (QAction *a : ZediDove->menuBar()->actions())
            if (a->text() == menu)
                found = a->menu();
        QVERIFY(found);
        QCOMPARE(describe(found), items);
    }

    void menuOrderAndCheckMarks()
    {
        QStringList tops;
        for (QAction *a : ZediDove->menuBar()->actions())
            tops << a->text();
        QCOMPARE(tops, (QStringList{"&File", "&Edit", "&View", "&Appearance", "&Tools", "&Window",
                                    "&Help"}));
        auto *prefs = ZediDove->menuBar()->findChild<QMenu *>(QStringLiteral("Preferences1"));
        QVERIFY(prefs);
        QCOMPARE(describe(prefs), (QStringList{"Text Color|", "Background Color|", "Save Settings|"}));
        for (const char *sub : {"TextColor1", "BackGroundColor1"}) {
            auto *m = ZediDove->menuBar()->findChild<QMenu *>(QLatin1String(sub));
            QVERIFY(m);
            QCOMPARE(describe(m), (QStringList{"Red|", "Blue|", "Yellow|", "Green|", "Black|", "White|"}));
        }
        int checked = 0;
        for (QAction *a : ZediDove->findChildren<QAction *>())
            checked += a->isChecked();
        QCOMPARE(checked, 3);
        QVERIFY(ZediDove->action(QStringLiteral("HTMLToolsBut"))->isChecked());
        QVERIFY(ZediDove->action(QStringLiteral("DockedBar1"))->isChecked());
        // The status bar shows at first start, and its item says so.
        QVERIFY(ZediDove->statusBar()->isVisible());
        QVERIFY(ZediDove->findChild<QAction *>(QStringLiteral("ViewStatusBar"))->isChecked());
    }

    void buttonBar()
    {
        const QList<QToolButton *> buttons =
            ZediDove->dockedBar()->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(buttons.size(), 15);
        QCOMPARE(ZediDove->dockedBar()->height(), 33);
        const QStringList hints = {"Create a new document", "Open a document", "Save current document",
                                   "Bold", "Italics", "Underline", "Blinking text", "Center text",
                                   "Paragraph", "Break", "Preformatted text", "Add a link",
                                   "Insert image", "Create a table",
                                   "Document information (text color, background, etc.)"};
        const QList<int> lefts = {4, 28, 52, 96, 120, 144, 168, 216, 240, 264, 288, 320, 348, 376, 412};
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(buttons[i]->toolTip(), hints[i]);
            QCOMPARE(buttons[i]->geometry().topLeft(), QPoint(lefts[i], 4));
        }
        QCOMPARE(buttons.last()->text(), QStringLiteral("Document Info."));
        QCOMPARE(buttons.last()->width(), 101);
    }

    void barToggleKeepsButtonsAndMark()
    {
        QAction *a = ZediDove->action(QStringLiteral("DockedBar1"));
        a->trigger();
        QVERIFY(!ZediDove->dockedBar()->isVisible());
        QVERIFY(!a->isChecked());
        a->trigger();
        QVERIFY(ZediDove->dockedBar()->isVisible());
        QVERIFY(a->isChecked());
        QCOMPARE(ZediDove->dockedBar()->findChild<QToolButton *>(QStringLiteral("DocDock"))->pos(),
                 QPoint(412, 4));
    }

    void paletteToggleAndForwardingWhileHidden()
    {
        QAction *a = ZediDove->action(QStringLiteral("HTMLToolsBut"));
        a->trigger();
        QVERIFY(!ToolBar->isVisible());
        QVERIFY(!a->isChecked());
        setEditorText(QStringLiteral("x"), 0, 1);
        ZediDove->action(QStringLiteral("Underline1"))->trigger();
        QCOMPARE(editor()->text(), QStringLiteral("<U>x</U>"));
        a->trigger();
        QVERIFY(ToolBar->isVisible());
        QVERIFY(a->isChecked());
        // A window manager's close hides it like the toggle, mark included.
        ToolBar->close();
        QVERIFY(!ToolBar->isVisible());
        QVERIFY(!a->isChecked());
    }

    void paletteLayout()
    {
        QCOMPARE(ToolBar->windowTitle(), QStringLiteral("Tools!"));
        QCOMPARE(ToolBar->size(), QSize(198, 50));
        QVERIFY(ToolBar->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(ToolBar->windowFlags() & Qt::WindowCloseButtonHint));
        const QList<QToolButton *> buttons = ToolBar->findChildren<QToolButton *>();
        QCOMPARE(buttons.size(), 14);
        const QStringList names = {"HorizRule", "H1", "H2", "H3", "H4", "H5", "H6",
                                   "Image", "Link", "Lists", "TableBut", "Target", "BreakBut", "Para"};
        const QStringList hints = {"Horizontal rule", "Heading 1", "Heading 2", "Heading 3",
                                   "Heading 4", "Heading 5", "Heading 6", "Insert image",
                                   "Insert a link", "Ordered/Unordered lists", "Create Tables",
                                   "Target", "Break", "Paragraph"};
        for (int i = 0; i < names.size(); ++i) {
            QToolButton *b = ToolBar->button(names[i]);
            QVERIFY2(b, qPrintable(names[i]));
            QCOMPARE(b->toolTip(), hints[i]);
            QCOMPARE(b->geometry(), QRect((i % 7) * 28, (i / 7) * 24, 29, 25));
        }
        QCOMPARE(ToolBar->button(QStringLiteral("Lists"))->text(), QStringLiteral("List"));
        QCOMPARE(ToolBar->button(QStringLiteral("HorizRule"))->text(), QStringLiteral("HR"));
        QVERIFY(!ToolBar->button(QStringLiteral("Image"))->icon().isNull());
    }

    void aboutBoxRepeatsWithFocusOnOk()
    {
        for (int i = 0; i < 2; ++i) {
            bool focused = false;
            onNextModal([&](QWidget *w) {
                auto *ok = w->findChild<QPushButton *>(QStringLiteral("OKButton"));
                focused = ok && QApplication::focusWidget() == ok;
                QTest::keyClick(w, Qt::Key_Return);
                if (w->isVisible())
                    w->close();
            });
            ZediDove->action(QStringLiteral("AboutZEDIDove1"))->trigger();
            QVERIFY(focused);
            QCOMPARE(AboutHTML->windowTitle(), QStringLiteral("Tagloom Html 1.0 beta 5"));
        }
    }

    void helpOpensAnAbsoluteFile()
    {
        ZediDove->action(QStringLiteral("Contents1"))->trigger();
        QCOMPARE(m_ui->helpShown.size(), 1);
        QVERIFY(QFileInfo(m_ui->helpShown.first()).isAbsolute());
    }

    // The help viewer opens wholly on the screen wherever the main window is.
    void helpViewerOpensOnScreen_data()
    {
        QTest::addColumn<QPoint>("mainAt"); // relative to the available area
        QTest::newRow("main window in the bottom right corner") << QPoint(-200, -150);
        QTest::newRow("main window past the top left") << QPoint(-5000, -5000);
        QTest::newRow("main window in the middle") << QPoint(0, 0);
    }
    void helpViewerOpensOnScreen()
    {
        QFETCH(QPoint, mainAt);
        const QRect area = ZediDove->screen()->availableGeometry();
        ZediDove->move(mainAt.x() < -1000 ? area.topLeft() + mainAt
                       : mainAt.isNull() ? area.center() - ZediDove->rect().center()
                                         : area.bottomRight() + mainAt);
        platformUi().showHelp(ZediDove->helpFilePath());
        QWidget *help = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("QTextBrowser") && w->isVisible())
                help = w;
        QVERIFY(help);
        QVERIFY2(area.contains(help->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(help->x())
                                .arg(help->y())
                                .arg(help->width())
                                .arg(help->height())));
        help->close();
        // A window larger than the area is made to fit as well.
        QCOMPARE(fitInside(QRect(-10, 50, 3000, 200), QRect(0, 0, 800, 600)),
                 QRect(0, 50, 800, 200));
    }

    void windowMenuListsDocuments()
    {
        ZediDove->New1Click();
        QMenu *w = ZediDove->menuBar()->findChild<QMenu *>(QStringLiteral("Window1"));
        QVERIFY(w);
        emit w->aboutToShow();
        QStringList items = describe(w);
        QCOMPARE(items, (QStringList{"&Tile|", "&Cascade|", "-", "&1 HTML 1|", "&2 HTML 2|"}));
        w->actions().at(3)->trigger();
        QCOMPARE(ZediDove->documents()->currentSlot(), 1);
        ZediDove->action(QStringLiteral("Tile1"))->trigger();
        ZediDove->action(QStringLiteral("Cascade1"))->trigger();
        QCOMPARE(ZediDove->mdiArea()->subWindowList().size(), 2);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
