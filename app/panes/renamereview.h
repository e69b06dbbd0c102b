#pragma once
// The changes a rename makes to the site's references, listed for the user
// to check before anything is done: a row a file, under it a row a change
// (line, reference as written, as it will be), each with a check box.
// References left alone (their case differs) are listed unchecked, greyed.
#include "siterename.h"

#include <QDialog>

class QTreeWidget;

class RenameReview : public QDialog {
    Q_OBJECT
public:
    RenameReview(const RenamePlan &plan, QWidget *parent = nullptr);

    // For each of the plan's changes, whether it is to be made.
    QList<bool> chosen() const;

private:
    QTreeWidget *m_list;
    qsizetype m_count;
};
