#include "tablewidgets.h"
#include "tablemarkup.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QTimer>

// ---- model ----

StringGridModel::StringGridModel(int rowOffset, QObject *parent)
    : QAbstractTableModel(parent), m_rowOffset(rowOffset)
{
}

int StringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int StringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_texts.text(index.column(), index.row() + m_rowOffset);
}

bool StringGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    m_texts.setText(index.column(), index.row() + m_rowOffset, value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant StringGridModel::headerData(int, Qt::Orientation, int role) const
{
    // The grey boxes carry no text.
    return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
}

// Rows and columns are inserted and removed rather than reset, so the view
// keeps the widths of the columns that stay.
void StringGridModel::setVisibleCounts(int columns, int rows)
{
    columns = qMax(0, columns);
    rows = qMax(0, rows);
    if (columns > m_columns) {
        beginInsertColumns({}, m_columns, columns - 1);
        m_columns = columns;
        endInsertColumns();
    } else if (columns < m_columns) {
        beginRemoveColumns({}, columns, m_columns - 1);
        m_columns = columns;
        endRemoveColumns();
    }
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
}

void StringGridModel::setRowOffset(int offset)
{
    beginResetModel();
    m_rowOffset = offset;
    endResetModel();
}

void StringGridModel::setTexts(const StoredTexts &texts)
{
    m_texts = texts;
    refreshAll();
}

void StringGridModel::setText(int col, int gridRow, const QString &text)
{
    m_texts.setText(col, gridRow, text);
    const int row = gridRow - m_rowOffset;
    if (col >= 0 && col < m_columns && row >= 0 && row < m_rows)
        emit dataChanged(index(row, col), index(row, col), {Qt::DisplayRole, Qt::EditRole});
}

void StringGridModel::moveColumn(int from, int to)
{
    m_texts.moveColumn(from, to);
    refreshAll();
}

void StringGridModel::refreshAll()
{
    if (m_rows > 0 && m_columns > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1),
                         {Qt::DisplayRole, Qt::EditRole});
}

// ---- view ----

namespace {
// Draws the grid's 2-pixel lines on the right and bottom edge of each cell.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem inner(option);
        inner.rect = cellRect(option.rect);
        QStyledItemDelegate::paint(painter, inner, index);
        const QRect r = option.rect;
        const QColor line(192, 192, 192);
        const int g = StringGrid::kGridLine;
        painter->fillRect(QRect(r.right() - g + 1, r.top(), g, r.height()), line);
        painter->fillRect(QRect(r.left(), r.bottom() - g + 1, r.width(), g), line);
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &) const override
    {
        editor->setGeometry(cellRect(option.rect));
    }

private:
    static QRect cellRect(const QRect &r)
    {
        return r.adjusted(0, 0, -StringGrid::kGridLine, -StringGrid::kGridLine);
    }
};
} // namespace

StringGrid::StringGrid(QWidget *parent) : QTableView(parent), m_model(new StringGridModel(0, this))
{
    setModel(m_model);
    setItemDelegate(new GridLineDelegate(this));
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kDefaultRowHeight + kGridLine);
    QHeaderView *h = horizontalHeader();
    h->hide();
    h->setMinimumSectionSize(kGridLine); // a column can be dragged down to width 0
    h->setDefaultSectionSize(kDefaultColWidth + kGridLine);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setStretchLastSection(false);
    h->setHighlightSections(false);
    h->setSectionsClickable(false);
    // Dragging a grey box moves the column and its texts; the header's own
    // visual reordering is undone once the drag has ended.
    connect(h, &QHeaderView::sectionMoved, this,
            [this](int logical, int oldVisual, int newVisual) {
                columnDragged(logical, oldVisual, newVisual);
            }, Qt::QueuedConnection);
}

void StringGrid::setFixedTopRow(bool fixed)
{
    if (fixed == m_fixedTop)
        return;
    const int rows = rowCount();
    m_fixedTop = fixed;
    m_model->setRowOffset(fixed ? 1 : 0);
    setRowCount(rows);
    QHeaderView *h = horizontalHeader();
    h->setVisible(fixed);
    h->setFixedHeight(kDefaultRowHeight + kGridLine);
    h->setSectionsMovable(fixed);
    h->setFirstSectionMovable(fixed);
}

