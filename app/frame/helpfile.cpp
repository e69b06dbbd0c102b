#include "helpfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

QString helpFilePath()
{
    static const QString path = [] {
        const QString dir = QCoreApplication::applicationDirPath();
        const QStringList candidates = {
            dir + QStringLiteral("/help/tagloom-help.html"),
            dir + QStringLiteral("/../help/tagloom-help.html"),
            dir + QStringLiteral("/../share/tagloom-html/help/tagloom-help.html"),
        };
        for (const QString &c : candidates)
            if (QFileInfo::exists(c))
                return QFileInfo(c).absoluteFilePath();
        return QFileInfo(candidates.first()).absoluteFilePath();
    }();
    return path;
}
