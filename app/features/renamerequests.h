#pragma once
// The folder pane's Rename... and Move To...: asks for the new name or the
// folder to move to, refuses a name already taken (nothing is ever
// overwritten), and hands the change on through renameRequested(), to be
// made with whatever else it takes (links to the file followed). When
// nothing takes it, renameWithoutLinks() makes it.
#include <QObject>
#include <QString>

class DocumentTable;

class RenameRequests : public QObject {
    Q_OBJECT
public:
    RenameRequests(DocumentTable *docs, QObject *parent);

    // Ask, check, then request(). Throw what request() throws.
    void askRename(const QString &path);
    void askMove(const QString &path);
    // `from` (a file or a folder) to become `to`. Throws when `to` exists
    // or is inside `from`.
    void request(const QString &from, const QString &to);

signals:
    void renameRequested(const QString &from, const QString &to);

private:
    DocumentTable *m_docs;
};

// The file or folder renamed on disk as it is, links to it left alone; the
// open documents of the files renamed follow it. Throws when the rename
// fails (nothing then changed).
void renameWithoutLinks(DocumentTable *docs, const QString &from, const QString &to);
