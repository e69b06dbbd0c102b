#pragma once
#include <QDialog>

class TImageInfo : public QDialog {
    Q_OBJECT
public:
    explicit TImageInfo(QWidget *parent = nullptr);
};

extern TImageInfo *ImageInfo;
