#pragma once
// The "Link Info" dialog: protocol, address or target, description.
#include "linkmarkup.h"
#include "tagdialog.h"

#include <optional>

namespace Ui {
class TLinkInf;
}

class TLinkInf : public TagDialog {
    Q_OBJECT
public:
    explicit TLinkInf(QWidget *parent = nullptr);
    ~TLinkInf() override;

    // Shows the dialog; the link's values, or nothing when the address is
    // left empty (as "Cancel" leaves it).
    std::optional<LinkMarkup::Fields> ask();

    void FormActivate();
    void ProtoChange();

protected:
    void opened() override { FormActivate(); }

private:
    void CancelClick();

    Ui::TLinkInf *const m_ui; // owned by TagDialog
};

extern TLinkInf *LinkInf;
