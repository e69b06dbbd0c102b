#include "commandline.h"
#include "editormarks.h"
#include "errors.h"
#include "nativepath.h"
#include "nuchecker.h"
#include "pagecheckservice.h"
#include "sitecheck.h"
#include "textreader.h"

#include <QDir>
#include <QEventLoop>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

CommandLine parseCommandLine(int argc, char *const *argv)
{
    CommandLine line;
    bool help = false, check = false, site = false, options = true;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.isEmpty())
            continue;
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "-h" || arg == "--help")) {
            help = true;
        } else if (options && arg == "--check") {
            check = true;
        } else if (options && arg == "--check-site") {
            site = true;
        } else if (options && arg.startsWith("--")) {
            if (line.error.isEmpty())
                line.error = QStringLiteral("unknown option %1 (a file whose name starts with "
                                            "\"-\" is named after \"--\" or as ./NAME)")
                                 .arg(pathFromNative(arg));
        } else {
            line.files << arg;
        }
    }
    line.mode = help    ? CommandLine::Help
                : check ? CommandLine::Check
                : site  ? CommandLine::CheckSite
                        : CommandLine::Open;
    if (line.mode == CommandLine::Check && line.files.isEmpty() && line.error.isEmpty())
        line.error = QStringLiteral("--check needs at least one page");
    if (line.mode == CommandLine::CheckSite && line.files.size() != 1 && line.error.isEmpty())
        line.error = QStringLiteral("--check-site needs one folder");
    return line;
}

QString commandLineUsage()
{
    return QStringLiteral(
        "Usage: tagloom-html [FILE...] [FOLDER]\n"
        "       tagloom-html --check PAGE...\n"
        "       tagloom-html --check-site FOLDER\n"
        "\n"
        "Opens each FILE as a document in the editor (none: a new document),\n"
        "and FOLDER as the site folder, shown in the Folder pane.\n"
        "\n"
        "  --check PAGE...  Checks each page as Tools > Check Page does, without\n"
        "                   opening a window, and prints one line a result:\n"
        "                     PATH:LINE:COLUMN: error|warning|advice: TEXT\n"
        "                   Exit status: 1 when a page has an error, else 0;\n"
        "                   2 when a page cannot be read (the others are still\n"
        "                   checked).\n"
        "  --check-site FOLDER\n"
        "                   Checks the links of every page and stylesheet under\n"
        "                   FOLDER as Tools > Check Site does (nothing is\n"
        "                   fetched), and prints one line a result, by path:\n"
        "                     PATH:LINE:COLUMN: error|warning|advice: TEXT\n"
        "                   Exit status: 1 when there is an error, else 0;\n"
        "                   2 when the folder cannot be read.\n"
        "  -h, --help       Prints this text.\n"
        "  --               Ends the options: what follows are files, even\n"
        "                   those whose names start with \"-\".\n"
        "\n"
        "The editor also takes Qt's own options (-platform, -style, ...).\n");
}

