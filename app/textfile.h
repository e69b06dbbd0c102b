#pragma once
// Reading and writing whole text files (documents, settings, table files).
// Bytes that are valid UTF-8 are read as UTF-8 (a BOM is remembered); any
// other file is read as Windows-1252 with its five unassigned bytes kept as
// the control characters of the same number, so every byte survives.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

enum class TextEncoding { Utf8, Utf8Bom, Windows1252 };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Files larger than this are refused before they are read whole.
constexpr qint64 kMaxTextFileBytes = qint64(256) * 1024 * 1024;

DecodedText decodeText(const QByteArray &bytes);
// Characters the encoding cannot hold are written as "&#NNNN;". A U+2029
// (the editor's line separator) is written as CR LF. With standIns, the
// stand-ins of hideEditorMarks() are written as the characters they stand for.
QByteArray encodeText(const QString &text, TextEncoding encoding, bool standIns = false);

// The editor takes U+2029, U+FDD0 and U+FDD1 as its own block and frame
// marks, so a file holding them would come back with line breaks in their
// place. They are held in the editor as the noncharacters U+FDD2, U+FDD3 and
// U+FDD4 instead (reserved for internal use), and written back by
// encodeText(..., true). Returns whether stand-ins are in use; a text that
// already holds one of them is left as it is (false).
bool hideEditorMarks(QString &text);
// Every lone CR and every lone LF becomes CR LF.
QString normalizeLineBreaks(const QString &text);

// Throws TagloomError "Cannot open file %s" or, for a file over the limit,
// "Text exceeds memo capacity" (or tooLargeText when given).
DecodedText readTextFile(const QString &path, qint64 limit = kMaxTextFileBytes,
                         const QString &tooLargeText = QString());
// What streamTextFile() found out about a file while passing its text on.
struct StreamedText {
    TextEncoding encoding = TextEncoding::Utf8;
    bool standIns = false; // as hideEditorMarks() would have returned
};

// The text readTextFile() and then hideEditorMarks() would give, passed on in
// pieces as it is read instead of held whole: a huge page is never in memory
// twice (touching that much fresh memory costs more than decoding it). A
// piece ends after a line break, or inside a line much longer than a chunk,
// never between CR and LF. The file is read twice (the
// first pass settles the encoding and the marks); returns nothing when the
// second pass found it different, and the caller then reads it whole.
// A pipe or a device is read once, whole, and passed on as one piece.
// Throws as readTextFile() does.
std::optional<StreamedText> streamTextFile(const QString &path,
                                           const std::function<void(const QString &)> &piece,
                                           qint64 limit = kMaxTextFileBytes,
                                           const QString &tooLargeText = QString(),
                                           qsizetype chunkBytes = 1 << 20);

// Appends text in the encoding to out, as encodeText() encodes it (no BOM).
void appendEncoded(QStringView text, TextEncoding encoding, bool standIns, QByteArray &out);

// Atomic: the old file stays whole when the write fails. Throws
// TagloomError "Cannot create file %s".
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// As writeFileAtomically, but reports instead of throwing: 0 when the file
// was replaced, otherwise the system's error number (errno) of the step that
// failed, for callers that show their own input/output texts.
int tryWriteFileAtomically(const QString &path, const QByteArray &bytes);

// The same for a file written in pieces: produce() hands each to the sink,
// so a huge page is never encoded whole in memory first.
using ByteSink = std::function<void(QByteArrayView)>;
int tryWriteFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce);
void writeFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce);

// One version of a file on disk. Another program rewriting the file changes
// its size, its modification time or (when it replaces the file) its inode.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && size == o.size && modifiedNs == o.modifiedNs
            && inode == o.inode && device == o.device;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
FileStamp fileStamp(const QString &path);
