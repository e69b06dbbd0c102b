#include "recentfiles.h"
#include "actions.h"
#include "diskfile.h"
#include "errors.h"
#include "nativepath.h"
#include "uiseam.h"
#include "userstate.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

namespace {
constexpr int kRecentFiles = 10;
constexpr int kRecentFolders = 5;
const char *const kRecentKey = "recentFiles";
const char *const kRecentFoldersKey = "recentFolders";

// The state file holds text: a path whose name is not UTF-8 is kept as a
// file: URL, its bytes escaped (a plain path always starts with "/").
QStringList readPaths(const char *key, int most)
{
    QStringList paths = UserState::value(key).toStringList().mid(0, most);
    for (QString &f : paths)
        if (f.startsWith(QLatin1String("file:")))
            f = localPathOfUrl(QUrl(f));
    return paths;
}

void writePaths(const char *key, const QStringList &paths, int most)
{
    QStringList kept = paths.mid(0, most);
    for (QString &f : kept)
        if (f != shownPath(f))
            f = urlOfLocalPath(f).toString(QUrl::FullyEncoded);
    UserState::setValue(key, kept);
}

// `path` moved to the top of `list`; false when it is there already.
bool putFirst(QStringList &list, const QString &path)
{
    if (list.value(0) == path)
        return false;
    list.removeAll(path);
    list.prepend(path);
    return true;
}
} // namespace

RecentFiles::RecentFiles(ActionRegistry *actions, QObject *parent)
    : QObject(parent), m_menu(actions->menu(QLatin1String(ActionId::OpenRecent)))
{
    connect(m_menu, &QMenu::aboutToShow, this, &RecentFiles::rebuild);
    rebuild();
}

QStringList RecentFiles::files() const { return readPaths(kRecentKey, kRecentFiles); }

void RecentFiles::setFiles(const QStringList &files)
{
    writePaths(kRecentKey, files, kRecentFiles);
}

QStringList RecentFiles::folders() const { return readPaths(kRecentFoldersKey, kRecentFolders); }

void RecentFiles::setFolders(const QStringList &folders)
{
    writePaths(kRecentFoldersKey, folders, kRecentFolders);
}

void RecentFiles::noteFileUsed(const QString &path)
{
    QStringList list = files();
    // Saving the same page again changes nothing: no write (and no lock on
    // the user's settings) for every save.
    if (putFirst(list, QFileInfo(path).absoluteFilePath()))
        setFiles(list);
}

void RecentFiles::noteFolderUsed(const QString &path)
{
    QStringList list = folders();
    if (putFirst(list, QDir::cleanPath(QFileInfo(path).absoluteFilePath())))
        setFolders(list);
}

void RecentFiles::rebuild()
{
    m_menu->clear();
    const QStringList list = files();
    for (int i = 0; i < list.size(); ++i) {
        // Access keys 1..9, then 0 for the tenth.
        const QString key = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QString shown = list.at(i);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *a = m_menu->addAction(key + QLatin1Char(' ') + shown);
        const QString path = list.at(i);
        connect(a, &QAction::triggered, this, guarded([this, path] { open(path); }));
    }
    // The folders after the files, behind a separator of their own, with a
    // "/" at the end of each to tell them from files.
    const QStringList dirs = folders();
    if (!dirs.isEmpty())
        m_menu->addSeparator();
    for (const QString &path : dirs) {
        QString shown = path;
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *a = m_menu->addAction(shown + QLatin1Char('/'));
        connect(a, &QAction::triggered, this, guarded([this, path] { openFolder(path); }));
    }
    m_menu->addSeparator();
    QAction *clear = m_menu->addAction(QStringLiteral("&Clear List"));
    clear->setObjectName(QStringLiteral("ClearRecent"));
    clear->setEnabled(!list.isEmpty() || !dirs.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        setFiles({});
        setFolders({});
    });
}

void RecentFiles::open(const QString &path)
{
    if (!fileStamp(path).regular) {
        QStringList list = files();
        list.removeAll(path);
        setFiles(list);
        throw TagloomError(Errors::cannotOpen(path));
    }
    emit openRequested(path);
}

void RecentFiles::openFolder(const QString &path)
{
    if (!QFileInfo(path).isDir()) {
        QStringList list = folders();
        list.removeAll(path);
        setFolders(list);
        throw TagloomError(QStringLiteral("Cannot open folder %1").arg(path));
    }
    emit folderRequested(path);
}
