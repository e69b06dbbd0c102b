#pragma once
// The "Preview" pane: the current document's text shown as a page by Qt
// WebEngine, in the engine's own processes, so that no page can freeze or
// take down the editor. The engine starts when the pane is first shown.
// Pages see only local files (remote content only when the user asks, for
// this document); links open in the system's browser.
#include <QDockWidget>
#include <QElapsedTimer>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <memory>

class EditorBox;
class PreviewGuard;
class PreviewPage;
class PreviewSource;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTemporaryDir;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

class PreviewPane : public QDockWidget {
    Q_OBJECT
public:
    struct Timing {
        int pauseMs = 300;       // refresh after typing pauses this long
        int stallMs = 10000;     // a page busier than this is stopped
        int stallMsPerMiB = 8000; // and as much again for each MiB of the page
        int heartbeatMs = 1000;  // how often the page is asked whether it answers
        // A longer text is not shown again on every pause: copying it for
        // the engine would hold up typing. Refresh shows it.
        int autoRefreshChars = 1 << 20;
        // The engine is given back when the pane has been hidden, or has had
        // no document to show, this long.
        int releaseMs = 60000;
        // A page longer than this (UTF-8 bytes) is handed to the engine in one
        // piece, as a private file: served by the address scheme it would
        // come in small pieces, laid out again after each.
        int onePieceBytes = 256 * 1024;
    };
    explicit PreviewPane(QWidget *parent = nullptr);
    PreviewPane(QWidget *parent, const Timing &timing);
    ~PreviewPane() override;

    // Follows this editor; relative paths resolve against `folder`
    // (empty: the working directory).
    void setEditor(EditorBox *editor, const QString &folder);
    // Shows the text as it stands now (once the engine has started).
    void refresh();

    // Scripts run when the engine's sandbox does; tests may say otherwise
    // before the engine starts.
    bool scriptsEnabled() const;
    void setScriptsEnabled(bool on);
    // Remote images, style sheets and scripts for the current document.
    bool remoteContentAllowed() const;
    void setRemoteContentAllowed(bool on);

    // What tests and the benchmark look at.
    QWebEngineView *view() const { return m_view; } // null until first shown
    QWebEnginePage *page() const;
    bool engineStarted() const { return m_view != nullptr; }
    bool isLoading() const { return m_loading; }
    int loadsFinished() const { return m_loadsFinished; }
    int blockedRequests() const;
    int refusedFiles() const;
    QString stoppedReason() const { return m_stopped; } // "" while showing
    bool showsStaleNote() const;

signals:
    void loadFinished(bool ok);
    void stopped(const QString &reason);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kUserActionMs = 1500;
    void startEngine();
    void textChanged();
    void followCaret();
    void loadingChanged(const QWebEngineLoadingInfo &info);
    void rendererEnded(int status, int exitCode);
    void heartbeat();
    void stop(const QString &reason);
    void killRenderer();
    QString spool(const QByteArray &html); // the page's private copy ("" : none made)
    void releaseEngine();
    void showBlocked();

    Timing m_timing;
    QPointer<EditorBox> m_editor;
    QList<QMetaObject::Connection> m_connections;
    QString m_folder;
    QString m_root; // the files the page may load lie under it ("" : none)
    QString m_pagePath;
    qint64 m_pageBytes = 0;
    bool m_scripts = true;
    bool m_scriptsSet = false;

    QPushButton *m_refresh;
    QPushButton *m_remote;
    QLabel *m_note;
    QLabel *m_moveNote; // the page tried to go elsewhere, or to reload without end
    QLabel *m_blocked;
    QLabel *m_stale; // changes not shown yet on a page too long to follow
    QStackedWidget *m_stack;
    QLabel *m_stoppedText;
    QWidget *m_stoppedPanel;
    QWidget *m_waiting;

    QWebEngineProfile *m_profile = nullptr;
    PreviewSource *m_source = nullptr;
    PreviewGuard *m_guard = nullptr;
    QWebEngineView *m_view = nullptr;
    PreviewPage *m_page = nullptr;

    QTimer m_pause;
    QTimer m_beat;
    QTimer m_release;
    std::unique_ptr<QTemporaryDir> m_spool; // the long page's private copy
    QElapsedTimer m_loadAge;
    qint64 m_killedPid = 0;      // the process the pane ended itself
    bool m_reloadAfterKill = false;
    QUrl m_expected;    // the load this pane made last
    int m_serial = 0;
    bool m_loading = false;
    int m_loadsFinished = 0;
    QPointF m_keepScroll; // where the last page was, restored on the next
    bool m_restore = false;
    int m_caretBlock = -1;
    QString m_stopped;
    // The page is asked to answer a tiny script; one unanswered for
    // stallMs means its process is stuck (an endless script, a layout
    // that does not end).
    int m_ping = 0;
    bool m_pingOpen = false;
    QElapsedTimer m_pingAge;
    QElapsedTimer m_userActed; // the last click or key in the page
};
