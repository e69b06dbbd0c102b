#pragma once
// A spin edit that lets the user type any whole number and brings it into
// range only when the field loses the focus (a typed 250 stays visible until
// then, and becomes 100). Text that is not a whole number counts as 1.
#include <QSpinBox>

// The value a spin edit's text stands for: a whole number (blanks around it
// allowed) clamped to [min, max]; anything else counts as 1, clamped too.
int clampSpinText(const QString &text, int min, int max);

class ClampedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit ClampedSpinBox(QWidget *parent = nullptr);
    // The value the current text stands for, also while it is being typed.
    int currentValue() const;
    // Sets the value and shows it, also over a text typed out of range.
    void showValue(int v);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void focusOutEvent(QFocusEvent *e) override;
};
