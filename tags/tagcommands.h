#pragma once
// The tag commands: what each one writes into the page, and the rows of
// the command table that give them their menu items.
#include <QString>

class EditorBox;

// Adds the tag commands to the command table (once is enough, more is harmless).
void addTagCommands();

// Replaces the selection by open + selected text + close and leaves the
// caret directly before close. Does nothing without an editor.
void WrapSelection(EditorBox *ed, const QString &open, const QString &close);
