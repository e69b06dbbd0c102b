#pragma once
// The folder pane's Rename... and Move To...: asks for the new name or the
// folder to move to, refuses a name already taken (nothing is ever
// overwritten), and hands the change on through renameRequested(), to be
// made with whatever else it takes (links to the file followed).
#include <QObject>
#include <QString>

class RenameRequests : public QObject {
    Q_OBJECT
public:
    explicit RenameRequests(QObject *parent) : QObject(parent) {}

    // Ask, check, then request(). Throw what request() throws.
    void askRename(const QString &path);
    void askMove(const QString &path);
    // `from` (a file or a folder) to become `to`. Throws when `to` exists
    // or is inside `from`.
    void request(const QString &from, const QString &to);

signals:
    void renameRequested(const QString &from, const QString &to);
};
