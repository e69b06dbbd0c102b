#include "previewpane.h"
#include "editorbox.h"
#include "previewengine.h"
#include "previewpage.h"
#include "uiseam.h"

#include <QChildEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <functional>

#include <signal.h>

PreviewPane::PreviewPane(QWidget *parent) : PreviewPane(parent, Timing()) {}

PreviewPane::PreviewPane(QWidget *parent, const Timing &timing)
    : QDockWidget(QStringLiteral("Preview"), parent), m_timing(timing)
{
    setObjectName(QStringLiteral("Preview"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *bar = new QHBoxLayout;
    m_refresh = new QPushButton(QStringLiteral("Refresh"), body);
    m_refresh->setObjectName(QStringLiteral("RefreshPreview"));
    m_refresh->setAutoDefault(false);
    m_refresh->setToolTip(QStringLiteral("Show the page as it stands now"));
    connect(m_refresh, &QPushButton::clicked, this, &PreviewPane::refresh);
    m_remote = new QPushButton(QStringLiteral("Load Remote Content"), body);
    m_remote->setObjectName(QStringLiteral("LoadRemoteContent"));
    m_remote->setCheckable(true);
    m_remote->setAutoDefault(false);
    m_remote->setToolTip(QStringLiteral("Let this page fetch images, style sheets and scripts "
                                        "from the network (until another document is shown)"));
    connect(m_remote, &QPushButton::toggled, this, &PreviewPane::setRemoteContentAllowed);
    m_blocked = new QLabel(body);
    m_blocked->setObjectName(QStringLiteral("PreviewBlocked"));
    bar->addWidget(m_refresh);
    bar->addWidget(m_remote);
    bar->addWidget(m_blocked, 1);
    layout->addLayout(bar);
    m_stale = new QLabel(
        QStringLiteral("This page is long: press Refresh to show your changes."), body);
    m_stale->setObjectName(QStringLiteral("PreviewStale"));
    m_stale->setWordWrap(true);
    m_stale->hide();
    layout->addWidget(m_stale);
    m_moveNote = new QLabel(body);
    m_moveNote->setObjectName(QStringLiteral("PreviewMoveRefused"));
    m_moveNote->setWordWrap(true);
    m_moveNote->setTextFormat(Qt::PlainText);
    m_moveNote->hide();
    layout->addWidget(m_moveNote);
    m_note = new QLabel(body);
    m_note->setObjectName(QStringLiteral("PreviewNote"));
    m_note->setWordWrap(true);
    m_note->hide();
    layout->addWidget(m_note);

    m_stack = new QStackedWidget(body);
    m_waiting = new QWidget(m_stack); // stands in for the page until the engine starts
    m_stack->addWidget(m_waiting);
    m_stoppedPanel = new QWidget(m_stack);
    auto *stoppedLayout = new QVBoxLayout(m_stoppedPanel);
    m_stoppedText = new QLabel(m_stoppedPanel);
    m_stoppedText->setObjectName(QStringLiteral("PreviewStopped"));
    m_stoppedText->setWordWrap(true);
    auto *again = new QPushButton(QStringLiteral("Try Again"), m_stoppedPanel);
    again->setObjectName(QStringLiteral("PreviewTryAgain"));
    again->setAutoDefault(false);
    connect(again, &QPushButton::clicked, this, &PreviewPane::refresh);
    stoppedLayout->addWidget(m_stoppedText);
    stoppedLayout->addWidget(again, 0, Qt::AlignLeft);
    stoppedLayout->addStretch(1);
    m_stack->addWidget(m_stoppedPanel);
    layout->addWidget(m_stack, 1);
    setWidget(body);

    m_pause.setSingleShot(true);
    m_pause.setInterval(m_timing.pauseMs);
    connect(&m_pause, &QTimer::timeout, this, &PreviewPane::refresh);
    m_beat.setInterval(m_timing.heartbeatMs);
    connect(&m_beat, &QTimer::timeout, this, &PreviewPane::heartbeat);
    // Hidden, it does no work; shown again it catches up. The engine
    // starts the first time the pane is shown, not with the editor.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible) {
            m_beat.stop();
            m_release.start();
            return;
        }
        if (m_editor)
            m_release.stop();
        if (!m_view)
            startEngine();
        m_beat.start();
        refresh();
    });
    // The engine's processes hold hundreds of MB: given back once nothing
    // has been shown for a while, started again when needed.
    m_release.setSingleShot(true);
    m_release.setInterval(m_timing.releaseMs);
    connect(&m_release, &QTimer::timeout, this, [this] {
        if (!isVisible() || !m_editor)
            releaseEngine();
    });
}

