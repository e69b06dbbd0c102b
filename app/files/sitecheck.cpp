#include "sitecheck.h"
#include "editormarks.h"
#include "errors.h"
#include "pagelinks.h"
#include "textreader.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

bool hasSuffix(const QString &path, std::initializer_list<QStringView> suffixes)
{
    for (QStringView s : suffixes)
        if (path.endsWith(s, Qt::CaseInsensitive) && path.size() > s.size()
            && path[path.size() - s.size() - 1] == u'.')
            return true;
    return false;
}

// Files a site serves that something should link to.
bool isLinkable(const QString &path)
{
    return isSitePage(path) || isStylesheet(path)
           || hasSuffix(path, {u"png", u"jpg", u"jpeg", u"gif", u"webp", u"svg", u"ico", u"bmp",
                               u"avif", u"js", u"mjs", u"woff", u"woff2", u"ttf", u"otf", u"eot"});
}

struct Source {
    QString path;
    PageLinks links;
    bool page = false;
};

class SiteChecker {
public:
    SiteChecker(const QString &folder, const QHash<QString, QString> &openTexts,
                JobControl *control)
        : openTexts(openTexts), control(control)
    {
        r.folder = QDir::cleanPath(folder);
    }

    SiteCheckResult run()
    {
        if (!walk())
            return std::move(r);
        read();
        if (cancelled())
            return std::move(r);
        // Fragments of pages read after the page naming them.
        for (const Deferred &d : std::as_const(deferred)) {
            const auto names = anchors.constFind(d.target);
            if (names != anchors.cend() && !fragmentNamed(d.fragment, *names))
                fragmentMissing(d.path, d.link, d.target, d.fragment);
        }
        unlinked();
        std::stable_sort(r.messages.begin(), r.messages.end(),
                         [](const SiteMessage &a, const SiteMessage &b) {
                             const int byPath = QString::compare(a.path, b.path);
                             if (byPath != 0)
                                 return byPath < 0;
                             return std::pair(a.message.line, a.message.column)
                                    < std::pair(b.message.line, b.message.column);
                         });
        for (const SiteMessage &m : std::as_const(r.messages)) {
            r.errors += m.message.kind == u"Error";
            r.warnings += m.message.kind == u"Warning";
            r.advice += m.message.kind == u"Advice";
        }
        return std::move(r);
    }

private:
    bool cancelled()
    {
        if (control && control->isCancelled())
            r.cancelled = true;
        return r.cancelled;
    }

    QString relative(const QString &path) const
    {
        return path.startsWith(r.folder + u'/') ? path.mid(r.folder.size() + 1) : path;
    }

    // Lists the files and folders; hidden ones and version control's are
    // not part of the site.
    bool walk()
    {
        const QFileInfo top(r.folder);
        if (!top.isDir() || !top.isReadable() || !QDir(r.folder).isReadable()) {
            r.unreadable = true;
            return false;
        }
        folders.insert(r.folder);
        QList<QString> pending{r.folder};
        while (!pending.isEmpty() && !cancelled()) {
            const QString dir = pending.takeLast();
            QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
            while (it.hasNext()) {
                it.next();
                const QFileInfo info = it.fileInfo();
                const QString path = info.filePath();
                if (info.isDir()) {
                    if (isLeftOutFolder(info.fileName()) || info.isSymLink())
                        continue;
                    folders.insert(path);
                    byLowerCase.insert(path.toLower(), path);
                    pending.append(path);
                } else if (files.size() < kMaxSiteFiles) {
                    files.insert(path);
                    byLowerCase.insert(path.toLower(), path);
                } else {
                    tooMany = true;
                }
            }
        }
        r.files = int(files.size());
        if (tooMany)
            add(r.folder, {}, QStringLiteral("Warning"),
                QStringLiteral("The folder holds more than %1 files: only the first are "
                               "checked")
                    .arg(kMaxSiteFiles));
        return true;
    }

