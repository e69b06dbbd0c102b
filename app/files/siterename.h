#pragma once
// Working out what renaming or moving a file or folder of a site changes:
// every reference to it (or into it) from the site's pages and stylesheets,
// rewritten to point at the new place, and the references the moved files
// make themselves, recomputed from where they will be. Reads the site's
// files but changes nothing: the caller renames and applies the edits.
#include "backgroundjob.h"
#include "lineedits.h"
#include "sitefiles.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One reference the rename changes, or one it leaves alone that the user
// should hear of.
struct RenameChange {
    QString file; // the file that makes it (absolute), where it is now
    int line = 0; // of the text as the editor reads it, from 0
    qsizetype column = 0;
    qsizetype length = 0; // the span replaced: the reference's path
    QString before;       // the reference as written
    QString after;        // as it will be written; empty when left alone
    QString replacement;  // what replaces the span
    // Names the file only when case is ignored: left as it is.
    bool caseOnly = false;
};

struct RenamePlan {
    QString from; // absolute, clean
    QString to;
    // The site's folder, where references from the root ("/x") start.
    QString site;
    QString refusal; // why the rename cannot be done; empty: it can
    bool cancelled = false;
    QList<RenameChange> changes; // by file, then by place
    // How each file read from disk stood when read (open pages are not).
    QHash<QString, FileStamp> stamps;
    QStringList unread; // "path: why"
    int filesRead = 0;
};

// The largest file read; larger ones are listed as not read.
constexpr qint64 kMaxRenameFileBytes = qint64(32) * 1024 * 1024;
// How many files of a site are looked at, at most.
constexpr int kMaxRenameFiles = 100000;

// Whether `path` is a page or a stylesheet, by its name.

// Why `from` cannot become `to` as things stand on disk; empty: it can.
QString renameRefusal(const QString &from, const QString &to);

// `path` once `from` has become `to`: itself when it is neither `from` nor
// inside it.
QString pathAfterRename(const QString &path, const QString &from, const QString &to);

// Every page and stylesheet under `site` (and under `from`, when it lies
// outside; an empty `site`: that alone, and "/x" from the disk's root), read from disk unless
// `openTexts` (absolute path -> text with CR LF breaks) holds it. `control` may cancel; the plan
// then says so.
RenamePlan planRename(const QString &site, const QString &from, const QString &to,
                      const QHash<QString, QString> &openTexts,
                      const JobControl *control = nullptr);

// The edits of the changes chosen (chosen[i] for changes[i]; every one when
// `chosen` is empty), each under the path its file has once renamed.
QList<FileEdits> renameEdits(const RenamePlan &plan, const QList<bool> &chosen = {});
