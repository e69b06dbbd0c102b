#pragma once
// How the charsets are converted: their table of names and labels, iconv's
// converters, and the byte tables of the single-byte ones. Only charset.cpp
// and what tests it use these; the rest of the editor goes through charset.h.
#include "textencoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <iconv.h>
#include <optional>
#include <vector>

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

// Every row, in the order the menus offer them.
struct CharsetList {
    const Charset *first, *last;
    const Charset *begin() const { return first; }
    const Charset *end() const { return last; }
};
CharsetList allCharsets();
const Charset *charsetOf(TextEncoding e);
const char *iconvNameOf(TextEncoding e);

// QString's own code units, as iconv names them.
extern const char *const kHostUtf16;
// A converter in its initial state, or iconv_t(-1) when iconv has none.
iconv_t converter(TextEncoding e, bool decode);
// The text through iconv, whole, or false with out as it was.
bool iconvEncode(TextEncoding e, QStringView text, QByteArray &out);
// The bytes through iconv, whole, or nothing when one is invalid or cut off.
std::optional<QString> iconvDecode(TextEncoding e, QByteArrayView bytes);
bool readsBackAs(TextEncoding e, QByteArrayView bytes, QStringView text);

// A single-byte charset's table, taken from iconv a byte at a time, with
// the bytes browsers read otherwise put right. A character two bytes give
// is kept for the first only: the other byte is left unassigned, so that
// every byte read comes back.
struct ByteTable {
    static constexpr char16_t kNone = 0xFFFF;
    char16_t toChar[256];
    std::vector<quint16> toByte = std::vector<quint16>(65536, 0xFFFF);
};
const ByteTable *byteTable(TextEncoding e);
