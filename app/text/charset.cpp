#include "charset.h"
#include "charsetcodecs.h"

#include <QStringDecoder>

#include <algorithm>

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>
#include <vector>

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

void appendReference(QByteArray &out, char32_t code)
{
    out += "&#";
    out += QByteArray::number(uint(code));
    out += ';';
}

// One pass, the way every page in UTF-8 is saved.
void appendUtf8(QStringView text, QByteArray &out)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    const qsizetype at = out.size();
    out.resize(at + n * 3);
    char *o = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = d[i];
        if (c < 0x80) {
            *o++ = char(c);
            continue;
        }
        if (QChar::isSurrogate(c)) {
            int units;
            c = codePointAt(d, n, i, units);
            if (units == 1)
                c = 0xFFFD; // a lone surrogate has no UTF-8 form
            i += units - 1;
        }
        if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else {
            if (c >= 0x10000) {
                *o++ = char(0xF0 | (c >> 18));
                *o++ = char(0x80 | ((c >> 12) & 0x3F));
            } else {
                *o++ = char(0xE0 | (c >> 12));
            }
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(o - out.constData());
}

// A byte a character, as byteOf gives it (negative: none); what has no
// byte goes out as a reference.
template <class ByteOf> void appendBytewise(QStringView text, QByteArray &out, ByteOf byteOf)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    qsizetype at = out.size();
    out.resize(at + n); // a byte a character, but for references
    for (qsizetype i = 0; i < n; ++i) {
        const int b = byteOf(d[i]);
        if (b >= 0) {
            out.data()[at++] = char(b);
            continue;
        }
        out.resize(at);
        int units;
        appendReference(out, codePointAt(d, n, i, units));
        i += units - 1;
        at = out.size();
        out.resize(at + n - i - 1);
    }
    out.resize(at);
}

void appendWindows1252(QStringView text, QByteArray &out)
{
    appendBytewise(text, out, cp1252Byte);
}

void appendUtf16(QStringView text, bool bigEndian, QByteArray &out)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * text.size());
    uchar *o = reinterpret_cast<uchar *>(out.data() + at);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        *o++ = uchar(bigEndian ? c >> 8 : c & 0xFF);
        *o++ = uchar(bigEndian ? c & 0xFF : c >> 8);
    }
}

// Through iconv, checked by reading it back: a converter may write a
// look-alike for a character the charset lacks (a yen sign as a backslash).
// What the charset cannot hold goes out as a reference.
void appendIconv(QStringView text, TextEncoding e, QByteArray &out)
{
    const qsizetype at = out.size();
    if (iconvEncode(e, text, out) && readsBackAs(e, QByteArrayView(out).sliced(at), text))
        return;
    out.resize(at);
    // One character at a time.
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    for (qsizetype i = 0; i < n;) {
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        const QStringView one = text.sliced(i, units);
        const qsizetype before = out.size();
        if (!iconvEncode(e, one, out) || !readsBackAs(e, QByteArrayView(out).sliced(before), one)) {
            out.resize(before);
            if (c < 0x80)
                out += char(c); // no converter on this system: ASCII is the same in all
            else
                appendReference(out, c);
        }
        i += units;
    }
}

// What the table cannot hold goes out as a reference.
void appendTable(const ByteTable &t, QStringView text, QByteArray &out)
{
    appendBytewise(text, out, [&t](char16_t c) {
        const quint16 b = t.toByte[c];
        return b == 0xFFFF ? -1 : int(b);
    });
}

void appendUtf32(QStringView text, bool bigEndian, QByteArray &out)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    for (qsizetype i = 0; i < n;) {
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        i += units;
        const uchar b[4] = {uchar(c >> 24), uchar(c >> 16), uchar(c >> 8), uchar(c)};
        for (int k = 0; k < 4; ++k)
            out += char(b[bigEndian ? k : 3 - k]);
    }
}

// The text of a stateful charset as a save writes it: each line apart,
// ending in its initial state, and the line breaks between.
void appendLines(QStringView text, TextEncoding e, QByteArray &out)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
            continue;
        appendIconv(text.sliced(from, i - from), e, out);
        if (i < text.size())
            out += char(text[i].unicode());
        from = i + 1;
    }
}

// The byte form the file gave each character that converts back to other
// bytes, found character by character. False when a character is written
// two ways in the file, or cannot be found in it at all.
bool findKeptForms(QByteArrayView bytes, TextEncoding e, QStringView text, KeptForms &kept)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    qsizetype pos = 0;
    QByteArray one;
    for (qsizetype i = 0; i < n;) {
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        const QStringView ch = text.sliced(i, units);
        i += units;
        one.resize(0);
        if (!kept.contains(c) && iconvEncode(e, ch, one) && !one.isEmpty()
            && bytes.sliced(pos).startsWith(one)) {
            pos += one.size();
            continue;
        }
        qsizetype len = 1;
        for (; len <= 4 && pos + len <= bytes.size(); ++len) {
            const std::optional<QString> back = iconvDecode(e, bytes.sliced(pos, len));
            if (back && QStringView(*back) == ch)
                break;
        }
        if (len > 4 || pos + len > bytes.size())
            return false;
        const QByteArray form = bytes.sliced(pos, len).toByteArray();
        if (kept.value(c, form) != form)
            return false;
        kept.insert(c, form);
        pos += len;
    }
    return pos == bytes.size();
}

} // namespace

