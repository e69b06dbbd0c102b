#include "localpathtourl.h"

namespace {
QString slashes(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return s;
}

// Start of the character that ends just before `i`: a character outside the
// BMP is two UTF-16 units and must never be cut in half.
qsizetype previousChar(const QString &s, qsizetype i)
{
    if (i >= 2 && s.at(i - 1).isLowSurrogate() && s.at(i - 2).isHighSurrogate())
        return i - 2;
    return i - 1;
}
} // namespace

QString LocalPathToUrl(const QString &text)
{
    const qsizetype p = text.indexOf(QLatin1Char('\\'));
    if (p < 0)
        return text;
    // The drive letter stands two characters before the backslash.
    const qsizetype before = p > 0 ? previousChar(text, p) : -1;
    const qsizetype drive = before > 0 ? previousChar(text, before) : -1;
    if (drive >= 0)
        return QStringLiteral("file:///") + text.mid(drive, before - drive) + QLatin1Char('|')
               + slashes(text.mid(p));
    if (p == 0 && text.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("file://") + slashes(text.mid(2));
    if (p == 0)
        return QStringLiteral("file://") + slashes(text);
    // A single character before the backslash: a relative path, no drive.
    return slashes(text);
}
