#pragma once
// Searching the files of a folder (Find in Files): which files are read,
// and each one searched line by line as the editor reads it, so that a
// match's line and column are the editor's. Runs on a worker thread; what
// it finds is handed over a file at a time through a shared mailbox that
// the GUI thread empties in batches.
#include "backgroundjob.h"
#include "diskfile.h"
#include "textreader.h"
#include "textsearch.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

// Pages are always searched; `patterns` ("*.css;*.js") adds other files.
// Hidden files and folders (version control's among them) are passed over.
QStringList pagePatterns();
// "*.css; *.js" -> {"*.css", "*.js"}
QStringList splitPatterns(const QString &typed);

// One match, columns in UTF-16 units of the editor's line.
struct LineMatch {
    int line = 0;
    qsizetype column = 0;
    qsizetype length = 0;
    QString replacement; // what replaces it, when replacing
};

struct FileMatches {
    QString path;
    FileStamp stamp;              // as the file stood when read (not for open pages)
    quint64 openEdits = 0;        // an open page: its edit count when copied; 0 otherwise
    QList<LineMatch> matches;     // in line order
    QHash<int, QString> lineText; // the text of each line with a match
    bool tooCostly = false;       // the engine gave up on this file
    QString error;                // it could not be read
};

// A page open in the editor, searched in its current text.
struct OpenText {
    QString text; // lines separated by U+2029 (as the document holds them)
    quint64 edits = 0;
};

struct SiteSearchRequest {
    QString folder;
    QStringList patterns; // besides the pages'
    SearchQuery query;
    bool replacing = false;
    QString replacement;           // as typed (\1 stands for a capture in a pattern)
    QHash<QString, OpenText> open; // by canonical path
    qint64 limit = kMaxTextFileBytes;
};

// What the worker hands over, a piece at a time.
struct SiteSearchMailbox {
    QMutex lock;
    QList<FileMatches> files; // done since last taken (with matches or an error)
    int filesFound = 0;       // to search, once listed
    int filesDone = 0;
    int tooLarge = 0; // passed over: over the limit
    bool listed = false;
};

// Lists the files, then searches each (open pages in their current text,
// others read as the editor reads them), posting every file with a match
// to `box`. Stops at the next file or line when `control` is cancelled.
SearchStatus searchSite(const SiteSearchRequest &request, SiteSearchMailbox &box,
                        JobControl &control);

// One file's text (lines separated by `separator`) searched.
FileMatches searchText(const QString &path, const QString &text, QStringView separator,
                       const SiteSearchRequest &request, JobControl *control);
