#include "linkinf.h"
#include "toolbar.h"

TLinkInf *LinkInf = nullptr;

TLinkInf::TLinkInf(QWidget *parent) : QDialog(parent) { setObjectName(QStringLiteral("LinkInf")); }

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::LinkClick() {}

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::TargetClick() {}

