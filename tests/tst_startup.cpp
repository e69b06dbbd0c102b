// Start-up order, the menu tree and button bar, the palette, the splash,
// the about box, help, and the View toggles.
#include "actions.h"
#include "editorbox.h"
#include "helpfile.h"
#include "htmldoc.h"
#include "introscreen.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QDockWidget>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
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
        m_ui = startWithScriptedUi();
    }
    void cleanup()
    {
        QVERIFY(stopWithScriptedUi(m_ui));
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
            "&Close|", "-", "&Preferences|", "-", "E&xit|", "-", "Reopen with &Encoding|",
            "Save &with Encoding|", "-", "Open &Folder...|", "Close Fol&der|"};
        // The original items first; the additions follow a separator.
        QTest::newRow("Edit") << "&Edit" << QStringList{
            "C&ut |Ctrl+X", "&Copy|Ctrl+C", "&Paste|Ctrl+V", "-", "Un&do|Ctrl+Z",
            "&Redo|Ctrl+Shift+Z", "-", "&Find...|Ctrl+F", "Find &Next|F3",
            "Find Pre&vious|Shift+F3", "R&eplace...|Ctrl+R", "&Go to Line...|Ctrl+G", "-",
            "Close &Tags Automatically|", "Go to &Matching Tag|Ctrl+J",
            "Select E&lement|Ctrl+Shift+J", "-", "E&xpand Abbreviation|Ctrl+Shift+E",
            "Ren&ame Tag Pairs|", "-", "Find in &Files...|Ctrl+Shift+F"};
        QTest::newRow("View") << "&View" << QStringList{
            "HTML &Tools|Ctrl+T", "&Docked Bar|Ctrl+D", "-", "&Word Wrap|", "&Status Bar|", "&Preview|F6",
            "Preview in &Browser|F12", "&Folder|"};
        QTest::newRow("Appearance") << "&Appearance" << QStringList{
            "&Bold          <STRONG>|Ctrl+B", "&Italic          <EM>|Ctrl+I",
            "&Underline  <U>|Ctrl+U", "B&linking     <BLINK>|", "&Center       <CENTER>|Ctrl+E",
            "&Preformatted Text <PRE>|", "-", "Heading &1 <H1>|", "Heading &2 <H2>|",
            "Heading &4 <H4>|", "Heading &3 <H3>|", "Heading &5 <H5>|", "Heading &6 <H6>|"};
        QTest::newRow("Tools") << "&Tools" << QStringList{
            "&Document Info|", "&Add a Link|Ctrl+L", "&Image Insertion|Ctrl+M",
            "&Lists|Ctrl+Shift+L", "&Table|Ctrl+A", "Tar&get|Ctrl+Shift+T", "-",
            "&Paragraph          <P>|Ctrl+P", "&Horizontal Rule <HR>|Ctrl+H",
            "Line &Break         <BR>|Ctrl+Shift+B", "-", "Chec&k Page|F7", "Check As &You Type|", "-",
            "Check &Spelling|", "Spelling La&nguage|", "-", "Check &Site|"};
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
        // The page check pane's advice switches are its own, not the menus'.
        const QObject *pane = ZediDove->findChild<QDockWidget *>(QStringLiteral("PageCheck"));
        QVERIFY(pane);
        auto inPane = [pane](const QObject *o) {
            for (; o; o = o->parent())
                if (o == pane)
                    return true;
            return false;
        };
        for (QAction *a : ZediDove->findChildren<QAction *>())
            checked += a->isChecked() && !inPane(a);
        QCOMPARE(checked, 7);
        QVERIFY(ZediDove->action(QStringLiteral("EditCloseTags"))->isChecked());
        QVERIFY(ZediDove->action(QStringLiteral("EditRenameTagPairs"))->isChecked());
        QVERIFY(ZediDove->action(QLatin1String(ActionId::HtmlTools))->isChecked());
        QVERIFY(ZediDove->action(QStringLiteral("ToolsCheckSpelling"))->isChecked());
        QVERIFY(ZediDove->action(QStringLiteral("ToolsCheckAsYouType"))->isChecked());
        QVERIFY(ZediDove->action(QLatin1String(ActionId::DockedBar))->isChecked());
        // The status bar shows at first start, and its item says so.
        QVERIFY(ZediDove->statusBar()->isVisible());
        QVERIFY(ZediDove->findChild<QAction *>(QLatin1String(ActionId::StatusBar))->isChecked());
    }

    // Every row of the registry is reachable and distinct: its menu item
    // exists in a menu and is enabled while a document is open, no two rows
    // share a name or a key, and the registry placed every row.
    void everyRowReachableAndDistinct()
    {
        ActionRegistry *actions = ZediDove->actions();
        QCOMPARE(actions->faults(), QStringList());
        // Undo and Redo follow the document's history: give it both.
        setEditorText(QStringLiteral("ab"), 2);
        QTextCursor(editor()->document()).insertText(QStringLiteral("c"));
        editor()->insertPlainText(QStringLiteral("d"));
        editor()->undo();
        emit actions->menu(QLatin1String(ActionId::ViewMenu))->aboutToShow();
        QSet<QString> ids;
        QHash<QKeySequence, QString> keys;
        int items = 0;
        for (const ActionRow &r : actions->rows()) {
            const QByteArray name = r.id.toUtf8();
            const char *id = name.constData();
            QVERIFY2(r.id.isEmpty() || !ids.contains(r.id), id);
            ids << r.id;
            for (const QKeySequence &k : r.keys) {
                QVERIFY2(!keys.contains(k), qPrintable(k.toString() + QLatin1Char(' ') + r.id
                                                       + QLatin1Char(' ') + keys.value(k)));
                keys.insert(k, r.id);
            }
            if (r.kind != ActionRow::Item)
                continue;
            ++items;
            QAction *a = ZediDove->action(r.id);
            QVERIFY2(a, id);
            QCOMPARE(a->objectName(), r.id);
            QCOMPARE(a->text(), r.caption);
            QCOMPARE(a->shortcuts(), r.keys);
            QVERIFY2(!a->associatedObjects().isEmpty(), id);
            QVERIFY2(a->isEnabled(), id);
        }
        QVERIFY(items >= 21 + 12); // the tag commands and the colours at least
        // Every key of the window, the registry's or not, does one thing.
        QHash<QKeySequence, QString> all;
        for (QAction *a : ZediDove->findChildren<QAction *>())
            for (const QKeySequence &k : a->shortcuts()) {
                QVERIFY2(!all.contains(k), qPrintable(k.toString() + QLatin1Char(' ')
                                                      + a->objectName()));
                all.insert(k, a->objectName());
            }
    }

    // Each bar and palette button stands where its row puts it, keeps clear
    // of the others, and runs its row's action.
    void buttonsRunTheirRows_data()
    {
        QTest::addColumn<bool>("palette");
        QTest::newRow("button bar") << false;
        QTest::newRow("tool palette") << true;
    }
    void buttonsRunTheirRows()
    {
        QFETCH(bool, palette);
        QWidget *holder = palette ? static_cast<QWidget *>(ToolBar) : ZediDove->dockedBar();
        QCOMPARE(ZediDove->dockedBar()->height(), 33);
        QCOMPARE(ToolBar->size(), QSize(198, 50));
        int rows = 0;
        QList<QRect> taken;
        for (const ActionRow &r : ZediDove->actions()->rows()) {
            const char *name = palette ? r.palette.name : r.bar.name;
            if (!name)
                continue;
            ++rows;
            auto *b = holder->findChild<QToolButton *>(QLatin1String(name));
            QVERIFY2(b, name);
            QCOMPARE(b->toolTip(), QLatin1String(palette ? r.palette.hint : r.bar.hint));
            QCOMPARE(b->geometry(), palette ? QRect(r.palette.col * 28, r.palette.row * 24, 29, 25)
                                            : QRect(r.bar.left, 4, r.bar.width, 25));
            QVERIFY2(holder->rect().contains(b->geometry()), name);
            // The palette's buttons share their one-pixel borders.
            for (const QRect &other : std::as_const(taken))
                QVERIFY2(!other.adjusted(0, 0, -1, -1).intersects(b->geometry().adjusted(0, 0, -1, -1)),
                         name);
            taken << b->geometry();
            QVERIFY2(!b->icon().isNull() || !b->text().isEmpty(), name);

            QSignalSpy ran(ZediDove->action(r.id), &QAction::triggered);
            onNextModal([](QWidget *w) { w->close(); });
            QTest::mouseClick(b, Qt::LeftButton);
            // A command that asked nothing leaves the closer waiting.
            qDeleteAll(qApp->findChildren<QTimer *>(QStringLiteral("onNextModal")));
            QVERIFY2(ran.size() == 1, name);
        }
        QCOMPARE(holder->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly).size(), rows);
    }

    // Close Tags and Rename Tag Pairs are the user's, kept from one run to the next; the commands
    // answer their keys in the document.
    void closeTagsSwitchKeptAndMatchingKeys()
    {
        QAction *closeTags = ZediDove->action(QStringLiteral("EditCloseTags"));
        closeTags->trigger();
        QVERIFY(!EditorBox::closesTags());
        ZediDove->action(QStringLiteral("EditRenameTagPairs"))->trigger();
        QVERIFY(!EditorBox::renamesTagPairs());
        stopApplication();
        startApplication();
        closeTags = ZediDove->action(QStringLiteral("EditCloseTags"));
        QVERIFY(!closeTags->isChecked());
        QAction *rename = ZediDove->action(QStringLiteral("EditRenameTagPairs"));
        QVERIFY(!rename->isChecked());
        QVERIFY(!EditorBox::renamesTagPairs());
        rename->trigger();
        QVERIFY(EditorBox::renamesTagPairs());
        setEditorText(QString());
        editor()->setFocus();
        QTest::keyClicks(editor(), QStringLiteral("<b>"));
        QCOMPARE(editor()->text(), QStringLiteral("<b>"));
        closeTags->trigger();
        QVERIFY(EditorBox::closesTags());
        QTest::keyClicks(editor(), QStringLiteral("<i>"));
        QCOMPARE(editor()->text(), QStringLiteral("<b><i></i>"));
        // As the platform delivers keys: shortcuts included.
        QTRY_VERIFY(QGuiApplication::focusWindow());
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(editor()->textCursor().position(), 3);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_J,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor()->textCursor().selectedText(), QStringLiteral("<i></i>"));
    }

    void barToggleKeepsButtonsAndMark()
    {
        QAction *a = ZediDove->action(QLatin1String(ActionId::DockedBar));
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
        QAction *a = ZediDove->action(QLatin1String(ActionId::HtmlTools));
        a->trigger();
        QVERIFY(!ToolBar->isVisible());
        QVERIFY(!a->isChecked());
        setEditorText(QStringLiteral("x"), 0, 1);
        ZediDove->action(QLatin1String(TagCommand::Underline))->trigger();
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
        QVERIFY(ToolBar->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(ToolBar->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(ToolBar->button(QStringLiteral("Lists"))->text(), QStringLiteral("List"));
        QCOMPARE(ToolBar->button(QStringLiteral("HorizRule"))->text(), QStringLiteral("HR"));
        QVERIFY(!ToolBar->button(QStringLiteral("Image"))->icon().isNull());
        QCOMPARE(ZediDove->dockedBar()->findChild<QToolButton *>(QStringLiteral("DocDock"))->text(),
                 QStringLiteral("Document Info."));
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
        platformUi().showHelp(helpFilePath());
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
        QMenu *w = ZediDove->menuBar()->findChild<QMenu *>(QLatin1String(ActionId::WindowMenu));
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