    void read()
    {
        QStringList names;
        for (const QString &f : std::as_const(files))
            if (isSitePage(f) || isStylesheet(f))
                names << f;
        names.sort();
        qsizetype done = 0;
        for (const QString &path : std::as_const(names)) {
            if (cancelled())
                return;
            if (control)
                control->setProgress(int(900 * done++ / names.size()));
            Source s;
            s.path = path;
            s.page = isSitePage(path);
            QString text;
            if (const auto open = openTexts.constFind(path); open != openTexts.cend()) {
                text = *open;
            } else {
                try {
                    DecodedText d = readTextFile(path, kMaxSitePageBytes);
                    hideEditorMarks(d.text);
                    text = std::move(d.text);
                } catch (const TagloomError &e) {
                    add(path, {}, QStringLiteral("Warning"),
                        QStringLiteral("Not checked: %1").arg(e.text()));
                    continue;
                }
            }
            s.links = s.page ? pageLinks(text, control) : stylesheetLinks(text);
            if (s.links.truncated)
                add(path, nullptr, QStringLiteral("Warning"),
                    QStringLiteral("Only the first %1 references of this file are checked")
                        .arg(kMaxPageLinks));
            if (s.page)
                anchors.insert(path,
                               QSet<QString>(s.links.anchors.cbegin(), s.links.anchors.cend()));
            // Checked at once, so that only the names of each page are kept
            // (a site's links all held took 65 MB for 2,000 pages).
            check(s);
            ++r.pages;
        }
    }

    // Where a reference is made, in words: "<img src>", "url() in <style>".
    static QString where(const PageLink &l)
    {
        const bool css = l.attribute == u"url" || l.attribute == u"@import";
        const QString what = l.attribute == u"url" ? QStringLiteral("url()") : l.attribute;
        if (!css)
            return QStringLiteral("<%1 %2>").arg(l.element, l.attribute);
        if (l.element.isEmpty())
            return what;
        if (l.element == u"style")
            return QStringLiteral("%1 in <style>").arg(what);
        return QStringLiteral("%1 in a style attribute").arg(what);
    }

    void add(const QString &path, const PageLink *l, const QString &kind, const QString &text)
    {
        SiteMessage m;
        m.path = path;
        m.message.kind = kind;
        m.message.text = text;
        m.message.line = l ? l->line + 1 : 1;
        m.message.column = l ? int(l->column) + 1 : 1;
        if (l && l->length > 0 && !l->written.contains(u'\n')) {
            m.message.lastLine = m.message.line;
            m.message.lastColumn = m.message.column + int(l->length) - 1;
        }
        r.messages.append(m);
    }

    void check(const Source &s)
    {
        const QString base = s.page ? s.links.baseHref : QString();
        const QSet<QString> own = anchors.value(s.path);
        for (const PageLink &l : s.links.links) {
            const ResolvedLink to = resolveLink(s.path, base, l.reference, r.folder);
            const QString name = u'`' + l.reference + u'`';
            switch (to.kind) {
            case ResolvedLink::Other:
                continue;
            case ResolvedLink::External:
                if (!externalSeen.contains(to.url)) {
                    externalSeen.insert(to.url);
                    r.external.append({to.url, s.path, l.line + 1, int(l.column) + 1});
                }
                continue;
            case ResolvedLink::Fragment:
                if (!fragmentNamed(to.fragment, own))
                    add(s.path, &l, QStringLiteral("Error"),
                        QStringLiteral("%1 names no id or <a name> of this page (%2)")
                            .arg(name, where(l)));
                continue;
            case ResolvedLink::Local:
                break;
            }
            if (to.fileScheme) {
                add(s.path, &l, QStringLiteral("Error"),
                    QStringLiteral("%1 points into this computer's own disk (%2): it will not "
                                   "work once the site is published; write a relative address")
                        .arg(name, where(l)));
                continue;
            }
            if (to.backslash)
                add(s.path, &l, QStringLiteral("Error"),
                    QStringLiteral("%1 has back slashes (%2): write / between folders")
                        .arg(name, where(l)));
            if (to.unencodedSpace)
                add(s.path, &l, QStringLiteral("Warning"),
                    QStringLiteral("%1 has a space (%2): write it as %20").arg(name, where(l)));
            if (to.rootRelative)
                add(s.path, &l, QStringLiteral("Warning"),
                    QStringLiteral("%1 starts with / (%2): it works only when this folder is "
                                   "the server's top folder; a relative address works anywhere")
                        .arg(name, where(l)));
            target(s, l, to, name);
        }
    }