PreviewPane::~PreviewPane() { releaseEngine(); }

void PreviewPane::releaseEngine()
{
    // The page before its view and both before their profile, as the
    // engine requires.
    delete m_page;
    delete m_view;
    delete m_profile;
    m_page = nullptr;
    m_view = nullptr;
    m_profile = nullptr;
    m_source = nullptr; // children of the profile
    m_guard = nullptr;
    m_loading = false;
    m_pingOpen = false;
    m_killedPid = 0;
    m_reloadAfterKill = false;
    m_pagePath.clear();
    m_spool.reset();
    showBlocked(); // the next engine counts from nothing
    m_stack->setCurrentWidget(m_waiting);
}

void PreviewPane::startEngine()
{
    const QString problem = previewSandboxProblem();
    if (!problem.isEmpty()) {
        // The engine's processes refuse to start without their sandbox
        // unless told; they then run without it, and with scripts off.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        if (!m_scriptsSet)
            m_scripts = false;
        m_note->setText(QStringLiteral("Scripts are off: the page runs without the engine's "
                                       "sandbox, because %1.")
                            .arg(problem));
        m_note->setVisible(!m_scripts);
    } else if (!m_scriptsSet) {
        m_scripts = true;
    }
    PreviewAddress::registerScheme();
    const QByteArray noUdp =
        QByteArrayLiteral("--force-webrtc-ip-handling-policy=disable_non_proxied_udp");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains(noUdp))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.isEmpty() ? noUdp : flags + ' ' + noUdp);

    m_profile = new QWebEngineProfile(this); // no name: off the record, nothing on disk
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    m_source = new PreviewSource(m_profile);
    m_profile->installUrlSchemeHandler(PreviewAddress::kScheme, m_source);
    m_guard = new PreviewGuard(m_profile);
    m_guard->allowRemote(m_remote->isChecked());
    m_profile->setUrlRequestInterceptor(m_guard);
    connect(m_guard, &PreviewGuard::requestBlocked, this, &PreviewPane::showBlocked);
    m_profile->scripts()->insert(PreviewPage::noWebRtcScript());

    QWebEngineSettings *s = m_profile->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, m_scripts);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    // Our pages count as local content, whose remote requests the engine
    // would drop before the guard sees them: the guard decides instead, so
    // that it can count them and let them through when the user allows.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);

    m_view = new QWebEngineView(m_stack);
    m_view->setObjectName(QStringLiteral("PreviewView"));
    m_view->setFocusPolicy(Qt::TabFocus);
    m_view->setAccessibleName(QStringLiteral("Preview of the page"));
    m_page = new PreviewPage(m_profile, m_view);
    m_page->openOutside = [this](const QUrl &url) {
        // Not from inside the engine's call: the browser may take a while.
        QMetaObject::invokeMethod(
            this,
            [this, url] {
                ui().openUrl(PreviewAddress::outside(m_guard ? m_guard->unspooled(url) : url));
            },
            Qt::QueuedConnection);
    };
    m_page->refusedMove = [this](const QUrl &url, bool again) {
        QMetaObject::invokeMethod(
            this,
            [this, url, again] {
                m_moveNote->setText(
                    again ? QStringLiteral("The page reloads itself again and again: it was "
                                           "reloaded once. Press Refresh to show it again.")
                          : QStringLiteral("The page asked to go to %1: the preview stays on "
                                           "this page.")
                                .arg(PreviewAddress::outside(m_guard ? m_guard->unspooled(url)
                                                                     : url)
                                         .toDisplayString()
                                         .left(200)));
                m_moveNote->show();
            },
            Qt::QueuedConnection);
    };
    m_page->webRtcTried = [this] {
        m_guard->countBlocked(QUrl(QStringLiteral("webrtc:")));
    };
    m_page->userActed = [this] {
        return m_userActed.isValid() && m_userActed.elapsed() < kUserActionMs;
    };
    m_view->setPage(m_page);
    // The page's input goes to a child the engine makes: watch it as it comes.
    m_view->installEventFilter(this);
    // Copy is all the menu offers: no Back, Reload, Save or View Source.
    // Popped up rather than run in a loop of its own, as the editor's is.
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        auto *menu = new QMenu(m_view);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(m_page->action(QWebEnginePage::Copy));
        menu->popup(m_view->mapToGlobal(at));
    });
    connect(m_page, &QWebEnginePage::loadingChanged, this, &PreviewPane::loadingChanged);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) {
                rendererEnded(int(status), code);
            });
    connect(m_page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, QWebEnginePage::Feature feature) {
                m_page->setFeaturePermission(origin, feature,
                                             QWebEnginePage::PermissionDeniedByUser);
            });
    m_stack->addWidget(m_view);
    m_stack->setCurrentWidget(m_view);
}

