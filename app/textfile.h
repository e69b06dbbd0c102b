#pragma once
// Reading and writing whole text files (documents, settings, table files).
// A file starting with a UTF-16 byte order mark is read as UTF-16 when its
// bytes are whole UTF-16. Otherwise bytes that are valid UTF-8 are read as
// UTF-8 (a BOM is remembered). A page that is not, or that is plain ASCII,
// and that declares its charset in its first 1,024 bytes (a meta element or
// an XML declaration) is read in that charset when every byte is valid in
// it and comes back the same. Any other file is read as Windows-1252 with
// its five unassigned bytes kept as the control characters of the same
// number, so every byte survives. A file is saved in the encoding it was
// read in.
#include <QByteArray>
#include <QString>
#include <exception>
#include <functional>
#include <optional>

enum class TextEncoding {
    Utf8,
    Utf8Bom,
    Windows1252,
    Utf16LeBom,
    Utf16BeBom,
    // Declared charsets, converted by the system's iconv.
    Iso8859_2,
    Iso8859_3,
    Iso8859_4,
    Iso8859_5,
    Iso8859_6,
    Iso8859_7,
    Iso8859_8,
    Iso8859_9,
    Iso8859_10,
    Iso8859_11,
    Iso8859_13,
    Iso8859_14,
    Iso8859_15,
    Iso8859_16,
    Windows874,
    Windows1250,
    Windows1251,
    Windows1253,
    Windows1254,
    Windows1255,
    Windows1256,
    Windows1257,
    Windows1258,
    Koi8R,
    Koi8U,
    Ibm866,
    Macintosh,
    MacCyrillic,
    ShiftJis,
    EucJp,
    EucKr,
    Gbk,
    Gb18030,
    Big5,
};

// The encoding as the user knows it: "UTF-8", "UTF-16LE with BOM", "KOI8-R".
QString encodingName(TextEncoding encoding);
// The bytes a file in the encoding starts with: its byte order mark, if any.
QByteArray byteOrderMark(TextEncoding encoding);

// The charset the page declares in its first 1,024 bytes, when it names one
// of ours: the first meta element naming one (in a content type for
// http-equiv), or else an XML declaration's encoding. A declaration cut off
// by the 1,024th byte, an unknown name, UTF-8 and UTF-16 give nothing.
std::optional<TextEncoding> declaredEncoding(QByteArrayView bytes);

// The editor takes U+2029, U+FDD0 and U+FDD1 as its own block and frame
// marks, so a file holding them would come back with line breaks in their
// place. They are held in the editor as three characters the file does not
// hold (first the noncharacters U+FDD2, U+FDD3 and U+FDD4, reserved for
// internal use) and written back as the marks they stand for.
struct MarkStandIns {
    char32_t chars[3] = {0, 0, 0}; // for U+2029, U+FDD0, U+FDD1; 0: none in use
    bool inUse() const { return chars[0] != 0; }
    bool operator==(const MarkStandIns &o) const
    {
        return chars[0] == o.chars[0] && chars[1] == o.chars[1] && chars[2] == o.chars[2];
    }
    bool operator!=(const MarkStandIns &o) const { return !(*this == o); }
};

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Files larger than this are refused before they are read whole.
constexpr qint64 kMaxTextFileBytes = qint64(256) * 1024 * 1024;

DecodedText decodeText(const QByteArray &bytes);
// Characters the encoding cannot hold are written as "&#NNNN;". A U+2029
// (the editor's line separator) is written as CR LF. The stand-ins of
// hideEditorMarks() are written as the characters they stand for. A BOM
// is written first where the encoding has one.
QByteArray encodeText(const QString &text, TextEncoding encoding,
                      const MarkStandIns &standIns = MarkStandIns());

// Puts stand-ins in place of the editor's marks in the text and returns
// them; none when the text holds no mark. Should a text hold every
// character that could stand in (over a million), its marks stay.
MarkStandIns hideEditorMarks(QString &text);
// Every lone CR and every lone LF becomes CR LF.
QString normalizeLineBreaks(const QString &text);

