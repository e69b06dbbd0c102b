#include "tablebuilder.h"
#include "toolbar.h"

TTable *Table = nullptr;

TTable::TTable(QWidget *parent) : QDialog(parent) { setObjectName(QStringLiteral("Table")); }

// Not built yet: the dialog and its markup come with their own change.
void TToolBar::TableButClick() {}

