#include "textreader.h"
#include "diskfile.h"
#include "editormarks.h"
#include "errors.h"
#include "nativepath.h"

#include <QFile>
#include <QStringDecoder>

#include <array>

#include <unistd.h>

namespace {
// A file opened through its descriptor, which Qt leaves nameless: the name
// is kept for the messages.
struct ReadFile : QFile {
    explicit ReadFile(const QString &name) : path(name) {}
    QString path;
};

// Only a plain file: a named pipe would hold open() (and the whole editor)
// until some program wrote to it, and a device may never end.
void openToRead(ReadFile &f, qint64 limit, const QString &tooLarge)
{
    const int fd = openPlainFile(f.path);
    if (fd < 0)
        throw TagloomError(Errors::cannotOpen(f.path));
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw TagloomError(Errors::cannotOpen(f.path));
    }
    if (f.size() > limit)
        throw TagloomError(tooLarge);
}

// Tells the thread's progress reporter; throws when it asks to cancel.
void reportProgress(qint64 done, qint64 total)
{
    if (!ProgressScope::report(done, total))
        throw WorkCancelled();
}

QByteArray readBytesWhole(ReadFile &f, qint64 limit, const QString &tooLarge)
{
    // Read no more than the limit allows, even from a file still growing. A
    // megabyte at a time, so that progress can be told.
    constexpr qint64 kChunk = 1 << 20;
    const qint64 total = std::min(f.size(), limit);
    QByteArray bytes;
    if (total > 0)
        bytes.reserve(total + 1);
    for (;;) {
        const qint64 want = std::min(kChunk, limit + 1 - bytes.size());
        const qsizetype had = bytes.size();
        bytes.resize(had + want);
        const qint64 got = f.read(bytes.data() + had, want);
        if (got < 0 || f.error() != QFileDevice::NoError)
            throw TagloomError(Errors::cannotOpen(f.path));
        bytes.resize(had + got);
        if (bytes.size() > limit)
            throw TagloomError(tooLarge);
        if (got == 0)
            break;
        reportProgress(bytes.size(), total);
    }
    return bytes;
}

DecodedText readWhole(ReadFile &f, qint64 limit, const QString &tooLarge, quint64 *hash = nullptr)
{
    const QByteArray bytes = readBytesWhole(f, limit, tooLarge);
    if (hash) {
        ByteHasher h;
        h.add(bytes);
        *hash = h.result();
    }
    DecodedText d = decodeText(bytes);
    d.text = normalizeLineBreaks(d.text);
    return d;
}
} // namespace

DecodedText readTextFile(const QString &path, qint64 limit, const QString &tooLargeText)
{
    const QString tooLarge = tooLargeText.isEmpty() ? Errors::memoCapacity() : tooLargeText;
    ReadFile f(path);
    openToRead(f, limit, tooLarge);
    return readWhole(f, limit, tooLarge);
}

DecodedText readTextFileAs(const QString &path, TextEncoding encoding, quint64 &hash)
{
    const QString tooLarge = Errors::memoCapacity();
    ReadFile f(path);
    openToRead(f, kMaxTextFileBytes, tooLarge);
    const QByteArray bytes = readBytesWhole(f, kMaxTextFileBytes, tooLarge);
    ByteHasher h;
    h.add(bytes);
    hash = h.result();
    DecodedText d;
    d.encoding = encoding;
    std::optional<QString> text = decodeAs(bytes, encoding, &d.kept);
    if (!text)
        throw TagloomError(QStringLiteral("%1 cannot be read as %2: some of its bytes are not "
                                          "characters in it, or would not be written back the "
                                          "same.")
                               .arg(path, encodingName(encoding)));
    d.text = normalizeLineBreaks(*text);
    return d;
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
    PieceReader(ReadFile &f, qint64 limit, const QString &tooLarge, qsizetype chunkBytes)
        : m_file(f), m_limit(limit), m_tooLarge(tooLarge), m_chunk(std::max<qsizetype>(1, chunkBytes))
    {
    }

    // Progress is told over `passes` reads of the file; the bytes of the
    // next run() are hashed when `hasher` is given.
    void tellProgress(qint64 fileSize, int passes) { m_total = fileSize * passes; }
    ByteHasher *hasher = nullptr;

    // Calls take(bytes) for each piece; returns the number of bytes read.
    // bom: whether the file starts with one; taken off when stripBom.
    template <class Take> qint64 run(bool stripBom, bool &bom, Take &&take)
    {
        if (!m_file.seek(0))
            throw TagloomError(Errors::cannotOpen(m_file.path));
        m_pending.clear();
        qint64 total = 0;
        bool headDone = false;
        for (;;) {
            const qsizetype had = m_pending.size();
            m_pending.resize(had + m_chunk);
            const qint64 got = m_file.read(m_pending.data() + had, m_chunk);
            if (got < 0)
                throw TagloomError(Errors::cannotOpen(m_file.path));
            m_pending.resize(had + got);
            total += got;
            if (total > m_limit)
                throw TagloomError(m_tooLarge);
            if (hasher)
                hasher->add(QByteArrayView(m_pending.constData() + had, got));
            m_done += got;
            if (got)
                reportProgress(m_done, m_total);
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
    ReadFile &m_file;
    qint64 m_limit;
    QString m_tooLarge;
    qsizetype m_chunk;
    QByteArray m_pending;
    qint64 m_done = 0;
    qint64 m_total = 0;
};

// Decodes pieces into one reused buffer (a fresh buffer per piece would
// touch fresh memory again).
class PieceDecoder {
public:
    explicit PieceDecoder(bool utf8, TextEncoding singleByte = TextEncoding::Windows1252)
        : m_utf8(utf8), m_singleByte(singleByte),
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
        } else if (m_singleByte == TextEncoding::Windows1252) {
            m_text.resize(bytes.size());
            decodeWindows1252(bytes, m_text.data());
        } else {
            m_text.resize(bytes.size());
            m_error = !decodeSingleByte(bytes, m_singleByte, m_text.data()) || m_error;
        }
        return m_text;
    }
    bool hasError() const { return m_utf8 ? m_decoder.hasError() : m_error; }

private:
    bool m_utf8;
    TextEncoding m_singleByte;
    bool m_error = false;
    QStringDecoder m_decoder;
    QString m_text;
};
} // namespace

