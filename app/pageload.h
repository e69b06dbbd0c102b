#pragma once
// Opening a page: the file is read and decoded here (textreader.h) and its
// text passed on to the editor piece by piece as it is read, so the editor
// only ever receives text.
#include "textreader.h"

class EditorBox;

// Reads the file at path into the editor and tells what was found out about
// it. A file that changed between the two passes of streamTextFile() is read
// again, whole. Throws as readTextFile() does, leaving the editor's text as
// it was; a line over EditorBox::kMaxLine characters is refused with the
// size message. chunkBytes: how much is read at a time.
StreamedText loadPage(EditorBox &editor, const QString &path, qsizetype chunkBytes = 1 << 20);
