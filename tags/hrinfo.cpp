#include "hrinfo.h"
#include "toolbar.h"

THRInfo *HRInfo = nullptr;

THRInfo::THRInfo(QWidget *parent) : QDialog(parent) { setObjectName(QStringLiteral("HRInfo")); }

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::HorizRuleClick() {}