QString encodingName(TextEncoding encoding)
{
    const Charset *c = charsetOf(encoding);
    return c ? QLatin1String(c->name) : QString();
}

QByteArray byteOrderMark(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return QByteArrayLiteral("\xEF\xBB\xBF");
    case TextEncoding::Utf16LeBom:
        return QByteArrayLiteral("\xFF\xFE");
    case TextEncoding::Utf16BeBom:
        return QByteArrayLiteral("\xFE\xFF");
    case TextEncoding::Utf32LeBom:
        return QByteArray("\xFF\xFE\0\0", 4);
    case TextEncoding::Utf32BeBom:
        return QByteArray("\0\0\xFE\xFF", 4);
    default:
        return QByteArray();
    }
}

QList<EncodingGroup> encodingGroups()
{
    QList<EncodingGroup> groups;
    for (const Charset &c : allCharsets()) {
        if (!c.script)
            continue;
        const QString script = QLatin1String(c.script);
        if (groups.isEmpty() || groups.last().script != script)
            groups.append({script, {}});
        groups.last().encodings.append(c.encoding);
    }
    return groups;
}

CharsetLabel charsetForLabel(QByteArrayView labelBytes)
{
    const QByteArray label = labelBytes.toByteArray().trimmed();
    CharsetLabel result;
    if (label.isEmpty())
        return result;
    static const QByteArrayView unicode[] = {
        "utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
        "x-unicode20utf8", "unicode", "unicodefeff", "unicodefffe", "csunicode", "ucs-2",
        "iso-10646-ucs-2"};
    if (label.startsWith("utf-16") || label.startsWith("utf-32")
        || std::find(std::begin(unicode), std::end(unicode), label) != std::end(unicode)) {
        result.kind = CharsetLabel::Unicode;
        return result;
    }
    for (const Charset &c : allCharsets()) {
        const QByteArrayView labels(c.labels);
        for (qsizetype at = labels.indexOf(label); at >= 0; at = labels.indexOf(label, at + 1)) {
            const qsizetype end = at + label.size();
            const bool whole = (at == 0 || labels[at - 1] == ' ')
                               && (end == labels.size() || labels[end] == ' ');
            if (whole) {
                result.kind = CharsetLabel::Known;
                result.encoding = c.encoding;
                return result;
            }
        }
    }
    return result;
}

void appendInCharset(QStringView text, TextEncoding e, QByteArray &out)
{
    switch (e) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        appendUtf8(text, out);
        return;
    case TextEncoding::Windows1252:
        appendWindows1252(text, out);
        return;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        appendUtf16(text, e == TextEncoding::Utf16BeBom || e == TextEncoding::Utf16Be, out);
        return;
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32Be:
    case TextEncoding::Utf32LeBom:
    case TextEncoding::Utf32BeBom:
        appendUtf32(text, e == TextEncoding::Utf32Be || e == TextEncoding::Utf32BeBom, out);
        return;
    default:
        break;
    }
    if (const ByteTable *t = byteTable(e))
        appendTable(*t, text, out);
    else
        appendIconv(text, e, out);
}

void appendInCharset(QStringView text, TextEncoding e, const KeptForms &kept, QByteArray &out)
{
    if (kept.isEmpty()) {
        appendInCharset(text, e, out);
        return;
    }
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n;) {
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        const auto form = c < 0x80 ? kept.constEnd() : kept.constFind(c);
        if (form != kept.constEnd()) {
            appendInCharset(text.sliced(from, i - from), e, out);
            out += *form;
            from = i + units;
        }
        i += units;
    }
    appendInCharset(text.sliced(from), e, out);
}

qsizetype firstUnencodable(QStringView text, TextEncoding e)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    const bool utf = e == TextEncoding::Utf8 || e == TextEncoding::Utf8Bom
                     || e == TextEncoding::Utf16LeBom || e == TextEncoding::Utf16BeBom
                     || e == TextEncoding::Utf16Le || e == TextEncoding::Utf16Be
                     || e == TextEncoding::Utf32Le || e == TextEncoding::Utf32Be
                     || e == TextEncoding::Utf32LeBom || e == TextEncoding::Utf32BeBom;
    const ByteTable *table = byteTable(e);
    QByteArray one;
    // Whole lines through iconv first: most hold nothing it cannot write.
    if (!utf && !table && e != TextEncoding::Windows1252) {
        one.reserve(4 * n + 16);
        if (iconvEncode(e, text, one) && readsBackAs(e, one, text))
            return -1;
    }
    for (qsizetype i = 0; i < n;) {
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        bool ok;
        if (units == 1 && QChar::isSurrogate(c))
            ok = false; // a lone surrogate has no form in any file
        else if (utf)
            ok = true;
        else if (e == TextEncoding::Windows1252)
            ok = cp1252Byte(char16_t(c)) >= 0;
        else if (table)
            ok = c < 0x10000 && table->toByte[c] != 0xFFFF;
        else {
            one.resize(0);
            const QStringView ch = text.sliced(i, units);
            ok = iconvEncode(e, ch, one) && readsBackAs(e, one, ch);
        }
        if (!ok)
            return i;
        i += units;
    }
    return -1;
}

