#include "foldercommands.h"
#include "actions.h"
#include "document.h"
#include "documenttable.h"
#include "editorbox.h"
#include "folderpane.h"
#include "htmldoc.h"
#include "keyboardreturn.h"
#include "recentfiles.h"
#include "renamerequests.h"
#include "sitefolder.h"
#include "uiseam.h"
#include "userstate.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMdiArea>
#include <QUrl>

#include <utility>

namespace {
const char *const kFolderKey = "folder/open";
const char *const kPaneKey = "folder/pane";
const char *const kFilterKey = "folder/filter";

// Files that are no text to edit: shown by the desktop's own program.
bool opensElsewhere(const QString &path)
{
    static const QStringList kSuffixes = {
        QStringLiteral("png"),  QStringLiteral("jpg"),  QStringLiteral("jpeg"),
        QStringLiteral("gif"),  QStringLiteral("webp"), QStringLiteral("avif"),
        QStringLiteral("bmp"),  QStringLiteral("ico"),  QStringLiteral("tif"),
        QStringLiteral("tiff"), QStringLiteral("pdf"),  QStringLiteral("zip"),
        QStringLiteral("gz"),   QStringLiteral("woff"), QStringLiteral("woff2"),
        QStringLiteral("ttf"),  QStringLiteral("otf"),  QStringLiteral("mp3"),
        QStringLiteral("mp4"),  QStringLiteral("webm"), QStringLiteral("ogg"),
    };
    return kSuffixes.contains(QFileInfo(path).suffix().toLower());
}
} // namespace

FolderCommands::FolderCommands(ActionRegistry *actions, SiteFolder *site, RecentFiles *recent,
                               DocumentTable *docs, QMdiArea *area, QMainWindow *window,
                               QObject *parent)
    : QObject(parent), m_site(site), m_recent(recent), m_docs(docs), m_area(area),
      m_pane(new FolderPane(window)), m_renames(new RenameRequests(this))
{
    // A pane closed while it has the keyboard gives it to the document in use.
    new KeepKeyboardOnHide(m_pane);
    window->addDockWidget(Qt::LeftDockWidgetArea, m_pane);
    // Narrow: the window is small, and names are short.
    window->resizeDocks({m_pane}, {180}, Qt::Horizontal);
    m_pane->hide();
    m_pane->setFilterText(UserState::value(kFilterKey).toString());
    site->setAsker([this] { return askFolder(); });

    using namespace ActionId;
    ActionRow view = itemRow(ViewMenu, "ViewFolder", QStringLiteral("&Folder"));
    view.existing = m_pane->toggleViewAction();
    actions->add({separatorRow(FileMenu),
                  itemRow(FileMenu, "FileOpenFolder", QStringLiteral("Open &Folder..."),
                          [this] { OpenFolderClick(); }),
                  itemRow(FileMenu, "FileCloseFolder", QStringLiteral("Close Fol&der"),
                          [this] { m_site->setPath({}); }),
                  view},
                 this);

    // Shown or hidden by the user: the menu row, the pane's own close box
    // (not the pane going with the window).
    connect(m_pane->toggleViewAction(), &QAction::triggered, this,
            [](bool on) { UserState::setValue(kPaneKey, on); });
    connect(m_pane, &FolderPane::closedByUser, this, [] { UserState::setValue(kPaneKey, false); });
    connect(m_pane, &FolderPane::filterChanged, this,
            [](const QString &text) { UserState::setValue(kFilterKey, text); });
    connect(m_pane, &FolderPane::fileChosen, this,
            [this](const QString &path) { runGuarded([&] { openFile(path); }); });
    connect(m_pane, &FolderPane::openFolderAsked, this, guarded([this] { OpenFolderClick(); }));
    connect(m_pane, &FolderPane::closeFolderAsked, this, [this] { m_site->setPath({}); });
    connect(m_pane, &FolderPane::renameAsked, this,
            [this](const QString &path) { runGuarded([&] { m_renames->askRename(path); }); });
    connect(m_pane, &FolderPane::moveAsked, this,
            [this](const QString &path) { runGuarded([&] { m_renames->askMove(path); }); });
    connect(recent, &RecentFiles::folderRequested, this,
            [this](const QString &path) { m_site->setPath(path); });
    connect(site, &SiteFolder::changed, this, &FolderCommands::follow);

    // The folder of the last session, as it was left; one that has gone
    // since is not recreated and is no error.
    const QString last = UserState::value(kFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        m_restoring = true;
        site->setPath(last);
        m_restoring = false;
    }
}

QString FolderCommands::askFolder()
{
    const QString start = !m_site->path().isEmpty() ? m_site->path()
                          : !m_lastChosen.isEmpty() ? m_lastChosen
                                                    : m_recent->folders().value(0);
    const QString chosen = ui().chooseFolder(QStringLiteral("Open Folder"), start);
    if (!chosen.isEmpty())
        m_lastChosen = chosen;
    return chosen;
}

void FolderCommands::OpenFolderClick()
{
    const QString chosen = askFolder();
    if (chosen.isEmpty())
        return;
    if (!QFileInfo(chosen).isDir())
        throw TagloomError(QStringLiteral("Cannot open folder %1").arg(chosen));
    m_site->setPath(chosen);
    // The same folder again: it was open already, and is shown.
    UserState::setValue(kPaneKey, true);
    showPane(true);
}

void FolderCommands::follow(const QString &folder)
{
    m_pane->setFolder(folder);
    UserState::setValue(kFolderKey, folder);
    if (folder.isEmpty()) {
        showPane(false);
        return;
    }
    m_recent->noteFolderUsed(folder);
    // A folder the user opens is shown; the one of the last session as it was.
    if (!m_restoring)
        UserState::setValue(kPaneKey, true);
    showPane(UserState::value(kPaneKey, true).toBool());
}

void FolderCommands::showPane(bool shown)
{
    m_pane->setVisible(shown);
    if (shown)
        m_pane->raise();
}

void FolderCommands::openFile(const QString &path)
{
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // A page open already, with a window or without one (changed by work
    // on many files), is shown as it is rather than read a second time.
    if (PageDocument *page = m_docs->pageOf(full)) {
        THTMLDOC *doc = m_docs->windowOf(page);
        if (!doc)
            doc = m_docs->attachWindow(page);
        m_area->setActiveSubWindow(doc);
        giveKeyboardTo(doc->editor());
        return;
    }
    if (opensElsewhere(full)) {
        if (!ui().openUrl(QUrl::fromLocalFile(full)))
            throw TagloomError(QStringLiteral("No program could be started to show %1").arg(full));
        return;
    }
    emit openRequested(full);
}
