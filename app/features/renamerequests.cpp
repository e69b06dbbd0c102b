#include "renamerequests.h"
#include "errors.h"
#include "uiseam.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool isInside(const QString &path, const QString &folder)
{
    return path.startsWith(folder + QLatin1Char('/'));
}
} // namespace

void RenameRequests::askRename(const QString &path)
{
    const QFileInfo from(path);
    const QString name =
        ui().inputBox(QStringLiteral("Rename"),
                      QStringLiteral("New name for %1:").arg(from.fileName()), from.fileName())
            .trimmed();
    if (name.isEmpty() || name == from.fileName())
        return;
    if (name.contains(QLatin1Char('/')) || name == QLatin1String("..")
        || name == QLatin1String("."))
        throw TagloomError(QStringLiteral("\"%1\" is not a name for a file or folder").arg(name));
    request(path, from.absolutePath() + QLatin1Char('/') + name);
}

void RenameRequests::askMove(const QString &path)
{
    const QFileInfo from(path);
    const QString folder = ui().chooseFolder(QStringLiteral("Move To"), from.absolutePath());
    if (folder.isEmpty() || QDir::cleanPath(folder) == from.absolutePath())
        return;
    request(path, QDir::cleanPath(folder) + QLatin1Char('/') + from.fileName());
}

void RenameRequests::request(const QString &from, const QString &to)
{
    const QString source = QDir::cleanPath(QFileInfo(from).absoluteFilePath());
    const QString target = QDir::cleanPath(QFileInfo(to).absoluteFilePath());
    // exists() follows links: a link pointing nowhere is still a name taken.
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        throw TagloomError(QStringLiteral("%1 already exists").arg(target));
    if (isInside(target, source))
        throw TagloomError(QStringLiteral("%1 cannot be moved into itself").arg(source));
    emit renameRequested(source, target);
}
