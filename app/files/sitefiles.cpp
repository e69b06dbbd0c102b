#include "sitefiles.h"

#include <QFileInfo>

bool isLeftOutFolder(const QString &name)
{
    return name == QLatin1String("CVS") || name == QLatin1String("_darcs");
}

bool isSitePage(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("htm") || suffix == QLatin1String("html")
           || suffix == QLatin1String("xhtml") || suffix == QLatin1String("shtml");
}

bool isStylesheet(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("css"), Qt::CaseInsensitive) == 0;
}