QWebEnginePage *PreviewPane::page() const { return m_page; }

bool PreviewPane::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == m_view) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            child->installEventFilter(this);
            // A click in the page leaves the keyboard in the document.
            if (child->isWidgetType())
                static_cast<QWidget *>(child)->setFocusPolicy(Qt::TabFocus);
        }
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
        m_userActed.start();
        break;
    default:
        break;
    }
    return QDockWidget::eventFilter(watched, event);
}

bool PreviewPane::scriptsEnabled() const { return m_scripts; }

void PreviewPane::setScriptsEnabled(bool on)
{
    m_scripts = on;
    m_scriptsSet = true;
    m_note->setVisible(!on && !m_note->text().isEmpty());
    if (m_profile)
        m_profile->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, on);
}

bool PreviewPane::remoteContentAllowed() const { return m_remote->isChecked(); }

void PreviewPane::setRemoteContentAllowed(bool on)
{
    if (m_remote->isChecked() != on) {
        m_remote->setChecked(on); // comes back here through toggled
        return;
    }
    if (m_guard)
        m_guard->allowRemote(on);
    if (on)
        refresh();
}

int PreviewPane::blockedRequests() const { return m_guard ? m_guard->blocked() : 0; }

int PreviewPane::refusedFiles() const { return m_source ? m_source->refused() : 0; }

void PreviewPane::showBlocked()
{
    const int n = blockedRequests();
    m_blocked->setText(n == 0 ? QString()
                              : n == 1 ? QStringLiteral("1 remote request blocked")
                                       : QStringLiteral("%1 remote requests blocked").arg(n));
}

void PreviewPane::setEditor(EditorBox *editor, const QString &folder)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_pause.stop();
    if (editor != m_editor) {
        // Another document: its own permission, its own count, its own top.
        m_remote->setChecked(false);
        if (m_guard)
            m_guard->resetBlocked();
        showBlocked();
        m_restore = false;
        m_keepScroll = {};
    }
    // The page left may be stuck in a script, and the next would wait
    // behind it in the same process and be stopped for it: it gets a
    // process of its own once the old one has gone.
    const bool stuck = m_page && m_stopped.isEmpty() && m_pingOpen
                       && m_pingAge.elapsed() >= m_timing.heartbeatMs;
    if (editor != m_editor && stuck && isVisible()) {
        killRenderer();
        m_reloadAfterKill = m_killedPid != 0;
        m_loading = false;
        m_pingOpen = false;
    }
    if (editor || !isVisible())
        m_release.stop();
    if (!editor || !isVisible())
        m_release.start();
    m_editor = editor;
    // The page follows the caret when it goes to another line, not before.
    m_caretBlock = editor ? editor->textCursor().blockNumber() : -1;
    m_folder = QDir(folder.isEmpty() ? QDir::currentPath() : folder).absolutePath();
    // An untitled page started in the root or the home folder would be
    // given every file below it: it gets none.
    const QString real = QFileInfo(m_folder).canonicalFilePath();
    const bool tooWide =
        real.isEmpty() || real == QFileInfo(QDir::rootPath()).canonicalFilePath()
        || (folder.isEmpty() && real == QFileInfo(QDir::homePath()).canonicalFilePath());
    m_root = tooWide ? QString() : m_folder;
    if (editor) {
        m_connections << connect(editor->document(), &QTextDocument::contentsChanged, this,
                                 &PreviewPane::textChanged)
                      << connect(editor, &QPlainTextEdit::cursorPositionChanged, this,
                                 &PreviewPane::followCaret);
    }
    if (isVisible() && !m_reloadAfterKill)
        refresh();
}

