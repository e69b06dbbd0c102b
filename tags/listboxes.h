#pragma once
#include <QDialog>

class TListBoxes : public QDialog {
    Q_OBJECT
public:
    explicit TListBoxes(QWidget *parent = nullptr);
};

extern TListBoxes *ListBoxes;
