#pragma once
#include <QDialog>

class TLinkInf : public QDialog {
    Q_OBJECT
public:
    explicit TLinkInf(QWidget *parent = nullptr);
};

extern TLinkInf *LinkInf;
