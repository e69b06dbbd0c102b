#pragma once
// File > Open Folder and Close Folder, View > Folder, and the folder pane
// they show: the site folder (SiteFolder) shown as a tree, its files opened
// from there as File > Open opens them (a page already open is made current
// instead), the folders opened last listed in Open Recent, and the folder,
// the pane and its filter kept in the user's state for the next start.
#include <QObject>

class ActionRegistry;
class DocumentTable;
class FolderPane;
class QMainWindow;
class QMdiArea;
class RecentFiles;
class RenameRequests;
class SiteFolder;

class FolderCommands : public QObject {
    Q_OBJECT
public:
    // Reopens the folder open at the last exit when it still exists.
    FolderCommands(ActionRegistry *actions, SiteFolder *site, RecentFiles *recent,
                   DocumentTable *docs, QMdiArea *area, QMainWindow *window, QObject *parent);

    FolderPane *pane() const { return m_pane; }
    RenameRequests *renames() const { return m_renames; }
    // The Open Folder dialog; empty when cancelled.
    QString askFolder();
    // Opens `path` as the pane's double-click does.
    void openFile(const QString &path);

signals:
    // A file to be opened as Open does.
    void openRequested(const QString &path);

private:
    void OpenFolderClick();
    void follow(const QString &folder);
    void showPane(bool shown);

    SiteFolder *m_site;
    RecentFiles *m_recent;
    DocumentTable *m_docs;
    QMdiArea *m_area;
    FolderPane *m_pane;
    RenameRequests *m_renames;
    QString m_lastChosen;     // where the dialog opens next
    bool m_restoring = false; // the pane's state comes from the user's
    bool m_quiet = false;     // the pane shown or hidden here, not by the user
};
