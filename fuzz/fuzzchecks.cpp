#include "fuzzchecks.h"

#include "bodymarkup.h"
#include "charsetsniff.h"
#include "editorbox.h"
#include "editormarks.h"
#include "errors.h"
#include "linkmarkup.h"
#include "localpathtourl.h"
#include "markupscanner.h"
#include "markupstates.h"
#include "nativepath.h"
#include "settingsfile.h"
#include "tablefile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

namespace FuzzChecks {
namespace {

// A short printable form of a text for failure messages.
QString shown(const QString &s)
{
    QString out;
    for (const QChar c : s.left(200)) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\'))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (s.size() > 200)
        out += QStringLiteral("...(%1 chars)").arg(s.size());
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString shownBytes(const QByteArray &b)
{
    QString out = QString::fromLatin1(b.left(120).toHex(' '));
    if (b.size() > 120)
        out += QStringLiteral(" ...(%1 bytes)").arg(b.size());
    return out;
}

// The text a string target works on: UTF-8, or, when the first byte is
// 0xFF (never valid UTF-8), the rest as raw UTF-16 so that lone surrogates
// are tried too.
QString textOf(const QByteArray &input)
{
    if (!input.isEmpty() && uchar(input.at(0)) == 0xFF) {
        const qsizetype n = (input.size() - 1) / 2;
        QString s(n, Qt::Uninitialized);
        for (qsizetype i = 0; i < n; ++i)
            s[i] = QChar(char16_t(uchar(input.at(1 + 2 * i)) | uchar(input.at(2 + 2 * i)) << 8));
        return s;
    }
    return QString::fromUtf8(input);
}

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

// Reads small numbers and texts from the fuzz input; an exhausted input
// reads as zeros and empty texts.
class Reader {
public:
    explicit Reader(const QByteArray &b, qsizetype pos = 0) : m_b(b), m_pos(pos) {}
    bool atEnd() const { return m_pos >= m_b.size(); }
    int byte() { return atEnd() ? 0 : uchar(m_b.at(m_pos++)); }
    int number() { return byte() | byte() << 8; }
    QString text()
    {
        const int n = byte();
        const QByteArray part = m_b.mid(m_pos, n);
        m_pos += part.size();
        return QString::fromUtf8(part);
    }

private:
    const QByteArray &m_b;
    qsizetype m_pos;
};

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
        const bool loneCr = c == QLatin1Char('\r')
                            && (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n'));
        const bool loneLf = c == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r'));
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

// --------------------------------------------------------------- local path

QString localPath(const QByteArray &input)
{
    const QString in = textOf(input);
    const QString out = LocalPathToUrl(in);
    const qsizetype p = in.indexOf(QLatin1Char('\\'));
    if (p < 0) {
        if (out != in)
            return QStringLiteral("text without a backslash changed: ") + shown(out);
        return {};
    }
    if (out.contains(QLatin1Char('\\')))
        return QStringLiteral("backslash left in ") + shown(out);
    if (LocalPathToUrl(out) != out)
        return QStringLiteral("converting twice changes ") + shown(out);
    QString tail = in.mid(p);
    tail.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!out.endsWith(tail))
        return QStringLiteral("path after the first backslash lost: ") + shown(out);
    if (in.isValidUtf16() && !out.isValidUtf16())
        return QStringLiteral("a character was cut in half: ") + shown(in) + QStringLiteral(" -> ")
               + shown(out);
    // A drive letter (any single character) before the backslash.
    if (p >= 2 && !in.at(p - 2).isSurrogate() && !in.at(p - 1).isSurrogate()
        && out != QStringLiteral("file:///") + in.at(p - 2) + QLatin1Char('|') + tail)
        return QStringLiteral("drive path converted to ") + shown(out);
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

// -------------------------------------------------------------- target scan

namespace {
QStringList scanEveryLine(const QTextDocument *doc)
{
    QStringList names;
    QString name;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        if (LinkMarkup::targetInLine(b.text(), &name))
            names << name;
    return names;
}

QString checkLine(const QString &line)
{
    QString name = QStringLiteral("unset");
    const bool found = LinkMarkup::targetInLine(line, &name);
    const qsizetype p = line.indexOf(EditorBox::kAnchorNameOpen);
    if (found != (p >= 0))
        return QStringLiteral("anchor missed or invented in ") + shown(line);
    if (!found)
        return {};
    if (!name.isEmpty()) {
        // The name stands right after the opening, followed by the closing.
        const QString expected = EditorBox::kAnchorNameOpen + name + QStringLiteral("\"></A>");
        if (line.indexOf(expected) != p)
            return QStringLiteral("name %1 is not the text of the anchor in %2")
                .arg(shown(name), shown(line));
        if (name.contains(QStringLiteral("\"></A>")))
            return QStringLiteral("name runs past the first closing: ") + shown(name);
    }
    if (line.isValidUtf16() && !name.isValidUtf16())
        return QStringLiteral("name cut a character in half: ") + shown(name);
    return {};
}

QString compareScan(const EditorBox &ed, const char *when)
{
    const QStringList expected = scanEveryLine(ed.document());
    const QStringList got = LinkMarkup::scanTargets(&ed);
    if (got != expected)
        return QStringLiteral("scan after %1 found %2 targets, every line holds %3: %4 vs %5")
            .arg(QLatin1String(when))
            .arg(got.size())
            .arg(expected.size())
            .arg(shown(got.join(QLatin1Char('|'))), shown(expected.join(QLatin1Char('|'))));
    return {};
}

EditorBox &fuzzEditor()
{
    static std::unique_ptr<EditorBox> ed(new EditorBox);
    return *ed;
}
} // namespace

QString targetScan(const QByteArray &input)
{
    // The document text up to the first NUL byte, then the edits.
    qsizetype split = input.indexOf('\0');
    if (split < 0)
        split = input.size();
    const QString text = QString::fromUtf8(input.left(split));

    for (const QString &l : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const QString bad = checkLine(l);
        if (!bad.isEmpty())
            return bad;
    }

    EditorBox &ed = fuzzEditor();
    ed.loadText(normalizeLineBreaks(text));
    QString bad = compareScan(ed, "loading");
    if (!bad.isEmpty())
        return bad;

    Reader in(input, split + 1);
    for (int step = 0; step < 64 && !in.atEnd(); ++step) {
        QTextDocument *doc = ed.document();
        const int blocks = doc->blockCount();
        switch (in.byte() % 9) {
        case 0: { // typing or pasting at a place
            const int line = in.number() % blocks;
            ed.setCaret(line, in.byte());
            ed.setSelText(in.text());
            break;
        }
        case 1: { // replacing a selection
            const int chars = doc->characterCount();
            QTextCursor c(doc);
            c.setPosition(in.number() % chars);
            c.setPosition(in.number() % chars, QTextCursor::KeepAnchor);
            ed.setTextCursor(c);
            ed.setSelText(in.text());
            break;
        }
        case 2:
            ed.replaceLine(in.number() % blocks, in.text());
            break;
        case 3:
            ed.insertLine(in.number() % (blocks + 1), in.text());
            break;
        case 4:
            ed.deleteLine(in.number() % blocks);
            break;
        case 5:
            ed.undo();
            break;
        case 6:
            ed.redo();
            break;
        case 7: { // a command's several edits as one undo step
            UndoStep undo(&ed);
            ed.insertLine(in.number() % (blocks + 1), in.text());
            ed.replaceLine(in.number() % doc->blockCount(), in.text());
            break;
        }
        case 8:
            bad = compareScan(ed, "an edit");
            if (!bad.isEmpty())
                return bad;
            break;
        }
    }
    return compareScan(ed, "the edits");
}

// ---------------------------------------------------------------- BODY line

QString bodyLine(const QByteArray &input)
{
    const QStringList parts = textOf(input).split(QChar(1));
    const QString line = parts.at(0);
    BodyAttributes a;
    a.background = parts.value(1);
    a.bgColor = parts.value(2);
    a.textColor = parts.value(3);
    a.linkColor = parts.value(4);

    const qsizetype p = bodyWordPos(line);
    const QString out = RewriteBodyLine(line, a);
    // The word is found as in the upper-case form of the line.
    const QString upper = line.toUpper();
    if (upper.size() == line.size() && upper.indexOf(QLatin1String("BODY")) != p)
        return QStringLiteral("BODY found at %1, upper case has it at %2 in %3")
            .arg(p)
            .arg(upper.indexOf(QLatin1String("BODY")))
            .arg(shown(line));
    if (p < 0)
        return out == line ? QString() : QStringLiteral("line without BODY changed: ") + shown(out);
    if (line.mid(p, 4).compare(QLatin1String("BODY"), Qt::CaseInsensitive) != 0)
        return QStringLiteral("BODY position %1 wrong in %2").arg(p).arg(shown(line));

    const QString attrs = QStringLiteral(" BACKGROUND=\"") + a.background
                          + QStringLiteral("\" BGCOLOR=\"") + a.bgColor
                          + QStringLiteral("\" TEXT=\"") + a.textColor
                          + QStringLiteral("\" LINK=\"") + a.linkColor + QStringLiteral("\">");
    const qsizetype gt = line.indexOf(QLatin1Char('>'));
    const QString rest = gt < 0 ? line : line.mid(gt + 1);
    if (out != line.left(p + 4) + attrs + rest)
        return QStringLiteral("rewrite of %1 gave %2").arg(shown(line), shown(out));
    if (line.isValidUtf16() && a.background.isValidUtf16() && a.bgColor.isValidUtf16()
        && a.textColor.isValidUtf16() && a.linkColor.isValidUtf16() && !out.isValidUtf16())
        return QStringLiteral("rewrite cut a character in half: ") + shown(out);
    // Rewriting again with the same values changes nothing when the tag
    // stood first (no ">" before BODY and the values hold no ">").
    if (gt > p && !attrs.left(attrs.size() - 1).contains(QLatin1Char('>'))
        && RewriteBodyLine(out, a) != out)
        return QStringLiteral("second rewrite of %1 differs").arg(shown(out));
    return {};
}

// ---------------------------------------------------------------- the table

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
            return QStringLiteral("the name %1 names another encoding").arg(QString::fromLatin1(name));
    }
    (void)unmarkedUnicode(input);
    (void)guessedEncoding(input);
    return {};
}

// -------------------------------------------------------------- markupscan

namespace {
// The kind of the innermost token over each character, -1 for none.
void classify(QStringView text, Markup::State start, QList<int> &kinds, qsizetype at, QString *bad)
{
    Markup::State end;
    const QList<Markup::Token> tokens = Markup::tokens(text, start, &end);
    if (end != Markup::scan(text, start))
        *bad = QStringLiteral("end states differ with and without tokens in ")
               + shown(text.toString());
    if (Markup::State::unpack(end.pack()) != end)
        *bad = QStringLiteral("a state does not survive packing");
    int holderEnd = 0, last = 0;
    for (const Markup::Token &t : tokens) {
        if (t.length <= 0 || t.start < last || t.end() > text.size())
            *bad = QStringLiteral("token out of order or bounds in ") + shown(text.toString());
        if (t.kind == Markup::TokenKind::Reference) {
            if (t.end() > holderEnd)
                *bad = QStringLiteral("reference outside its holder in ") + shown(text.toString());
        } else {
            if (t.start < holderEnd)
                *bad = QStringLiteral("tokens overlap in ") + shown(text.toString());
            holderEnd = t.end();
        }
        last = t.start;
        for (int k = t.start; k < t.end(); ++k)
            kinds[at + k] = int(t.kind);
    }
}

// Every line's start state, read afresh.
QList<int> freshStates(const QTextDocument &doc)
{
    QList<int> out;
    Markup::State s;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        out << s.pack();
        s = Markup::scan(b.text(), s);
    }
    return out;
}

QString compareStates(QTextDocument &doc, const char *when)
{
    MarkupStates *states = MarkupStates::of(&doc);
    if (!states->advance(doc.blockCount(), std::numeric_limits<qint64>::max()))
        return QStringLiteral("states not worked out after ") + QLatin1String(when);
    const QList<int> fresh = freshStates(doc);
    for (int n = 0; n < fresh.size(); ++n)
        if (states->startState(n).pack() != fresh[n])
            return QStringLiteral("line %1's kept start state is not its own after %2")
                .arg(n)
                .arg(QLatin1String(when));
    return {};
}
} // namespace

QString markupScan(const QByteArray &input)
{
    qsizetype split = input.indexOf('\0');
    if (split < 0)
        split = input.size();
    const QString text = QString::fromUtf8(input.left(split));
    // Read line by line from carried states, and whole as the editor hands
    // out pieces (its lines joined by U+2029): the same reading.
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QString whole = lines.join(QChar(0x2029));
    QList<int> byLine(whole.size(), -1), byWhole(whole.size(), -1);
    QString bad;
    Markup::State s;
    qsizetype at = 0;
    for (const QString &line : lines) {
        classify(line, s, byLine, at, &bad);
        s = Markup::scan(line, s);
        at += line.size() + 1;
    }
    classify(whole, Markup::State(), byWhole, 0, &bad);
    for (qsizetype join = -1, k = 0; k + 1 < lines.size(); ++k) {
        join += lines[k].size() + 1;
        byLine[join] = byWhole[join]; // a line break is read only whole
    }
    if (!bad.isEmpty())
        return bad;
    if (Markup::scan(whole, Markup::State()) != s)
        return QStringLiteral("a page read whole ends elsewhere than read by lines");
    for (qsizetype i = 0; i < whole.size(); ++i)
        if (byLine[i] != byWhole[i])
            return QStringLiteral("character %1 read as %2 by lines, %3 whole in %4")
                .arg(i)
                .arg(byLine[i])
                .arg(byWhole[i])
                .arg(shown(whole));

    // The document's kept states through edits, each read as far as a
    // reader asks first.
    QTextDocument doc;
    doc.documentLayout(); // laid out, as shown: each change tells its place
    doc.setPlainText(text);
    QString wrong = compareStates(doc, "loading");
    Reader in(input, split + 1);
    for (int step = 0; step < 32 && wrong.isEmpty() && !in.atEnd(); ++step) {
        const int chars = doc.characterCount();
        QTextCursor c(&doc);
        c.setPosition(in.number() % chars);
        switch (in.byte() % 3) {
        case 0:
            c.insertText(in.text());
            break;
        case 1:
            c.setPosition(std::min(c.position() + in.byte(), chars - 1), QTextCursor::KeepAnchor);
            c.removeSelectedText();
            break;
        default:
            doc.undo();
            break;
        }
        MarkupStates::of(&doc)->advance(in.byte() % (doc.blockCount() + 1), 0);
        wrong = compareStates(doc, "an edit");
    }
    return wrong;
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
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                            bytes.size() / 2);
    if (firstUnencodable(text, e) < 0 && !isStateful(e)) {
        const QByteArray written = write(text, KeptForms());
        const std::optional<QString> back = decodeAs(written, e);
        if (!back || *back != text)
            return QStringLiteral("%1: a text it holds does not read back").arg(encodingName(e));
    }
    return {};
}

namespace {
const Target kTargets[] = {
    {"settings", &settings, false},    {"tablefile", &tableFile, false},
    {"decoder", &decoder, false},      {"localpath", &localPath, false},
    {"targetscan", &targetScan, true}, {"bodyline", &bodyLine, false},
    {"filename", &fileName, false},    {"sniffing", &sniffing, false},
    {"roundtrip", &roundTrip, false},  {"markupscan", &markupScan, true},
};
} // namespace

const Target *targets() { return kTargets; }
int targetCount() { return int(std::size(kTargets)); }

const Target *findTarget(const char *name)
{
    for (const Target &t : kTargets)
        if (qstrcmp(t.name, name) == 0)
            return &t;
    return nullptr;
}

} // namespace FuzzChecks