    static bool fragmentNamed(const QString &fragment, const QSet<QString> &names)
    {
        // "#" and "#top" scroll to the top in every browser.
        return fragment.isEmpty() || fragment.compare(u"top", Qt::CaseInsensitive) == 0
               || names.contains(fragment);
    }

    // Whether the file a local reference names is there.
    void target(const Source &s, const PageLink &l, const ResolvedLink &to, const QString &name)
    {
        QString path = to.path;
        if (folders.contains(path)) {
            const QString index = path + QStringLiteral("/index.html");
            const QString indexHtm = path + QStringLiteral("/index.htm");
            path = files.contains(index) ? index : files.contains(indexHtm) ? indexHtm : QString();
            if (path.isEmpty()) {
                add(s.path, &l, QStringLiteral("Error"),
                    QStringLiteral("%1 is a folder without index.html (%2)").arg(name, where(l)));
                return;
            }
        } else if (!files.contains(path)) {
            const auto other = byLowerCase.constFind(path.toLower());
            if (other != byLowerCase.cend()) {
                add(s.path, &l, QStringLiteral("Error"),
                    QStringLiteral("%1 does not exist (%2); did you mean %3? Names differ by "
                                   "case on most servers")
                        .arg(name, where(l), relative(*other)));
                return;
            }
            const QFileInfo outside(path);
            if (!outside.exists()) {
                add(s.path, &l, QStringLiteral("Error"),
                    QStringLiteral("%1 does not exist (%2)").arg(name, where(l)));
                return;
            }
            if (!path.startsWith(r.folder + u'/'))
                add(s.path, &l, QStringLiteral("Warning"),
                    QStringLiteral("%1 is outside the site's folder (%2): it is not published "
                                   "with the site")
                        .arg(name, where(l)));
            return;
        }
        if (path != s.path)
            linked.insert(path);
        if (to.fragment.isEmpty())
            return;
        const auto names = anchors.constFind(path);
        if (names != anchors.cend()) {
            if (!fragmentNamed(to.fragment, *names))
                fragmentMissing(s.path, l, path, to.fragment);
        } else if (isSitePage(path)) {
            deferred.append({s.path, l, path, to.fragment}); // not read yet
        }
    }

    void fragmentMissing(const QString &path, const PageLink &l, const QString &target,
                         const QString &fragment)
    {
        add(path, &l, QStringLiteral("Error"),
            QStringLiteral("`%1`: %2 has no id or <a name> \"%3\" (%4)")
                .arg(l.reference, relative(target), fragment, where(l)));
    }

    void unlinked()
    {
        QStringList names;
        for (const QString &f : std::as_const(files))
            if (!linked.contains(f) && isLinkable(f))
                names << f;
        names.sort();
        for (const QString &f : std::as_const(names)) {
            const QString rel = relative(f);
            if (rel.compare(u"index.html", Qt::CaseInsensitive) == 0
                || rel.compare(u"index.htm", Qt::CaseInsensitive) == 0)
                continue; // the site's front page: the server shows it
            add(f, nullptr, QStringLiteral("Advice"),
                QStringLiteral("nothing links to %1").arg(rel));
        }
    }

    const QHash<QString, QString> &openTexts;
    JobControl *control;
    SiteCheckResult r;
    QSet<QString> files, folders, linked, externalSeen;
    QHash<QString, QString> byLowerCase;
    QHash<QString, QSet<QString>> anchors;
    struct Deferred {
        QString path;
        PageLink link;
        QString target;
        QString fragment;
    };
    QList<Deferred> deferred;
    bool tooMany = false;
};

} // namespace

QString SiteCheckResult::summary() const
{
    if (unreadable)
        return QStringLiteral("The folder cannot be read");
    if (cancelled)
        return QStringLiteral("Check cancelled");
    QString s = QStringLiteral("%1 files, %2 pages and stylesheets: %3")
                    .arg(files)
                    .arg(pages)
                    .arg(countsText(errors, warnings, advice));
    if (!external.isEmpty())
        s += (externalTried ? QStringLiteral("; %1 external addresses, tried")
                            : QStringLiteral("; %1 external addresses, not checked"))
                 .arg(external.size());
    return s;
}

SiteCheckResult checkSite(const QString &folder, const QHash<QString, QString> &openTexts,
                          JobControl *control)
{
    return SiteChecker(folder, openTexts, control).run();
}
