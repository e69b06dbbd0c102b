#include "clampedspinbox.h"

#include <QLineEdit>
#include <QRegularExpression>

#include <limits>

int clampSpinText(const QString &text, int min, int max)
{
    // Any white space around the number goes, as the field lets it be
    // typed (a no-break space too); the digits are ASCII.
    static const QRegularExpression whole(QStringLiteral("^([+-]?)([0-9]+)$"));
    const QRegularExpressionMatch m = whole.match(text.trimmed());
    qint64 v = 1;
    if (m.hasMatch()) {
        bool ok = false;
        v = m.captured(2).toLongLong(&ok);
        // Too many digits for any integer: beyond every bound on its side.
        if (!ok)
            v = std::numeric_limits<qint64>::max();
        if (m.captured(1) == QLatin1String("-"))
            v = -v;
    }
    return int(qBound(qint64(min), v, qint64(max)));
}

ClampedSpinBox::ClampedSpinBox(QWidget *parent) : QSpinBox(parent) {}

int ClampedSpinBox::currentValue() const
{
    return clampSpinText(lineEdit()->text(), minimum(), maximum());
}

QValidator::State ClampedSpinBox::validate(QString &input, int &) const
{
    // Digits, signs and blanks may be typed in any order; the text is
    // judged when the field loses the focus.
    for (const QChar c : input) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && c != QLatin1Char('-') && c != QLatin1Char('+') && !c.isSpace())
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

int ClampedSpinBox::valueFromText(const QString &text) const
{
    return clampSpinText(text, minimum(), maximum());
}

void ClampedSpinBox::showValue(int v)
{
    setValue(v);
    // setValue leaves the text alone when the value did not change (250
    // typed over 100): write it back explicitly.
    lineEdit()->setText(textFromValue(value()));
}

void ClampedSpinBox::focusOutEvent(QFocusEvent *e)
{
    showValue(currentValue());
    QSpinBox::focusOutEvent(e);
}
