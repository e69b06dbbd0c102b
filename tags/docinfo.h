#pragma once
#include <QDialog>

class TDocInfo : public QDialog {
    Q_OBJECT
public:
    explicit TDocInfo(QWidget *parent = nullptr);
};

extern TDocInfo *DocInfo;
