#include "sitesearch.h"
#include "editormarks.h"
#include "errors.h"
#include "sitefiles.h"
#include "textreader.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>

QStringList pagePatterns()
{
    return {QStringLiteral("*.htm"), QStringLiteral("*.html"), QStringLiteral("*.shtml"),
            QStringLiteral("*.xhtml"), QStringLiteral("*.php")};
}

QStringList splitPatterns(const QString &typed)
{
    QStringList out;
    for (const QString &p :
         typed.split(QRegularExpression(QStringLiteral("[;,\\s]+")), Qt::SkipEmptyParts))
        out << p;
    return out;
}

namespace {
// Hidden folders hold version control's own files (.git, .svn, .hg) and
// tools' caches, never the site's pages.
bool isPassedOver(const QString &folderName)
{
    return folderName.startsWith(QLatin1Char('.')) || isLeftOutFolder(folderName);
}

// The files to search, in a stable order: folders walked one by one, no
// link to a folder followed (a loop would never end).
QStringList listFiles(const SiteSearchRequest &r, SiteSearchMailbox &box, JobControl &control)
{
    // Matched once a name, not once a pattern and a name.
    QList<QRegularExpression> res;
    for (const QStringList &list : {pagePatterns(), r.patterns})
        for (const QString &p : list)
            res << QRegularExpression(QRegularExpression::wildcardToRegularExpression(p),
                                      QRegularExpression::CaseInsensitiveOption);
    QStringList files;
    QStringList folders{r.folder};
    while (!folders.isEmpty() && !control.isCancelled()) {
        const QString folder = folders.takeFirst();
        QDir dir(folder);
        const QFileInfoList entries = dir.entryInfoList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::DirsLast);
        for (const QFileInfo &e : entries) {
            if (e.isDir()) {
                if (!e.isSymLink() && !isPassedOver(e.fileName()))
                    folders << e.filePath();
                continue;
            }
            const QString name = e.fileName();
            if (name.startsWith(QLatin1Char('.')))
                continue;
            bool wanted = false;
            for (const QRegularExpression &re : std::as_const(res))
                if ((wanted = re.match(name).hasMatch()))
                    break;
            if (!wanted)
                continue;
            if (e.size() > r.limit) {
                QMutexLocker hold(&box.lock);
                ++box.tooLarge;
                continue;
            }
            files << e.absoluteFilePath();
        }
    }
    return files;
}
} // namespace

FileMatches searchText(const QString &path, const QString &text, QStringView separator,
                       const SiteSearchRequest &request, JobControl *control)
{
    // Lines kept for showing are cut here: a minified page is one huge line.
    constexpr qsizetype kShownLine = 2000;
    FileMatches out;
    out.path = path;
    const SearchQuery &q = request.query;
    QString storage;
    int lineNo = 0;
    for (qsizetype at = 0; at <= text.size(); ++lineNo) {
        if (control && control->isCancelled())
            break;
        qsizetype end = text.indexOf(separator, at);
        if (end < 0)
            end = text.size();
        const QStringView line = searchableLine(QStringView(text).mid(at, end - at), &storage);
        qsizetype from = 0;
        for (;;) {
            qsizetype start = 0, length = 0;
            QRegularExpressionMatch captures;
            const SearchQuery::Result found =
                q.matchIn(line, from, false, &start, &length,
                          request.replacing && q.isRegex() ? &captures : nullptr, control);
            if (found == SearchQuery::TooCostly) {
                out.tooCostly = true;
                return out;
            }
            if (found == SearchQuery::NoMatch)
                break;
            LineMatch m{lineNo, start, length, QString()};
            if (request.replacing)
                m.replacement = q.replacement(request.replacement, captures);
            out.matches << m;
            if (!out.lineText.contains(lineNo))
                out.lineText.insert(lineNo, line.left(kShownLine).toString());
            from = start + length;
        }
        at = end + separator.size();
    }
    return out;
}

SearchStatus searchSite(const SiteSearchRequest &request, SiteSearchMailbox &box,
                        JobControl &control)
{
    const QStringList files = listFiles(request, box, control);
    {
        QMutexLocker hold(&box.lock);
        box.filesFound = int(files.size());
        box.listed = true;
    }
    bool costly = false;
    for (qsizetype i = 0; i < files.size() && !control.isCancelled(); ++i) {
        const QString &path = files[i];
        FileMatches found;
        const auto open = request.open.constFind(sameFileKey(path));
        if (open != request.open.constEnd()) {
            found = searchText(path, open->text, QStringView(u"\u2029"), request, &control);
            found.openEdits = open->edits;
        } else {
            const FileStamp stamp = fileStamp(path);
            try {
                DecodedText d = readTextFile(path, request.limit);
                hideEditorMarks(d.text);
                found = searchText(path, d.text, u"\r\n", request, &control);
            } catch (const TagloomError &e) {
                found.path = path;
                found.error = e.text();
            } catch (const std::bad_alloc &) {
                found.path = path;
                found.error = Errors::memoCapacity();
            }
            found.stamp = stamp;
        }
        costly = costly || found.tooCostly;
        QMutexLocker hold(&box.lock);
        ++box.filesDone;
        if (!found.matches.isEmpty() || found.tooCostly || !found.error.isEmpty())
            box.files << std::move(found);
        control.setProgress(int((i + 1) * 1000 / files.size()));
    }
    if (control.isCancelled())
        return SearchStatus::Cancelled;
    return costly ? SearchStatus::TooCostly : SearchStatus::Done;
}
