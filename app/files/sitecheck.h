#pragma once
// The site check: every page and stylesheet under a folder read as the
// editor reads them, and each local reference they make looked up on the
// disk. A reference to nothing, to a fragment no page names, to a file
// whose name differs only in case, or written in a way that works on this
// machine only, is reported where it is written; files nothing links to are
// listed as advice. External addresses are collected, never fetched.
//
// Pure of widgets; meant for a worker (BackgroundJobs), cancellable.
#include "backgroundjob.h"
#include "pagecheck.h"
#include "sitefiles.h"

#include <QHash>
#include <QList>
#include <QString>

struct SiteMessage {
    QString path;        // the file's absolute path
    PageMessage message; // 1-based line and column; the reference's span when it has one
};

struct ExternalAddress {
    QString url;
    QString path; // the first file that names it, and where
    int line = 0; // 1-based
    int column = 0;
};

struct SiteCheckResult {
    QString folder;
    QList<SiteMessage> messages; // by path, then line and column
    QList<ExternalAddress> external;
    int pages = 0; // pages and stylesheets read
    int files = 0; // files under the folder
    int errors = 0, warnings = 0, advice = 0;
    bool cancelled = false;
    bool unreadable = false;    // the folder itself could not be read
    bool externalTried = false; // the external addresses were asked about
    QString summary() const;
};

// Checks the site under `folder` (absolute). `openTexts` maps the absolute
// paths of pages open in the editor with unsaved text to that text (CR LF,
// marks hidden), which is read instead of the file. `control` may be null.
SiteCheckResult checkSite(const QString &folder, const QHash<QString, QString> &openTexts,
                          JobControl *control = nullptr);

// Files of a site are listed up to this many; past it the check says so.
constexpr int kMaxSiteFiles = 200000;
// Larger pages and stylesheets are not read.
constexpr qint64 kMaxSitePageBytes = qint64(32) * 1024 * 1024;
