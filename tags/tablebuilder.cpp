#include "tablebuilder.h"
#include "editorbox.h"
#include "errors.h"
#include "tablefile.h"
#include "uiseam.h"

#include "ui_tablebuilder.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TTable *Table = nullptr;

namespace {
constexpr int kResetColumns = 5;
constexpr int kResetGridRows = 6;
} // namespace

TTable::TTable(QWidget *parent)
    : TagDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(makeForm<Ui::TTable>(Captions::SystemFontFitted))
{
    setObjectName(QStringLiteral("Table"));
    setFixedSize(455, 413);
    move(152, 72);
    keepOnScreen(this);

    ui->Align->setCurrentText(QStringLiteral("TOP"));

    ui->tablegrid->setFixedTopRow(true);
    ui->tablegrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    ui->ColTitle->setColCount(kResetColumns);
    ui->ColTitle->setRowCount(1);
    ui->RowTitle->setColCount(1);
    ui->RowTitle->setRowCount(kResetGridRows - 1);
    ui->tablegrid->setColCount(kResetColumns);
    ui->tablegrid->setRowCount(kResetGridRows);

    connect(ui->ColInc, &QPushButton::clicked, this, guarded([this] { ColIncClick(); }));
    connect(ui->ColDec, &QPushButton::clicked, this, guarded([this] { ColDecClick(); }));
    connect(ui->RowInc, &QPushButton::clicked, this, guarded([this] { RowIncClick(); }));
    connect(ui->RowDec, &QPushButton::clicked, this, guarded([this] { RowDecClick(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->SaveTable, &QPushButton::clicked, this, guarded([this] { SaveTableClick(); }));
    connect(ui->opent, &QPushButton::clicked, this, guarded([this] { opentClick(); }));
    connect(ui->tablegrid, &StringGrid::gridEntered, this, guarded([this] { tablegridEnter(); }));
    connect(ui->ColTitle, &StringGrid::gridClicked, this, guarded([this] { ColTitleClick(); }));
}

TTable::~TTable() = default;

std::optional<TableLayout> TTable::ask()
{
    exec();
    if (m_cancelled)
        return std::nullopt;
    return tableLayout();
}

TableLayout TTable::tableLayout() const
{
    TableLayout t;
    t.caption = ui->Cap->text();
    t.borderWidth = borderFromText(ui->BorderW->cleanText());
    t.alignment = ui->Align->currentText();
    t.gridRows = ui->tablegrid->rowCount();
    t.columns = ui->ColTitle->colCount();
    t.rowTitleCount = ui->RowTitle->rowCount();
    t.columnWidths.clear();
    for (int i = 0; i < ui->tablegrid->colCount(); ++i)
        t.columnWidths << ui->tablegrid->colWidth(i);
    t.columnTitles = ui->ColTitle->texts();
    t.rowTitles = ui->RowTitle->texts();
    t.cells = ui->tablegrid->texts();
    return t;
}

void TTable::setTableLayout(const TableLayout &t)
{
    ui->Cap->setText(t.caption);
    ui->BorderW->setValue(clampBorder(t.borderWidth));
    ui->Align->setCurrentText(t.alignment);
    ui->tablegrid->setRowCount(t.gridRows);
    ui->RowTitle->setRowCount(t.rowTitleCount);
    ui->tablegrid->setColCount(t.columns);
    ui->ColTitle->setColCount(t.columns);
    for (int i = 0; i < t.columns && i < t.columnWidths.size(); ++i)
        ui->tablegrid->setColWidth(i, t.columnWidths.at(i));
    ui->ColTitle->setTexts(t.columnTitles);
    ui->RowTitle->setTexts(t.rowTitles);
    ui->tablegrid->setTexts(t.cells);
}

void TTable::FormShow()
{
    m_cancelled = false;
    m_closing = false;
    ui->Cap->clear();
    ui->BorderW->setValue(1);
    ui->tablegrid->setColCount(kResetColumns);
    ui->tablegrid->setRowCount(kResetGridRows);
    ui->ColTitle->setColCount(kResetColumns);
    ui->RowTitle->setRowCount(kResetGridRows - 1);
    for (int i = 0; i < kResetColumns; ++i) {
        ui->ColTitle->setColWidth(i, TableLimits::kDefaultColumnWidth);
        ui->tablegrid->setColWidth(i, TableLimits::kDefaultColumnWidth);
    }
    for (int col = 0; col < kResetColumns; ++col) {
        for (int row = 0; row < kResetGridRows; ++row) {
            ui->ColTitle->setCell(col, row, QString());
            ui->RowTitle->setCell(col, row, QString());
            ui->tablegrid->setCell(col, row, QString());
        }
    }
    ui->Cap->setFocus();
}

void TTable::ColIncClick()
{
    if (ui->tablegrid->colCount() >= TableLimits::kMaxColumns)
        return;
    ui->tablegrid->setColCount(ui->tablegrid->colCount() + 1);
    ui->ColTitle->setColCount(ui->ColTitle->colCount() + 1);
}

void TTable::ColDecClick()
{
    ui->tablegrid->setColCount(ui->tablegrid->colCount() - 1);
    ui->ColTitle->setColCount(ui->ColTitle->colCount() - 1);
}

void TTable::RowIncClick()
{
    if (ui->tablegrid->rowCount() >= TableLimits::kMaxGridRows)
        return;
    ui->tablegrid->setRowCount(ui->tablegrid->rowCount() + 1);
    ui->RowTitle->setRowCount(qMin(ui->RowTitle->rowCount() + 1, TableLimits::kMaxTableRows));
}

void TTable::RowDecClick()
{
    ui->tablegrid->setRowCount(ui->tablegrid->rowCount() - 1);
    ui->RowTitle->setRowCount(ui->RowTitle->rowCount() - 1);
}

void TTable::copyColumnWidths()
{
    for (int i = 0; i < ui->tablegrid->colCount(); ++i)
        ui->ColTitle->setColWidth(i, ui->tablegrid->colWidth(i));
}

void TTable::tablegridEnter() { copyColumnWidths(); }
void TTable::ColTitleClick() { copyColumnWidths(); }

void TTable::Button1Click()
{
    m_closing = true;
    done(QDialog::Accepted);
}

void TTable::Button2Click()
{
    m_cancelled = true;
    m_closing = true;
    done(QDialog::Rejected);
}

// Escape closes nothing; only Done and Cancel end the dialog.
void TTable::reject()
{
    if (m_closing)
        QDialog::reject();
}

// The window has no close box; should the window manager close it anyway
// (Alt+F4), nothing is inserted, as with Cancel.
void TTable::closedByFrame()
{
    if (m_closing)
        reject();
    else
        Button2Click();
}

void TTable::SaveTableClick()
{
    FileDialogRequest req;
    req.filter = TableFile::filter();
    req.initialName = m_saveName;
    req.overwritePrompt = true;
    const QString path = ::ui().saveFileName(req);
    if (path.isEmpty())
        return;
    m_saveName = path;
    saveTableFile(path, tableLayout());
}

void TTable::opentClick()
{
    FileDialogRequest req;
    req.filter = TableFile::filter();
    req.defaultSuffix = QStringLiteral("tbl");
    req.initialName = m_openName;
    const QString path = ::ui().openFileName(req);
    if (path.isEmpty())
        return;
    m_openName = path;
    // Fields read before a failure stay loaded, as the user saw them arrive.
    TableLayout t = tableLayout();
    try {
        loadTableFile(path, t);
    } catch (...) {
        setTableLayout(t);
        throw;
    }
    setTableLayout(t);
}
