#pragma once
// What the table dialog holds, and the HTML lines built from it.
#include "storedtexts.h"

#include <QList>
#include <QString>
#include <QStringList>

class EditorBox;

namespace TableLimits {
constexpr int kDefaultColumnWidth = 64;
constexpr int kMinBorder = 1;
constexpr int kMaxBorder = 30;
// Upper bounds on the counts, for the buttons and for table files alike, so
// that whatever the dialog can save it can read back, and a hostile file
// cannot make the dialog allocate without end.
constexpr int kMaxColumns = 100;
constexpr int kMaxTableRows = 1000;            // rows of the written table (R)
constexpr int kMaxGridRows = kMaxTableRows + 1; // data grid rows, header row included (T)
} // namespace TableLimits

struct TableLayout {
    QString caption;
    int borderWidth = 1;
    QString alignment = QStringLiteral("TOP");
    int gridRows = 6;      // T: data grid rows, counting its header row 0
    int columns = 5;       // C: both column grids
    int rowTitleCount = 5; // R: rows of the written table
    QList<int> columnWidths = QList<int>(5, TableLimits::kDefaultColumnWidth); // pixels
    StoredTexts columnTitles; // column i at (i, 0)
    StoredTexts rowTitles;    // table row j at (0, j - 1)
    StoredTexts cells;        // column i, table row r at (i, r)

    int columnWidth(int i) const
    {
        return i < columnWidths.size() ? columnWidths.at(i) : TableLimits::kDefaultColumnWidth;
    }
};

// The border field's rule: not a whole number counts as 1, anything else is
// brought into 1 to 30.
int borderFromText(const QString &text);
int clampBorder(int value);

// The 4 + R lines of the table, texts inserted as typed.
QStringList tableLines(const TableLayout &t);

// Removes the selection and writes `lines` as whole lines below the caret's
// line (in its place when that line is left empty), as one undo step; the
// caret ends at the start of the line after them.
void insertLinesBelowCaret(EditorBox *ed, const QStringList &lines);
