#pragma once
#include <QDialog>

class TTable : public QDialog {
    Q_OBJECT
public:
    explicit TTable(QWidget *parent = nullptr);
};

extern TTable *Table;
