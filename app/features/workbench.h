#pragma once
// What the main window offers beyond the tag commands, put together from
// one object a feature, each owning its menu rows and the keys it keeps in
// the user's state: undo and redo, the find bar and Go to Line, the tag
// commands of the Edit menu, the status bar, the preview, the encoding
// menus, the page check, spelling, recent files and the site folder's
// pane. The workbench hands each the current document, and enables the rows
// that need one.
// menus, the page check, spelling, the site check and recent files. The workbench hands
// each the current document, and enables the rows that need one.
#include <QObject>
#include <QPointer>
#include <QStringList>

class ActionRegistry;
class CurrentDocument;
class DocumentStatus;
class DocumentTable;
class EditHistory;
class FindBar;
class FindCommands;
class FolderCommands;
class FolderPane;
class FindInFilesCommands;
class FindInFilesPane;
class PageCheckCommands;
class PageCheckPane;
class PreviewCommands;
class PreviewDock;
class PreviewPane;
class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class RecentFiles;
class RenameRequests;
class SiteCheckCommands;
class SiteCheckPane;
class SiteFolder;
class SiteRenames;
class StatusBarView;
class THTMLDOC;

class Workbench : public QObject {
    Q_OBJECT
public:
    // Adds its rows to `actions` (at the end of the Edit, View, File and
    // Tools menus, and Open Recent's items), the find bar to `areaHolder`'s
    // layout below the documents of `area`, the status bar and the panes to
    // `window`.
    Workbench(QMainWindow *window, QWidget *areaHolder, QMdiArea *area, DocumentTable *docs,
              CurrentDocument *current, ActionRegistry *actions);

    FindBar *findBar() const;
    DocumentStatus *status() const;
    // The preview's pane, its module loaded if need be (tests, benchmark).
    PreviewPane *preview() const;
    PreviewDock *previewDock() const;
    PageCheckPane *pageCheck() const;
    FindInFilesPane *findInFiles() const;
    SiteCheckPane *siteCheck() const;
    QMenu *recentMenu() const;
    // Recent files, most recent first (at most 10).
    QStringList recentFiles() const;
    // Recent folders, most recent first (at most 5).
    QStringList recentFolders() const;
    // The folder open as the site; none at first (or the one left open at
    // the last exit).
    SiteFolder *siteFolder() const { return m_site; }
    FolderPane *folderPane() const;
    // The folder pane's Rename... and Move To...: renameRequested(from, to).
    RenameRequests *renameRequests() const;
    // Renames and moves of the site's files that keep its references
    // (the folder pane asks for them).
    SiteRenames *siteRenames() const { return m_renames; }

signals:
    // An existing file chosen from Open Recent, to be opened as Open does.
    void openRequested(const QString &path);

private:
    void follow(THTMLDOC *doc);

    EditHistory *m_history;
    FindCommands *m_find;
    FindInFilesCommands *m_findFiles;
    StatusBarView *m_status;
    PreviewCommands *m_preview;
    PageCheckCommands *m_check;
    RecentFiles *m_recent;
    SiteCheckCommands *m_siteCheck;
    SiteFolder *m_site;
    FolderCommands *m_folders;
    SiteRenames *m_renames;
    QList<QAction *> m_needDocument; // enabled only while a document is open
    QPointer<THTMLDOC> m_followed;
};
