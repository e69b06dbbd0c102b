// The preview pane: pages shown by the engine from the editor's text as it
// stands, a page that crashes or hangs its process reported while the editor
// goes on, the engine given back while hidden, and the dock that makes the
// pane. What a page may reach: tst_previewguard.
#include "mainwindow.h"
#include "previewdock.h"
#include "previewfixture.h"
#include "userstate.h"
#include "workbench.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <QWebEngineView>

#include <limits>
#include <signal.h>

class TestPreview : public QObject, PreviewFixture {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { m_ui = new ScriptedUi; }
    void cleanup() { clear(); }

    void showsText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("title and text")
            << "<HTML><HEAD><TITLE>First</TITLE></HEAD><BODY><P>Hello</P></BODY></HTML>"
            << "First" << "Hello";
        QTest::newRow("beyond Latin-1, as UTF-8")
            << "<title>\u00e9t\u00e9</title><p>caf\u00e9 \u20ac \u4e2d</p>" << "\u00e9t\u00e9"
            << "caf\u00e9 \u20ac \u4e2d";
        // The text in the editor is what is shown, whatever the page declares.
        QTest::newRow("declared charset not applied twice")
            << "<meta charset=\"windows-1252\"><title>x</title><p>na\u00efve \u2013</p>" << "x"
            << "na\u00efve \u2013";
        QString big = QStringLiteral("<title>big</title>");
        while (big.size() < 3 * 1024 * 1024)
            big += QStringLiteral("<p>a line of a page over the old 2 MB limit</p>\r\n");
        QTest::newRow("3 MB page") << big + "<p>the end</p>" << "big" << "the end";
        QTest::newRow("1,000 nested tables")
            << "<title>deep</title>" + QStringLiteral("<table><tr><td>").repeated(1000) + "bottom"
            << "deep" << "bottom";
        QString rows;
        for (int i = 0; i < 20000; ++i)
            rows += QStringLiteral("<tr><td>%1<td>cell<td>cell<td>cell</tr>\r\n").arg(i);
        QTest::newRow("20,000-row table")
            << "<title>rows</title><table>" + rows + "</table><p>after</p>" << "rows" << "19999";
    }
    void showsText()
    {
        QFETCH(QString, html);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QVERIFY(show(html));
        QTRY_COMPARE(m_pane->page()->title(), title);
        const QString shown = plainText(m_pane);
        QVERIFY2(shown.contains(text), qPrintable(shown.right(200)));
        QVERIFY(m_pane->stoppedReason().isEmpty());
        // The page's menu offers Copy alone, and pops up without holding
        // the program in a loop of its own until it is closed.
        emit m_pane->view()->customContextMenuRequested(QPoint(5, 5));
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first(), m_pane->page()->action(QWebEnginePage::Copy));
        menu->close();
    }

    // The text shown is the editor's as it stands, unsaved, and the last
    // refresh wins over one still loading.
    void followsTheEditor_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("typed, shown after the pause") << true;
        QTest::newRow("refresh during a load replaces it") << false;
    }
    void followsTheEditor()
    {
        QFETCH(bool, typed);
        QVERIFY(show(QStringLiteral("<title>one</title><p>first</p>")));
        if (typed) {
            m_editor->moveCursor(QTextCursor::End);
            QTest::keyClicks(m_editor, QStringLiteral("<p>typed later</p>"));
            QTRY_VERIFY_WITH_TIMEOUT(plainText(m_pane).contains(QStringLiteral("typed later")),
                                     kLoadMs);
        } else {
            m_editor->loadText(QStringLiteral("<title>two</title>"));
            m_pane->refresh();
            m_editor->loadText(QStringLiteral("<title>three</title><p>last</p>"));
            QVERIFY(refreshed());
            QTRY_COMPARE(m_pane->page()->title(), QStringLiteral("three"));
            QVERIFY(!m_pane->isLoading());
        }
    }

    // A page whose process crashes, is killed or hangs stops the preview,
    // says so, and the editor goes on; Try Again shows the page again.
    void rendererStops_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<int>("signal"); // sent to the page's process; 0: none
        QTest::addColumn<QString>("reason");
        const QString page = QStringLiteral("<title>t</title><p>shown</p>");
        QTest::newRow("crashed") << page << int(SIGSEGV) << "crashed";
        QTest::newRow("aborted") << page << int(SIGABRT) << "crashed";
        QTest::newRow("killed") << page << int(SIGKILL) << "was killed";
        // The engine's layout runs out of stack in its own process.
        // On a loaded machine the watchdog may stop it before it crashes.
        QTest::newRow("3,000 nested tables")
            << QStringLiteral("<table><tr><td>").repeated(3000) + "bottom" << 0
            << "crashed|still busy|still loading";
        // Stuck before it has loaded: either may be said first.
        QTest::newRow("endless script")
            << "<title>t</title><p>shown</p><script>for (;;) {}</script>" << 0
            << "still busy|still loading";
        QTest::newRow("5 MB on one line, still loading")
            << "<title>t</title><p>" + QStringLiteral("word ").repeated(1 << 20) << 0
            << "still loading|still busy";
        QTest::newRow("endless script after loading")
            << "<title>t</title><p>shown</p><script>onload = () => setTimeout(() => { for (;;) "
               "{} }, 10)</script>"
            << 0 << "still busy";
    }
    void rendererStops()
    {
        QFETCH(QString, html);
        QFETCH(int, signal);
        QFETCH(QString, reason);
        PreviewPane::Timing quick;
        // A process ended by a signal is reported as such, however long the
        // report takes to come on a loaded machine: no stall limit first.
        quick.stallMs = signal ? 10 * kLoadMs : 2000;
        quick.stallMsPerMiB = 0;
        quick.heartbeatMs = 200;
        // Served in pieces, the slower way, whose progress once kept the
        // check from ever stopping a page.
        quick.onePieceBytes = std::numeric_limits<int>::max();
        if (signal) {
            QVERIFY(show(html, quick));
            const qint64 pid = m_pane->page()->renderProcessPid();
            QVERIFY(pid > 0);
            QCOMPARE(::kill(pid_t(pid), signal), 0);
        } else {
            show(html, quick, true); // a page stuck in its script never finishes loading
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_pane->stoppedReason().isEmpty(), kLoadMs);
        QVERIFY2(m_pane->stoppedReason().contains(QRegularExpression(reason)),
                 qPrintable(m_pane->stoppedReason()));
        auto *label = m_pane->findChild<QLabel *>(QStringLiteral("PreviewStopped"));
        QVERIFY(label->isVisible());
        QVERIFY(label->text().startsWith(QStringLiteral("The preview stopped: ")));
        // The editor goes on, and typing does not start the page again.
        const int loads = m_pane->loadsFinished();
        m_editor->moveCursor(QTextCursor::Start);
        QTest::keyClicks(m_editor, QStringLiteral("<p>fixed</p>"));
        QVERIFY(m_editor->text().startsWith(QStringLiteral("<p>fixed</p>")));
        QTest::qWait(600);
        QCOMPARE(m_pane->loadsFinished(), loads);
        m_editor->loadText(QStringLiteral("<title>again</title><p>shown again</p>"));
        QTest::mouseClick(m_pane->findChild<QPushButton *>(QStringLiteral("PreviewTryAgain")),
                          Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_pane->loadsFinished() > loads, kLoadMs);
        QTRY_COMPARE(m_pane->page()->title(), QStringLiteral("again"));
        QVERIFY(m_pane->stoppedReason().isEmpty());
        QVERIFY(!label->isVisible());
    }

    // A page stuck in its script is stopped as itself: the document shown
    // after it gets a process of its own and is shown.
    void stopBelongsToItsPage()
    {
        PreviewPane::Timing quick;
        quick.stallMs = 2000;
        quick.heartbeatMs = 200;
        QVERIFY(show(QStringLiteral("<title>stuck</title><script>onload = () => "
                                    "setTimeout(() => { for (;;) {} }, 10)</script>"),
                     quick, true));
        QTest::qWait(3 * quick.heartbeatMs);
        EditorBox other;
        other.loadText(QStringLiteral("<title>next</title><p>fine</p>"));
        m_pane->setEditor(&other, m_dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(m_pane->page()->title(), QStringLiteral("next"), kLoadMs);
        QTest::qWait(quick.stallMs + 1000);
        QCOMPARE(m_pane->stoppedReason(), QString());
        QVERIFY(plainText(m_pane).contains(QStringLiteral("fine")));
        m_pane->setEditor(nullptr, QString());
    }

    // The engine is given back once the pane has been hidden a while, and
    // started again when the pane is shown.
    void engineReleasedWhenHidden()
    {
        PreviewPane::Timing timing;
        timing.releaseMs = 300;
        QVERIFY(show(QStringLiteral("<title>one</title>"), timing));
        m_pane->hide();
        QTRY_VERIFY(!m_pane->engineStarted());
        QVERIFY(m_pane->findChildren<QWebEngineView *>().isEmpty());
        m_editor->loadText(QStringLiteral("<title>two</title>"));
        m_pane->show();
        QVERIFY(m_pane->engineStarted());
        QTRY_COMPARE_WITH_TIMEOUT(m_pane->page()->title(), QStringLiteral("two"), kLoadMs);
        QTest::qWait(timing.releaseMs * 2);
        QVERIFY(m_pane->engineStarted()); // shown, with a document: kept
    }

    // Typing pauses show the page again, where it was; a page too long to
    // copy on every pause waits for Refresh and says so.
    void refreshKeepsScroll_data()
    {
        QTest::addColumn<int>("autoRefreshChars");
        QTest::newRow("follows typing") << (1 << 20);
        QTest::newRow("long page waits for Refresh") << 10;
    }
    void refreshKeepsScroll()
    {
        QFETCH(int, autoRefreshChars);
        PreviewPane::Timing timing;
        timing.autoRefreshChars = autoRefreshChars;
        const bool waits = autoRefreshChars < 100;
        QVERIFY(show(QStringLiteral("<title>tall</title><div style=\"height: 5000px\">top</div>"),
                     timing));
        evaluate(m_pane, QStringLiteral("window.scrollTo(0, 1500)"));
        QTRY_COMPARE(m_pane->page()->scrollPosition().y(), 1500.0);
        m_editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(m_editor, QStringLiteral("<p>end</p>"));
        const int loads = m_pane->loadsFinished();
        if (waits) {
            QTest::qWait(timing.pauseMs * 2);
            QCOMPARE(m_pane->loadsFinished(), loads);
            QVERIFY(m_pane->showsStaleNote());
            QTest::mouseClick(m_pane->findChild<QPushButton *>(QStringLiteral("RefreshPreview")),
                              Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_pane->loadsFinished() > loads, kLoadMs);
        QVERIFY(!m_pane->showsStaleNote());
        QTRY_COMPARE(evaluate(m_pane, QStringLiteral("window.scrollY")).toInt(), 1500);
        QVERIFY(plainText(m_pane).contains(QStringLiteral("end")));
    }

    // The editor starts without the pane and its engine; the dock makes the
    // pane (from its module) when shown, and the pane shows the current
    // document. The pane's own close closes the dock.
    void engineStartsWhenShown()
    {
        // Another test may have left the pane shown in the shared state.
        QFile::remove(UserState::path());
        startApplication();
        QVERIFY(!ZediDove->findChild<PreviewPane *>(QStringLiteral("Preview")));
        QVERIFY(ZediDove->findChildren<QWebEngineView *>().isEmpty());
        setEditorText(QStringLiteral("<TITLE>From the editor</TITLE>"));
        ZediDove->findChild<QAction *>(QStringLiteral("ViewPreview"))->trigger();
        PreviewPane *pane = ZediDove->findChild<PreviewPane *>(QStringLiteral("Preview"));
        QVERIFY(pane);
        QVERIFY(pane->isVisible());
        QVERIFY(pane->engineStarted());
        QTRY_COMPARE_WITH_TIMEOUT(pane->page()->title(), QStringLiteral("From the editor"),
                                  kLoadMs);
        ZediDove->findChild<QAction *>(QStringLiteral("ViewPreview"))->trigger();
        QVERIFY(!pane->isVisible());
        QVERIFY(!ZediDove->workbench()->previewDock()->isVisible());
        ZediDove->findChild<QAction *>(QStringLiteral("ViewPreview"))->trigger();
        QVERIFY(pane->isVisible());
        pane->close();
        QVERIFY(!ZediDove->workbench()->previewDock()->isVisible());
        QVERIFY(!ZediDove->findChild<QAction *>(QStringLiteral("ViewPreview"))->isChecked());
        markAllUnchanged();
        stopApplication();
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
