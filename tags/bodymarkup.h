#pragma once
// Colour texts and the rewrite of the line holding the BODY tag.
#include <QString>

// Two upper-case hexadecimal digits, high half first: 10 -> "0A".
QString hexByte(int value);
// "#" and six upper-case hexadecimal digits, red first: (16, 160, 240) -> "#10A0F0".
QString colorToHtml(int red, int green, int blue);

struct BodyAttributes {
    QString background; // already converted by LocalPathToUrl
    QString bgColor;
    QString textColor;
    QString linkColor;
};

// Position of the word BODY in the line, in any letter case; -1 when absent.
qsizetype bodyWordPos(const QString &line);

// The line with its BODY tag carrying the four attributes: the line up to
// and including the word BODY (in its own case), the attributes, ">", then
// everything after the line's first ">" (or the whole line when it has
// none). Old attributes between BODY and that ">" are dropped. A line
// without the word is returned unchanged.
QString RewriteBodyLine(const QString &line, const BodyAttributes &a);