void StringGrid::columnDragged(int, int oldVisual, int newVisual)
{
    QHeaderView *h = horizontalHeader();
    if (h->logicalIndex(newVisual) == newVisual)
        return; // already undone
    QList<int> widths;
    for (int i = 0; i < colCount(); ++i)
        widths << h->sectionSize(h->logicalIndex(i)); // in the order the user sees
    const bool blocked = h->blockSignals(true);
    h->moveSection(newVisual, oldVisual);
    h->blockSignals(blocked);
    for (int i = 0; i < widths.size(); ++i)
        h->resizeSection(i, widths.at(i));
    m_model->moveColumn(oldVisual, newVisual);
    setCurrentIndex(m_model->index(currentIndex().row(), newVisual));
}

void StringGrid::setColCount(int n)
{
    m_model->setVisibleCounts(qMax(1, n), m_model->rowCount());
}

void StringGrid::setRowCount(int n)
{
    n = qMax(1, n);
    m_model->setVisibleCounts(m_model->columnCount(), m_fixedTop ? n - 1 : n);
}

int StringGrid::colWidth(int col) const
{
    return horizontalHeader()->sectionSize(col) - kGridLine;
}

void StringGrid::setColWidth(int col, int width)
{
    horizontalHeader()->resizeSection(col, qMax(0, width) + kGridLine);
}

QModelIndex StringGrid::cellIndex(int col, int row) const
{
    return m_model->index(m_fixedTop ? row - 1 : row, col);
}

void StringGrid::mousePressEvent(QMouseEvent *e)
{
    QTableView::mousePressEvent(e);
    emit gridClicked();
}

void StringGrid::focusInEvent(QFocusEvent *e)
{
    QTableView::focusInEvent(e);
    emit gridEntered();
}

bool StringGrid::atGridEnd(bool next) const
{
    const QModelIndex cur = currentIndex();
    if (!cur.isValid() || cur.row() >= m_model->rowCount()
        || cur.column() >= m_model->columnCount())
        return true;
    return next ? cur.row() == m_model->rowCount() - 1 && cur.column() == m_model->columnCount() - 1
                : cur.row() == 0 && cur.column() == 0;
}

// Tab walks the cells; past the last (or before the first) it leaves the
// grid, so the keyboard can always reach the other controls. The item
// view's own version would hand Tab back to keyPressEvent, so leaving goes
// straight to QWidget's.
bool StringGrid::focusNextPrevChild(bool next)
{
    if (atGridEnd(next))
        return QWidget::focusNextPrevChild(next);
    return QTableView::focusNextPrevChild(next);
}

void StringGrid::keyPressEvent(QKeyEvent *e)
{
    const bool tab = e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ShiftModifier);
    const bool backTab = e->key() == Qt::Key_Backtab
                         || (e->key() == Qt::Key_Tab && (e->modifiers() & Qt::ShiftModifier));
    if ((tab || backTab) && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        && atGridEnd(tab)) {
        QWidget::focusNextPrevChild(tab);
        return;
    }
    QTableView::keyPressEvent(e);
}

// ---- border field ----

BorderSpinEdit::BorderSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(TableLimits::kMinBorder, TableLimits::kMaxBorder);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QValidator::State BorderSpinEdit::validate(QString &input, int &) const
{
    static const QRegularExpression number(QStringLiteral("^ *[+-]?[0-9]* *$"));
    if (!number.match(input).hasMatch())
        return QValidator::Invalid;
    bool ok = false;
    const int v = input.trimmed().toInt(&ok);
    return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable
                                                  : QValidator::Intermediate;
}

void BorderSpinEdit::fixup(QString &input) const
{
    input = QString::number(borderFromText(input));
}

int BorderSpinEdit::valueFromText(const QString &text) const { return borderFromText(text); }