namespace {
// Why the page at `path` could not be read, in the system's words where it
// has them; `error` is what the reader said.
QString whyUnreadable(const QString &path, const QString &error)
{
    const QByteArray native = nativePath(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a plain file");
    if (::access(native.constData(), R_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return error;
}

// The page as File > Open holds it: the same charset rules, CR LF line
// breaks and the editor's marks stood in for, so that lines and columns
// are those the editor shows.
bool readPage(const QString &path, QString *text, QString *why)
{
    try {
        DecodedText d =
            readTextFile(path, kMaxTextFileBytes,
                         QStringLiteral("larger than %1 MiB").arg(kMaxTextFileBytes >> 20));
        hideEditorMarks(d.text);
        *text = std::move(d.text);
        return true;
    } catch (const TagloomError &e) {
        *why = whyUnreadable(path, e.text());
        return false;
    }
}

QString whyFolderUnreadable(const QString &path)
{
    const QByteArray native = nativePath(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return QString::fromLocal8Bit(std::strerror(ENOTDIR));
    return QString::fromLocal8Bit(std::strerror(EACCES));
}

void print(FILE *to, const QByteArray &path, const QString &rest)
{
    std::fwrite(path.constData(), 1, size_t(path.size()), to);
    const QByteArray bytes = rest.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}
} // namespace

int checkPagesFromCommandLine(const QList<QByteArray> &pages, FILE *out, FILE *err)
{
    NuChecker nu;
    const QByteArray *current = nullptr;
    bool toldUnavailable = false;
    // Connected before the service is, so that this is said before the
    // page's results come.
    QObject::connect(&nu, &NuChecker::finished, &nu, [&](const NuCheckResult &r) {
        if (r.outcome == NuCheckResult::Checked)
            return;
        if (r.outcome == NuCheckResult::Failed) { // this page only
            print(err, *current,
                  QStringLiteral(": %1 Checked by HTML Tidy instead.\n").arg(r.detail));
        } else if (!std::exchange(toldUnavailable, true)) { // no Java: every page
            const QString text =
                r.detail + QStringLiteral(" Pages are checked by HTML Tidy instead.\n");
            std::fputs(text.toUtf8().constData(), err);
        }
    });
    QObject::connect(&nu, &NuChecker::restarted, &nu, [&](const QString &why) {
        print(err, *current, QStringLiteral(": %1\n").arg(why));
    });
    PageCheckService service(&nu);
    QEventLoop loop;
    quint64 waiting = 0;
    PageCheckResult result;
    QObject::connect(&service, &PageCheckService::finished, &loop,
                     [&](quint64 ticket, const PageCheckResult &r) {
                         if (ticket != waiting)
                             return;
                         result = r;
                         loop.quit();
                     });
    bool unreadable = false, errors = false;
    for (const QByteArray &page : pages) {
        current = &page;
        QString text, why;
        if (!readPage(pathFromNative(page), &text, &why)) {
            std::fflush(out); // in the order the pages were given, when both go to one place
            print(err, page, QStringLiteral(": cannot be read: %1\n").arg(why));
            unreadable = true;
            continue;
        }
        waiting = service.check(text);
        text.clear();
        loop.exec();
        for (const PageMessage &m : std::as_const(result.messages)) {
            // A message about the whole page is put at its start.
            QString words = m.text;
            words.replace(QLatin1Char('\r'), QLatin1Char(' '))
                .replace(QLatin1Char('\n'), QLatin1Char(' '));
            print(out, page,
                  QStringLiteral(":%1:%2: %3: %4\n")
                      .arg(qMax(1, m.line))
                      .arg(qMax(1, m.column))
                      .arg(m.kind.toLower(), words));
        }
        std::fflush(out);
        errors = errors || result.errors > 0;
    }
    // Results that did not all reach the file (a full disk) are no pass.
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "The results could not be written: %s\n", std::strerror(errno));
        return 2;
    }
    return unreadable ? 2 : errors ? 1 : 0;
}

int checkSiteFromCommandLine(const QByteArray &folder, FILE *out, FILE *err)
{
    const QString given = pathFromNative(folder);
    const QString root = QDir::cleanPath(QDir(currentFolderPath()).absoluteFilePath(given));
    const SiteCheckResult result = checkSite(root, {});
    if (result.unreadable) {
        print(err, folder, QStringLiteral(": cannot be read: %1\n").arg(whyFolderUnreadable(root)));
        return 2;
    }
    // Paths under the folder as it was given, as --check names pages.
    QByteArray prefix = folder;
    if (prefix == "." || prefix == "./")
        prefix.clear();
    else if (!prefix.endsWith('/'))
        prefix += '/';
    for (const SiteMessage &m : result.messages) {
        const QString rel = m.path == root ? QStringLiteral(".") : m.path.mid(root.size() + 1);
        QString words = m.message.text;
        words.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        print(out, prefix + nativePath(rel),
              QStringLiteral(":%1:%2: %3: %4\n")
                  .arg(m.message.line)
                  .arg(m.message.column)
                  .arg(m.message.kind.toLower(), words));
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "The results could not be written: %s\n", std::strerror(errno));
        return 2;
    }
    return result.errors > 0 ? 1 : 0;
}
