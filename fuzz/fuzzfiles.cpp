// The checks of what the editor reads from and writes to disk: the settings
// file, table files, a document's bytes and charset, file names.
#include "fuzzchecks.h"
#include "fuzzsupport.h"

#include "charsetsniff.h"
#include "editormarks.h"
#include "errors.h"
#include "nativepath.h"
#include "settingsfile.h"
#include "tablefile.h"

#include <QFile>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace FuzzChecks {
namespace {

// Lone CR and lone LF become CR LF, byte by byte: what a document's bytes
// must look like after opening and saving.
QByteArray crlfBytes(const QByteArray &in)
{
    QByteArray out;
    out.reserve(in.size() + in.size() / 8);
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < in.size() && in.at(i + 1) == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

bool isValidUtf8(const QByteArray &b)
{
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(d.decode(b));
    return !d.hasError();
}

quint32 fnv(const QByteArray &b)
{
    quint32 h = 2166136261u;
    for (const char c : b)
        h = (h ^ uchar(c)) * 16777619u;
    return h;
}

bool intMessage(const QString &msg)
{
    return msg.startsWith(QLatin1Char('\''))
           && msg.endsWith(QStringLiteral("' is not a valid integer value"));
}
} // namespace

// ---------------------------------------------------------------- settings

QString settings(const QByteArray &input)
{
    // As the main window reads it at start.
    const DecodedText decoded = decodeText(input);
    const QStringList lines = settingsLines(normalizeLineBreaks(decoded.text));
    for (const QString &l : lines)
        if (l.contains(QLatin1Char('\r')) || l.contains(QLatin1Char('\n')))
            return QStringLiteral("line holds a break: ") + shown(l);

    Preferences prefs;
    try {
        parseSettings(lines, prefs);
    } catch (const TagloomError &e) {
        if (!intMessage(e.text()))
            return QStringLiteral("unexpected message: ") + shown(e.text());
    }

    // Save Settings with colours from the table and any position, then the
    // next start must read exactly those back.
    const quint32 h = fnv(input);
    const ColourName &text = colourNames()[h % kColourNameCount];
    const ColourName &back = colourNames()[(h / 7) % kColourNameCount];
    const int top = int(h);
    const int left = int(h * 2654435761u);
    QStringList saved = lines;
    rewriteSettings(saved, text.value, back.value, top, left);
    for (int i = 0; i < lines.size(); ++i) {
        const QString &l = lines.at(i);
        if (!l.contains(QStringLiteral("text color=")) && !l.contains(QStringLiteral("toolbar="))
            && !l.contains(QStringLiteral("background color=")) && saved.at(i) != l)
            return QStringLiteral("unrecognised line %1 changed: %2 -> %3")
                .arg(i)
                .arg(shown(l), shown(saved.at(i)));
    }
    const QByteArray written = settingsFileBytes(saved, decoded.encoding);
    const QStringList reread = settingsLines(normalizeLineBreaks(decodeText(written).text));
    // Bytes a line does not change stay as they were; a file read as
    // Windows-1252 can become valid UTF-8 once its recognised lines are
    // rewritten, and then reads back as other characters from the same bytes.
    if (decodeText(written).encoding == decoded.encoding && reread != saved)
        return QStringLiteral("saved lines read back differently (%1 vs %2 lines)")
            .arg(reread.size())
            .arg(saved.size());
    Preferences again;
    try {
        parseSettings(reread, again);
    } catch (const TagloomError &e) {
        return QStringLiteral("saved file does not read back: ") + shown(e.text());
    }
    if (again.toolbarTop != top || again.toolbarLeft != left || again.textColor != text.value
        || again.backColor != back.value || !again.backColorSet)
        return QStringLiteral("saved settings read back as top %1 left %2 text %3 back %4, "
                              "expected %5 %6 %7 %8")
            .arg(again.toolbarTop)
            .arg(again.toolbarLeft)
            .arg(again.textColor, 0, 16)
            .arg(again.backColor, 0, 16)
            .arg(top)
            .arg(left)
            .arg(text.value, 0, 16)
            .arg(back.value, 0, 16);
    return {};
}

// --------------------------------------------------------------- table file

QString tableFile(const QByteArray &input)
{
    TableLayout t;
    try {
        readTableText(decodeTableFile(input), t);
    } catch (const TagloomError &e) {
        if (e.text().isEmpty())
            return QStringLiteral("empty error message");
        return {};
    }
    if (t.gridRows < 1 || t.gridRows > TableLimits::kMaxGridRows || t.columns < 1
        || t.columns > TableLimits::kMaxColumns)
        return QStringLiteral("counts out of range: %1 x %2").arg(t.gridRows).arg(t.columns);
    if (t.borderWidth < 1 || t.borderWidth > TableLimits::kMaxBorder)
        return QStringLiteral("border out of range: %1").arg(t.borderWidth);
    if (t.rowTitleCount != qMax(1, t.gridRows - 1) || t.columnWidths.size() != t.columns)
        return QStringLiteral("row titles %1 / widths %2 do not match the counts")
            .arg(t.rowTitleCount)
            .arg(t.columnWidths.size());

    // What was read is saved and read back unchanged.
    const QStringList lines = tableFileLines(t);
    TableLayout back;
    try {
        readTableText(decodeTableFile(tableFileBytes(t)), back);
    } catch (const TagloomError &e) {
        return QStringLiteral("saved table does not read back: ") + shown(e.text());
    }
    const QStringList again = tableFileLines(back);
    if (again != lines) {
        for (int i = 0; i < qMin(lines.size(), again.size()); ++i)
            if (lines.at(i) != again.at(i))
                return QStringLiteral("saved table reads back differently at line %1: %2 -> %3")
                    .arg(i + 1)
                    .arg(shown(lines.at(i)), shown(again.at(i)));
        return QStringLiteral("saved table reads back with %1 lines instead of %2")
            .arg(again.size())
            .arg(lines.size());
    }
    return {};
}

// ----------------------------------------------------------------- decoder

QString decoder(const QByteArray &input)
{
    const DecodedText d = decodeText(input);
    const bool bom = input.startsWith("\xEF\xBB\xBF");
    const bool utf8 = isValidUtf8(input);
    const bool ascii =
        std::all_of(input.begin(), input.end(), [](char c) { return uchar(c) < 0x80; });
    const std::optional<TextEncoding> declared = declaredEncoding(input);
    if (declaredEncoding(input.left(1024)) != declared)
        return QStringLiteral("a declaration beyond the first 1,024 bytes counted");
    switch (d.encoding) {
    case TextEncoding::Windows1252:
        if (utf8 && !(ascii && declared == TextEncoding::Windows1252))
            return QStringLiteral("valid UTF-8 read as Windows-1252");
        if (d.text.size() != input.size())
            return QStringLiteral("Windows-1252 text has %1 characters for %2 bytes")
                .arg(d.text.size())
                .arg(input.size());
        break;
    case TextEncoding::Utf8Bom:
        if (!bom || !utf8)
            return QStringLiteral("read as UTF-8 with BOM");
        break;
    case TextEncoding::Utf8:
        if (bom || !utf8 || (ascii && declared))
            return QStringLiteral("read as UTF-8 without BOM");
        break;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom:
        if (!input.startsWith(d.encoding == TextEncoding::Utf16LeBom ? "\xFF\xFE" : "\xFE\xFF")
            || input.size() % 2)
            return QStringLiteral("read as UTF-16");
        break;
    case TextEncoding::Utf32LeBom:
    case TextEncoding::Utf32BeBom:
        if (!input.startsWith(byteOrderMark(d.encoding)) || input.size() % 4)
            return QStringLiteral("read as UTF-32");
        break;
    default:
        // Guessed: a page with no declaration, or Unicode told by its zero
        // bytes (which are valid UTF-8).
        if (d.guessed ? declared && !utf8 : d.encoding != declared || (utf8 && !ascii))
            return QStringLiteral("read as an undeclared charset %1").arg(int(d.encoding));
        break;
    }

    const QString text = normalizeLineBreaks(d.text);
    if (normalizeLineBreaks(text) != text)
        return QStringLiteral("normalising twice changes the text");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool loneCr =
            c == QLatin1Char('\r') && (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n'));
        const bool loneLf =
            c == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r'));
        if (loneCr || loneLf)
            return QStringLiteral("a lone break is left at %1").arg(i);
    }

    // Held as the editor holds it, with stand-ins for its marks, and saved
    // in its own encoding: the file comes back byte for byte when its breaks
    // were CR LF already.
    QString held = text;
    const MarkStandIns standIns = hideEditorMarks(held);
    for (const char16_t mark : {u'\u2029', u'\uFDD0', u'\uFDD1'})
        if (held.contains(QChar(mark)))
            return QStringLiteral("mark U+%1 left in the editor's text").arg(int(mark), 0, 16);
    const QByteArray saved = encodeText(held, d.encoding, standIns, d.kept);
    if (text == d.text && saved != input) {
        qsizetype i = 0;
        while (i < saved.size() && i < input.size() && saved.at(i) == input.at(i))
            ++i;
        return QStringLiteral("saved bytes differ at %1 (encoding %2): got %3, expected %4")
            .arg(i)
            .arg(int(d.encoding))
            .arg(shownBytes(saved.mid(qMax<qsizetype>(0, i - 8), 32)),
                 shownBytes(input.mid(qMax<qsizetype>(0, i - 8), 32)));
    }
    if (d.encoding == TextEncoding::Utf8 || d.encoding == TextEncoding::Utf8Bom
        || d.encoding == TextEncoding::Windows1252) {
        if (saved != crlfBytes(input))
            return QStringLiteral("saved bytes are not the input with CR LF breaks");
    }

    // Reopening the saved file finds the same encoding and text, unless the
    // longer breaks moved the declaration out of reach, or made an 8-bit file
    // that starts with the bytes of a UTF-16 BOM into whole UTF-16.
    const DecodedText reopened = decodeText(saved);
    auto utf16 = [](TextEncoding e) {
        return e == TextEncoding::Utf16LeBom || e == TextEncoding::Utf16BeBom;
    };
    // A guess may come out otherwise once the breaks are longer.
    if (declaredEncoding(saved) == declared && !d.guessed && !reopened.guessed
        && !(utf16(reopened.encoding) && !utf16(d.encoding))) {
        if (reopened.encoding != d.encoding)
            return QStringLiteral("reopened as encoding %1 instead of %2")
                .arg(int(reopened.encoding))
                .arg(int(d.encoding));
        if (reopened.text != text)
            return QStringLiteral("reopened text differs");
    }
    return {};
}

// -------------------------------------------------------------- file names

QString fileName(const QByteArray &input)
{
    const QString path = pathFromNative(input);
    if (nativePath(path) != input)
        return QStringLiteral("bytes changed on the way back: ") + shownBytes(nativePath(path));
    const QString valid = QString::fromUtf8(input);
    if (valid.toUtf8() == input && (path != valid || nativePath(path) != QFile::encodeName(valid)))
        return QStringLiteral("a UTF-8 name read otherwise than Qt reads it: ") + shown(path);
    const QString shownName = shownPath(path);
    if (shownName.size() != path.size() || nativePath(shownName) != shownName.toUtf8())
        return QStringLiteral("shown form keeps a byte: ") + shown(shownName);
    // Through a file: URL, as a drop and the command line bring it.
    const QString absolute = QLatin1Char('/') + path;
    const QString back = localPathOfUrl(urlOfLocalPath(absolute));
    if (back != absolute)
        return QStringLiteral("changed through a URL: ") + shown(back);
    return {};
}

// ---------------------------------------------------------------- sniffing

QString sniffing(const QByteArray &input)
{
    const std::optional<TextEncoding> declared = declaredEncoding(input);
    if (declaredEncoding(input.left(1024)) != declared)
        return QStringLiteral("a declaration beyond the first 1,024 bytes counted");
    // The first line taken as a label: the name of what it names reads the
    // same, in either case and with spaces around.
    const QByteArray label = input.left(input.indexOf('\n')).left(64);
    const CharsetLabel named = charsetForLabel(label.toLower());
    if (named.kind != charsetForLabel(" " + label.toLower() + "\t").kind)
        return QStringLiteral("spaces around a label count");
    if (named.kind == CharsetLabel::Known) {
        const QByteArray name = encodingName(named.encoding).toLatin1().toLower();
        if (charsetForLabel(name).encoding != named.encoding
            && charsetForLabel(name).kind == CharsetLabel::Known)
            return QStringLiteral("the name %1 names another encoding")
                .arg(QString::fromLatin1(name));
    }
    (void)unmarkedUnicode(input);
    (void)guessedEncoding(input);
    return {};
}

// --------------------------------------------------------------- roundtrip

QString roundTrip(const QByteArray &input)
{
    if (input.isEmpty())
        return {};
    const TextEncoding e = TextEncoding(uchar(input[0]) % (int(kLastEncoding) + 1));
    const QByteArray bytes = input.mid(1);
    // Bytes read in the encoding come back as they were.
    KeptForms kept;
    // Plain conversions: the editor's marks are editormarks.h's.
    auto write = [e](QStringView text, const KeptForms &forms) {
        QByteArray out = byteOrderMark(e);
        appendInCharset(text, e, forms, out);
        return out;
    };
    if (const std::optional<QString> text = decodeAs(bytes, e, &kept)) {
        if (write(*text, kept) != bytes)
            return QStringLiteral("%1: bytes read do not come back").arg(encodingName(e));
    }
    // A text the encoding holds whole is read back as itself.
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2);
    if (firstUnencodable(text, e) < 0 && !isStateful(e)) {
        const QByteArray written = write(text, KeptForms());
        const std::optional<QString> back = decodeAs(written, e);
        if (!back || *back != text)
            return QStringLiteral("%1: a text it holds does not read back").arg(encodingName(e));
    }
    return {};
}

} // namespace FuzzChecks
