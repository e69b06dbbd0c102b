#pragma once
// A page streamed as streamTextFile() streams it, with the reading and
// decoding on a worker: the caller's `piece` (putting the text into a
// document, which only this thread may do) runs meanwhile, so the two
// overlap instead of taking turns. A few pieces at most wait between them,
// so a huge page is still never held twice.
#include "textreader.h"

// Same results and throws as streamTextFile(). Progress is told, and a
// cancel heard, through this thread's ProgressScope reporters; an exception
// from `piece` stops the worker and goes on to the caller. A file of a few
// chunks is read on this thread: a worker would only add its start.
std::optional<StreamedText> streamTextFileAhead(const QString &path,
                                                const std::function<void(const QString &)> &piece,
                                                qint64 limit = kMaxTextFileBytes,
                                                const QString &tooLargeText = QString(),
                                                qsizetype chunkBytes = 1 << 20);
