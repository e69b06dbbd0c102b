#include "textfile.h"
#include "errors.h"
#include "nativepath.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <QSysInfo>

#include <QtEndian>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <iconv.h>
#include <climits>
#include <sys/stat.h>
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

// The charsets a page may declare. Labels are the names pages use for them,
// lower case; the iconv name is the one that reads what those pages mean
// (Shift_JIS pages are written with Windows' table, so 0x5C is a backslash).
struct Charset {
    TextEncoding encoding;
    const char *iconvName; // nullptr: converted here
    const char *name;
    const char *labels;
};
const Charset kCharsets[] = {
    {TextEncoding::Windows1252, nullptr, "Windows-1252",
     "windows-1252 cp1252 x-cp1252 iso-8859-1 iso8859-1 iso_8859-1 iso_8859-1:1987 iso88591 "
     "latin1 l1 cp819 ibm819 iso-ir-100 csisolatin1 us-ascii ascii ansi_x3.4-1968"},
    {TextEncoding::Iso8859_2, "ISO-8859-2", "ISO-8859-2",
     "iso-8859-2 iso8859-2 iso_8859-2 iso_8859-2:1987 iso88592 latin2 l2 csisolatin2 "
     "iso-ir-101"},
    {TextEncoding::Iso8859_3, "ISO-8859-3", "ISO-8859-3",
     "iso-8859-3 iso8859-3 iso_8859-3 iso88593 latin3 l3 csisolatin3 iso-ir-109"},
    {TextEncoding::Iso8859_4, "ISO-8859-4", "ISO-8859-4",
     "iso-8859-4 iso8859-4 iso_8859-4 iso88594 latin4 l4 csisolatin4 iso-ir-110"},
    {TextEncoding::Iso8859_5, "ISO-8859-5", "ISO-8859-5",
     "iso-8859-5 iso8859-5 iso_8859-5 iso88595 cyrillic csisolatincyrillic iso-ir-144"},
    {TextEncoding::Iso8859_6, "ISO-8859-6", "ISO-8859-6",
     "iso-8859-6 iso8859-6 iso_8859-6 iso88596 arabic asmo-708 csisolatinarabic ecma-114 "
     "iso-ir-127 iso-8859-6-i iso-8859-6-e"},
    {TextEncoding::Iso8859_7, "ISO-8859-7", "ISO-8859-7",
     "iso-8859-7 iso8859-7 iso_8859-7 iso88597 greek greek8 csisolatingreek ecma-118 "
     "elot_928 iso-ir-126"},
    {TextEncoding::Iso8859_8, "ISO-8859-8", "ISO-8859-8",
     "iso-8859-8 iso8859-8 iso_8859-8 iso88598 hebrew csisolatinhebrew iso-ir-138 visual "
     "iso-8859-8-i iso-8859-8-e logical csiso88598i csiso88598e"},
    {TextEncoding::Iso8859_9, "ISO-8859-9", "ISO-8859-9",
     "iso-8859-9 iso8859-9 iso_8859-9 iso88599 latin5 l5 csisolatin5 iso-ir-148"},
    {TextEncoding::Iso8859_10, "ISO-8859-10", "ISO-8859-10",
     "iso-8859-10 iso8859-10 iso885910 latin6 l6 csisolatin6 iso-ir-157"},
    {TextEncoding::Iso8859_11, "ISO-8859-11", "ISO-8859-11",
     "iso-8859-11 iso8859-11 iso885911 tis-620"},
    {TextEncoding::Iso8859_13, "ISO-8859-13", "ISO-8859-13", "iso-8859-13 iso8859-13 iso885913"},
    {TextEncoding::Iso8859_14, "ISO-8859-14", "ISO-8859-14", "iso-8859-14 iso8859-14 iso885914"},
    {TextEncoding::Iso8859_15, "ISO-8859-15", "ISO-8859-15",
     "iso-8859-15 iso8859-15 iso_8859-15 iso885915 latin9 l9 csisolatin9"},
    {TextEncoding::Iso8859_16, "ISO-8859-16", "ISO-8859-16",
     "iso-8859-16 iso8859-16 latin10 l10"},
    {TextEncoding::Windows874, "CP874", "Windows-874", "windows-874 cp874 dos-874"},
    {TextEncoding::Windows1250, "WINDOWS-1250", "Windows-1250", "windows-1250 cp1250 x-cp1250"},
    {TextEncoding::Windows1251, "WINDOWS-1251", "Windows-1251", "windows-1251 cp1251 x-cp1251"},
    {TextEncoding::Windows1253, "WINDOWS-1253", "Windows-1253", "windows-1253 cp1253 x-cp1253"},
    {TextEncoding::Windows1254, "WINDOWS-1254", "Windows-1254", "windows-1254 cp1254 x-cp1254"},
    {TextEncoding::Windows1255, "WINDOWS-1255", "Windows-1255", "windows-1255 cp1255 x-cp1255"},
    {TextEncoding::Windows1256, "WINDOWS-1256", "Windows-1256", "windows-1256 cp1256 x-cp1256"},
    {TextEncoding::Windows1257, "WINDOWS-1257", "Windows-1257", "windows-1257 cp1257 x-cp1257"},
    {TextEncoding::Windows1258, "WINDOWS-1258", "Windows-1258", "windows-1258 cp1258 x-cp1258"},
    {TextEncoding::Koi8R, "KOI8-R", "KOI8-R", "koi8-r koi8_r koi8 koi cskoi8r"},
    {TextEncoding::Koi8U, "KOI8-U", "KOI8-U", "koi8-u koi8-ru"},
    {TextEncoding::Ibm866, "CP866", "IBM866", "ibm866 cp866 866 csibm866"},
    {TextEncoding::Macintosh, "MACINTOSH", "Macintosh", "macintosh mac x-mac-roman csmacintosh"},
    {TextEncoding::MacCyrillic, "MAC-CYRILLIC", "x-mac-cyrillic",
     "x-mac-cyrillic x-mac-ukrainian"},
    {TextEncoding::ShiftJis, "CP932", "Shift_JIS",
     "shift_jis shift-jis sjis x-sjis ms_kanji csshiftjis windows-31j ms932 cp932"},
    {TextEncoding::EucJp, "EUC-JP", "EUC-JP", "euc-jp x-euc-jp cseucpkdfmtjapanese"},
    {TextEncoding::EucKr, "CP949", "EUC-KR",
     "euc-kr cseuckr ks_c_5601-1987 ks_c_5601-1989 ksc5601 ksc_5601 korean csksc56011987 "
     "iso-ir-149 windows-949 cp949 uhc"},
    {TextEncoding::Gbk, "GBK", "GBK",
     "gbk x-gbk cp936 gb2312 gb_2312 gb_2312-80 chinese csgb2312 csiso58gb231280 iso-ir-58"},
    {TextEncoding::Gb18030, "GB18030", "GB18030", "gb18030"},
    {TextEncoding::Big5, "BIG5", "Big5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
};

const Charset *charsetOf(TextEncoding e)
{
    for (const Charset &c : kCharsets)
        if (c.encoding == e)
            return &c;
    return nullptr;
}

const char *iconvNameOf(TextEncoding e)
{
    const Charset *c = charsetOf(e);
    return c ? c->iconvName : nullptr;
}

// QString's own code units, as iconv names them.
const char *const kHostUtf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE"
                                                                              : "UTF-16BE";

// Opening a converter loads its tables; each thread keeps the ones it used
// (a page is saved a line at a time).
class Converters {
public:
    ~Converters()
    {
        for (Pair &p : m_pairs) {
            if (p.decode != kNone)
                iconv_close(p.decode);
            if (p.encode != kNone)
                iconv_close(p.encode);
        }
    }
    // A converter in its initial state, or kNone when iconv has none.
    iconv_t get(TextEncoding e, bool decode)
    {
        const char *name = iconvNameOf(e);
        if (!name)
            return kNone;
        Pair &p = m_pairs[size_t(e)];
        bool &tried = decode ? p.triedDecode : p.triedEncode;
        iconv_t &cd = decode ? p.decode : p.encode;
        if (!tried) {
            tried = true;
            cd = decode ? iconv_open(kHostUtf16, name) : iconv_open(name, kHostUtf16);
        }
        if (cd != kNone)
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }
    static inline const iconv_t kNone = iconv_t(-1);

private:
    struct Pair {
        iconv_t decode = kNone, encode = kNone;
        bool triedDecode = false, triedEncode = false;
    };
    std::array<Pair, size_t(TextEncoding::Big5) + 1> m_pairs;
};

iconv_t converter(TextEncoding e, bool decode)
{
    thread_local Converters converters;
    return converters.get(e, decode);
}

constexpr char16_t kMarks[3] = {0x2029, 0xFDD0, 0xFDD1};

void appendReference(QByteArray &out, char32_t code)
{
    out += "&#";
    out += QByteArray::number(uint(code));
    out += ';';
}

// The code point at text[i] and the code units it takes; a lone surrogate
// is one unit of its own.
inline char32_t codePointAt(const char16_t *d, qsizetype n, qsizetype i, int &units)
{
    const char32_t c = d[i];
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(d[i + 1])) {
        units = 2;
        return QChar::surrogateToUcs4(char16_t(c), d[i + 1]);
    }
    units = 1;
    return c;
}