void PreviewPane::textChanged()
{
    // A stopped page waits for Try Again rather than crash on every pause.
    if (!isVisible() || !m_stopped.isEmpty())
        return;
    if (m_editor && m_editor->document()->characterCount() > m_timing.autoRefreshChars)
        m_stale->show();
    else
        m_pause.start();
}

bool PreviewPane::showsStaleNote() const { return !m_stale->isHidden(); }

void PreviewPane::refresh()
{
    m_pause.stop();
    m_stale->hide();
    m_moveNote->hide();
    if (!m_view) {
        if (!isVisible())
            return; // shown later, it refreshes then
        startEngine(); // given back while there was nothing to show
    }
    const QString path = m_editor ? m_folder + QStringLiteral("/untitled.html") : QString();
    if (m_stopped.isEmpty() && !m_loading && path == m_pagePath && m_page->url() == m_expected) {
        m_keepScroll = m_page->scrollPosition();
        m_restore = true;
    } else if (path != m_pagePath) {
        m_restore = false;
    }
    m_stopped.clear();
    m_stack->setCurrentWidget(m_view);
    m_pingOpen = false;
    m_pagePath = path;
    if (!m_editor) {
        m_source->setPage(QString(), QByteArray());
        m_pageBytes = 0;
        m_expected = QUrl(QStringLiteral("about:blank"));
    } else {
        const QByteArray html = m_editor->text().toUtf8();
        m_pageBytes = html.size();
        m_source->setPage(path, html, m_root);
        m_expected = PreviewAddress::fromLocalPath(path);
        const QString spooled = html.size() > m_timing.onePieceBytes ? spool(html) : QString();
        m_guard->setSpooled(spooled, m_folder);
        // The copy's own file: addresses reach the guard only when a file
        // page may load file: addresses; the guard serves them from the
        // document's folder by the same rules as any page's.
        m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                                         !spooled.isEmpty());
        if (!spooled.isEmpty())
            m_expected = QUrl::fromLocalFile(spooled);
        // A new address each time, so a late answer for the last load is
        // never taken for this one.
        m_expected.setQuery(QStringLiteral("refresh=%1").arg(++m_serial));
    }
    m_page->expected = m_expected;
    m_page->ownLoads = 2;
    m_loading = true;
    m_loadAge.start();
    m_page->load(m_expected);
}

