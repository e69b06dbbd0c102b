#pragma once
// Lines of a list and the writer that puts them below the caret's line.
#include <QString>
#include <QStringList>

class EditorBox;

namespace ListMarkup {
struct Tags {
    QString open;  // always eleven characters
    QString close;
};

// What the list dialog answers.
struct Fields {
    bool ordered = true;
    QString numStyle;  // the ordered list's type, as typed
    QStringList items; // never empty: no items, no list
};

// The five ordered types, in the order the list-type box offers them.
QStringList numberStyles();

// Tags for an ordered list of the named type (exact, case-sensitive match)
// or for an unordered list. A type that matches no name gives the plain
// numbered list, so the items are still written as a whole, valid list.
Tags tags(bool ordered, const QString &numStyle);

// The opening line, one "<LI>" line per item, the closing line.
QStringList lines(const Tags &tags, const QStringList &items);

// A list item that is a link: a downloadable file takes no prefix.
QString linkItem(const QString &prefix, const QString &location, const QString &text);

// Deletes the selection and writes `listLines` as lines of their own below
// the caret's line, which keeps the text that stood before and after the
// selection. A caret line left empty gives way to the list. The caret ends
// at the start of the line after the list, or just after the list when it
// ends the text. One undo step; the cost does not grow with the page.
void writeBelowCaret(EditorBox *editor, const QStringList &listLines);
} // namespace ListMarkup
