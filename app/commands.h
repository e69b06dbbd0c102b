#pragma once
// The commands that act on the current document: each one's menu item
// (name, caption, key) and what it does, in one table. The menu, the
// button bar and the tool palette are made from this table, so a command
// does the same wherever it is started.
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class EditorBox;

struct Command {
    const char *name;    // the object name of its menu item
    const char *caption; // the menu item's caption
    QKeySequence key;
    // Given the current editor, or nothing when no document is open (a few
    // commands ask their question all the same).
    std::function<void(EditorBox *)> run;
};

// Adds commands to the table (a name already there is left as it is).
void addCommands(const QList<Command> &commands);
// The command of that name, or nothing.
const Command *findCommand(const QString &name);
// Runs the named command on the current editor. Throws what the command
// throws; menu items and buttons run it through guarded().
void runCommand(const QString &name);
