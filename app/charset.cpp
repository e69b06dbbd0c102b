#include "charset.h"

#include <QSysInfo>

#include <array>
#include <cerrno>
#include <iconv.h>

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

CharsetLabel charsetForLabel(QByteArrayView labelBytes)
{
    const QByteArray label = labelBytes.toByteArray().trimmed();
    CharsetLabel result;
    if (label.isEmpty())
        return result;
    if (label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8"
        || label.startsWith("utf-16") || label.startsWith("utf-32") || label == "unicode"
        || label == "ucs-2" || label == "iso-10646-ucs-2") {
        result.kind = CharsetLabel::Unicode;
        return result;
    }
    for (const Charset &c : kCharsets) {
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

std::optional<QString> decodeInCharset(QByteArrayView bytes, TextEncoding e)
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
