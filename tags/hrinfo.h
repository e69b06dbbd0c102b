#pragma once
#include <QDialog>

class THRInfo : public QDialog {
    Q_OBJECT
public:
    explicit THRInfo(QWidget *parent = nullptr);
};

extern THRInfo *HRInfo;
