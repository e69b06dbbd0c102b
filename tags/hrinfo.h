#pragma once
// The horizontal rule dialog: width (pixels or percent), size, alignment
// and shading of the HR tag.
#include "hrmarkup.h"
#include "tagdialog.h"

#include <optional>

namespace Ui {
class HRInfo;
}

class THRInfo : public TagDialog {
    Q_OBJECT
public:
    explicit THRInfo(QWidget *parent = nullptr);
    ~THRInfo() override;

    // Shows the dialog; the rule's values, or nothing when cancelled.
    std::optional<HorizRuleFields> ask();

    void FormActivate();
    void OkClick();
    void CancelClick();

protected:
    void opened() override { FormActivate(); }
    void closedByFrame() override;

private:
    Ui::HRInfo *const m_ui; // owned by TagDialog
    bool m_cancelled = false;
};

extern THRInfo *HRInfo;