QString PreviewPane::spool(const QByteArray &html)
{
    if (!m_spool) {
        // Made with the owner's permissions alone; gone with the pane.
        m_spool = std::make_unique<QTemporaryDir>(QDir::tempPath()
                                                  + QStringLiteral("/tagloom-preview-XXXXXX"));
        if (!m_spool->isValid()) {
            m_spool.reset();
            return {};
        }
    }
    // Replaced whole, so that a load still reading the last copy reads it to its end.
    const QString path = m_spool->filePath(QStringLiteral("untitled.html"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size() || !file.commit())
        return {};
    return path;
}

void PreviewPane::loadingChanged(const QWebEngineLoadingInfo &info)
{
    m_pingOpen = false; // the frame asked may have gone with the last page
    if (info.url() != m_expected || info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
        return; // replaced by a newer refresh
    m_loading = false;
    const bool ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
    if (ok && m_restore && !m_keepScroll.isNull())
        m_page->runJavaScript(QStringLiteral("window.scrollTo(%1, %2)")
                                  .arg(m_keepScroll.x())
                                  .arg(m_keepScroll.y()),
                              QWebEngineScript::ApplicationWorld);
    ++m_loadsFinished;
    emit loadFinished(ok);
}

void PreviewPane::heartbeat()
{
    if (!m_page || !m_stopped.isEmpty())
        return;
    // A big page keeps its process busy while it is parsed and laid out
    // (an 8 MB page, a minute on a loaded machine): it is given longer in
    // proportion, so that only a page that never ends stops.
    const qint64 limit =
        m_timing.stallMs + qint64(m_timing.stallMsPerMiB) * m_pageBytes / (1024 * 1024);
    if (m_pingOpen) {
        if (m_pingAge.elapsed() >= limit)
            stop(QStringLiteral("the page was still busy after %1 seconds.")
                     .arg(double(limit) / 1000.0));
        return;
    }
    // One that answers but goes on loading (a page laid out without end)
    // is stopped too.
    if (m_loading && m_loadAge.isValid() && m_loadAge.elapsed() >= limit) {
        stop(QStringLiteral("the page was still loading after %1 seconds.")
                 .arg(double(limit) / 1000.0));
        return;
    }
    m_pingOpen = true;
    m_pingAge.start();
    const int ping = ++m_ping;
    QPointer<PreviewPane> self(this);
    m_page->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                          [self, ping](const QVariant &) {
                              if (self && self->m_ping == ping)
                                  self->m_pingOpen = false;
                          });
}

void PreviewPane::killRenderer()
{
    const qint64 pid = m_page ? m_page->renderProcessPid() : 0;
    if (pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0)
        m_killedPid = pid;
}

void PreviewPane::rendererEnded(int status, int exitCode)
{
    if (m_killedPid != 0) {
        // Ended by the pane, for the page it left: not this page's fault.
        m_killedPid = 0;
        if (!m_stopped.isEmpty())
            return;
        if (m_reloadAfterKill) {
            m_reloadAfterKill = false;
            refresh();
        }
        return;
    }
    switch (QWebEnginePage::RenderProcessTerminationStatus(status)) {
    case QWebEnginePage::NormalTerminationStatus:
        return;
    case QWebEnginePage::AbnormalTerminationStatus:
        stop(QStringLiteral("the page's process ended abnormally (exit code %1).").arg(exitCode));
        return;
    case QWebEnginePage::CrashedTerminationStatus:
        stop(QStringLiteral("the page's process crashed."));
        return;
    case QWebEnginePage::KilledTerminationStatus:
        stop(QStringLiteral("the page's process was killed (out of memory, or by another "
                            "program)."));
        return;
    }
}

void PreviewPane::stop(const QString &reason)
{
    if (!m_stopped.isEmpty())
        return; // the first reason stands: a stuck page we end reports being killed
    m_stopped = reason;
    m_loading = false;
    m_pingOpen = false;
    m_pause.stop();
    if (reason.startsWith(QLatin1String("the page was still")))
        killRenderer(); // a stuck process answers nothing else
    m_stoppedText->setText(QStringLiteral("The preview stopped: ") + reason);
    m_stack->setCurrentWidget(m_stoppedPanel);
    emit stopped(reason);
}

// Roughly where the caret is in the source, as a share of the page.
void PreviewPane::followCaret()
{
    if (!m_editor || !m_page || !isVisible() || !m_stopped.isEmpty())
        return;
    const int block = m_editor->textCursor().blockNumber();
    if (block == m_caretBlock)
        return;
    m_caretBlock = block;
    const int lines = qMax(1, m_editor->document()->blockCount() - 1);
    const double share = double(block) / lines;
    m_page->runJavaScript(QStringLiteral("window.scrollTo(window.scrollX, Math.round("
                                         "(document.documentElement.scrollHeight - "
                                         "window.innerHeight) * %1))")
                              .arg(share),
                          QWebEngineScript::ApplicationWorld);
}
