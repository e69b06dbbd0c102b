#include "charsetcodecs.h"

#include <QByteArrayList>
#include <QSysInfo>

#include <array>
#include <iterator>
#include <memory>

namespace {
using C = Charset;

const Charset kCharsetRows[] = {
#include "charsetrows.inc"
};

} // namespace

CharsetList allCharsets() { return {std::begin(kCharsetRows), std::end(kCharsetRows)}; }

const Charset *charsetOf(TextEncoding e)
{
    for (const Charset &c : kCharsetRows)
        if (c.encoding == e)
            return &c;
    return nullptr;
}

const char *iconvNameOf(TextEncoding e)
{
    const Charset *c = charsetOf(e);
    return c ? c->iconvName : nullptr;
}

const char *const kHostUtf16 =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

namespace {
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

} // namespace

iconv_t converter(TextEncoding e, bool decode)
{
    thread_local Converters converters;
    return converters.get(e, decode);
}

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
