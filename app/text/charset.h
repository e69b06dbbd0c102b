#pragma once
// The charsets a page can be in: their names, the labels pages call them by,
// and the conversions between them and the editor's text. Only plain
// conversions live here; the editor's own marks and line breaks are
// editormarks.h's, and which charset a file is in is charsetsniff.h's.
#include <QByteArray>
#include <QChar>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

#include "textencoding.h"

// The encoding as the user knows it: "UTF-8", "UTF-16LE with BOM", "KOI8-R".
QString encodingName(TextEncoding encoding);
// The bytes a file in the encoding starts with: its byte order mark, if any.
QByteArray byteOrderMark(TextEncoding encoding);

// What a charset label names, given in lower case as the declarations in
// pages are read (spaces around it do not count). Unicode: one of the UTF-8,
// UTF-16 or UTF-32 labels, which a page's bytes decide for themselves.
struct CharsetLabel {
    enum Kind { Known, Unicode, Unknown } kind = Unknown;
    TextEncoding encoding = TextEncoding::Utf8; // when Known
};
CharsetLabel charsetForLabel(QByteArrayView label);

// The encodings a user can choose, grouped by the script they are for
// ("Unicode", "Western", "Cyrillic", ...), in the order menus list them.
struct EncodingGroup {
    QString script;
    QList<TextEncoding> encodings;
};
QList<EncodingGroup> encodingGroups();

// Characters a charset gives two byte forms (Shift_JIS has a few), kept as
// the file wrote them so that an unchanged save gives the same bytes: the
// character, and the bytes it was read from.
using KeptForms = QHash<char32_t, QByteArray>;

// Appends text in the encoding, as it is: characters the encoding cannot
// hold are written as "&#NNNN;" and a lone surrogate in UTF-8 as U+FFFD.
// No byte order mark.
void appendInCharset(QStringView text, TextEncoding encoding, QByteArray &out);
// As above, a character of `kept` written in its kept form.
void appendInCharset(QStringView text, TextEncoding encoding, const KeptForms &kept,
                     QByteArray &out);
// Where the first character the encoding cannot hold starts; -1: none.
qsizetype firstUnencodable(QStringView text, TextEncoding encoding);

// Windows-1252 bytes to out, which has room for one character a byte. The
// five unassigned bytes become the control characters of the same number,
// so every byte comes back.
void decodeWindows1252(QByteArrayView bytes, QChar *out);
// Whole UTF-16 (after the BOM) or nothing: an odd byte or a lone surrogate
// could not be written back as it was.
std::optional<QString> decodeUtf16(QByteArrayView bytes, bool bigEndian);
// A charset converted by iconv: every byte valid in it, and the text written
// back gives the same bytes (some charsets map two byte sequences to one
// character); otherwise nothing.
// A character with two byte forms goes into `kept` (when given) as the file
// wrote it; without `kept`, or when the file writes one character both ways,
// nothing.
std::optional<QString> decodeInCharset(QByteArrayView bytes, TextEncoding encoding,
                                       KeptForms *kept = nullptr);
// UTF-32 (no BOM) or nothing: a cut-off unit, a surrogate or a code point
// over U+10FFFF.
std::optional<QString> decodeUtf32(QByteArrayView bytes, bool bigEndian);
// The bytes in any encoding, whole and coming back the same, or nothing; a
// BOM the encoding has is expected first.
std::optional<QString> decodeAs(QByteArrayView bytes, TextEncoding encoding,
                                KeptForms *kept = nullptr);

// A single-byte charset, decoded from its table: the text, or nothing when
// a byte is unassigned in it. Each piece decodes apart.
bool isSingleByte(TextEncoding encoding);
// Escape sequences switch its character sets (ISO-2022-JP): its bytes are
// 7-bit, so they pass for ASCII.
bool isStateful(TextEncoding encoding);
bool decodeSingleByte(QByteArrayView bytes, TextEncoding encoding, QChar *out);

// The code point at d[i] and the code units it takes; a lone surrogate is
// one unit of its own.
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
