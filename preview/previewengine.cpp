#include "previewengine.h"
#include "diskfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace PreviewAddress {
const QByteArray kScheme = QByteArrayLiteral("tagloom-preview");
namespace {
const QString kHost = QStringLiteral("local");
}

void registerScheme()
{
    if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme)
        return;
    QWebEngineUrlScheme scheme(kScheme);
    // A host, so that the engine resolves relative paths as it does for
    // http; local, so that no remote page can reach these files; CORS, so
    // that fetch() and module scripts work on the page's own files as they
    // would from a web server.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
                    | QWebEngineUrlScheme::LocalAccessAllowed
                    | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl fromLocalPath(const QString &absolutePath)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setHost(kHost);
    url.setPath(QDir::cleanPath(absolutePath));
    return url;
}

QString toLocalPath(const QUrl &url)
{
    if (url.scheme() != QLatin1String(kScheme) || url.host() != kHost)
        return {};
    return QDir::cleanPath(url.path());
}

QUrl outside(const QUrl &url)
{
    const QString path = toLocalPath(url);
    if (path.isEmpty())
        return url;
    QUrl out = QUrl::fromLocalFile(path);
    out.setFragment(url.fragment());
    return out;
}
} // namespace PreviewAddress

PreviewSource::PreviewSource(QObject *parent) : QWebEngineUrlSchemeHandler(parent) {}

void PreviewSource::setPage(const QString &path, const QByteArray &html, const QString &root)
{
    m_pagePath = QDir::cleanPath(path);
    m_page = html;
    m_root = root;
}

namespace {
// The kinds of file a page loads: pages, style sheets, scripts, images,
// fonts, media and their captions. Anything else (a text file, a key, a
// database) has no business being read by a page.
bool isPageResource(const QString &name)
{
    static const QSet<QString> kinds = {
        QStringLiteral("html"), QStringLiteral("htm"),  QStringLiteral("xhtml"),
        QStringLiteral("shtml"), QStringLiteral("css"), QStringLiteral("js"),
        QStringLiteral("mjs"),  QStringLiteral("png"),  QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("jpe"),  QStringLiteral("gif"),
        QStringLiteral("webp"), QStringLiteral("avif"), QStringLiteral("svg"),
        QStringLiteral("ico"),  QStringLiteral("bmp"),  QStringLiteral("apng"),
        QStringLiteral("woff"), QStringLiteral("woff2"), QStringLiteral("ttf"),
        QStringLiteral("otf"),  QStringLiteral("eot"),  QStringLiteral("mp4"),
        QStringLiteral("m4v"),  QStringLiteral("webm"), QStringLiteral("ogv"),
        QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("opus"),
        QStringLiteral("mp3"),  QStringLiteral("m4a"),  QStringLiteral("wav"),
        QStringLiteral("flac"), QStringLiteral("vtt")};
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && kinds.contains(name.mid(dot + 1).toLower());
}

// `path` below `dir` and no part of the way a dot-file or dot-folder
// (".git", ".ssh", ".env"): "" when it is not.
QString below(const QString &path, const QString &dir)
{
    if (dir.isEmpty() || dir == QLatin1String("/") || !path.startsWith(dir + QLatin1Char('/')))
        return {};
    const QString relative = path.mid(dir.size() + 1);
    for (const QStringView part : QStringView(relative).split(QLatin1Char('/')))
        if (part.isEmpty() || part.startsWith(QLatin1Char('.')))
            return {};
    return relative;
}
} // namespace

QString PreviewSource::servable(const QString &path, const QString &root)
{
    if (root.isEmpty() || path.isEmpty())
        return {};
    // As asked (".." already taken out), then as the links lead.
    const QString asked = QDir::cleanPath(path);
    if (below(asked, QDir::cleanPath(root)).isEmpty() || !isPageResource(asked))
        return {};
    const QFileInfo info(asked);
    const QString real = info.canonicalFilePath();
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    if (real.isEmpty() || below(real, realRoot).isEmpty() || !isPageResource(real))
        return {};
    const bool pseudo = real.startsWith(QLatin1String("/proc/"))
                        || real.startsWith(QLatin1String("/sys/"))
                        || real.startsWith(QLatin1String("/dev/"));
    if (!info.isFile() || pseudo || info.size() > kFileLimit)
        return {};
    return real;
}

