#include "listmarkup.h"
#include "editorbox.h"
#include "linesbelow.h"
#include "linkmarkup.h"

#include <QTextDocument>

namespace ListMarkup {

QStringList numberStyles()
{
    return {QStringLiteral("Numbered"), QStringLiteral("Lowercase Lettered"),
            QStringLiteral("Uppercase Lettered"), QStringLiteral("Uppercase Roman"),
            QStringLiteral("Lowercase Roman")};
}

Tags tags(bool ordered, const QString &numStyle)
{
    if (!ordered)
        return {QStringLiteral("<UL>       "), QStringLiteral("</UL>")};
    const QString close = QStringLiteral("</OL>");
    if (numStyle == QLatin1String("Lowercase Lettered"))
        return {QStringLiteral("<OL TYPE=a>"), close};
    if (numStyle == QLatin1String("Uppercase Lettered"))
        return {QStringLiteral("<OL TYPE=A>"), close};
    if (numStyle == QLatin1String("Uppercase Roman"))
        return {QStringLiteral("<OL TYPE=I>"), close};
    if (numStyle == QLatin1String("Lowercase Roman"))
        return {QStringLiteral("<OL TYPE=i>"), close};
    // "Numbered" and any typed name: a plain ordered list.
    return {QStringLiteral("<OL>       "), close};
}

QStringList lines(const Tags &tags, const QStringList &items)
{
    QStringList out;
    out.reserve(items.size() + 2);
    out << tags.open;
    for (const QString &item : items)
        out << QStringLiteral("<LI>") + item;
    out << tags.close;
    return out;
}

QString linkItem(const QString &prefix, const QString &location, const QString &text)
{
    const QString p = prefix == LinkMarkup::kDownloadable ? QString() : prefix;
    return QStringLiteral("<A HREF=\"") + p + location + QStringLiteral("\">") + text
        + QStringLiteral("</A>");
}

void writeBelowCaret(EditorBox *editor, const QStringList &listLines)
{
    if (listLines.isEmpty())
        return;
    writeLinesBelowCaret(editor, listLines, EmptyLastLine::Replaced);
}

} // namespace ListMarkup
