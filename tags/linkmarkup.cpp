#include "linkmarkup.h"

#include <QTextBlock>
#include <QTextDocument>

namespace LinkMarkup {

QString link(const QString &protocol, const QString &address, const QString &description,
             const QString &target, const QString &selected)
{
    const QString tail = QStringLiteral("\">") + description + QStringLiteral(" </A>");
    if (protocol == kDownloadable)
        return QStringLiteral("<A HREF=\"") + address + tail;
    if (protocol == kTarget)
        return QStringLiteral("<A HREF=\"#") + target + tail;
    return QStringLiteral("<A HREF=\"") + protocol + address + tail + selected;
}

QString target(const QString &name)
{
    return QStringLiteral("<A NAME=\"") + name + QStringLiteral("\"></A>");
}

bool targetInLine(QStringView line, QString *name)
{
    static constexpr QStringView open = u"<A NAME=\"";
    static constexpr QStringView close = u"\"></A>";
    const qsizetype p = line.indexOf(open);
    if (p < 0)
        return false;
    // The closing text is looked for from the start of the line, so one
    // that stands before the anchor gives an empty name.
    const qsizetype start = p + open.size();
    const qsizetype q = line.indexOf(close);
    *name = q > start ? line.mid(start, q - start).toString() : QString();
    return true;
}

QStringList scanTargets(const QTextDocument *doc)
{
    QStringList names;
    QString name;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (targetInLine(b.text(), &name))
            names << name;
    }
    return names;
}

} // namespace LinkMarkup