void PreviewSource::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QString path = PreviewAddress::toLocalPath(job->requestUrl());
    QIODevice *device = nullptr;
    QByteArray type;
    if (!path.isEmpty() && path == m_pagePath) {
        // The text as it stands in the editor, not the file on disk.
        auto *buffer = new QBuffer;
        buffer->setData(m_page);
        device = buffer;
        type = QByteArrayLiteral("text/html;charset=utf-8");
    } else if (const QString real = servable(path, m_root); !real.isEmpty()) {
        // Opened as plain files are, so that a pipe put in its place since
        // the look is refused rather than waited on.
        auto *file = new QFile;
        const int fd = openPlainFile(real);
        if (fd >= 0 && file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            device = file;
            type = QMimeDatabase()
                       .mimeTypeForFile(real, QMimeDatabase::MatchExtension)
                       .name()
                       .toUtf8();
        } else {
            if (fd >= 0)
                ::close(fd);
            delete file;
        }
    }
    if (!device) {
        ++m_refused;
        emit fileRefused(path);
        // One answer for all: whether a file exists outside the folder is
        // not the page's to learn.
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    ++m_served;
    // The engine reads the device on its own thread until the job is gone.
    connect(job, &QObject::destroyed, device, &QObject::deleteLater);
    job->reply(type, device);
}

PreviewGuard::PreviewGuard(QObject *parent) : QWebEngineUrlRequestInterceptor(parent) {}

void PreviewGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme();
    if (scheme == QLatin1String(PreviewAddress::kScheme) || scheme == QLatin1String("data")
        || scheme == QLatin1String("blob") || scheme == QLatin1String("about"))
        return;
    if (scheme == QLatin1String("file")) {
        if (!m_spoolPage.isEmpty() && QDir::cleanPath(url.toLocalFile()) == m_spoolPage)
            return; // the long page itself, in one piece
        // Served by our source, which gives only what the page's folder holds.
        info.redirect(PreviewAddress::fromLocalPath(unspooled(url).toLocalFile()));
        return;
    }
    const bool remote = scheme == QLatin1String("http") || scheme == QLatin1String("https")
                        || scheme == QLatin1String("ws") || scheme == QLatin1String("wss");
    if (remote && remoteAllowed())
        return;
    info.block(true);
    countBlocked(url);
}

void PreviewGuard::setSpooled(const QString &page, const QString &folder)
{
    m_spoolPage = page.isEmpty() ? QString() : QDir::cleanPath(page);
    m_spoolDir = page.isEmpty() ? QString() : QFileInfo(m_spoolPage).path();
    m_spoolFolder = QDir::cleanPath(folder);
}

QUrl PreviewGuard::unspooled(const QUrl &url) const
{
    if (m_spoolDir.isEmpty() || !url.isLocalFile())
        return url;
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (!path.startsWith(m_spoolDir + QLatin1Char('/')))
        return url;
    QUrl out = QUrl::fromLocalFile(m_spoolFolder + path.mid(m_spoolDir.size()));
    out.setFragment(url.fragment());
    return out;
}

void PreviewGuard::countBlocked(const QUrl &url)
{
    m_blocked.fetchAndAddRelaxed(1);
    QMetaObject::invokeMethod(
        this, [this, url] { emit requestBlocked(url); }, Qt::QueuedConnection);
}

namespace {
// Whether this process may make the user and PID namespaces the engine's
// sandbox is built from: tried in a child that does nothing else.
bool userNamespacesWork()
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0)
        _exit(unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET) == 0 ? 0 : 1);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
} // namespace

QString previewSandboxProblem()
{
    static const QString problem = [] {
        if (geteuid() == 0)
            return QStringLiteral("the editor runs as root");
        if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")
            || qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
                   .contains(QLatin1String("--no-sandbox")))
            return QStringLiteral("the sandbox is turned off in the environment");
        if (!userNamespacesWork())
            return QStringLiteral("this system does not allow user namespaces");
        return QString();
    }();
    return problem;
}
