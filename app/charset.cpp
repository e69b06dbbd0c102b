#include "charset.h"

#include <QStringDecoder>
#include <QSysInfo>

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

// The charsets a page may declare. Labels are the names pages use for them,
// lower case: every label browsers know (the WHATWG Encoding Standard's
// table), then names iconv knows that pages still declare. The iconv name is
// the one that reads what those pages mean (Shift_JIS pages are written with
// Windows' table, so 0x5C is a backslash; TIS-620 pages are read as
// Windows-874, as browsers read them). Single-byte charsets are decoded
// from a table taken byte by byte from iconv, so that no converter composes
// a letter and its points into one character the page does not hold;
// `fixes` are the bytes browsers read otherwise than iconv ("AE:045E").
struct Charset {
    TextEncoding encoding;
    enum Kind { Own, Table, Iconv, Stateful } kind;
    const char *iconvName; // nullptr: converted here
    const char *name;
    const char *script; // the menu group; nullptr: not offered
    const char *labels;
    const char *fixes = "";
};
using C = Charset;
const Charset kCharsets[] = {
    {TextEncoding::Utf8, C::Own, nullptr, "UTF-8", "Unicode", ""},
    {TextEncoding::Utf8Bom, C::Own, nullptr, "UTF-8 with BOM", "Unicode", ""},
    {TextEncoding::Utf16LeBom, C::Own, nullptr, "UTF-16LE with BOM", "Unicode", ""},
    {TextEncoding::Utf16BeBom, C::Own, nullptr, "UTF-16BE with BOM", "Unicode", ""},
    {TextEncoding::Utf16Le, C::Own, nullptr, "UTF-16LE", "Unicode", ""},
    {TextEncoding::Utf16Be, C::Own, nullptr, "UTF-16BE", "Unicode", ""},
    {TextEncoding::Utf32Le, C::Own, nullptr, "UTF-32LE", "Unicode", ""},
    {TextEncoding::Utf32Be, C::Own, nullptr, "UTF-32BE", "Unicode", ""},
    {TextEncoding::Utf32LeBom, C::Own, nullptr, "UTF-32LE with BOM", "Unicode", ""},
    {TextEncoding::Utf32BeBom, C::Own, nullptr, "UTF-32BE with BOM", "Unicode", ""},
    {TextEncoding::Windows1252, C::Own, nullptr, "Windows-1252", "Western",
     "windows-1252 cp1252 x-cp1252 iso-8859-1 iso8859-1 iso_8859-1 iso_8859-1:1987 iso88591 "
     "latin1 l1 cp819 ibm819 iso-ir-100 csisolatin1 us-ascii ascii ansi_x3.4-1968 "
     "x-user-defined"},
    {TextEncoding::Iso8859_15, C::Table, "ISO-8859-15", "ISO-8859-15", "Western",
     "iso-8859-15 iso8859-15 iso_8859-15 iso885915 latin9 l9 csisolatin9 latin-9"},
    {TextEncoding::Macintosh, C::Table, "MACINTOSH", "Macintosh", "Western",
     "macintosh mac x-mac-roman csmacintosh", "DB:20AC"},
    {TextEncoding::Ibm437, C::Table, "CP437", "IBM437", "Western",
     "ibm437 cp437 437 cspc8codepage437"},
    {TextEncoding::Ibm850, C::Table, "CP850", "IBM850", "Western",
     "ibm850 cp850 850 cspc850multilingual"},
    {TextEncoding::Iso8859_3, C::Table, "ISO-8859-3", "ISO-8859-3", "Western",
     "iso-8859-3 iso8859-3 iso_8859-3 iso_8859-3:1988 iso88593 latin3 l3 csisolatin3 "
     "iso-ir-109"},
    {TextEncoding::Iso8859_14, C::Table, "ISO-8859-14", "ISO-8859-14", "Western",
     "iso-8859-14 iso8859-14 iso885914"},
    {TextEncoding::Iso8859_2, C::Table, "ISO-8859-2", "ISO-8859-2", "Central European",
     "iso-8859-2 iso8859-2 iso_8859-2 iso_8859-2:1987 iso88592 latin2 l2 csisolatin2 "
     "iso-ir-101"},
    {TextEncoding::Windows1250, C::Table, "WINDOWS-1250", "Windows-1250", "Central European",
     "windows-1250 cp1250 x-cp1250"},
    {TextEncoding::Iso8859_16, C::Table, "ISO-8859-16", "ISO-8859-16", "Central European",
     "iso-8859-16 iso8859-16 latin10 l10"},
    {TextEncoding::Ibm852, C::Table, "CP852", "IBM852", "Central European",
     "ibm852 cp852 852 cspcp852"},
    {TextEncoding::MacCentralEurope, C::Table, "MAC-CENTRALEUROPE", "x-mac-ce",
     "Central European", "x-mac-ce x-mac-centraleurroman maccentraleurope mac-centraleurope"},
    {TextEncoding::Iso8859_4, C::Table, "ISO-8859-4", "ISO-8859-4", "Baltic",
     "iso-8859-4 iso8859-4 iso_8859-4 iso_8859-4:1988 iso88594 latin4 l4 csisolatin4 "
     "iso-ir-110"},
    {TextEncoding::Iso8859_10, C::Table, "ISO-8859-10", "ISO-8859-10", "Baltic",
     "iso-8859-10 iso8859-10 iso885910 latin6 l6 csisolatin6 iso-ir-157"},
    {TextEncoding::Iso8859_13, C::Table, "ISO-8859-13", "ISO-8859-13", "Baltic",
     "iso-8859-13 iso8859-13 iso885913"},
    {TextEncoding::Windows1257, C::Table, "WINDOWS-1257", "Windows-1257", "Baltic",
     "windows-1257 cp1257 x-cp1257"},
    {TextEncoding::Windows1251, C::Table, "WINDOWS-1251", "Windows-1251", "Cyrillic",
     "windows-1251 cp1251 x-cp1251"},
    {TextEncoding::Koi8R, C::Table, "KOI8-R", "KOI8-R", "Cyrillic",
     "koi8-r koi8_r koi8 koi cskoi8r"},
    {TextEncoding::Koi8U, C::Table, "KOI8-U", "KOI8-U", "Cyrillic", "koi8-u koi8-ru",
     "AE:045E BE:040E"},
    {TextEncoding::Iso8859_5, C::Table, "ISO-8859-5", "ISO-8859-5", "Cyrillic",
     "iso-8859-5 iso8859-5 iso_8859-5 iso_8859-5:1988 iso88595 cyrillic csisolatincyrillic "
     "iso-ir-144"},
    {TextEncoding::Ibm866, C::Table, "CP866", "IBM866", "Cyrillic",
     "ibm866 cp866 866 csibm866"},
    {TextEncoding::Ibm855, C::Table, "CP855", "IBM855", "Cyrillic",
     "ibm855 cp855 855 csibm855"},
    {TextEncoding::MacCyrillic, C::Table, "MAC-UK", "x-mac-cyrillic", "Cyrillic",
     "x-mac-cyrillic x-mac-ukrainian maccyrillic mac-cyrillic macukrainian mac-ukrainian",
     "FF:20AC"},
    {TextEncoding::Koi8T, C::Table, "KOI8-T", "KOI8-T", "Cyrillic", "koi8-t"},
    {TextEncoding::Pt154, C::Table, "PT154", "PT154", "Cyrillic",
     "pt154 ptcp154 cp154 csptcp154"},
    {TextEncoding::Iso8859_7, C::Table, "ISO-8859-7", "ISO-8859-7", "Greek",
     "iso-8859-7 iso8859-7 iso_8859-7 iso_8859-7:1987 iso88597 greek greek8 csisolatingreek "
     "ecma-118 elot_928 iso-ir-126 sun_eu_greek"},
    {TextEncoding::Windows1253, C::Table, "WINDOWS-1253", "Windows-1253", "Greek",
     "windows-1253 cp1253 x-cp1253"},
    {TextEncoding::Windows1254, C::Table, "WINDOWS-1254", "Windows-1254", "Turkish",
     "windows-1254 cp1254 x-cp1254 iso-8859-9 iso8859-9 iso_8859-9 iso_8859-9:1989 iso88599 "
     "latin5 l5 csisolatin5 iso-ir-148"},
    {TextEncoding::Iso8859_9, C::Table, "ISO-8859-9", "ISO-8859-9", "Turkish", ""},
    {TextEncoding::Ibm857, C::Table, "CP857", "IBM857", "Turkish",
     "ibm857 cp857 857 csibm857"},
    {TextEncoding::Windows1255, C::Table, "WINDOWS-1255", "Windows-1255", "Hebrew",
     "windows-1255 cp1255 x-cp1255", "CA:05BA"},
    {TextEncoding::Iso8859_8, C::Table, "ISO-8859-8", "ISO-8859-8", "Hebrew",
     "iso-8859-8 iso8859-8 iso_8859-8 iso_8859-8:1988 iso88598 hebrew csisolatinhebrew "
     "iso-ir-138 visual iso-8859-8-i iso-8859-8-e logical csiso88598i csiso88598e"},
    {TextEncoding::Ibm862, C::Table, "CP862", "IBM862", "Hebrew",
     "ibm862 cp862 862 csibm862 dos-862"},
    {TextEncoding::Windows1256, C::Table, "WINDOWS-1256", "Windows-1256", "Arabic",
     "windows-1256 cp1256 x-cp1256"},
    {TextEncoding::Iso8859_6, C::Table, "ISO-8859-6", "ISO-8859-6", "Arabic",
     "iso-8859-6 iso8859-6 iso_8859-6 iso_8859-6:1987 iso88596 arabic asmo-708 "
     "csisolatinarabic ecma-114 iso-ir-127 iso-8859-6-i iso-8859-6-e csiso88596e "
     "csiso88596i"},
    {TextEncoding::Windows874, C::Table, "CP874", "Windows-874", "Thai",
     "windows-874 cp874 dos-874 x-windows-874 ibm874 iso-8859-11 iso8859-11 iso885911 "
     "tis-620 tis620 tis620-0 tis620.2529-1 tis620.2533-0"},
    {TextEncoding::Iso8859_11, C::Table, "ISO-8859-11", "ISO-8859-11", nullptr, ""},
    {TextEncoding::Windows1258, C::Table, "WINDOWS-1258", "Windows-1258", "Vietnamese",
     "windows-1258 cp1258 x-cp1258"},
    {TextEncoding::Viscii, C::Table, "VISCII", "VISCII", "Vietnamese", "viscii csviscii"},
    {TextEncoding::Armscii8, C::Table, "ARMSCII-8", "ARMSCII-8", "Armenian and Georgian",
     "armscii-8 armscii8"},
    {TextEncoding::Georgian, C::Table, "GEORGIAN-PS", "Georgian-PS", "Armenian and Georgian",
     "georgian-ps"},
    {TextEncoding::ShiftJis, C::Iconv, "CP932", "Shift_JIS", "Japanese",
     "shift_jis shift-jis sjis x-sjis ms_kanji csshiftjis windows-31j ms932 cp932"},
    {TextEncoding::EucJp, C::Iconv, "EUC-JP", "EUC-JP", "Japanese",
     "euc-jp x-euc-jp cseucpkdfmtjapanese"},
    {TextEncoding::Iso2022Jp, C::Stateful, "ISO-2022-JP", "ISO-2022-JP", "Japanese",
     "iso-2022-jp csiso2022jp"},
    {TextEncoding::Gbk, C::Iconv, "GBK", "GBK", "Chinese",
     "gbk x-gbk cp936 ms936 windows-936 gb2312 gb_2312 gb_2312-80 chinese csgb2312 "
     "csiso58gb231280 iso-ir-58 euc-cn"},
    {TextEncoding::Gb18030, C::Iconv, "GB18030", "GB18030", "Chinese", "gb18030"},
    {TextEncoding::Big5, C::Iconv, "BIG5-HKSCS", "Big5", "Chinese",
     "big5 big5-hkscs big5hkscs cn-big5 csbig5 x-x-big5 x-big5 cp950"},
    {TextEncoding::EucKr, C::Iconv, "CP949", "EUC-KR", "Korean",
     "euc-kr cseuckr ks_c_5601-1987 ks_c_5601-1989 ksc5601 ksc_5601 korean csksc56011987 "
     "iso-ir-149 windows-949 cp949 uhc"},
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
    std::array<Pair, size_t(kLastEncoding) + 1> m_pairs;
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


// A single-byte charset's table, taken from iconv a byte at a time, with
// the bytes browsers read otherwise put right. A character two bytes give
// is kept for the first only: the other byte is left unassigned, so that
// every byte read comes back.
struct ByteTable {
    static constexpr char16_t kNone = 0xFFFF;
    char16_t toChar[256];
    std::vector<quint16> toByte = std::vector<quint16>(65536, 0xFFFF);
};

const ByteTable *byteTable(TextEncoding e)
{
    thread_local std::array<std::unique_ptr<ByteTable>, size_t(kLastEncoding) + 1> tables;
    std::unique_ptr<ByteTable> &t = tables[size_t(e)];
    if (t)
        return t.get();
    const Charset *c = charsetOf(e);
    if (!c || c->kind != Charset::Table)
        return nullptr;
    t = std::make_unique<ByteTable>();
    const iconv_t cd = iconv_open(kHostUtf16, c->iconvName);
    for (int b = 0; b < 256; ++b) {
        t->toChar[b] = ByteTable::kNone;
        if (cd == iconv_t(-1))
            continue;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in = char(b);
        char16_t out[4];
        char *ip = &in, *op = reinterpret_cast<char *>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        if (iconv(cd, &ip, &inLeft, &op, &outLeft) != size_t(-1)
            && iconv(cd, nullptr, nullptr, &op, &outLeft) != size_t(-1)
            && op == reinterpret_cast<char *>(out + 1) && !QChar::isSurrogate(out[0]))
            t->toChar[b] = out[0];
    }
    if (cd != iconv_t(-1))
        iconv_close(cd);
    for (const QByteArray &fix : QByteArray(c->fixes).split(' ')) {
        if (fix.size() == 7)
            t->toChar[fix.left(2).toInt(nullptr, 16)] = char16_t(fix.mid(3).toUInt(nullptr, 16));
    }
    for (int b = 0; b < 256; ++b) {
        const char16_t ch = t->toChar[b];
        if (ch == ByteTable::kNone)
            continue;
        if (t->toByte[ch] != 0xFFFF)
            t->toChar[b] = ByteTable::kNone;
        else
            t->toByte[ch] = quint16(b);
    }
    return t.get();
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
    for (const Charset &c : kCharsets) {
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
