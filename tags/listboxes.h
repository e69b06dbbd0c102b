#pragma once
// The "List Boxes!" dialog: composes a list item by item.
#include "tagdialog.h"

#include <QStringList>

namespace Ui {
class TListBoxes;
}

class TListBoxes : public TagDialog {
    Q_OBJECT
public:
    explicit TListBoxes(QWidget *parent = nullptr);
    ~TListBoxes() override;

    // What the list command reads once the dialog has closed.
    bool ordered() const;     // OrderedCK
    QString numStyle() const; // NumStyle
    QStringList items() const;

    void FormActivate();
    void AddButClick();
    void RemoveClick();
    void MoveUpClick();
    void MoveDnClick();
    void SortButClick();

protected:
    void opened() override { FormActivate(); }
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void lnkClick();
    void OrderedCKClick();
    void UnOrderCkClick();
    void ItemsEnter();
    void LocationEnter();
    void CancelClick();
    void swapWithSelected(int offset);
    void select(int row);
    int selectedRow() const;

    Ui::TListBoxes *const m_ui; // owned by TagDialog
};

extern TListBoxes *ListBoxes;
