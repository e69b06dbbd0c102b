#include "localpathtourl.h"

namespace {
QString slashes(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return s;
}
} // namespace

QString LocalPathToUrl(const QString &text)
{
    const qsizetype p = text.indexOf(QLatin1Char('\\'));
    if (p < 0)
        return text;
    if (p >= 2)
        return QStringLiteral("file:///") + text.at(p - 2) + QLatin1Char('|')
               + slashes(text.mid(p));
    if (p == 0 && text.startsWith(QLatin1String("\\\\")))
        return QStringLiteral("file://") + slashes(text.mid(2));
    if (p == 0)
        return QStringLiteral("file://") + slashes(text);
    // A single character before the backslash: a relative path, no drive.
    return slashes(text);
}
