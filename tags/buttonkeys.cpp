#include "buttonkeys.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

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

bool isEscape(const QKeyEvent *e) { return e->key() == Qt::Key_Escape; }
