#pragma once
// File > Open Recent's items: the files used last, most recent first, then
// the folders opened last (File > Open Folder), both kept in the user's state.
#include <QObject>
#include <QStringList>

class ActionRegistry;
class QMenu;

class RecentFiles : public QObject {
    Q_OBJECT
public:
    // Fills the frame's Open Recent menu each time it opens.
    RecentFiles(ActionRegistry *actions, QObject *parent);
    QMenu *menu() const { return m_menu; }
    // At most 10.
    QStringList files() const;
    void noteFileUsed(const QString &path);
    // At most 5, listed after the files.
    QStringList folders() const;
    void noteFolderUsed(const QString &path);

signals:
    // An existing file chosen, to be opened as Open does.
    void openRequested(const QString &path);
    // An existing folder chosen, to be opened as Open Folder does.
    void folderRequested(const QString &path);

private:
    void rebuild();
    void open(const QString &path);
    void openFolder(const QString &path);
    void setFiles(const QStringList &files);
    void setFolders(const QStringList &folders);

    QMenu *m_menu;
};