// The mark a stand-in stands for, or 0.
inline char16_t markFor(char32_t c, const MarkStandIns &s)
{
    for (int k = 0; k < 3; ++k)
        if (s.chars[k] == c)
            return kMarks[k];
    return 0;
}

// One pass: UTF-8 with the editor's U+2029 line separators written as
// CR LF (saving a huge page must not cost a copy per step).
void appendUtf8(QStringView text, const MarkStandIns &standIns, QByteArray &out)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    const bool any = standIns.inUse();
    const qsizetype at = out.size();
    out.resize(at + n * 3);
    char *o = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = d[i];
        if (c < 0x80) {
            *o++ = char(c);
            continue;
        }
        int units = 1;
        if (QChar::isSurrogate(c)) {
            c = codePointAt(d, n, i, units);
            if (units == 1)
                c = 0xFFFD; // a lone surrogate has no UTF-8 form
            i += units - 1;
        }
        const char16_t mark = any ? markFor(c, standIns) : 0;
        if (mark) {
            c = mark; // a mark read from the file: itself, never a break
        } else if (c == QChar::ParagraphSeparator) {
            *o++ = '\r';
            *o++ = '\n';
            continue;
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

void appendWindows1252(QStringView text, QByteArray &out)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    qsizetype at = out.size();
    out.resize(at + n); // a byte a character, but for references
    for (qsizetype i = 0; i < n; ++i) {
        const int b = cp1252Byte(d[i]);
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

// The text through iconv, whole, or false with out as it was.
bool iconvEncode(TextEncoding e, QStringView text, QByteArray &out)
{
    const iconv_t cd = converter(e, false);
    if (cd == Converters::kNone)
        return false;
    // Every charset here takes at most four bytes a code unit.
    const qsizetype at = out.size();
    out.resize(at + 4 * text.size() + 16);
    char *in = const_cast<char *>(reinterpret_cast<const char *>(text.utf16()));
    size_t inLeft = size_t(text.size()) * 2;
    char *o = out.data() + at;
    size_t outLeft = size_t(out.size() - at);
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    if (r != size_t(-1))
        r = iconv(cd, nullptr, nullptr, &o, &outLeft); // a shift state back to its start
    out.resize(r == size_t(-1) ? at : o - out.constData());
    return r != size_t(-1);
}

// The bytes through iconv, whole, or nothing when one is invalid or cut off.
std::optional<QString> iconvDecode(TextEncoding e, QByteArrayView bytes)
{
    const iconv_t cd = converter(e, true);
    if (cd == Converters::kNone)
        return std::nullopt;
    QString text(bytes.size() + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    qsizetype used = 0;
    for (;;) {
        char *o = reinterpret_cast<char *>(text.data() + used);
        size_t outLeft = size_t(text.size() - used) * 2;
        size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        if (r != size_t(-1))
            r = iconv(cd, nullptr, nullptr, &o, &outLeft); // what a stateful one still holds
        const int err = errno;
        used = reinterpret_cast<QChar *>(o) - text.constData();
        if (r != size_t(-1))
            break;
        if (err != E2BIG)
            return std::nullopt; // EILSEQ or EINVAL
        text.resize(text.size() * 2 + 16);
    }
    text.resize(used);
    return text;
}

bool readsBackAs(TextEncoding e, QByteArrayView bytes, QStringView text)
{
    const std::optional<QString> back = iconvDecode(e, bytes);
    return back && QStringView(*back) == text;
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

// Text without the editor's separators or stand-ins, in the encoding.
void appendPlain(QStringView text, TextEncoding e, QByteArray &out)
{
    switch (e) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        appendUtf8(text, MarkStandIns(), out);
        break;
    case TextEncoding::Windows1252:
        appendWindows1252(text, out);
        break;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
        appendUtf16(text, e == TextEncoding::Utf16BeBom, out);
        break;
    default:
        appendIconv(text, e, out);
        break;
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

// Whole UTF-16 (after the BOM) or nothing: an odd byte or a lone
// surrogate could not be written back as it was.
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

// Every byte valid in the charset, and the text written back gives the same
// bytes (some charsets map two byte sequences to one character); otherwise
// nothing.
std::optional<QString> decodeCharset(QByteArrayView bytes, TextEncoding e)
{
    std::optional<QString> text = iconvDecode(e, bytes);
    if (!text)
        return std::nullopt;
    QByteArray back;
    back.reserve(bytes.size());
    appendIconv(*text, e, back);
    if (back != bytes)
        return std::nullopt;
    return text;
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

// The editor's marks a text holds and every other character above ASCII it
// holds, so that stand-ins can be chosen among the characters it lacks.
struct MarksSeen {
    bool marks = false;
    std::vector<quint64> used; // one bit a code point, from the first one above ASCII

    bool holds(char32_t c) const
    {
        return !used.empty() && (used[c >> 6] >> (c & 63) & 1);
    }
};

void lookForMarks(QStringView text, MarksSeen &seen)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] < 0x80)
            continue;
        if (seen.used.empty())
            seen.used.assign(0x110000 / 64, 0);
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        i += units - 1;
        seen.used[c >> 6] |= quint64(1) << (c & 63);
        seen.marks = seen.marks || c == kMarks[0] || c == kMarks[1] || c == kMarks[2];
    }
}

// The first three characters the text does not hold: the noncharacters
// (meant for internal use) first, then private use, then any other.
MarkStandIns chooseStandIns(const MarksSeen &seen)
{
    MarkStandIns s;
    if (!seen.marks)
        return s;
    int found = 0;
    auto take = [&](char32_t c) {
        if (found == 3 || seen.holds(c) || QChar::isSurrogate(c) || c == kMarks[0]
            || c == kMarks[1] || c == kMarks[2] || c == QChar::ObjectReplacementCharacter
            || c == QChar::LineSeparator)
            return;
        for (int k = 0; k < found; ++k)
            if (s.chars[k] == c)
                return;
        s.chars[found++] = c;
    };
    for (char32_t c = 0xFDD2; c <= 0xFDEF && found < 3; ++c)
        take(c);
    take(0xFFFE);
    take(0xFFFF);
    for (char32_t c = 0xE000; c <= 0xF8FF && found < 3; ++c)
        take(c);
    for (char32_t c = 0x80; c <= 0x10FFFF && found < 3; ++c)
        take(c);
    if (found < 3)
        return MarkStandIns(); // no room: the marks stay
    return s;
}

QString standInText(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

void replaceMarks(QString &text, const MarkStandIns &s)
{
    if (!s.inUse())
        return;
    for (int k = 0; k < 3; ++k)
        if (text.contains(QChar(kMarks[k])))
            text.replace(QChar(kMarks[k]), standInText(s.chars[k]));
}

bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lowerByte(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

bool startsNoCase(QByteArrayView b, qsizetype at, const char *word)
{
    for (qsizetype k = 0; word[k]; ++k)
        if (at + k >= b.size() || lowerByte(b[at + k]) != word[k])
            return false;
    return true;
}

// One attribute of a tag, lower case, as a browser's first look at a page
// reads it. Cut: the bytes end before it does.
enum class AttrStep { Attribute, TagEnd, Cut };
AttrStep nextAttribute(QByteArrayView b, qsizetype &i, QByteArray &name, QByteArray &value)
{
    const qsizetype n = b.size();
    while (i < n && (isSpaceByte(b[i]) || b[i] == '/'))
        ++i;
    if (i >= n)
        return AttrStep::Cut;
    if (b[i] == '>')
        return AttrStep::TagEnd;
    name.clear();
    value.clear();
    for (;; ++i) {
        if (i >= n)
            return AttrStep::Cut;
        const char c = b[i];
        if (c == '=' && !name.isEmpty())
            break;
        if (c == '/' || c == '>')
            return AttrStep::Attribute;
        if (isSpaceByte(c)) {
            while (i < n && isSpaceByte(b[i]))
                ++i;
            if (i >= n)
                return AttrStep::Cut;
            if (b[i] != '=')
                return AttrStep::Attribute;
            break;
        }
        name += lowerByte(c);
    }
    ++i; // the '='
    while (i < n && isSpaceByte(b[i]))
        ++i;
    if (i >= n)
        return AttrStep::Cut;
    const char q = b[i];
    if (q == '"' || q == '\'') {
        const qsizetype from = ++i;
        while (i < n && b[i] != q)
            ++i;
        if (i >= n)
            return AttrStep::Cut;
        for (qsizetype k = from; k < i; ++k)
            value += lowerByte(b[k]);
        ++i;
        return AttrStep::Attribute;
    }
    while (i < n && !isSpaceByte(b[i]) && b[i] != '>')
        value += lowerByte(b[i++]);
    return i >= n ? AttrStep::Cut : AttrStep::Attribute;
}

// "text/html; charset=koi8-r" -> "koi8-r".
std::optional<QByteArray> charsetInContent(const QByteArray &content)
{
    const qsizetype n = content.size();
    qsizetype i = 0;
    for (;;) {
        i = content.indexOf("charset", i);
        if (i < 0)
            return std::nullopt;
        i += 7;
        while (i < n && isSpaceByte(content[i]))
            ++i;
        if (i < n && content[i] == '=')
            break;
    }
    ++i;
    while (i < n && isSpaceByte(content[i]))
        ++i;
    if (i >= n)
        return std::nullopt;
    const char q = content[i];
    if (q == '"' || q == '\'') {
        const qsizetype end = content.indexOf(q, i + 1);
        if (end < 0)
            return std::nullopt;
        return content.mid(i + 1, end - i - 1);
    }
    qsizetype end = i;
    while (end < n && !isSpaceByte(content[end]) && content[end] != ';')
        ++end;
    return content.mid(i, end - i);
}

enum class Label { Known, Unicode, Unknown };
Label lookUpLabel(QByteArray label, TextEncoding &found)
{
    label = label.trimmed();
    if (label.isEmpty())
        return Label::Unknown;
    if (label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8"
        || label.startsWith("utf-16") || label.startsWith("utf-32") || label == "unicode"
        || label == "ucs-2" || label == "iso-10646-ucs-2")
        return Label::Unicode;
    for (const Charset &c : kCharsets) {
        const QByteArrayView labels(c.labels);
        for (qsizetype at = labels.indexOf(label); at >= 0; at = labels.indexOf(label, at + 1)) {
            const qsizetype end = at + label.size();
            const bool whole = (at == 0 || labels[at - 1] == ' ')
                               && (end == labels.size() || labels[end] == ' ');
            if (whole) {
                found = c.encoding;
                return Label::Known;
            }
        }
    }
    return Label::Unknown;
}
} // namespace

QString encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom:
        return QStringLiteral("UTF-8 with BOM");
    case TextEncoding::Utf16LeBom:
        return QStringLiteral("UTF-16LE with BOM");
    case TextEncoding::Utf16BeBom:
        return QStringLiteral("UTF-16BE with BOM");
    default:
        const Charset *c = charsetOf(encoding);
        return c ? QLatin1String(c->name) : QString();
    }
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
    default:
        return QByteArray();
    }
}

