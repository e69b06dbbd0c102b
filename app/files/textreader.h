#pragma once
// Reading a text file: whole (settings and table files), or passed on in
// pieces as it is read (pages, which may be huge). The charset is settled as
// charsetsniff.h tells; the text comes with CR LF line breaks and the
// editor's marks hidden (editormarks.h).
#include "charsetsniff.h"
#include "editormarks.h"
#include "workprogress.h"

#include <QString>
#include <functional>
#include <optional>

// Files larger than this are refused before they are read whole.
constexpr qint64 kMaxTextFileBytes = qint64(256) * 1024 * 1024;

// Only a plain file is read (openPlainFile()). Throws TagloomError "Cannot
// open file %s" or, for a file over the limit, "Text exceeds memo capacity"
// (or tooLargeText when given).
DecodedText readTextFile(const QString &path, qint64 limit = kMaxTextFileBytes,
                         const QString &tooLargeText = QString());
// A page read whole in the encoding the user chose, line breaks made CR LF
// and its hash in `hash`. Throws as readTextFile() does, and with a message
// naming the encoding when the bytes do not all convert in it and back.
DecodedText readTextFileAs(const QString &path, TextEncoding encoding, quint64 &hash);

// What streamTextFile() found out about a file while passing its text on.
struct StreamedText {
    TextEncoding encoding = TextEncoding::Utf8;
    MarkStandIns standIns; // as hideEditorMarks() would have returned
    quint64 hash = 0;      // of the bytes read, as fileHash() gives; 0: not known
    bool guessed = false;  // as DecodedText tells
    KeptForms kept;
};

// The text readTextFile() and then hideEditorMarks() would give, passed on in
// pieces as it is read instead of held whole: a huge page is never in memory
// twice (touching that much fresh memory costs more than decoding it). A
// piece ends after a line break, or inside a line much longer than a chunk,
// never between CR and LF. The file is read twice (the
// first pass settles the encoding and the marks); returns nothing when the
// second pass found it different, and the caller then reads it whole. A page
// in UTF-16 or UTF-32 or in a charset of many bytes a character is read
// once, whole, and passed on as one piece.
// Throws as readTextFile() does, and WorkCancelled when the progress
// reporter cancels.
std::optional<StreamedText> streamTextFile(const QString &path,
                                           const std::function<void(const QString &)> &piece,
                                           qint64 limit = kMaxTextFileBytes,
                                           const QString &tooLargeText = QString(),
                                           qsizetype chunkBytes = 1 << 20);
