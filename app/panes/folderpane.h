#pragma once
// The "Folder" pane: the open site folder as a tree, with a filter box
// above it. The folder is read and watched off the GUI thread (files coming
// and going show by themselves), one folder level at a time as it is
// opened; nothing of it exists until a folder is shown. Hidden files and
// version-control folders are left out. The pane only offers: a file chosen
// (double-click or Enter), a rename or move asked, the folder closed.
#include <QDockWidget>
#include <QModelIndex>
#include <memory>

class FolderFilterModel;
class PlainIcons;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTreeView;

class FolderPane : public QDockWidget {
    Q_OBJECT
public:
    explicit FolderPane(QWidget *parent = nullptr);
    ~FolderPane() override;

    // Shows `folder` (an absolute path); empty: none, and what read it goes.
    void setFolder(const QString &folder);
    QString folder() const { return m_folder; }

    QString filterText() const;
    void setFilterText(const QString &text);
    // Whether a file's name passes the filter: a filter with * or ? is a
    // wildcard over the whole name, any other is a part of it; case
    // does not matter; an empty filter passes every name.
    static bool nameMatches(const QString &name, const QString &filter);
    // Names no one edits as part of a site: version-control folders.
    static bool isLeftOut(const QString &name);

    QTreeView *tree() const { return m_tree; }
    // The path a row of the tree shows.
    QString pathAt(const QModelIndex &index) const;
    // The tree's row showing `path`; invalid when it shows none (left out,
    // filtered, not read yet or no folder).
    QModelIndex indexOf(const QString &path) const;
    // The names the tree shows in `folder` (read first if need be), folders
    // first, as shown; empty when it shows none.
    QStringList shownNames(const QString &folder) const;
    // The folder the model has finished reading (the bench waits for it).
    QFileSystemModel *model() const { return m_model; }

signals:
    // A file was chosen (double-click or Enter).
    void fileChosen(const QString &path);
    void filterChanged(const QString &text);
    void openFolderAsked();
    void closeFolderAsked();
    // The context menu's rows.
    void renameAsked(const QString &path);
    void moveAsked(const QString &path);
    // Its close box was pressed.
    void closedByUser();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void choose(const QModelIndex &index);
    void showContextMenu(const QPoint &at);

    QString m_folder;
    QStackedWidget *m_pages;
    QLabel *m_name;
    QLineEdit *m_filter;
    QTreeView *m_tree;
    QFileSystemModel *m_model = nullptr;
    FolderFilterModel *m_shown = nullptr;
    std::unique_ptr<PlainIcons> m_icons; // outlives the models that use it
};
