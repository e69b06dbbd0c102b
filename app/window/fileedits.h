#pragma once
// Changing many files at once (replace in files, renames that keep links):
// a file open in the editor changes in its document, one undo step; any
// other is read into a document without a window, changed and written
// whole or not at all, in its own encoding, every byte outside the changed
// spans kept as it was (line breaks too, whatever they were).
#include "diskfile.h"

#include <QList>
#include <QString>
#include <QStringList>

class DocumentTable;

// A span of one line replaced: in the text as the editor reads the file
// (lines end in CR LF, counted from 0), in UTF-16 units. An edit never
// spans a line break.
struct LineEdit {
    int line = 0;
    qsizetype column = 0;
    qsizetype length = 0;
    QString replacement;
};

struct FileEdits {
    QString path; // absolute
    // How the file stood when the edits were worked out (a file not open);
    // one changed since is skipped.
    FileStamp stamp;
    QList<LineEdit> edits; // in any order, never overlapping
};

struct FileEditsOutcome {
    QStringList changed;       // written, or changed in their documents
    QStringList changedOnDisk; // skipped: another program changed them
    QStringList failed;        // "path: why", nothing written to them
};

// Applies every file's edits.
FileEditsOutcome applyFileEdits(DocumentTable *docs, const QList<FileEdits> &files);