// Throws TagloomError "Cannot open file %s" or, for a file over the limit,
// "Text exceeds memo capacity" (or tooLargeText when given).
DecodedText readTextFile(const QString &path, qint64 limit = kMaxTextFileBytes,
                         const QString &tooLargeText = QString());
// What streamTextFile() found out about a file while passing its text on.
struct StreamedText {
    TextEncoding encoding = TextEncoding::Utf8;
    MarkStandIns standIns; // as hideEditorMarks() would have returned
    quint64 hash = 0;      // of the bytes read, as fileHash() gives; 0: not known
};

// The text readTextFile() and then hideEditorMarks() would give, passed on in
// pieces as it is read instead of held whole: a huge page is never in memory
// twice (touching that much fresh memory costs more than decoding it). A
// piece ends after a line break, or inside a line much longer than a chunk,
// never between CR and LF. The file is read twice (the
// first pass settles the encoding and the marks); returns nothing when the
// second pass found it different, and the caller then reads it whole.
// A pipe or a device, and a page in UTF-16 or in a declared charset other
// than Windows-1252, is read once, whole, and passed on as one piece.
// Throws as readTextFile() does, and WorkCancelled when the progress
// reporter cancels.
std::optional<StreamedText> streamTextFile(const QString &path,
                                           const std::function<void(const QString &)> &piece,
                                           qint64 limit = kMaxTextFileBytes,
                                           const QString &tooLargeText = QString(),
                                           qsizetype chunkBytes = 1 << 20);

// Appends text in the encoding to out, as encodeText() encodes it (no BOM).
void appendEncoded(QStringView text, TextEncoding encoding, const MarkStandIns &standIns,
                   QByteArray &out);

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
// its size, its modification time or (when it replaces the file) its inode;
// a rewrite in place that puts the old time back still changes its status
// time. The hash of the bytes, when known, tells such a change from one that
// kept the bytes (a copy put back, a change of owner).
struct FileStamp {
    bool exists = false;
    bool regular = false; // a plain file, not a directory, pipe or device
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 statusNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    quint64 hash = 0; // of the bytes; 0: not known
    // The hash is left out: it is not always known.
    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && regular == o.regular && size == o.size
            && modifiedNs == o.modifiedNs && statusNs == o.statusNs && inode == o.inode
            && device == o.device;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
FileStamp fileStamp(const QString &path);
// A hash of a plain file's bytes (never 0); 0 when it cannot be read whole.
quint64 fileHash(const QString &path);
// Hashes bytes in pieces as fileHash() hashes a file.
class ByteHasher {
public:
    void add(QByteArrayView bytes);
    quint64 result() const; // never 0

private:
    quint64 m_hash = 0x243F6A8885A308D3ull;
    quint64 m_tail = 0; // bytes not yet mixed, first in the lowest
    int m_tailSize = 0;
    qint64 m_length = 0;
};

enum class DiskChange { None, Changed, Removed };
// What became of the file `was` was taken of. Removed also when it is no
// longer a plain file. When only the inode or the status time moved, the
// bytes decide (Changed when `was` holds no hash).
DiskChange diskChange(const FileStamp &was, const QString &path);

// Long reads and writes tell the reporters of their thread (every scope
// alive) how far they are, about once a megabyte. A reporter returning false
// cancels a read (it then throws WorkCancelled); a write cannot be cancelled
// halfway and goes on.
using ProgressReporter = std::function<bool(qint64 done, qint64 total)>;
class ProgressScope {
public:
    explicit ProgressScope(ProgressReporter reporter);
    ~ProgressScope();
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;
    // Tells every reporter; false when one asks to cancel.
    static bool report(qint64 done, qint64 total);

private:
    ProgressReporter m_reporter;
    ProgressScope *m_outer;
};

class WorkCancelled : public std::exception {
public:
    const char *what() const noexcept override { return "cancelled"; }
};
