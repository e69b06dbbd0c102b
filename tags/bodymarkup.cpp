#include "bodymarkup.h"

QString hexByte(int value)
{
    static const char digits[] = "0123456789ABCDEF";
    const int b = value & 0xFF;
    return QString(QLatin1Char(digits[b >> 4])) + QLatin1Char(digits[b & 0xF]);
}

QString colorToHtml(int red, int green, int blue)
{
    return QLatin1Char('#') + hexByte(red) + hexByte(green) + hexByte(blue);
}

qsizetype bodyWordPos(const QString &line)
{
    // Searched in the line itself, not in an upper-cased copy: upper-casing
    // can change the length of a line (German sharp s), which would shift the
    // cut and damage the text before the tag.
    return line.indexOf(QLatin1String("BODY"), 0, Qt::CaseInsensitive);
}

QString RewriteBodyLine(const QString &line, const BodyAttributes &a)
{
    const qsizetype p = bodyWordPos(line);
    if (p < 0)
        return line;
    const qsizetype gt = line.indexOf(QLatin1Char('>'));
    const QString rest = gt < 0 ? line : line.mid(gt + 1);
    return line.left(p + 4) + QStringLiteral(" BACKGROUND=\"") + a.background
           + QStringLiteral("\" BGCOLOR=\"") + a.bgColor + QStringLiteral("\" TEXT=\"")
           + a.textColor + QStringLiteral("\" LINK=\"") + a.linkColor + QStringLiteral("\">")
           + rest;
}
