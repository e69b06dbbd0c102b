#pragma once
// The horizontal rule dialog: width (pixels or percent), size, alignment
// and shading of the HR tag.
#include "tagdialog.h"

#include <memory>

namespace Ui {
class HRInfo;
}
class ClampedSpinBox;
class QCheckBox;
class QComboBox;
class QRadioButton;

class THRInfo : public TagDialog {
    Q_OBJECT
public:
    explicit THRInfo(QWidget *parent = nullptr);
    ~THRInfo() override;

    bool Cancelled = false;

    ClampedSpinBox *widthSpin() const;
    ClampedSpinBox *sizeSpin() const;
    QRadioButton *Pixels() const;
    QRadioButton *Percent() const;
    QComboBox *Alignment() const;
    QCheckBox *shade() const;

    // The tag the dialog's current values stand for.
    QString tag() const;

    void FormActivate();
    void OkClick();
    void CancelClick();

protected:
    void opened() override { FormActivate(); }
    void closedByFrame() override;

private:
    Ui::HRInfo *const m_ui; // owned by TagDialog
};

extern THRInfo *HRInfo;
