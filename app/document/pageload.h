#pragma once
// Opening a page: the file is read and decoded here (textreader.h) and its
// text passed on to the page's text piece by piece as it is read, so the
// text only ever receives text.
#include "textreader.h"

class PageText;

// Reads the file at path into `text` and tells what was found out about
// it. A file that changed between the two passes of streamTextFile() is read
// again, whole. Throws as readTextFile() does, leaving the text as it was; a
// line over PageText::kMaxLine characters is refused with the size message.
// chunkBytes: how much is read at a time.
StreamedText loadPage(PageText &text, const QString &path, qsizetype chunkBytes = 1 << 20);
