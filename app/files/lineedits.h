#pragma once
// Edits to many files worked out before they are applied (renames that keep
// links, replace in files): plain values, so that they can be planned off
// the GUI thread, below the documents that apply them (fileedits.h).
#include "diskfile.h"

#include <QList>
#include <QString>

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
