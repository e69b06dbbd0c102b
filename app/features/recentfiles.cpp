#include "recentfiles.h"
#include "actions.h"
#include "diskfile.h"
#include "errors.h"
#include "nativepath.h"
#include "uiseam.h"
#include "userstate.h"

#include <QFileInfo>
#include <QMenu>
#include <QUrl>

namespace {
constexpr int kRecentFiles = 10;
const char *const kRecentKey = "recentFiles";
} // namespace

RecentFiles::RecentFiles(ActionRegistry *actions, QObject *parent)
    : QObject(parent), m_menu(actions->menu(QLatin1String(ActionId::OpenRecent)))
{
    connect(m_menu, &QMenu::aboutToShow, this, &RecentFiles::rebuild);
    rebuild();
}

QStringList RecentFiles::files() const
{
    QStringList files = UserState::value(kRecentKey).toStringList().mid(0, kRecentFiles);
    for (QString &f : files)
        if (f.startsWith(QLatin1String("file:")))
            f = localPathOfUrl(QUrl(f));
    return files;
}

void RecentFiles::setFiles(const QStringList &files)
{
    // The state file holds text: a path whose name is not UTF-8 is kept as
    // a file: URL, its bytes escaped (a plain path always starts with "/").
    QStringList kept = files.mid(0, kRecentFiles);
    for (QString &f : kept)
        if (f != shownPath(f))
            f = urlOfLocalPath(f).toString(QUrl::FullyEncoded);
    UserState::setValue(kRecentKey, kept);
}

void RecentFiles::noteFileUsed(const QString &path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList list = files();
    // Saving the same page again changes nothing: no write (and no lock on
    // the user's settings) for every save.
    if (list.value(0) == full)
        return;
    list.removeAll(full);
    list.prepend(full);
    setFiles(list);
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
    m_menu->addSeparator();
    QAction *clear = m_menu->addAction(QStringLiteral("&Clear List"));
    clear->setObjectName(QStringLiteral("ClearRecent"));
    clear->setEnabled(!list.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { setFiles({}); });
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
