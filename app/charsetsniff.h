#pragma once
// Which charset a file's bytes are in, decided as a browser would on a page
// with no other word on it. A file starting with a UTF-16 byte order mark is
// read as UTF-16 when its bytes are whole UTF-16. Otherwise bytes that are
// valid UTF-8 are read as UTF-8 (a BOM is remembered). A page that is not,
// or that is plain ASCII, and that declares its charset in its first 1,024
// bytes (a meta element or an XML declaration) is read in that charset when
// every byte is valid in it and comes back the same. Any other file is read
// as Windows-1252, so every byte survives. A file is saved in the encoding
// it was read in.
#include "charset.h"

#include <QByteArray>
#include <QString>
#include <optional>

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

DecodedText decodeText(const QByteArray &bytes);

// The charset the page declares in its first 1,024 bytes, when it names one
// of ours: the first meta element naming one (in a content type for
// http-equiv), or else an XML declaration's encoding. A declaration cut off
// by the 1,024th byte, an unknown name, UTF-8 and UTF-16 give nothing.
std::optional<TextEncoding> declaredEncoding(QByteArrayView bytes);
