#pragma once
// Notices files changed by other programs when it matters: when the main
// window is activated (every document is looked at) or another document
// window becomes current (that one). See THTMLDOC::checkDisk().
#include <QList>

class DocumentTable;
class QWidget;
class THTMLDOC;

void watchDisk(QWidget *mainWindow, DocumentTable *docs);

// Looks at the documents now. Does nothing while a look is under way (its
// question box activates windows again) or while a file is being read or
// written with its progress box: the activation that follows looks again.
void checkDocumentsOnDisk(const QList<THTMLDOC *> &docs);
