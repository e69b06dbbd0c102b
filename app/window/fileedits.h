#pragma once
// Changing many files at once (replace in files, renames that keep links):
// a file open in the editor changes in its document, one undo step; any
// other is read into a document without a window, changed and written
// whole or not at all, in its own encoding, every byte outside the changed
// spans kept as it was (line breaks too, whatever they were).
#include "lineedits.h"

#include <QList>
#include <QString>
#include <QStringList>

class DocumentTable;

struct FileEditsOutcome {
    QStringList changed;       // written, or changed in their documents
    QStringList changedOnDisk; // skipped: another program changed them
    QStringList failed;        // "path: why", nothing written to them
};

// Applies every file's edits.
FileEditsOutcome applyFileEdits(DocumentTable *docs, const QList<FileEdits> &files);
