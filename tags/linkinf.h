#pragma once
// The "Link Info" dialog: protocol, address or target, description.
#include "tagdialog.h"

namespace Ui {
class TLinkInf;
}

class TLinkInf : public TagDialog {
    Q_OBJECT
public:
    explicit TLinkInf(QWidget *parent = nullptr);
    ~TLinkInf() override;

    // What the link command reads once the dialog has closed.
    QString address() const;     // lnk
    QString protocol() const;    // Proto
    QString description() const; // Desc
    QString targetName() const;  // TgtCh

    void FormActivate();
    void ProtoChange();

protected:
    void opened() override { FormActivate(); }

private:
    void CancelClick();

    Ui::TLinkInf *const m_ui; // owned by TagDialog
};

extern TLinkInf *LinkInf;