std::optional<TextEncoding> declaredEncoding(QByteArrayView bytes)
{
    const QByteArrayView b = bytes.first(std::min<qsizetype>(bytes.size(), 1024));
    const qsizetype n = b.size();
    QByteArray name, value;
    TextEncoding found = TextEncoding::Utf8;
    // Meta elements, skipping comments and the attributes of other tags.
    for (qsizetype i = 0; i < n;) {
        if (b[i] != '<') {
            ++i;
            continue;
        }
        if (startsNoCase(b, i, "<!--")) {
            const qsizetype end = b.sliced(i + 2).indexOf("-->");
            if (end < 0)
                break;
            i += 2 + end + 3;
            continue;
        }
        if (startsNoCase(b, i, "<meta") && i + 5 < n
            && (isSpaceByte(b[i + 5]) || b[i + 5] == '/')) {
            i += 5;
            bool pragma = false, needPragma = false;
            std::optional<QByteArray> charset;
            QList<QByteArray> seen;
            AttrStep step;
            while ((step = nextAttribute(b, i, name, value)) == AttrStep::Attribute) {
                if (seen.contains(name))
                    continue;
                seen << name;
                if (name == "http-equiv" && value == "content-type") {
                    pragma = true;
                } else if (name == "content" && !charset) {
                    charset = charsetInContent(value);
                    needPragma = charset.has_value();
                } else if (name == "charset") {
                    charset = value;
                    needPragma = false;
                }
            }
            if (step == AttrStep::Cut)
                break; // a declaration cut off by the end of the bytes looked at
            if (charset && (pragma || !needPragma)) {
                switch (lookUpLabel(*charset, found)) {
                case Label::Known:
                    return found;
                case Label::Unicode:
                    return std::nullopt;
                case Label::Unknown:
                    break;
                }
            }
            continue;
        }
        auto isLetter = [&](qsizetype k) {
            return k < n && lowerByte(b[k]) >= 'a' && lowerByte(b[k]) <= 'z';
        };
        const bool letter = isLetter(i + 1);
        const bool endTag = i + 1 < n && b[i + 1] == '/' && isLetter(i + 2);
        if (letter || endTag) {
            while (i < n && !isSpaceByte(b[i]) && b[i] != '>')
                ++i;
            AttrStep step;
            while ((step = nextAttribute(b, i, name, value)) == AttrStep::Attribute) {
            }
            if (step == AttrStep::Cut)
                break;
            continue;
        }
        if (startsNoCase(b, i, "<!") || startsNoCase(b, i, "</") || startsNoCase(b, i, "<?")) {
            const qsizetype end = b.sliced(i).indexOf('>');
            if (end < 0)
                break;
            i += end + 1;
            continue;
        }
        ++i;
    }
    // An XML declaration, first in the file.
    if (b.startsWith("<?xml") && n > 5 && isSpaceByte(b[5])) {
        qsizetype i = 5;
        while (nextAttribute(b, i, name, value) == AttrStep::Attribute) {
            if (name == "encoding")
                return lookUpLabel(value, found) == Label::Known ? std::optional(found)
                                                                 : std::nullopt;
        }
    }
    return std::nullopt;
}

