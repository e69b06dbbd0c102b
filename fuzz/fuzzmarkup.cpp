// The checks of the markup the editor reads and writes: paths typed into its
// dialogs, the link targets it finds through edits, the BODY line, and the
// markup scanner with a document's kept line states.
#include "fuzzchecks.h"
#include "fuzzsupport.h"

#include "bodymarkup.h"
#include "editorbox.h"
#include "editormarks.h"
#include "linkmarkup.h"
#include "localpathtourl.h"
#include "markupscanner.h"
#include "markupstates.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>
#include <memory>

namespace FuzzChecks {
namespace {

// The targets that edit a document: its text is the input up to the first
// NUL byte (UTF-8), the edits are read from the byte after it.
struct TextThenEdits {
    QString text;
    qsizetype edits;
};
TextThenEdits textThenEdits(const QByteArray &input)
{
    qsizetype split = input.indexOf('\0');
    if (split < 0)
        split = input.size();
    return {QString::fromUtf8(input.left(split)), split + 1};
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
} // namespace

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
    const auto [text, edits] = textThenEdits(input);

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

    Reader in(input, edits);
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
    const auto [text, edits] = textThenEdits(input);
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
    Reader in(input, edits);
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

} // namespace FuzzChecks
