#include "linkmarkup.h"

#include "editorbox.h"

namespace LinkMarkup {

namespace {
// An address between the double quotes of HREF: a '"' (which would end the
// attribute) as "%22", which reads back as the same address.
QString addressInQuotes(const QString &address)
{
    QString out = address;
    return out.replace(QLatin1Char('"'), QLatin1String("%22"));
}
} // namespace

QString link(const QString &protocol, const QString &address, const QString &description,
             const QString &target, const QString &selected)
{
    // The address, the target's name and a typed protocol are one address,
    // whose '"' would end the attribute; the description is markup, as typed.
    const QString tail = QStringLiteral("\">") + description + QStringLiteral(" </A>");
    if (protocol == kDownloadable)
        return QStringLiteral("<A HREF=\"") + addressInQuotes(address) + tail;
    if (protocol == kTarget)
        return QStringLiteral("<A HREF=\"#") + addressInQuotes(target) + tail;
    return QStringLiteral("<A HREF=\"") + addressInQuotes(protocol + address) + tail + selected;
}

QString target(const QString &name)
{
    return QStringLiteral("<A NAME=\"") + name + QStringLiteral("\"></A>");
}

namespace {
constexpr QStringView kOpen = u"<A NAME=\"";
constexpr QStringView kClose = u"\"></A>";
} // namespace

bool targetInLine(QStringView line, QString *name)
{
    const qsizetype p = line.indexOf(kOpen);
    if (p < 0)
        return false;
    // The closing text is looked for from the start of the line, so one
    // that stands before the anchor gives an empty name.
    const qsizetype start = p + kOpen.size();
    const qsizetype q = line.indexOf(kClose);
    *name = q > start ? line.mid(start, q - start).toString() : QString();
    return true;
}

QStringList scanTargets(const EditorBox *editor)
{
    QStringList names;
    QString name;
    for (const QString &line : editor->linesHoldingAnchorName())
        if (targetInLine(line, &name))
            names << name;
    return names;
}

} // namespace LinkMarkup
