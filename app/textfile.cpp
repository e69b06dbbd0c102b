#include "textfile.h"
#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <sys/stat.h>

namespace {
// Windows-1252 0x80..0x9F; the five unassigned bytes map to U+0081 etc.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

// One pass: UTF-8 with the editor's U+2029 line separators written as
// CR LF (saving a huge page must not cost a copy per step).
constexpr char16_t kMarks[3] = {0x2029, 0xFDD0, 0xFDD1};
constexpr char16_t kStandIns[3] = {0xFDD2, 0xFDD3, 0xFDD4};

void appendReference(QByteArray &out, char32_t code)
{
    out += "&#";
    out += QByteArray::number(uint(code));
    out += ';';
}
void appendUtf8(QStringView text, bool standIns, QByteArray &out)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    const qsizetype at = out.size();
    out.resize(at + n * 3);
    char *o = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = d[i];
        if (standIns && c >= kStandIns[0] && c <= kStandIns[2]) {
            c = kMarks[c - kStandIns[0]];
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x80) {
            *o++ = char(c);
        } else if (c == 0x2029) {
            *o++ = '\r';
            *o++ = '\n';
        } else if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(d[i + 1])) {
                c = QChar::surrogateToUcs4(char16_t(c), d[++i]);
                *o++ = char(0xF0 | (c >> 18));
                *o++ = char(0x80 | ((c >> 12) & 0x3F));
            } else {
                if (QChar::isSurrogate(c))
                    c = 0xFFFD; // a lone surrogate has no UTF-8 form
                *o++ = char(0xE0 | (c >> 12));
            }
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(o - out.constData());
}

void appendWindows1252(QStringView text, QByteArray &out)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        const int b = cp1252Byte(c);
        if (c == QChar::ParagraphSeparator) {
            out += "\r\n";
        } else if (b >= 0) {
            out += char(b);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n
                   && QChar::isLowSurrogate(text[i + 1].unicode())) {
            appendReference(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else {
            appendReference(out, c);
        }
    }
}
// Windows-1252 bytes to out, which has room for one character a byte.
void decodeWindows1252(QByteArrayView bytes, QChar *out)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
}

// Writes text to o with every lone CR and lone LF as CR LF; returns the
// end. o needs room for twice the text at most.
QChar *writeNormalized(QStringView text, QChar *o)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            *o++ = QLatin1Char('\r');
            *o++ = QLatin1Char('\n');
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            *o++ = c;
        }
    }
    return o;
}

struct MarksSeen {
    bool marks = false;
    bool standIns = false;
};

void lookForMarks(QStringView text, MarksSeen &seen)
{
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x2029)
            continue;
        seen.marks = seen.marks || c == kMarks[0] || c == kMarks[1] || c == kMarks[2];
        seen.standIns = seen.standIns || (c >= kStandIns[0] && c <= kStandIns[2]);
    }
}

void replaceMarks(QString &text)
{
    for (int k = 0; k < 3; ++k)
        text.replace(QChar(kMarks[k]), QChar(kStandIns[k]));
}
} // namespace

void appendEncoded(QStringView text, TextEncoding encoding, bool standIns, QByteArray &out)
{
    if (encoding == TextEncoding::Windows1252)
        appendWindows1252(text, out);
    else
        appendUtf8(text, standIns, out);
}

QString normalizeLineBreaks(const QString &text)
{
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    // Count the breaks that need a character added, so the result is
    // allocated once; most files need none and are returned as they are.
    qsizetype grow = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] == QLatin1Char('\r')) {
            if (i + 1 < n && d[i + 1] == QLatin1Char('\n'))
                ++i;
            else
                ++grow;
        } else if (d[i] == QLatin1Char('\n')) {
            ++grow;
        }
    }
    if (grow == 0)
        return text;
    QString out(n + grow, Qt::Uninitialized);
    writeNormalized(text, out.data());
    return out;
}

DecodedText decodeText(const QByteArray &bytes)
{
    DecodedText result;
    // Only the first BOM marks the encoding; a second one is text and is
    // kept (the decoder would otherwise drop it as well).
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    QString text = utf8.decode(bom ? bytes.mid(3) : bytes);
    if (!utf8.hasError()) {
        result.text = std::move(text);
        result.encoding = bom ? TextEncoding::Utf8Bom : TextEncoding::Utf8;
        return result;
    }
    QString wide(bytes.size(), Qt::Uninitialized);
    decodeWindows1252(bytes, wide.data());
    result.text = std::move(wide);
    result.encoding = TextEncoding::Windows1252;
    return result;
}

bool hideEditorMarks(QString &text)
{
    MarksSeen seen;
    lookForMarks(text, seen);
    // A text holding a stand-in already cannot tell it from the character.
    if (!seen.marks || seen.standIns)
        return false;
    replaceMarks(text);
    return true;
}

