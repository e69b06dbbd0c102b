#include "dialoghabits.h"

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

void useDialogFont(QDialog *dialog)
{
    QFont f;
    f.setFamilies({QStringLiteral("System"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(13);
    dialog->setFont(f);
}

void fitCaptions(QDialog *dialog)
{
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)) {
            if (qobject_cast<QPushButton *>(w) || qobject_cast<QToolButton *>(w))
                continue; // buttons keep the size they were given
            const int wanted = w->sizeHint().width();
            if (wanted > w->width())
                w->resize(wanted, w->height());
        }
    }
}

bool isEnterKey(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

namespace {
// A push button that is not auto-default ignores Enter; this filter sits on
// each button and clicks it when Enter reaches it, that is while it has the
// focus. Enter typed in an edit never reaches a button.
class EnterClicksButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        auto *ke = static_cast<QKeyEvent *>(e);
        if (ke->key() != Qt::Key_Return && ke->key() != Qt::Key_Enter)
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || !button->isEnabled())
            return false;
        if (!ke->isAutoRepeat())
            button->click();
        return true;
    }
};
} // namespace

void pressButtonsOnEnterOnly(QDialog *dialog)
{
    auto *filter = new EnterClicksButton(dialog);
    const auto buttons = dialog->findChildren<QPushButton *>();
    for (QPushButton *b : buttons) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(filter);
    }
}

bool takeDialogKey(QKeyEvent *e)
{
    // Enter left over by an edit presses no button, Escape closes nothing.
    return isEnterKey(e) || e->key() == Qt::Key_Escape;
}

void showEntry(QComboBox *box, const QString &text)
{
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        box->setCurrentIndex(index);
    box->setEditText(text);
}
