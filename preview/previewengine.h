#pragma once
// The preview's side of Qt WebEngine: the address scheme its pages are
// served under, the source that serves them (the editor's text and the
// page's local files), the guard that keeps every other request off the
// network, and whether the engine's sandbox can run here.
//
// A page is shown at tagloom-preview://local/<folder>/<name>, so its
// relative links and images resolve against the document's own folder as
// they would on disk, with no file:// access given to the page.
#include <QAtomicInt>
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

namespace PreviewAddress {
extern const QByteArray kScheme;
// Registers the scheme with the engine; must run before the engine's first
// profile exists (the pane does it when it first starts the engine).
void registerScheme();
// The address a local path is served at, and back ("" when not ours).
QUrl fromLocalPath(const QString &absolutePath);
QString toLocalPath(const QUrl &url);
// What a link in the preview means outside it: our addresses as file URLs.
QUrl outside(const QUrl &url);
} // namespace PreviewAddress

// Serves the page being previewed from memory and its other local files
// from disk, as a web server holding the page's folder would: only files
// under that folder (after links are followed), never dot-files, and only
// the kinds a page loads. A page's script can fetch whatever is served, so
// anything wider would hand the user's files to it. Device files, pipes and
// files over kFileLimit are refused too: the engine would read them without end.
class PreviewSource : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr qint64 kFileLimit = 256 * 1024 * 1024;
    explicit PreviewSource(QObject *parent = nullptr);

    // The page at `path` (absolute) is `html`, UTF-8, until the next call;
    // its files are served from under `root` ("" : none but the page).
    void setPage(const QString &path, const QByteArray &html, const QString &root = QString());
    void requestStarted(QWebEngineUrlRequestJob *job) override;
    // The file at `path` that may be served from under `root`, links
    // followed ("" when refused).
    static QString servable(const QString &path, const QString &root);

    int served() const { return m_served; }
    int refused() const { return m_refused; }

signals:
    void fileRefused(const QString &path);

private:
    QString m_pagePath;
    QByteArray m_page;
    QString m_root;
    int m_served = 0;
    int m_refused = 0;
};

// Lets through what the page holds itself (our scheme, data:, blob:,
// about:) and remote requests only while they are allowed; counts the rest.
// The engine calls it on the GUI thread; the count is atomic all the same.
class PreviewGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    explicit PreviewGuard(QObject *parent = nullptr);
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

    void allowRemote(bool on) { m_remote.storeRelaxed(on ? 1 : 0); }
    // A long page is handed to the engine as the file `page` (a private
    // copy): the addresses it makes relative to that copy stand for
    // `folder`. "" : none.
    void setSpooled(const QString &page, const QString &folder);
    // A file: address of the copy's folder as the one it stands for.
    QUrl unspooled(const QUrl &url) const;
    // A request the page tried that never reached the network interceptor
    // (a WebRTC connection) counts as blocked all the same.
    void countBlocked(const QUrl &url);
    bool remoteAllowed() const { return m_remote.loadRelaxed() != 0; }
    int blocked() const { return m_blocked.loadRelaxed(); }
    void resetBlocked() { m_blocked.storeRelaxed(0); }

signals:
    void requestBlocked(const QUrl &url);

private:
    QString m_spoolPage;
    QString m_spoolDir;
    QString m_spoolFolder;
    QAtomicInt m_remote;
    QAtomicInt m_blocked;
};

// Why the engine's sandbox cannot run here ("" when it can): running as
// root, the sandbox turned off in the environment, or a system that does
// not let a process make its own user namespace. Asked once.
QString previewSandboxProblem();
