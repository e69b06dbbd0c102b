#include "imagemarkup.h"

QString ImageMarkup(const ImageFields &f)
{
    if (f.location.isEmpty())
        return {};
    const QString img = QStringLiteral("<IMG SRC=\"") + f.location + QLatin1Char('"');
    // The linked form with an ALT text always names the alignment, with a
    // space before it; the other forms name it only when it is not "Left",
    // directly after the closing quote.
    const QString alignPart = f.align == QLatin1String("Left")
                                  ? QString()
                                  : QStringLiteral("ALIGN=") + f.align;
    const QString alt = QStringLiteral(" ALT=\"") + f.textOnly + QLatin1Char('"');
    if (!f.documentLink.isEmpty()) {
        const QString open = QStringLiteral("<A HREF=\"") + f.documentLink + QStringLiteral("\">");
        if (!f.textOnly.isEmpty())
            return open + img + alt + QStringLiteral(" ALIGN=") + f.align + QLatin1Char('>')
                   + f.description + QStringLiteral("</A>");
        return open + img + alignPart + QLatin1Char('>') + f.description + QStringLiteral("</A>");
    }
    if (!f.textOnly.isEmpty())
        return img + alt + alignPart + QLatin1Char('>');
    return img + alignPart + QLatin1Char('>');
}