void appendEncoded(QStringView text, TextEncoding encoding, const MarkStandIns &standIns,
                   QByteArray &out)
{
    if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom) {
        appendUtf8(text, standIns, out);
        return;
    }
    // Runs between the editor's separators and stand-ins go out as they are.
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    const bool any = standIns.inUse();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        if (c < 0x2029)
            continue;
        int units = 1;
        const char32_t code = any ? codePointAt(d, n, i, units) : c;
        const char16_t mark = any ? markFor(code, standIns) : 0;
        if (!mark && c != QChar::ParagraphSeparator) {
            i += units - 1;
            continue;
        }
        appendPlain(text.sliced(from, i - from), encoding, out);
        appendPlain(mark ? QStringView(&mark, 1) : QStringView(u"\r\n"), encoding, out);
        i += units - 1;
        from = i + 1;
    }
    appendPlain(text.sliced(from), encoding, out);
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
    const bool le = bytes.startsWith("\xFF\xFE"), be = bytes.startsWith("\xFE\xFF");
    if (le || be) {
        if (std::optional<QString> t = decodeUtf16(QByteArrayView(bytes).sliced(2), be)) {
            result.text = std::move(*t);
            result.encoding = be ? TextEncoding::Utf16BeBom : TextEncoding::Utf16LeBom;
            return result;
        }
    }
    // Only the first BOM marks the encoding; a second one is text and is
    // kept (the decoder would otherwise drop it as well).
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    QString text = utf8.decode(bom ? bytes.mid(3) : bytes);
    if (!utf8.hasError()) {
        // ASCII reads the same in every declared charset, and saves what is
        // typed into it in the one the page declares.
        const bool ascii = !bom && text.size() == bytes.size();
        const std::optional<TextEncoding> declared =
            ascii ? declaredEncoding(bytes) : std::nullopt;
        result.text = std::move(text);
        result.encoding = declared ? *declared
                          : bom    ? TextEncoding::Utf8Bom
                                   : TextEncoding::Utf8;
        return result;
    }
    const std::optional<TextEncoding> declared = declaredEncoding(bytes);
    if (declared && *declared != TextEncoding::Windows1252) {
        if (std::optional<QString> t = decodeCharset(bytes, *declared)) {
            result.text = std::move(*t);
            result.encoding = *declared;
            return result;
        }
    }
    QString wide(bytes.size(), Qt::Uninitialized);
    decodeWindows1252(bytes, wide.data());
    result.text = std::move(wide);
    result.encoding = TextEncoding::Windows1252;
    return result;
}