bool isSingleByte(TextEncoding e)
{
    return byteTable(e) != nullptr;
}

bool isStateful(TextEncoding e)
{
    const Charset *c = charsetOf(e);
    return c && c->kind == Charset::Stateful;
}

bool decodeSingleByte(QByteArrayView bytes, TextEncoding e, QChar *out)
{
    const ByteTable *t = byteTable(e);
    if (!t)
        return false;
    char16_t *o = reinterpret_cast<char16_t *>(out);
    const uchar *b = reinterpret_cast<const uchar *>(bytes.data());
    char16_t bad = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char16_t c = t->toChar[b[i]];
        bad |= c == ByteTable::kNone;
        o[i] = c;
    }
    return !bad;
}

void decodeWindows1252(QByteArrayView bytes, QChar *out)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
}

std::optional<QString> decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 2)
        return std::nullopt;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    const uchar *b = reinterpret_cast<const uchar *>(bytes.data());
    char16_t *o = reinterpret_cast<char16_t *>(text.data());
    bool high = false;
    for (qsizetype i = 0; i < text.size(); ++i, b += 2) {
        const char16_t c = bigEndian ? char16_t(b[0] << 8 | b[1]) : char16_t(b[1] << 8 | b[0]);
        if (high != QChar::isLowSurrogate(c))
            return std::nullopt;
        high = QChar::isHighSurrogate(c);
        o[i] = c;
    }
    if (high)
        return std::nullopt;
    return text;
}

std::optional<QString> decodeUtf32(QByteArrayView bytes, bool bigEndian)
{
    if (bytes.size() % 4)
        return std::nullopt;
    QString text;
    text.reserve(bytes.size() / 4);
    const uchar *b = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); i += 4, b += 4) {
        const char32_t c = bigEndian ? char32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]
                                     : char32_t(b[3]) << 24 | b[2] << 16 | b[1] << 8 | b[0];
        if (c > 0x10FFFF || QChar::isSurrogate(c))
            return std::nullopt;
        if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(char16_t(c));
        }
    }
    return text;
}

std::optional<QString> decodeInCharset(QByteArrayView bytes, TextEncoding e, KeptForms *kept)
{
    if (isSingleByte(e)) {
        QString text(bytes.size(), Qt::Uninitialized);
        if (!decodeSingleByte(bytes, e, text.data()))
            return std::nullopt;
        return text;
    }
    const Charset *c = charsetOf(e);
    if (!c || !c->iconvName)
        return std::nullopt;
    std::optional<QString> text = iconvDecode(e, bytes);
    if (!text)
        return std::nullopt;
    QByteArray back;
    back.reserve(bytes.size());
    if (c->kind == Charset::Stateful)
        appendLines(*text, e, back);
    else
        appendIconv(*text, e, back);
    if (back == bytes)
        return text;
    // A character with two byte forms: kept as the file wrote it.
    if (!kept || c->kind == Charset::Stateful)
        return std::nullopt;
    KeptForms found;
    if (!findKeptForms(bytes, e, *text, found))
        return std::nullopt;
    back.resize(0);
    appendInCharset(*text, e, found, back);
    if (back != bytes)
        return std::nullopt;
    *kept = std::move(found);
    return text;
}

std::optional<QString> decodeAs(QByteArrayView bytes, TextEncoding e, KeptForms *kept)
{
    const QByteArray bom = byteOrderMark(e);
    if (!bytes.startsWith(bom))
        return std::nullopt;
    bytes = bytes.sliced(bom.size());
    switch (e) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless
                                                      | QStringDecoder::Flag::ConvertInitialBom);
        QString text = utf8.decode(bytes);
        return utf8.hasError() ? std::nullopt : std::optional(text);
    }
    case TextEncoding::Windows1252: {
        QString text(bytes.size(), Qt::Uninitialized);
        decodeWindows1252(bytes, text.data());
        return text;
    }
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return decodeUtf16(bytes, e == TextEncoding::Utf16BeBom || e == TextEncoding::Utf16Be);
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32Be:
    case TextEncoding::Utf32LeBom:
    case TextEncoding::Utf32BeBom:
        return decodeUtf32(bytes, e == TextEncoding::Utf32Be || e == TextEncoding::Utf32BeBom);
    default:
        return decodeInCharset(bytes, e, kept);
    }
}