QByteArray encodeText(const QString &text, TextEncoding encoding, bool standIns)
{
    QByteArray out;
    if (encoding == TextEncoding::Utf8Bom)
        out += "\xEF\xBB\xBF";
    appendEncoded(text, encoding, standIns, out);
    return out;
}

namespace {
void openToRead(QFile &f, qint64 limit, const QString &tooLarge)
{
    if (!f.open(QIODevice::ReadOnly))
        throw TagloomError(Errors::cannotOpen(f.fileName()));
    if (f.size() > limit)
        throw TagloomError(tooLarge);
}

DecodedText readWhole(QFile &f, qint64 limit, const QString &tooLarge)
{
    // Read no more than the limit allows, even from a file whose size says
    // nothing (a device, a pipe, a file still growing).
    const QByteArray bytes = f.read(limit + 1);
    if (f.error() != QFileDevice::NoError)
        throw TagloomError(Errors::cannotOpen(f.fileName()));
    if (bytes.size() > limit)
        throw TagloomError(tooLarge);
    DecodedText d = decodeText(bytes);
    d.text = normalizeLineBreaks(d.text);
    return d;
}
} // namespace

DecodedText readTextFile(const QString &path, qint64 limit, const QString &tooLargeText)
{
    const QString tooLarge = tooLargeText.isEmpty() ? Errors::memoCapacity() : tooLargeText;
    QFile f(path);
    openToRead(f, limit, tooLarge);
    return readWhole(f, limit, tooLarge);
}

namespace {
// Where raw bytes may be cut so that decoding the two parts apart gives what
// decoding them together gives: after the last ASCII byte or before the
// last lead byte, never before a continuation byte. 0: no such place yet.
qsizetype utf8Cut(QByteArrayView b)
{
    for (qsizetype i = b.size(); i > 0; --i) {
        const uchar c = uchar(b[i - 1]);
        if (c < 0x80)
            return i;
        if (c >= 0xC0)
            return i - 1;
    }
    return 0;
}

// Reads the file from its start in pieces that can be decoded apart; the
// BOM, if any, is taken off first. Over the limit or a failed read: throws.
class PieceReader {
public:
    PieceReader(QFile &f, qint64 limit, const QString &tooLarge, qsizetype chunkBytes)
        : m_file(f), m_limit(limit), m_tooLarge(tooLarge), m_chunk(std::max<qsizetype>(1, chunkBytes))
    {
    }

    // Calls take(bytes) for each piece; returns the number of bytes read.
    // bom: whether the file starts with one; taken off when stripBom.
    template <class Take> qint64 run(bool stripBom, bool &bom, Take &&take)
    {
        if (!m_file.seek(0))
            throw TagloomError(Errors::cannotOpen(m_file.fileName()));
        m_pending.clear();
        qint64 total = 0;
        bool headDone = false;
        for (;;) {
            const qsizetype had = m_pending.size();
            m_pending.resize(had + m_chunk);
            const qint64 got = m_file.read(m_pending.data() + had, m_chunk);
            if (got < 0)
                throw TagloomError(Errors::cannotOpen(m_file.fileName()));
            m_pending.resize(had + got);
            total += got;
            if (total > m_limit)
                throw TagloomError(m_tooLarge);
            const bool end = got == 0;
            if (!headDone) {
                if (m_pending.size() < 3 && !end)
                    continue;
                bom = m_pending.startsWith("\xEF\xBB\xBF");
                if (bom && stripBom)
                    m_pending.remove(0, 3);
                headDone = true;
            }
            const qsizetype cut = end ? m_pending.size() : utf8Cut(m_pending);
            if (cut > 0) {
                take(QByteArrayView(m_pending.constData(), cut));
                m_pending.remove(0, cut);
            }
            if (end)
                return total;
        }
    }

private:
    QFile &m_file;
    qint64 m_limit;
    QString m_tooLarge;
    qsizetype m_chunk;
    QByteArray m_pending;
};

// Decodes pieces into one reused buffer (a fresh buffer per piece would
// touch fresh memory again).
class PieceDecoder {
public:
    explicit PieceDecoder(bool utf8)
        : m_utf8(utf8),
          // Stateless, as decodeText() decodes: a sequence cut off by the
          // end of the file is an error, not left pending. Every piece ends
          // where nothing is pending.
          m_decoder(QStringDecoder::Utf8,
                    QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom)
    {
    }
    const QString &decode(QByteArrayView bytes)
    {
        if (m_utf8) {
            m_text.resize(m_decoder.requiredSpace(bytes.size()));
            QChar *end = m_decoder.appendToBuffer(m_text.data(), bytes);
            m_text.resize(end - m_text.constData());
        } else {
            m_text.resize(bytes.size());
            decodeWindows1252(bytes, m_text.data());
        }
        return m_text;
    }
    bool hasError() const { return m_utf8 && m_decoder.hasError(); }

private:
    bool m_utf8;
    QStringDecoder m_decoder;
    QString m_text;
};

// Appends text to out with every lone CR and lone LF as CR LF. The text
// never ends in a CR whose LF is still to come.
void appendNormalized(QStringView text, QString &out)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * text.size());
    const QChar *end = writeNormalized(text, out.data() + at);
    out.resize(end - out.constData());
}
} // namespace

