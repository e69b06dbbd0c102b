#include "keptbytes.h"

namespace {
// Where a file's lines lie in its bytes: line i is [starts[i], ends[i]),
// its break up to starts[i + 1].
struct ByteLines {
    QList<qsizetype> starts;
    QList<qsizetype> ends;
};

// Breaks as the reader counts them (CR LF, lone CR, lone LF), read in the
// encoding's code units: bytes in charsets that keep ASCII's, 16 or 32 bits
// in UTF-16 and UTF-32. Nothing when the bytes do not divide into units.
std::optional<ByteLines> byteLines(const QByteArray &bytes, qsizetype from, TextEncoding encoding)
{
    int unit = 1;
    bool big = false;
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16LeBom:
        unit = 2;
        break;
    case TextEncoding::Utf16Be:
    case TextEncoding::Utf16BeBom:
        unit = 2;
        big = true;
        break;
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32LeBom:
        unit = 4;
        break;
    case TextEncoding::Utf32Be:
    case TextEncoding::Utf32BeBom:
        unit = 4;
        big = true;
        break;
    default:
        break;
    }
    const qsizetype n = bytes.size();
    if ((n - from) % unit)
        return std::nullopt;
    const auto *d = reinterpret_cast<const uchar *>(bytes.constData());
    auto at = [&](qsizetype i) {
        quint32 v = 0;
        for (int k = 0; k < unit; ++k)
            v |= quint32(d[i + k]) << (8 * (big ? unit - 1 - k : k));
        return v;
    };
    ByteLines lines;
    lines.starts.append(from);
    for (qsizetype i = from; i < n; i += unit) {
        const quint32 c = at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.ends.append(i);
        if (c == '\r' && i + unit < n && at(i + unit) == '\n')
            i += unit;
        lines.starts.append(i + unit);
    }
    lines.ends.append(n);
    return lines;
}

// The text the editor would read from `bytes`, when they decode whole in
// `encoding` (a BOM it has first), with the marks hidden by `standIns`.
std::optional<QString> readAsEditor(QByteArrayView bytes, TextEncoding encoding,
                                    const MarkStandIns &standIns)
{
    KeptForms kept;
    std::optional<QString> t = decodeAs(bytes, encoding, &kept);
    if (!t)
        return std::nullopt;
    QString text = normalizeLineBreaks(*t);
    if (standIns.inUse())
        replaceMarks(text, standIns);
    return text;
}
} // namespace

std::optional<QByteArray> keepOtherBytes(const QByteArray &original, TextEncoding encoding,
                                         const KeptForms &kept, const MarkStandIns &standIns,
                                         const QStringList &lines, QString *why)
{
    const QString cannot = QStringLiteral("cannot be changed without changing other bytes");
    const std::optional<QString> before = readAsEditor(original, encoding, standIns);
    const QByteArray bom = byteOrderMark(encoding);
    const qsizetype from = original.startsWith(bom) ? bom.size() : 0;
    const std::optional<ByteLines> spans = byteLines(original, from, encoding);
    if (!before || !spans) {
        *why = cannot;
        return std::nullopt;
    }
    const QList<QStringView> old = QStringView(*before).split(u"\r\n");
    if (old.size() != spans->starts.size() || old.size() != lines.size()) {
        *why = old.size() == lines.size() ? cannot : QStringLiteral("lines were added or removed");
        return std::nullopt;
    }
    QByteArray out;
    out.reserve(original.size() + 1024);
    out += QByteArrayView(original.constData(), from);
    QByteArray encoded;
    QString expected; // what the editor will read from the bytes made
    expected.reserve(before->size() + 1024);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype start = spans->starts[i], end = spans->ends[i];
        const qsizetype next = i + 1 < lines.size() ? spans->starts[i + 1] : original.size();
        if (i > 0)
            expected += u"\r\n";
        if (lines[i] == old[i]) {
            out += QByteArrayView(original.constData() + start, next - start);
            expected += old[i];
            continue;
        }
        encoded.resize(0);
        appendEncoded(old[i], encoding, standIns, encoded, kept);
        if (encoded != QByteArrayView(original.constData() + start, end - start)) {
            *why = cannot;
            return std::nullopt;
        }
        encoded.resize(0);
        appendEncoded(lines[i], encoding, standIns, encoded, kept);
        // A character the charset lacks is written as a reference, as Save
        // writes it; the line is then read back with it.
        const std::optional<QString> reread = readAsEditor(bom + encoded, encoding, standIns);
        if (!reread) {
            *why = cannot;
            return std::nullopt;
        }
        expected += *reread;
        out += encoded;
        out += QByteArrayView(original.constData() + end, next - end); // its own break
    }
    // The last check: the bytes read back as a whole give that text.
    const std::optional<QString> check = readAsEditor(out, encoding, standIns);
    if (!check || *check != expected) {
        *why = cannot;
        return std::nullopt;
    }
    return out;
}
