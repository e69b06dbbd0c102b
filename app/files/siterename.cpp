#include "siterename.h"

#include "charsetsniff.h"
#include "editormarks.h"
#include "pagelinks.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cerrno>

namespace {
QString cleanAbsolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool inside(const QString &path, const QString &folder, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    if (path.compare(folder, cs) == 0)
        return true;
    if (path.size() <= folder.size() || !path.startsWith(folder, cs))
        return false;
    return folder.endsWith(u'/') || path.at(folder.size()) == u'/';
}

// Where the path of a reference as written begins and ends: after leading
// blanks, before its query or fragment (a '#' of a character reference is
// neither) or its trailing blanks.
struct PathSpan {
    qsizetype start = 0;
    qsizetype length = 0;
};

PathSpan pathSpan(const QString &w)
{
    qsizetype s = 0;
    while (s < w.size() && w.at(s).isSpace())
        ++s;
    qsizetype i = s;
    for (; i < w.size(); ++i) {
        const QChar c = w.at(i);
        if (c == u'?' || c == u'#')
            break;
        if (c == u'&') {
            qsizetype j = i + 1;
            while (j < w.size() && (w.at(j).isLetterOrNumber() || w.at(j) == u'#'))
                ++j;
            if (j > i + 1 && j < w.size() && w.at(j) == u';')
                i = j;
        }
    }
    qsizetype e = i;
    if (i == w.size()) {
        while (e > s && w.at(e - 1).isSpace())
            --e;
    }
    return {s, e - s};
}

struct Style {
    bool css = false;      // url(): parentheses escaped too
    bool markup = false;   // in a page: '&' written as a character reference
    bool nonAscii = false; // the reference spelled non-ASCII bytes as %XX
};

void appendPercent(QString &out, QStringView chars)
{
    const QByteArray utf8 = chars.toUtf8();
    for (const char b : utf8)
        out += QStringLiteral("%%1").arg(uint(uchar(b)), 2, 16, QLatin1Char('0')).toUpper();
}

QString encodeSegment(QStringView segment, const Style &style)
{
    static const QString needEscape = QStringLiteral("\"#%<>?\\^`{|}'");
    QString out;
    for (qsizetype i = 0; i < segment.size(); ++i) {
        const QChar c = segment.at(i);
        if (c.unicode() >= 0x80) {
            const qsizetype n = c.isHighSurrogate() && i + 1 < segment.size() ? 2 : 1;
            if (style.nonAscii)
                appendPercent(out, segment.mid(i, n));
            else
                out += segment.mid(i, n);
            i += n - 1;
        } else if (c.unicode() < 0x21 || c.unicode() == 0x7f || needEscape.contains(c)
                   || (style.css && (c == u'(' || c == u')'))) {
            appendPercent(out, segment.mid(i, 1));
        } else if (c == u'&' && style.markup) {
            out += QStringLiteral("&amp;");
        } else {
            out += c;
        }
    }
    return out;
}

QString encodePath(const QString &path, const Style &style)
{
    const QStringList segments = path.split(u'/');
    QStringList out;
    out.reserve(segments.size());
    for (const QString &s : segments)
        out << encodeSegment(s, style);
    return out.join(u'/');
}

// The folder relative references of a page start from: its own, or its
// <base href>'s.
QString referenceFolder(const QString &file, const QString &baseHref, const QString &site)
{
    if (baseHref.isEmpty())
        return QFileInfo(file).absolutePath();
    const ResolvedLink r = resolveLink(file, baseHref, QStringLiteral("x"), site);
    return r.kind == ResolvedLink::Local ? QFileInfo(r.path).absolutePath() : QString();
}

// The path of a reference once its target is `target`, written as `path`
// was (file URL, root-relative or relative); empty: cannot be said.
QString newPath(const QString &path, const QString &target, const QString &file,
                const QString &baseHref, const QString &site, const Style &style)
{
    QString out;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        out = QStringLiteral("file://") + encodePath(target, style);
    } else if ((path.startsWith(u'/') || path.startsWith(u'\\'))
               && !path.startsWith(QLatin1String("//"))) {
        out = !site.isEmpty() && inside(target, site)
                  ? u'/' + encodePath(QDir(site).relativeFilePath(target), style)
                  : encodePath(target, style);
        if (out == QLatin1String("/."))
            out = QStringLiteral("/");
    } else {
        const QString folder = referenceFolder(file, baseHref, site);
        if (folder.isEmpty())
            return QString();
        QString rel = QDir(folder).relativeFilePath(target);
        if (rel.isEmpty())
            rel = QStringLiteral(".");
        out = encodePath(rel, style);
        if (path.startsWith(QLatin1String("./")) && !out.startsWith(u'.'))
            out.prepend(QStringLiteral("./"));
    }
    if ((path.endsWith(u'/') || path.endsWith(u'\\')) && !out.endsWith(u'/'))
        out += u'/';
    return out;
}