MarkStandIns hideEditorMarks(QString &text)
{
    MarksSeen seen;
    lookForMarks(text, seen);
    const MarkStandIns s = chooseStandIns(seen);
    replaceMarks(text, s);
    return s;
}

QByteArray encodeText(const QString &text, TextEncoding encoding, const MarkStandIns &standIns)
{
    QByteArray out = byteOrderMark(encoding);
    appendEncoded(text, encoding, standIns, out);
    return out;
}

namespace {
enum class Accept { RegularOnly, NoPipes };

// A file opened through its descriptor, which Qt leaves nameless: the name
// is kept for the messages.
struct ReadFile : QFile {
    explicit ReadFile(const QString &name) : path(name) {}
    QString path;
};

// Opens without waiting: a named pipe would hold open() (and the whole
// editor) until some program wrote to it. What is opened is then checked,
// so nothing put in the file's place in between gets through.
void openToRead(ReadFile &f, qint64 limit, const QString &tooLarge, Accept accept)
{
    const QString &path = f.path;
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw TagloomError(Errors::cannotOpen(path));
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0
                    && (accept == Accept::RegularOnly
                            ? S_ISREG(st.st_mode)
                            : !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode) && !S_ISDIR(st.st_mode))
                    && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    if (!ok || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw TagloomError(Errors::cannotOpen(path));
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
    // Read no more than the limit allows, even from a file whose size says
    // nothing (a device, a pipe, a file still growing). A megabyte at a time,
    // so that progress can be told.
    constexpr qint64 kChunk = 1 << 20;
    const qint64 total = f.isSequential() ? 0 : std::min(f.size(), limit);
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
    // Settings and table files: a device is read up to the limit.
    openToRead(f, limit, tooLarge, Accept::NoPipes);
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
    ReadFile f(path);
    // A page is a plain file: a pipe, a device or a socket is refused.
    openToRead(f, limit, tooLarge, Accept::RegularOnly);
    // Once, whole: a pipe or a device cannot be read twice, and UTF-16 or a
    // charset of many bytes a character is not worth cutting into pieces
    // (the size limit keeps it in bounds).
    auto readOnce = [&] {
        if (!f.isSequential() && !f.seek(0))
            throw TagloomError(Errors::cannotOpen(f.path));
        quint64 hash = 0;
        DecodedText d = readWhole(f, limit, tooLarge, f.isSequential() ? nullptr : &hash);
        const MarkStandIns standIns = hideEditorMarks(d.text);
        if (!d.text.isEmpty())
            piece(d.text);
        return StreamedText{d.encoding, standIns, hash};
    };
    if (f.isSequential())
        return readOnce();
    const QByteArray head = f.peek(1024);
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
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
    const qint64 size = reader.run(true, bom, [&](QByteArrayView bytes) {
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
        result.encoding = ascii && declared ? *declared
                          : bom             ? TextEncoding::Utf8Bom
                                            : TextEncoding::Utf8;
    } else if (declared && *declared != TextEncoding::Windows1252) {
        return readOnce();
    } else {
        result.encoding = TextEncoding::Windows1252;
        first = MarksSeen(); // Windows-1252 decodes to none of them
    }
    const MarkStandIns hide = chooseStandIns(first);
    result.standIns = hide;
    result.hash = hasher.result();

    // Second pass: the text, in pieces that end after a line break. A line
    // much longer than a chunk is cut too, a little short of what has been
    // read (a CR there may still have its LF to come).
    constexpr qsizetype kKeep = 16;
    const qsizetype longLine = std::max<qsizetype>(4 * chunkBytes, 64);
    PieceDecoder decoder(utf8);
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

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (tryWriteFileAtomically(path, bytes) != 0)
        throw TagloomError(Errors::cannotCreate(path));
}

int tryWriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    return tryWriteFileAtomically(path, [&](const ByteSink &write) { write(bytes); });
}

namespace {
QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// A page reached through a symbolic link is written where the link points;
// the link itself stays. A loop of links leaves the name as it is.
QByteArray linkTarget(const QByteArray &path)
{
    QByteArray target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(target.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(target.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            return target;
        link.truncate(n);
        target = link.startsWith('/') ? link : folderOf(target) + '/' + link;
    }
    return path;
}

QByteArray randomSuffix()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(".", 1);
    for (int i = 0; i < 6; ++i)
        s += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
    return s;
}

// The new content of a file, written beside it and put in its place whole
// by rename(), so a failed or interrupted save leaves the old file as it
// was. Where the file system allows it the file has no name until then:
// a save killed part way leaves nothing behind.
class ReplacingFile {
public:
    explicit ReplacingFile(QByteArray target) : m_target(std::move(target)) {}
    ~ReplacingFile() { cancel(); }

