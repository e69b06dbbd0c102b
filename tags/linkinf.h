#pragma once
// The "Link Info" dialog: protocol, address or target, description.
#include <QDialog>

namespace Ui {
class TLinkInf;
}

class TLinkInf : public QDialog {
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
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void CancelClick();

    Ui::TLinkInf *m_ui;
};

extern TLinkInf *LinkInf;
