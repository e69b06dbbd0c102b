#pragma once
// The one writer of whole lines below the caret, used by the list and the
// table commands.
#include <QStringList>

class EditorBox;

// What becomes of an empty caret line that ends the text: the table keeps
// a line break after itself there, the list ends the text.
enum class EmptyLastLine { KeptAfter, Replaced };

// Deletes the selection and writes `lines` as lines of their own below the
// caret's line, which keeps the text that stood before and after the
// selection. A caret line left empty gives way to them. The caret ends at
// the start of the line after them, or just after them when they end the
// text (counted in the page's lines, so a line holding a break is counted
// right). One undo step; the cost does not grow with the page.
void writeLinesBelowCaret(EditorBox *ed, const QStringList &lines, EmptyLastLine emptyLast);