bool spellsNonAsciiAsPercent(QStringView path)
{
    for (qsizetype i = 0; i + 2 < path.size(); ++i) {
        if (path.at(i) == u'%' && QStringLiteral("89abcdefABCDEF").contains(path.at(i + 1)))
            return true;
    }
    return false;
}

// Whether a reference may name `name` (the last part of what is renamed),
// ignoring case: resolving every reference of a big site costs more than
// reading it. One whose path ends in "." or ".." may name a folder above.
bool mayName(const QString &reference, const QString &name)
{
    if (reference.contains(name, Qt::CaseInsensitive))
        return true;
    if (reference.contains(u'%')
        && QUrl::fromPercentEncoding(reference.toUtf8()).contains(name, Qt::CaseInsensitive))
        return true;
    QStringView path(reference);
    qsizetype end = 0;
    while (end < path.size() && path.at(end) != u'?' && path.at(end) != u'#')
        ++end;
    path = path.left(end);
    while (path.endsWith(u'/') || path.endsWith(u'\\'))
        path.chop(1);
    return path.isEmpty() || path.endsWith(u'.');
}

// The longest run of ASCII letters and digits in `name`: any reference to
// it holds that run (ignoring case) unless its letters are escaped, which
// nobody writes by hand.
QString plainestPart(const QString &name)
{
    QString best;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool plain =
            i < name.size() && name.at(i).unicode() < 0x80 && name.at(i).isLetterOrNumber();
        if (plain)
            continue;
        if (i - start > best.size())
            best = name.mid(start, i - start);
        start = i + 1;
    }
    return best;
}

void planFile(RenamePlan &plan, const QString &file, const QString &text, bool stylesheet,
              const JobControl *control)
{
    const QString fileNow = pathAfterRename(file, plan.from, plan.to);
    const bool moved = fileNow != file;
    const QString name = QFileInfo(plan.from).fileName();
    if (!moved && !text.contains(plainestPart(name), Qt::CaseInsensitive))
        return;
    const PageLinks links = stylesheet ? stylesheetLinks(text) : pageLinks(text, control);
    // A base href into what is renamed takes every reference there.
    const bool everyLink =
        moved || name.isEmpty() || (!links.baseHref.isEmpty() && mayName(links.baseHref, name));
    for (const PageLink &l : links.links) {
        if (!everyLink && !mayName(l.reference, name))
            continue;
        const ResolvedLink r = resolveLink(file, links.baseHref, l.reference, plan.site);
        if (r.kind != ResolvedLink::Local)
            continue;
        const QString target = QDir::cleanPath(r.path);
        const QString targetNow = pathAfterRename(target, plan.from, plan.to);
        const PathSpan span = pathSpan(l.written);
        const QString path = l.written.mid(span.start, span.length);
        if (targetNow == target && !moved) {
            // On a file system that tells case apart such a link names
            // nothing: which file was meant is the user's to say.
            if (inside(target, plan.from, Qt::CaseInsensitive) && !QFileInfo::exists(target))
                plan.changes.append({file, l.line, l.column + span.start, span.length, l.written,
                                     QString(), QString(), true});
            continue;
        }
        // Links that still reach their file from the new place stay as written.
        const ResolvedLink again = resolveLink(fileNow, links.baseHref, l.reference, plan.site);
        if (again.kind == ResolvedLink::Local && QDir::cleanPath(again.path) == targetNow)
            continue;
        const Style style{stylesheet || l.attribute == QLatin1String("url")
                              || l.attribute == QLatin1String("@import"),
                          // A STYLE element's text is read raw: '&' stays '&'.
                          !stylesheet && l.element != QLatin1String("style"),
                          spellsNonAsciiAsPercent(path)};
        const QString after = newPath(path, targetNow, fileNow, links.baseHref, plan.site, style);
        if (after.isEmpty() || after == path)
            continue;
        plan.changes.append(
            {file, l.line, l.column + span.start, span.length, l.written,
             l.written.left(span.start) + after + l.written.mid(span.start + span.length), after,
             false});
    }
}