    int create(mode_t mode)
    {
        const QByteArray folder = folderOf(m_target);
        if (::access("/proc/self/fd", X_OK) == 0) {
            m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (m_fd >= 0)
                return 0;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = tempName();
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd >= 0) {
                m_name = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }
    int fd() const { return m_fd; }

    int commit()
    {
        if (::fsync(m_fd) != 0 && errno != EINVAL)
            return errno;
        if (m_name.isEmpty()) {
            // linkat() cannot replace: the file gets a name of its own first.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
            for (int attempt = 0; attempt < 100 && m_name.isEmpty(); ++attempt) {
                const QByteArray name = tempName();
                if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                             AT_SYMLINK_FOLLOW)
                    == 0)
                    m_name = name;
                else if (errno != EEXIST)
                    return errno;
            }
            if (m_name.isEmpty())
                return EEXIST;
        }
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0 && errno != EINTR)
            return errno;
        if (::rename(m_name.constData(), m_target.constData()) != 0)
            return errno;
        m_name.clear();
        return 0;
    }

    void cancel()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
        m_name.clear();
    }

private:
    QByteArray tempName() const
    {
        // The file's own name where it fits: a leftover tells whose it was.
        const qsizetype nameLength = m_target.size() - m_target.lastIndexOf('/') - 1;
        const QByteArray stem =
            nameLength <= NAME_MAX - 7 ? m_target : folderOf(m_target) + "/tagloom";
        return stem + randomSuffix();
    }

    QByteArray m_target;
    QByteArray m_name; // empty while the file has no name
    int m_fd = -1;
};

