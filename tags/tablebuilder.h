#pragma once
// The table dialog: lays out an HTML table (caption, alignment, border,
// titles, cells, column widths) and saves or loads it as a table file.
#include "tablemarkup.h"
#include "tagdialog.h"

#include <optional>

namespace Ui {
class TTable;
}

class TTable : public TagDialog {
    Q_OBJECT
public:
    explicit TTable(QWidget *parent = nullptr);
    ~TTable() override;

    // Shows the dialog; the table, or nothing when cancelled ("Cancel", or
    // closing the window otherwise).
    std::optional<TableLayout> ask();

    // What the controls hold, and putting a layout back into them.
    TableLayout tableLayout() const;
    void setTableLayout(const TableLayout &t);

    void ColIncClick();
    void ColDecClick();
    void RowIncClick();
    void RowDecClick();
    void tablegridEnter();
    void ColTitleClick();
    void Button1Click();
    void Button2Click();
    void SaveTableClick();
    void opentClick();

public slots:
    void reject() override;

protected:
    void closedByFrame() override;
    void opened() override { FormShow(); }

private:
    void FormShow();
    void copyColumnWidths();

    Ui::TTable *const ui; // owned by TagDialog
    bool m_cancelled = false;
    bool m_closing = false;
    QString m_saveName; // the file dialogs offer the name used last
    QString m_openName;
};

extern TTable *Table;