QStringList filesToRead(const QString &site, const QString &from, const JobControl *control)
{
    QStringList files;
    auto gather = [&](const QString &folder) {
        QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext() && files.size() < kMaxRenameFiles) {
            const QString f = QDir::cleanPath(it.next());
            if ((isSitePage(f) || isStylesheet(f)) && !(control && control->isCancelled()))
                files << f;
        }
    };
    if (!site.isEmpty())
        gather(site);
    if (site.isEmpty() || !inside(from, site)) {
        if (QFileInfo(from).isDir())
            gather(from);
        else if (isSitePage(from) || isStylesheet(from))
            files << from;
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}
} // namespace

QString renameRefusal(const QString &from, const QString &to)
{
    const QFileInfo source(from);
    if (!source.exists() && !source.isSymLink())
        return QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(from));
    if (cleanAbsolute(from) == cleanAbsolute(to))
        return QStringLiteral("%1 already has that name.").arg(QDir::toNativeSeparators(from));
    const QFileInfo target(to);
    if (target.exists() || target.isSymLink())
        return QStringLiteral("%1 already exists: it would be overwritten.")
            .arg(QDir::toNativeSeparators(to));
    if (source.isDir() && inside(cleanAbsolute(to), cleanAbsolute(from)))
        return QStringLiteral("A folder cannot be moved into itself.");
    if (!QFileInfo(target.absolutePath()).isDir())
        return QStringLiteral("The folder %1 does not exist.")
            .arg(QDir::toNativeSeparators(target.absolutePath()));
    return QString();
}

QString pathAfterRename(const QString &path, const QString &from, const QString &to)
{
    if (!inside(path, from))
        return path;
    return to + path.mid(from.size());
}

RenamePlan planRename(const QString &site, const QString &from, const QString &to,
                      const QHash<QString, QString> &openTexts, const JobControl *control)
{
    RenamePlan plan;
    plan.from = cleanAbsolute(from);
    plan.to = cleanAbsolute(to);
    plan.site = site.isEmpty() ? QString() : cleanAbsolute(site);
    plan.refusal = renameRefusal(plan.from, plan.to);
    if (!plan.refusal.isEmpty())
        return plan;
    const QStringList files = filesToRead(plan.site, plan.from, control);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (control && control->isCancelled()) {
            plan.cancelled = true;
            return plan;
        }
        if (control)
            const_cast<JobControl *>(control)->setProgress(int(i * 1000 / files.size()));
        const QString &file = files.at(i);
        QString text;
        const auto open = openTexts.constFind(file);
        if (open != openTexts.cend()) {
            text = *open;
        } else {
            FileStamp stamp = fileStamp(file);
            QByteArray bytes;
            if (const int err = readPlainFile(file, kMaxRenameFileBytes, bytes)) {
                plan.unread << QStringLiteral("%1: %2").arg(
                    QDir::toNativeSeparators(file),
                    err == EFBIG
                        ? QStringLiteral("larger than %1 MB").arg(kMaxRenameFileBytes >> 20)
                        : qt_error_string(err));
                continue;
            }
            ByteHasher hash;
            hash.add(bytes);
            stamp.hash = hash.result();
            plan.stamps.insert(file, stamp);
            text = normalizeLineBreaks(decodeText(bytes).text);
        }
        ++plan.filesRead;
        planFile(plan, file, text, isStylesheet(file), control);
    }
    if (control && control->isCancelled())
        plan.cancelled = true;
    return plan;
}

QList<FileEdits> renameEdits(const RenamePlan &plan, const QList<bool> &chosen)
{
    QList<FileEdits> out;
    for (qsizetype i = 0; i < plan.changes.size(); ++i) {
        const RenameChange &c = plan.changes.at(i);
        if (c.caseOnly || (!chosen.isEmpty() && !chosen.value(i)))
            continue;
        if (out.isEmpty() || out.last().path != pathAfterRename(c.file, plan.from, plan.to))
            out.append(
                {pathAfterRename(c.file, plan.from, plan.to), plan.stamps.value(c.file), {}});
        out.last().edits.append({c.line, c.column, c.length, c.replacement});
    }
    return out;
}