std::optional<StreamedText> streamTextFile(const QString &path,
                                           const std::function<void(const QString &)> &piece,
                                           qint64 limit, const QString &tooLargeText,
                                           qsizetype chunkBytes)
{
    const QString tooLarge = tooLargeText.isEmpty() ? Errors::memoCapacity() : tooLargeText;
    QFile f(path);
    openToRead(f, limit, tooLarge);
    if (f.isSequential()) {
        // A pipe or a device cannot be read twice: once, whole.
        DecodedText d = readWhole(f, limit, tooLarge);
        const bool standIns = hideEditorMarks(d.text);
        if (!d.text.isEmpty())
            piece(d.text);
        return StreamedText{d.encoding, standIns};
    }
    PieceReader reader(f, limit, tooLarge, chunkBytes);

    // First pass: UTF-8 or not, and which of the editor's marks it holds.
    bool bom = false;
    MarksSeen first;
    PieceDecoder check(true);
    const qint64 size = reader.run(true, bom, [&](QByteArrayView bytes) {
        if (!check.hasError())
            lookForMarks(check.decode(bytes), first);
    });
    const bool utf8 = !check.hasError();
    StreamedText result;
    result.encoding = !utf8 ? TextEncoding::Windows1252
                      : bom ? TextEncoding::Utf8Bom
                            : TextEncoding::Utf8;
    if (!utf8)
        first = MarksSeen(); // Windows-1252 decodes to none of them
    const bool hide = first.marks && !first.standIns;
    result.standIns = hide;

    // Second pass: the text, in pieces that end after a line break. A line
    // much longer than a chunk is cut too, a little short of what has been
    // read (a CR there may still have its LF to come).
    constexpr qsizetype kKeep = 16;
    const qsizetype longLine = std::max<qsizetype>(4 * chunkBytes, 64);
    PieceDecoder decoder(utf8);
    MarksSeen second;
    QString pending, out;
    auto emitUpTo = [&](qsizetype cut) {
        out.resize(0);
        appendNormalized(QStringView(pending).first(cut), out);
        pending.remove(0, cut);
        if (hide)
            replaceMarks(out);
        if (!out.isEmpty())
            piece(out);
    };
    bool secondBom = false;
    // Windows-1252 keeps the three bytes of a BOM as text.
    const qint64 secondSize = reader.run(utf8, secondBom, [&](QByteArrayView bytes) {
        const QString &text = decoder.decode(bytes);
        lookForMarks(text, second);
        pending += text;
        qsizetype cut = pending.lastIndexOf(QLatin1Char('\n')) + 1;
        if (cut == 0 && pending.size() > longLine) {
            cut = pending.size() - kKeep;
            if (pending[cut - 1].isHighSurrogate())
                --cut;
        }
        if (cut > 0)
            emitUpTo(cut);
    });
    if (decoder.hasError() || secondSize != size || secondBom != bom
        || second.marks != first.marks || second.standIns != first.standIns)
        return std::nullopt; // changed between the passes
    emitUpTo(pending.size());
    return result;
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (tryWriteFileAtomically(path, bytes) != 0)
        throw TagloomError(Errors::cannotCreate(path));
}

int tryWriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    return tryWriteFileAtomically(path, [&](const ByteSink &write) { write(bytes); });
}

int tryWriteFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce)
{
    QSaveFile f(path);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly))
        return errno ? errno : (QFileInfo(path).isDir() ? EISDIR : EIO);
    int failed = 0;
    produce([&](QByteArrayView bytes) {
        if (!failed && f.write(bytes.data(), bytes.size()) != bytes.size())
            failed = errno ? errno : EIO;
    });
    // The explicit flush matters: QSaveFile::commit() does not notice a
    // failure to write what is still buffered (anything under its buffer
    // size), and would put a cut-off file in place of the old one.
    if (failed || !f.flush()) {
        const int e = failed ? failed : (errno ? errno : EIO);
        f.cancelWriting();
        return e;
    }
    errno = 0;
    if (!f.commit())
        return errno ? errno : EIO;
    return 0;
}

void writeFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce)
{
    if (tryWriteFileAtomically(path, produce) != 0)
        throw TagloomError(Errors::cannotCreate(path));
}

FileStamp fileStamp(const QString &path)
{
    FileStamp s;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = quint64(st.st_ino);
    s.device = quint64(st.st_dev);
    return s;
}
