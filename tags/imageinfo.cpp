#include "imageinfo.h"
#include "toolbar.h"

TImageInfo *ImageInfo = nullptr;

TImageInfo::TImageInfo(QWidget *parent) : QDialog(parent) { setObjectName(QStringLiteral("ImageInfo")); }

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::ImageClick() {}

