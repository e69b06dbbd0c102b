#include "sitefolder.h"

#include <QDir>
#include <QFileInfo>

void SiteFolder::setPath(const QString &folder)
{
    const QString p =
        folder.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (p == m_path)
        return;
    m_path = p;
    emit changed(m_path);
}

QString SiteFolder::pathOrAsk()
{
    if (m_path.isEmpty() && m_ask) {
        const QString chosen = m_ask();
        if (!chosen.isEmpty())
            setPath(chosen);
    }
    return m_path;
}
