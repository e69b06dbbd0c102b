#include "hrmarkup.h"

QString HorizRuleTag(int width, bool percent, int size, const QString &align, bool shaded)
{
    QString tag = QStringLiteral("<HR WIDTH=") + QString::number(width);
    if (percent)
        tag += QLatin1Char('%');
    tag += QStringLiteral(" SIZE=") + QString::number(size);
    if (!align.isEmpty())
        tag += QStringLiteral(" ALIGN=") + align;
    if (!shaded)
        tag += QStringLiteral(" NOSHADE");
    return tag + QLatin1Char('>');
}
