#pragma once
// Which charset a file's bytes are in, decided as a browser would on a page
// with no other word on it. A file starting with a UTF-32 or UTF-16 byte
// order mark is read so when its bytes are whole in it; one whose first
// bytes have the zero bytes of UTF-16 or UTF-32 text is read so when they
// are whole.
// Otherwise bytes that are valid UTF-8 are read as UTF-8 (a BOM is
// remembered). A page that is not, or that is plain ASCII, and that declares
// its charset in its first 1,024 bytes (a meta element or an XML
// declaration) is read in that charset when every byte is valid in it and
// comes back the same. A page that declares nothing is read in the charset a
// detector guesses from its first megabyte, when every byte converts both
// ways. Any other file is read as Windows-1252, so every byte survives. A
// file is saved in the encoding it was read in.
#include "charset.h"

#include <QByteArray>
#include <QString>
#include <optional>

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
    bool guessed = false; // the page said nothing: its bytes were looked at
    KeptForms kept;       // characters the file writes in their other byte form
};

DecodedText decodeText(const QByteArray &bytes);

// Unicode without a byte order mark, told by its zero bytes in the first
// 4 KB (markup is mostly ASCII): UTF-16 or UTF-32, in either byte order.
std::optional<TextEncoding> unmarkedUnicode(QByteArrayView bytes);
// The detector's guess at the charset of a page that is not UTF-8 and
// declares none, from its first megabyte, when it names one of ours and
// the megabyte holds kGuessEvidence bytes above ASCII or more.
std::optional<TextEncoding> guessedEncoding(QByteArrayView bytes);
// How much of a file the two above look at.
constexpr qsizetype kGuessBytes = 1 << 20;
constexpr qsizetype kUnmarkedBytes = 4096;
constexpr qsizetype kGuessEvidence = 16;

// The charset the page declares in its first 1,024 bytes, when it names one
// of ours: the first meta element naming one (in a content type for
// http-equiv), or else an XML declaration's encoding. A declaration cut off
// by the 1,024th byte, an unknown name, UTF-8 and UTF-16 give nothing.
std::optional<TextEncoding> declaredEncoding(QByteArrayView bytes);
// The label of the first charset declaration in the first 1,024 bytes that
// names none of ours nor Unicode ("iso-2022-kr", "x-unknown"), as written;
// empty when there is none, or when an earlier one names ours.
QByteArray unreadableDeclaration(QByteArrayView bytes);
