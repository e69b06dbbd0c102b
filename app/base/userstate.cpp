#include "userstate.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
constexpr qint64 kMaxStateBytes = 1024 * 1024;

// The state file as QSettings may read it: one that is no plain file (a
// named pipe would hold the editor until something wrote to it), or that is
// far too large, is set aside first, at every use, as at start.
QString stateFile()
{
    UserState::setAsideOversize();
    return UserState::path();
}
} // namespace

QString UserState::path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
           + QStringLiteral("/state.ini");
}

bool UserState::setAsideOversize()
{
    // The state holds ten recent files and a few switches: a few KB. One
    // far larger (grown by another program, or not ours) would be read
    // again at every open and save; it is set aside, not read.
    const QString file = path();
    const QFileInfo info(file);
    if (!info.exists() || (info.isFile() && info.size() <= kMaxStateBytes))
        return false;
    const QString aside = file + QStringLiteral(".too-large");
    QFile::remove(aside);
    if (!QFile::rename(file, aside))
        QFile::remove(file);
    return true;
}

QVariant UserState::value(const char *key, const QVariant &otherwise)
{
    return QSettings(stateFile(), QSettings::IniFormat).value(QLatin1String(key), otherwise);
}

void UserState::setValue(const char *key, const QVariant &value)
{
    QSettings(stateFile(), QSettings::IniFormat).setValue(QLatin1String(key), value);
}
