#pragma once
// The horizontal rule dialog: width (pixels or percent), size, alignment
// and shading of the HR tag.
#include <QDialog>
#include <memory>

namespace Ui {
class HRInfo;
}
class ClampedSpinBox;
class QCheckBox;
class QComboBox;
class QRadioButton;

class THRInfo : public QDialog {
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
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    std::unique_ptr<Ui::HRInfo> m_ui;
};

extern THRInfo *HRInfo;
