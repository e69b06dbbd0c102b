#include "editormarks.h"

namespace {
constexpr char16_t kMarks[3] = {0x2029, 0xFDD0, 0xFDD1};

// The mark a stand-in stands for, or 0.
inline char16_t markFor(char32_t c, const MarkStandIns &s)
{
    for (int k = 0; k < 3; ++k)
        if (s.chars[k] == c)
            return kMarks[k];
    return 0;
}

// Writes text to o with every lone CR and lone LF as CR LF; returns the
// end. o needs room for twice the text at most.
QChar *writeNormalized(QStringView text, QChar *o)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            *o++ = QLatin1Char('\r');
            *o++ = QLatin1Char('\n');
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            *o++ = c;
        }
    }
    return o;
}

QString standInText(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}
} // namespace

void lookForMarks(QStringView text, MarksSeen &seen)
{
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] < 0x80)
            continue;
        if (seen.used.empty())
            seen.used.assign(0x110000 / 64, 0);
        int units;
        const char32_t c = codePointAt(d, n, i, units);
        i += units - 1;
        seen.used[c >> 6] |= quint64(1) << (c & 63);
        seen.marks = seen.marks || c == kMarks[0] || c == kMarks[1] || c == kMarks[2];
    }
}

MarkStandIns chooseStandIns(const MarksSeen &seen)
{
    MarkStandIns s;
    if (!seen.marks)
        return s;
    int found = 0;
    auto take = [&](char32_t c) {
        if (found == 3 || seen.holds(c) || QChar::isSurrogate(c) || c == kMarks[0]
            || c == kMarks[1] || c == kMarks[2] || c == QChar::ObjectReplacementCharacter
            || c == QChar::LineSeparator)
            return;
        for (int k = 0; k < found; ++k)
            if (s.chars[k] == c)
                return;
        s.chars[found++] = c;
    };
    for (char32_t c = 0xFDD2; c <= 0xFDEF && found < 3; ++c)
        take(c);
    take(0xFFFE);
    take(0xFFFF);
    for (char32_t c = 0xE000; c <= 0xF8FF && found < 3; ++c)
        take(c);
    for (char32_t c = 0x80; c <= 0x10FFFF && found < 3; ++c)
        take(c);
    if (found < 3)
        return MarkStandIns(); // no room: the marks stay
    return s;
}

void replaceMarks(QString &text, const MarkStandIns &s)
{
    if (!s.inUse())
        return;
    for (int k = 0; k < 3; ++k)
        if (text.contains(QChar(kMarks[k])))
            text.replace(QChar(kMarks[k]), standInText(s.chars[k]));
}

void appendNormalized(QStringView text, QString &out)
{
    const qsizetype at = out.size();
    out.resize(at + 2 * text.size());
    const QChar *end = writeNormalized(text, out.data() + at);
    out.resize(end - out.constData());
}

void appendEncoded(QStringView text, TextEncoding encoding, const MarkStandIns &standIns,
                   QByteArray &out, const KeptForms &kept)
{
    // Runs between the editor's separators and stand-ins go out as they are.
    const qsizetype n = text.size();
    const char16_t *d = text.utf16();
    const bool any = standIns.inUse();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        if (c < 0x2029)
            continue;
        int units = 1;
        const char32_t code = any ? codePointAt(d, n, i, units) : c;
        const char16_t mark = any ? markFor(code, standIns) : 0;
        if (!mark && c != QChar::ParagraphSeparator) {
            i += units - 1;
            continue;
        }
        appendInCharset(text.sliced(from, i - from), encoding, kept, out);
        appendInCharset(mark ? QStringView(&mark, 1) : QStringView(u"\r\n"), encoding, out);
        i += units - 1;
        from = i + 1;
    }
    appendInCharset(text.sliced(from), encoding, kept, out);
}

QString normalizeLineBreaks(const QString &text)
{
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    // Count the breaks that need a character added, so the result is
    // allocated once; most files need none and are returned as they are.
    qsizetype grow = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] == QLatin1Char('\r')) {
            if (i + 1 < n && d[i + 1] == QLatin1Char('\n'))
                ++i;
            else
                ++grow;
        } else if (d[i] == QLatin1Char('\n')) {
            ++grow;
        }
    }
    if (grow == 0)
        return text;
    QString out(n + grow, Qt::Uninitialized);
    writeNormalized(text, out.data());
    return out;
}

MarkStandIns hideEditorMarks(QString &text)
{
    MarksSeen seen;
    lookForMarks(text, seen);
    const MarkStandIns s = chooseStandIns(seen);
    replaceMarks(text, s);
    return s;
}

QByteArray encodeText(const QString &text, TextEncoding encoding, const MarkStandIns &standIns,
                      const KeptForms &kept)
{
    QByteArray out = byteOrderMark(encoding);
    appendEncoded(text, encoding, standIns, out, kept);
    return out;
}
