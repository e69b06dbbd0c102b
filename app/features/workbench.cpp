#include "workbench.h"
#include "abbreviationcommand.h"
#include "actions.h"
#include "checkasyoutype.h"
#include "currentdocument.h"
#include "documenttable.h"
#include "editorbox.h"
#include "edithistory.h"
#include "encodingmenus.h"
#include "findbar.h"
#include "findcommands.h"
#include "foldercommands.h"
#include "findinfilescommands.h"
#include "htmldoc.h"
#include "pagecheckcommands.h"
#include "previewcommands.h"
#include "recentfiles.h"
#include "renamerequests.h"
#include "sitecheckcommands.h"
#include "sitefolder.h"
#include "siterenames.h"
#include "spellingmenu.h"
#include "statusbarview.h"
#include "tagnavigation.h"

#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

Workbench::Workbench(QMainWindow *window, QWidget *areaHolder, QMdiArea *area, DocumentTable *docs,
                     CurrentDocument *current, ActionRegistry *actions)
    : QObject(window)
{
    // Each adds its rows at the end of their menus: this order is the menus'.
    m_site = new SiteFolder(this);
    m_renames = new SiteRenames(docs, m_site, window, this);
    m_recent = new RecentFiles(actions, this);
    connect(m_recent, &RecentFiles::openRequested, this, &Workbench::openRequested);
    m_history = new EditHistory(actions, current, this);
    m_find = new FindCommands(actions, current, areaHolder, this);
    auto *tags = new TagNavigation(actions, current, window->statusBar(), this);
    new AbbreviationCommand(actions, current, window->statusBar(), this);
    tags->addRenameSwitch(actions);
    m_status = new StatusBarView(actions, window, this);
    m_preview = new PreviewCommands(actions, current, window, this);
    new EncodingMenus(actions, current, window->statusBar(), this);
    m_check = new PageCheckCommands(actions, current, docs, area, window, this);
    new CheckAsYouType(actions, docs, m_check->service(), this);
    new SpellingMenu(actions, this);
    m_folders = new FolderCommands(actions, m_site, m_recent, docs, area, window, this);
    connect(m_folders, &FolderCommands::openRequested, this, &Workbench::openRequested);
    // The pane's renames and moves keep the site's references to what moves.
    connect(m_folders->renames(), &RenameRequests::renameRequested, m_renames,
            &SiteRenames::rename);
    // Last: its rows end the Edit menu.
    m_findFiles = new FindInFilesCommands(actions, current, docs, area, window, m_site, this);
    connect(m_findFiles, &FindInFilesCommands::openRequested, this, &Workbench::openRequested);
    m_siteCheck = new SiteCheckCommands(actions, m_site, docs, area, window, this);
    connect(m_siteCheck, &SiteCheckCommands::openRequested, this, &Workbench::openRequested);

    for (const ActionRow &r : actions->rows())
        if (r.needsDocument)
            m_needDocument << actions->action(r.id);
    current->onCurrentChanged(this, [this](THTMLDOC *doc) { follow(doc); });
    connect(docs, &DocumentTable::created, this, [this](THTMLDOC *doc) {
        connect(doc, &THTMLDOC::fileNamed, this, [this, doc](const QString &path) {
            m_recent->noteFileUsed(path);
            if (doc == m_followed)
                follow(doc); // its encoding and folder may be new
        });
    });
    follow(current->currentDocument());
}

FindBar *Workbench::findBar() const { return m_find->findBar(); }
DocumentStatus *Workbench::status() const { return m_status->status(); }
PreviewPane *Workbench::preview() const { return m_preview->preview(); }
PreviewDock *Workbench::previewDock() const { return m_preview->previewDock(); }
PageCheckPane *Workbench::pageCheck() const { return m_check->pageCheck(); }
FindInFilesPane *Workbench::findInFiles() const { return m_findFiles->pane(); }
SiteCheckPane *Workbench::siteCheck() const { return m_siteCheck->pane(); }
QMenu *Workbench::recentMenu() const { return m_recent->menu(); }
QStringList Workbench::recentFiles() const { return m_recent->files(); }
QStringList Workbench::recentFolders() const { return m_recent->folders(); }
FolderPane *Workbench::folderPane() const { return m_folders->pane(); }
RenameRequests *Workbench::renameRequests() const { return m_folders->renames(); }

void Workbench::follow(THTMLDOC *doc)
{
    m_followed = doc;
    EditorBox *editor = doc ? doc->editor() : nullptr;
    m_find->findBar()->setEditor(editor);
    m_status->follow(doc);
    m_preview->follow(doc);
    m_history->follow(editor);
    for (QAction *a : std::as_const(m_needDocument))
        a->setEnabled(editor != nullptr);
}
