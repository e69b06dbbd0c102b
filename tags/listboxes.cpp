#include "listboxes.h"
#include "toolbar.h"

TListBoxes *ListBoxes = nullptr;

TListBoxes::TListBoxes(QWidget *parent) : QDialog(parent) { setObjectName(QStringLiteral("ListBoxes")); }

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::ListsClick() {}

