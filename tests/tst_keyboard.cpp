// Where the keyboard goes once a feature that took it gives it back. Four
// documents are open, the one in use neither the first nor the last; each
// row goes through one path (a bar, a box, a dialog, a pane), then types a
// character as the user would, into whatever has the keyboard. Only the
// document in use (or the one a check result belongs to) may change.
#include "actions.h"
#include "editorbox.h"
#include "findbar.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "pagecheckpane.h"
#include "previewpane.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "workbench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDockWidget>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEngineView>
#include <QWindow>

namespace {
constexpr int kDocs = 4;
constexpr int kInUse = 2; // 1-based: the second of four

// A key as the platform delivers it: to the window that has the focus,
// which hands it to its focus widget (shortcuts included).
void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWindow *w = QGuiApplication::focusWindow();
    QVERIFY2(w, "no window has the keyboard");
    QTest::keyClick(w, Qt::Key(key), mods);
}

void typeText(const QString &text)
{
    for (QChar c : text) {
        QWindow *w = QGuiApplication::focusWindow();
        QVERIFY2(w, "no window has the keyboard");
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, c.toLatin1(), Qt::NoModifier);
    }
}

// Clicks a widget with the mouse as the platform would.
void mouseOn(QWidget *w, Qt::MouseButton button = Qt::LeftButton, bool twice = false)
{
    if (twice)
        QTest::mouseDClick(w, button);
    else
        QTest::mouseClick(w, button);
}

QAction *item(const char *name) { return ZediDove->findChild<QAction *>(QLatin1String(name)); }

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QList<THTMLDOC *> m_docs;

    THTMLDOC *inUse() const { return m_docs.at(kInUse - 1); }
    QStringList texts() const
    {
        QStringList t;
        for (THTMLDOC *d : m_docs)
            t << d->editor()->text();
        return t;
    }
    // Runs a modal path with the real boxes, answered by `answer`.
    void withRealBoxes(const std::function<void()> &path)
    {
        UiSeam *scripted = setUi(&platformUi());
        path();
        setUi(scripted);
    }

