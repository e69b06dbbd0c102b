#include "docinfo.h"
#include "toolbar.h"

TDocInfo *DocInfo = nullptr;

TDocInfo::TDocInfo(QWidget *parent) : QDialog(parent) { setObjectName(QStringLiteral("DocInfo")); }

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::DocClick() {}

