#pragma once
// The table dialog's controls: a string grid whose texts live by position
// (so shrinking hides and growing shows them again), and the border field.
#include "storedtexts.h"

#include <QAbstractTableModel>
#include <QSpinBox>
#include <QTableView>

class StringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // rowOffset 1: the grid's row 0 is the grey header, model row 0 is row 1.
    explicit StringGridModel(int rowOffset, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void setVisibleCounts(int columns, int rows);
    void setRowOffset(int offset);
    const StoredTexts &texts() const { return m_texts; }
    void setTexts(const StoredTexts &texts);
    QString text(int col, int gridRow) const { return m_texts.text(col, gridRow); }
    void setText(int col, int gridRow, const QString &text);
    void moveColumn(int from, int to);

private:
    void refreshAll();
    int m_rowOffset;
    int m_columns = 0;
    int m_rows = 0;
    StoredTexts m_texts;
};

class StringGrid : public QTableView {
    Q_OBJECT
public:
    // The grid lines are drawn inside each cell, so a section is the
    // column's width plus the line.
    static constexpr int kGridLine = 2;
    static constexpr int kDefaultRowHeight = 24;
    static constexpr int kDefaultColWidth = 64;

    explicit StringGrid(QWidget *parent = nullptr);

    // Makes row 0 the fixed grey header, used to resize and move columns.
    void setFixedTopRow(bool fixed);
    bool hasFixedTopRow() const { return m_fixedTop; }

    int colCount() const { return m_model->columnCount(); }
    void setColCount(int n);
    // Counts the fixed row when there is one.
    int rowCount() const { return m_model->rowCount() + (m_fixedTop ? 1 : 0); }
    void setRowCount(int n);

    int colWidth(int col) const;
    void setColWidth(int col, int width);

    QString cell(int col, int row) const { return m_model->text(col, row); }
    void setCell(int col, int row, const QString &text) { m_model->setText(col, row, text); }
    const StoredTexts &texts() const { return m_model->texts(); }
    void setTexts(const StoredTexts &texts) { m_model->setTexts(texts); }

    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

    // The view index of a grid position (invalid for the fixed row).
    QModelIndex cellIndex(int col, int row) const;

signals:
    void gridClicked();
    void gridEntered();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool focusNextPrevChild(bool next) override;

private:
    void columnDragged(int logical, int oldVisual, int newVisual);
    // No cell further in that direction: Tab or Shift+Tab leaves the grid.
    bool atGridEnd(bool next) const;
    StringGridModel *m_model;
    bool m_fixedTop = false;
};

// Spin edit for 1 to 30 that, like the one users know, lets any number be
// typed and brings it into range when the field is left.
class BorderSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit BorderSpinEdit(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    int valueFromText(const QString &text) const override;
};