private slots:
    void init()
    {
        m_ui = startWithScriptedUi();
        ZediDove->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(ZediDove));
        while (openDocuments() < kDocs)
            ZediDove->New1Click();
        m_docs = ZediDove->documents()->documents();
        QCOMPARE(m_docs.size(), kDocs);
        for (int i = 0; i < kDocs; ++i) {
            EditorBox *e = m_docs.at(i)->editor();
            e->loadText(QStringLiteral("<P>page %1 needle</P>\r\nneedle again").arg(i + 1));
            m_docs.at(i)->page()->setModified(false);
        }
        ZediDove->mdiArea()->setActiveSubWindow(inUse());
        inUse()->editor()->setFocus();
        inUse()->editor()->setSelStart(3);
        QTRY_VERIFY(inUse()->editor()->hasFocus());
        QCOMPARE(ZediDove->currentDocument(), inUse());
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        markAllUnchanged();
        stopApplication();
        delete m_ui;
        m_docs.clear();
        QVERIFY(noDialogLeft);
    }

    void keyboardComesBackToTheDocumentInUse_data()
    {
        QTest::addColumn<QString>("path");
        // Whose document the keyboard belongs in afterwards (1-based).
        QTest::addColumn<int>("owner");
        const QStringList paths = {
            "find, Enter, Escape",
            "find, Enter, close button",
            "find, Escape from a check box",
            "replace, Enter in Replace, Escape",
            "replace, Replace All, Escape",
            "find bar, document closed meanwhile, Escape",
            "go to line, OK",
            "go to line, Cancel",
            "go to line, markup answer then OK",
            "go to line, long answer then OK",
            "document info, OK",
            "document info, Cancel",
            "document info, Escape then close box",
            "document info, colour box cancelled",
            "link, OK",
            "link, Cancel",
            "link, close box",
            "image, Cancel",
            "image, file box cancelled",
            "image, Escape then close box",
            "lists, Cancel",
            "lists, Done",
            "rule, Ok",
            "rule, close box",
            "table, Cancel",
            "table, close box",
            "target, Cancel",
            "preview, click in it",
            "preview, closed",
            "page check, click in it",
            "page check, closed",
            "status bar label clicked",
            "help viewer closed",
            "about box closed",
        };
        for (const QString &p : paths)
            QTest::newRow(qPrintable(p)) << p << kInUse;
        QTest::newRow("page check, result double-clicked in another page")
            << QStringLiteral("page check result") << 3;
    }
    void keyboardComesBackToTheDocumentInUse()
    {
        QFETCH(QString, path);
        QFETCH(int, owner);
        const QStringList before = texts();
        int expectedChanged = owner; // the path itself may change only this one
        if (path.startsWith(QLatin1String("find, "))) {
            press(Qt::Key_F, Qt::ControlModifier);
            QTRY_VERIFY(ZediDove->workbench()->findBar()->findField()->hasFocus());
            typeText(QStringLiteral("needle"));
            FindBar *bar = ZediDove->workbench()->findBar();
            QTRY_VERIFY(!bar->isSearching()); // searching runs on a worker
            press(Qt::Key_Return);
            QTRY_VERIFY(!bar->isSearching());
            if (path.endsWith(QLatin1String("Escape")))
                press(Qt::Key_Escape);
            else if (path.contains(QLatin1String("close button")))
                mouseOn(bar->findChild<QToolButton *>(QStringLiteral("CloseFindBar")));
            else {
                auto *check = bar->findChild<QAbstractButton *>(QStringLiteral("MatchCase"));
                check->setFocus();
                QTRY_VERIFY(check->hasFocus());
                press(Qt::Key_Escape);
            }
            QVERIFY(!bar->isVisible());
            QVERIFY(inUse()->editor()->textCursor().hasSelection()); // the match stays
        } else if (path.startsWith(QLatin1String("replace, "))) {
            FindBar *bar = ZediDove->workbench()->findBar();
            press(Qt::Key_R, Qt::ControlModifier);
            QTRY_VERIFY(bar->findField()->hasFocus());
            typeText(QStringLiteral("needle"));
            bar->replaceField()->setFocus();
            QTRY_VERIFY(bar->replaceField()->hasFocus());
            typeText(QStringLiteral("pin"));
            QTRY_VERIFY(!bar->isSearching());
            if (path.contains(QLatin1String("Enter"))) {
                press(Qt::Key_Return);
                QTRY_VERIFY(!bar->isSearching());
                press(Qt::Key_Return);
                QTRY_VERIFY(!bar->isSearching());
            } else {
                mouseOn(bar->findChild<QAbstractButton *>(QStringLiteral("ReplaceAll")));
                QTRY_VERIFY(bar->note().startsWith(QLatin1String("Replaced")));
            }
            press(Qt::Key_Escape);
            QVERIFY(!bar->isVisible());
        } else if (path.startsWith(QLatin1String("find bar, document closed"))) {
            press(Qt::Key_F, Qt::ControlModifier);
            typeText(QStringLiteral("needle"));
            inUse()->page()->setModified(false);
            THTMLDOC *closing = inUse();
            closing->close();
            QTRY_VERIFY(!m_docs.contains(ZediDove->currentDocument()) || ZediDove->currentDocument() != closing);
            m_docs.removeAll(closing);
            // The keyboard goes to whichever document is now current.
            THTMLDOC *now = ZediDove->currentDocument();
            QVERIFY(now);
            press(Qt::Key_Escape);
            QCOMPARE(ZediDove->currentDocument(), now);
            QTRY_VERIFY(now->editor()->hasFocus());
            return; // the texts of the others are checked below in other rows
        } else if (path.startsWith(QLatin1String("go to line"))) {
            // An answer that is no line number is quoted in the next prompt
            // as typed (never as markup) and cut short (never wider than the screen).
            QString wrong;
            if (path.contains(QLatin1String("markup")))
                wrong = QStringLiteral("<h1>BIG</h1>");
            else if (path.contains(QLatin1String("long")))
                wrong = QString(1500, QLatin1Char('9'));
            QString quoted;
            int boxWidth = 0;
            Qt::TextFormat format = Qt::AutoText;
            withRealBoxes([&] {
                const bool cancel = path.endsWith(QLatin1String("Cancel"));
                // The retry prompt's handler is set once the first box is
                // answered, so that it can never answer the first box itself.
                auto retry = [&](QWidget *box) {
                    for (QLabel *l : box->findChildren<QLabel *>())
                        if (l->text().contains(QLatin1String("is not a line number"))) {
                            quoted = l->text();
                            format = l->textFormat();
                        }
                    boxWidth = box->width();
                    box->findChild<QLineEdit *>()->setText(QStringLiteral("2"));
                    static_cast<QDialog *>(box)->accept();
                };
                onNextModal([wrong, cancel, retry](QWidget *box) {
                    auto *edit = box->findChild<QLineEdit *>();
                    QVERIFY(edit);
                    edit->setText(wrong.isEmpty() ? QStringLiteral("2") : wrong);
                    if (cancel)
                        static_cast<QDialog *>(box)->reject();
                    else
                        static_cast<QDialog *>(box)->accept();
                    if (!wrong.isEmpty())
                        onNextModal(retry);
                });
                press(Qt::Key_G, Qt::ControlModifier);
            });
            if (!wrong.isEmpty()) {
                QCOMPARE(format, Qt::PlainText);
                QVERIFY2(boxWidth < 800, qPrintable(QString::number(boxWidth)));
                QVERIFY(quoted.startsWith(QLatin1Char('"') + wrong.left(40)));
            }
            if (!path.endsWith(QLatin1String("Cancel")))
                QCOMPARE(inUse()->editor()->caretLine(), 1);
        } else if (path.startsWith(QLatin1String("document info"))) {
            withRealBoxes([&] {
                onNextModal([path](QWidget *dlg) {
                    if (path.endsWith(QLatin1String("OK")))
                        click(dlg, "OkBut");
                    else if (path.endsWith(QLatin1String("Cancel")))
                        click(dlg, "CancelBut");
                    else if (path.contains(QLatin1String("colour box"))) {
                        onNextModal([dlg](QWidget *colours) {
                            static_cast<QDialog *>(colours)->reject();
                            QTimer::singleShot(0, dlg, [dlg] { click(dlg, "CancelBut"); });
                        });
                        click(dlg, "BGColorChart");
                    } else {
                        QTest::keyClick(dlg, Qt::Key_Escape);
                        dlg->close();
                    }
                });
                item(TagCommand::Document)->trigger();
            });
        } else if (path.startsWith(QLatin1String("link"))) {
            withRealBoxes([&] {
                onNextModal([path](QWidget *dlg) {
                    if (path.endsWith(QLatin1String("OK")))
                        click(dlg, "OK");
                    else if (path.endsWith(QLatin1String("Cancel")))
                        click(dlg, "Cancel");
                    else
                        dlg->close();
                });
                press(Qt::Key_L, Qt::ControlModifier);
            });
        } else if (path.startsWith(QLatin1String("image"))) {
            withRealBoxes([&] {
                onNextModal([path](QWidget *dlg) {
                    if (path.endsWith(QLatin1String("Cancel")))
                        click(dlg, "CancelBut");
                    else if (path.contains(QLatin1String("file box"))) {
                        onNextModal([dlg](QWidget *files) {
                            static_cast<QDialog *>(files)->reject();
                            QTimer::singleShot(0, dlg, [dlg] { click(dlg, "CancelBut"); });
                        });
                        click(dlg, "Browse");
                    } else {
                        QTest::keyClick(dlg, Qt::Key_Escape);
                        dlg->close();
                    }
                });
                press(Qt::Key_M, Qt::ControlModifier);
            });
        } else if (path.startsWith(QLatin1String("lists"))) {
            withRealBoxes([&] {
                onNextModal([path](QWidget *dlg) {
                    click(dlg, path.endsWith(QLatin1String("Done")) ? "Done" : "Cancel");
                });
                press(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
            });
        } else if (path.startsWith(QLatin1String("rule"))) {
            withRealBoxes([&] {
                onNextModal([path](QWidget *dlg) {
                    if (path.endsWith(QLatin1String("Ok")))
                        click(dlg, "Ok");
                    else
                        dlg->close();
                });
                press(Qt::Key_H, Qt::ControlModifier);
            });
        } else if (path.startsWith(QLatin1String("table"))) {
            withRealBoxes([&] {
                onNextModal([path](QWidget *dlg) {
                    if (path.endsWith(QLatin1String("Cancel")))
                        click(dlg, "Button2");
                    else
                        dlg->close();
                });
                press(Qt::Key_A, Qt::ControlModifier);
            });
        } else if (path.startsWith(QLatin1String("target"))) {
            withRealBoxes([&] {
                onNextModal([](QWidget *box) { static_cast<QDialog *>(box)->reject(); });
                press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
            });
        } else if (path.startsWith(QLatin1String("preview"))) {
            PreviewPane *pane = ZediDove->workbench()->preview();
            pane->show();
            QTRY_VERIFY(pane->isVisible());
            // The engine's first start is slow on a loaded machine.
            QTRY_VERIFY_WITH_TIMEOUT(pane->view() && !pane->isLoading(), 90000);
            // The engine takes input in a child widget of its own.
            QWidget *page = pane->view()->focusProxy() ? pane->view()->focusProxy() : pane->view();
            mouseOn(page);
            if (path.endsWith(QLatin1String("closed")))
                pane->findChild<QAbstractButton *>(QStringLiteral("qt_dockwidget_closebutton"))->click();
        } else if (path.startsWith(QLatin1String("page check"))) {
            PageCheckPane *pane = ZediDove->workbench()->pageCheck();
            press(Qt::Key_F7);
            QTRY_VERIFY_WITH_TIMEOUT(!pane->isChecking(), checkerStartTimeout);
            if (path == QLatin1String("page check result")) {
                // The result belongs to the page checked, not to the one in use now.
                ZediDove->mdiArea()->setActiveSubWindow(m_docs.at(owner - 1));
                press(Qt::Key_F7);
                QTRY_VERIFY_WITH_TIMEOUT(!pane->isChecking(), checkerStartTimeout);
                ZediDove->mdiArea()->setActiveSubWindow(inUse());
                QVERIFY(pane->rows()->topLevelItemCount() > 0);
                QTreeWidgetItem *row = pane->rows()->topLevelItem(0);
                const QRect r = pane->rows()->visualItemRect(row);
                // A double click as the platform sends it: press, release, then the double click.
                QTest::mouseClick(pane->rows()->viewport(), Qt::LeftButton, {}, r.center());
                QTest::mouseDClick(pane->rows()->viewport(), Qt::LeftButton, {}, r.center());
                QCOMPARE(ZediDove->currentDocument(), m_docs.at(owner - 1));
            } else {
                mouseOn(pane->rows()->viewport());
                if (path.endsWith(QLatin1String("closed")))
                    pane->findChild<QAbstractButton *>(QStringLiteral("qt_dockwidget_closebutton"))
                        ->click();
            }
        } else if (path.startsWith(QLatin1String("status bar"))) {
            const QList<QLabel *> labels = ZediDove->statusBar()->findChildren<QLabel *>();
            QVERIFY(!labels.isEmpty());
            for (QLabel *l : labels)
                if (l->isVisible())
                    mouseOn(l);
        } else if (path.startsWith(QLatin1String("help"))) {
            withRealBoxes([&] { item("Contents1")->trigger(); });
            QTRY_VERIFY(QApplication::activeWindow() && QApplication::activeWindow() != ZediDove);
            QWidget *help = QApplication::activeWindow();
            QTest::keyClick(help, Qt::Key_W, Qt::ControlModifier);
            help->close();
        } else if (path.startsWith(QLatin1String("about"))) {
            withRealBoxes([&] {
                onNextModal([](QWidget *box) { box->close(); });
                item("AboutZEDIDove1")->trigger();
            });
        } else {
            QFAIL("unknown path");
        }
        THTMLDOC *ownerDoc = m_docs.at(owner - 1);
        QTRY_COMPARE(ZediDove->currentDocument(), ownerDoc);
        QTRY_VERIFY2(ownerDoc->editor()->hasFocus(),
                     qPrintable(QStringLiteral("the keyboard is in %1")
                                    .arg(QApplication::focusWidget()
                                             ? QApplication::focusWidget()->metaObject()->className()
                                             : "nothing")));
        const QStringList afterPath = texts();
        for (int i = 0; i < kDocs; ++i)
            if (i + 1 != expectedChanged)
                QCOMPARE(afterPath.at(i), before.at(i));
        typeText(QStringLiteral("Q"));
        const QStringList afterKey = texts();
        for (int i = 0; i < kDocs; ++i) {
            if (i + 1 == owner)
                QCOMPARE(afterKey.at(i).count(QLatin1Char('Q')),
                         afterPath.at(i).count(QLatin1Char('Q')) + 1);
            else
                QCOMPARE(afterKey.at(i), afterPath.at(i));
        }
    }

    // With the keyboard in the find bar, Alt and a menu's letter opens that
    // menu, and the keys a text field answers edit the field, never the page.
    void keysInTheFindBar_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("menu"); // the menu that opens, or none
        // The bar's control that has the keyboard: the Find field, or a
        // check box or button clicked there.
        QTest::addColumn<QString>("from");
        const int alt = int(Qt::AltModifier), ctrl = int(Qt::ControlModifier);
        const QString field = QStringLiteral("FindText");
        QTest::newRow("Alt+F") << int(Qt::Key_F) << alt << ActionId::FileMenu << field;
        QTest::newRow("Alt+E") << int(Qt::Key_E) << alt << ActionId::EditMenu << field;
        QTest::newRow("Alt+V") << int(Qt::Key_V) << alt << ActionId::ViewMenu << field;
        QTest::newRow("Alt+A") << int(Qt::Key_A) << alt << ActionId::AppearanceMenu << field;
        QTest::newRow("Alt+T") << int(Qt::Key_T) << alt << ActionId::ToolsMenu << field;
        QTest::newRow("Alt+W") << int(Qt::Key_W) << alt << ActionId::WindowMenu << field;
        QTest::newRow("Alt+H") << int(Qt::Key_H) << alt << ActionId::HelpMenu << field;
        QTest::newRow("Ctrl+A selects the field") << int(Qt::Key_A) << ctrl << "" << field;
        QTest::newRow("Ctrl+Z undoes the field") << int(Qt::Key_Z) << ctrl << "" << field;
        QTest::newRow("Ctrl+X cuts from the field") << int(Qt::Key_X) << ctrl << "" << field;
        QTest::newRow("Ctrl+A on a check box selects the field")
            << int(Qt::Key_A) << ctrl << "" << "RegularExpression";
        QTest::newRow("Ctrl+Z on a button undoes the field")
            << int(Qt::Key_Z) << ctrl << "" << "FindNextBut";
        QTest::newRow("Alt+F on a check box")
            << int(Qt::Key_F) << alt << ActionId::FileMenu << "MatchCase";
    }
    void keysInTheFindBar()
    {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, menu);
        QFETCH(QString, from);
        FindBar *bar = ZediDove->workbench()->findBar();
        const QStringList before = texts();
        press(Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(bar->findField()->hasFocus());
        typeText(QStringLiteral("page"));
        bar->findField()->setSelection(1, 2);
        auto *control = bar->findChild<QWidget *>(from);
        QVERIFY(control);
        control->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(control->hasFocus());
        // A command's dialog opened by mistake is closed again, so the row fails rather than hangs.
        bool dialogOpened = false;
        QTimer::singleShot(500, qApp, [&dialogOpened] { dialogOpened = !closeDialogsLeftOpen(); });
        press(key, Qt::KeyboardModifiers(mods));
        QTest::qWait(600);
        QVERIFY(!dialogOpened);
        if (!menu.isEmpty()) {
            QTRY_VERIFY(QApplication::activePopupWidget());
            QCOMPARE(QApplication::activePopupWidget()->objectName(), menu);
            QApplication::activePopupWidget()->close();
        } else {
            const QString field = bar->findField()->text();
            if (key == Qt::Key_A)
                QCOMPARE(bar->findField()->selectedText(), QStringLiteral("page"));
            else
                QVERIFY2(field != QLatin1String("page"), qPrintable(field));
        }
        QCOMPARE(texts(), before);
        QCOMPARE(ZediDove->currentDocument(), inUse());
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