// Writes whole, retrying what a signal or a short write left.
int writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= n;
    }
    return 0;
}
} // namespace

int tryWriteFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce)
{
    // The name's own bytes: one that is not UTF-8 is written back as it was.
    const QByteArray target = linkTarget(nativePath(path));
    struct stat st;
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists) {
        // A pipe in the file's place would be written to, not replaced, and
        // hold the editor up until something read it.
        if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
            return ENXIO;
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        // A file the user made read-only stays as it is, though the folder
        // would let it be replaced.
        if (::access(target.constData(), W_OK) != 0)
            return errno;
    }
    // A new file gets the usual permissions (the umask applies); a replaced
    // one keeps its own.
    const mode_t mode = exists ? (st.st_mode & 0777) : 0666;
    ReplacingFile file(target);
    if (const int e = file.create(mode))
        return e;
    if (exists && ::fchmod(file.fd(), mode) != 0)
        return errno;
    // Small pieces are gathered: a write per piece would cost a system call
    // for every line of the page.
    constexpr qsizetype kBuffer = 1 << 16;
    QByteArray buffer;
    buffer.reserve(kBuffer);
    int failed = 0;
    produce([&](QByteArrayView bytes) {
        if (failed)
            return;
        if (buffer.size() + bytes.size() > kBuffer) {
            failed = writeAll(file.fd(), buffer.constData(), buffer.size());
            buffer.clear();
        }
        if (failed)
            return;
        if (bytes.size() >= kBuffer)
            failed = writeAll(file.fd(), bytes.data(), bytes.size());
        else
            buffer.append(bytes.data(), bytes.size());
    });
    if (!failed)
        failed = writeAll(file.fd(), buffer.constData(), buffer.size());
    if (!failed)
        failed = file.commit();
    return failed;
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
    if (::stat(nativePath(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.statusNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.inode = quint64(st.st_ino);
    s.device = quint64(st.st_dev);
    return s;
}

void ByteHasher::add(QByteArrayView bytes)
{
    // Eight bytes at a time, whatever the pieces: every step is one to one
    // in the state, so two inputs that differ give different results up to
    // the rare collision of 64 bits.
    constexpr quint64 kMul = 0x9E3779B97F4A7C15ull;
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    auto mix = [this](quint64 w) {
        m_hash = (m_hash ^ w) * kMul;
        m_hash ^= m_hash >> 29;
    };
    while (n > 0 && m_tailSize > 0 && m_tailSize < 8) {
        m_tail |= quint64(uchar(*p++)) << (8 * m_tailSize++);
        --n;
    }
    if (m_tailSize == 8) {
        mix(m_tail);
        m_tail = 0;
        m_tailSize = 0;
    }
    for (; n >= 8; p += 8, n -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        mix(qFromLittleEndian(w));
    }
    for (; n > 0; --n)
        m_tail |= quint64(uchar(*p++)) << (8 * m_tailSize++);
    m_length += bytes.size();
}

quint64 ByteHasher::result() const
{
    quint64 h = m_hash;
    h = (h ^ m_tail ^ (quint64(m_length) << 3)) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 31;
    return h ? h : 1;
}

quint64 fileHash(const QString &path)
{
    // Not blocking: a pipe put in the file's place must not hang the editor.
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st;
    quint64 result = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ByteHasher h;
        std::vector<char> buf(1 << 20);
        for (;;) {
            const ssize_t got = ::read(fd, buf.data(), buf.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                break;
            if (got == 0) {
                result = h.result();
                break;
            }
            h.add(QByteArrayView(buf.data(), got));
        }
    }
    ::close(fd);
    return result;
}

DiskChange diskChange(const FileStamp &was, const QString &path)
{
    const FileStamp now = fileStamp(path);
    if (!now.exists || !now.regular)
        return was.exists && was.regular ? DiskChange::Removed : DiskChange::None;
    if (!was.exists || !was.regular || now.size != was.size || now.modifiedNs != was.modifiedNs)
        return DiskChange::Changed;
    if (now == was)
        return DiskChange::None;
    return was.hash && fileHash(path) == was.hash ? DiskChange::None : DiskChange::Changed;
}

namespace {
thread_local ProgressScope *innermostScope = nullptr;
}

ProgressScope::ProgressScope(ProgressReporter reporter)
    : m_reporter(std::move(reporter)), m_outer(innermostScope)
{
    innermostScope = this;
}

ProgressScope::~ProgressScope() { innermostScope = m_outer; }

bool ProgressScope::report(qint64 done, qint64 total)
{
    bool goOn = true;
    for (ProgressScope *s = innermostScope; s; s = s->m_outer)
        if (s->m_reporter && !s->m_reporter(done, total))
            goOn = false;
    return goOn;
}