std::optional<StreamedText> streamTextFile(const QString &path,
                                           const std::function<void(const QString &)> &piece,
                                           qint64 limit, const QString &tooLargeText,
                                           qsizetype chunkBytes)
{
    const QString tooLarge = tooLargeText.isEmpty() ? Errors::memoCapacity() : tooLargeText;
    ReadFile f(path);
    openToRead(f, limit, tooLarge);
    // Once, whole: UTF-16 or a charset of many bytes a character is not
    // worth cutting into pieces (the size limit keeps it in bounds).
    auto readOnce = [&] {
        if (!f.seek(0))
            throw TagloomError(Errors::cannotOpen(f.path));
        quint64 hash = 0;
        DecodedText d = readWhole(f, limit, tooLarge, &hash);
        const MarkStandIns standIns = hideEditorMarks(d.text);
        if (!d.text.isEmpty())
            piece(d.text);
        return StreamedText{d.encoding, standIns, hash, d.guessed, d.kept};
    };
    const QByteArray head = f.peek(kUnmarkedBytes);
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")
        || head.startsWith(byteOrderMark(TextEncoding::Utf32BeBom)) || unmarkedUnicode(head))
        return readOnce();
    PieceReader reader(f, limit, tooLarge, chunkBytes);
    reader.tellProgress(f.size(), 2);
    ByteHasher hasher;
    reader.hasher = &hasher;

    // First pass: UTF-8 or not, and which of the editor's marks it holds.
    bool bom = false;
    MarksSeen first;
    qint64 firstChars = 0;
    PieceDecoder check(true);
    // Which byte values occur: whether a single-byte charset holds them all.
    std::array<bool, 256> seen{};
    const qint64 size = reader.run(true, bom, [&](QByteArrayView bytes) {
        for (const char c : bytes)
            seen[uchar(c)] = true;
        if (check.hasError())
            return;
        const QString &text = check.decode(bytes);
        firstChars += text.size();
        lookForMarks(text, first);
    });
    reader.hasher = nullptr;
    const bool utf8 = !check.hasError();
    const std::optional<TextEncoding> declared = declaredEncoding(head);
    StreamedText result;
    if (utf8) {
        const bool ascii = !bom && firstChars == size; // as decodeText() decides
        if (ascii && declared && isStateful(*declared))
            return readOnce();
        result.encoding = ascii && declared ? *declared
                          : bom             ? TextEncoding::Utf8Bom
                                            : TextEncoding::Utf8;
    } else {
        // As decodeText() decides: the declaration, else the detector's
        // guess from the first megabyte.
        std::optional<TextEncoding> chosen = declared;
        if (!declared) {
            if (!f.seek(0))
                throw TagloomError(Errors::cannotOpen(f.path));
            chosen = guessedEncoding(f.read(kGuessBytes));
            result.guessed = chosen && *chosen != TextEncoding::Windows1252;
        }
        if (chosen && *chosen != TextEncoding::Windows1252 && !isSingleByte(*chosen))
            return readOnce();
        if (chosen && *chosen != TextEncoding::Windows1252) {
            QByteArray used;
            for (int b = 0x80; b < 256; ++b)
                if (seen[b])
                    used += char(b);
            QString scratch(used.size(), Qt::Uninitialized);
            if (!decodeSingleByte(used, *chosen, scratch.data()))
                chosen.reset(); // a byte it lacks: read as Windows-1252
        }
        result.guessed = result.guessed && chosen;
        result.encoding = chosen ? *chosen : TextEncoding::Windows1252;
        first = MarksSeen(); // no single-byte charset decodes to one of them
    }
    const MarkStandIns hide = chooseStandIns(first);
    result.standIns = hide;
    result.hash = hasher.result();

    // Second pass: the text, in pieces that end after a line break. A line
    // much longer than a chunk is cut too, a little short of what has been
    // read (a CR there may still have its LF to come).
    constexpr qsizetype kKeep = 16;
    const qsizetype longLine = std::max<qsizetype>(4 * chunkBytes, 64);
    PieceDecoder decoder(utf8, result.encoding);
    MarksSeen second;
    qint64 secondChars = 0;
    QString pending, out;
    auto emitUpTo = [&](qsizetype cut) {
        out.resize(0);
        appendNormalized(QStringView(pending).first(cut), out);
        pending.remove(0, cut);
        replaceMarks(out, hide);
        if (!out.isEmpty())
            piece(out);
    };
    bool secondBom = false;
    // Windows-1252 keeps the three bytes of a BOM as text.
    const qint64 secondSize = reader.run(utf8, secondBom, [&](QByteArrayView bytes) {
        const QString &text = decoder.decode(bytes);
        secondChars += text.size();
        if (utf8)
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
    bool changed = decoder.hasError() || secondSize != size || secondBom != bom
                   || second.marks != first.marks || (utf8 && secondChars != firstChars);
    for (int k = 0; k < 3 && hide.inUse(); ++k)
        changed = changed || second.holds(hide.chars[k]);
    if (changed)
        return std::nullopt; // changed between the passes
    emitUpTo(pending.size());
    return result;
}
