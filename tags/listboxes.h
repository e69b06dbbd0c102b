#pragma once
// The "List Boxes!" dialog: composes a list item by item.
#include "listmarkup.h"
#include "tagdialog.h"

#include <QStringList>
#include <optional>

namespace Ui {
class TListBoxes;
}

class TListBoxes : public TagDialog {
    Q_OBJECT
public:
    explicit TListBoxes(QWidget *parent = nullptr);
    ~TListBoxes() override;

    // Shows the dialog; the list, or nothing when it has no items (as
    // "Cancel" leaves it).
    std::optional<ListMarkup::Fields> ask();

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
    QStringList items() const;
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
