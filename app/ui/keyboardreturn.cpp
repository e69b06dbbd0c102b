#include "keyboardreturn.h"
#include "currentdocument.h"
#include "editorbox.h"

#include <QApplication>
#include <QEvent>

void giveKeyboardTo(QWidget *widget)
{
    EditorBox *current = ActiveEditor();
    if (qobject_cast<EditorBox *>(widget) && current && widget != current)
        widget = current;
    if (!widget || !widget->isVisible() || !widget->isEnabled())
        widget = current;
    if (!widget)
        return;
    QWidget *window = widget->window();
    if (!window->isActiveWindow())
        window->activateWindow();
    widget->setFocus(Qt::OtherFocusReason);
}

KeyboardReturn::KeyboardReturn(bool rememberNow)
{
    if (rememberNow)
        remember();
}

KeyboardReturn::~KeyboardReturn()
{
    if (m_pending)
        giveBack();
}

void KeyboardReturn::remember()
{
    m_holder = QApplication::focusWidget();
    m_pending = true;
}

void KeyboardReturn::giveBack()
{
    m_pending = false;
    // A box closed while the application is going away has no one to return to.
    if (QCoreApplication::closingDown())
        return;
    giveKeyboardTo(m_holder);
}

KeepKeyboardOnHide::KeepKeyboardOnHide(QWidget *watched) : QObject(watched)
{
    watched->installEventFilter(this);
}

bool KeepKeyboardOnHide::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::Hide) {
        auto *w = static_cast<QWidget *>(watched);
        if (w->isWindow()) { // a window of its own: the main window takes the keyboard back
            QWidget *active = QApplication::activeWindow();
            if (!active || active == w)
                giveKeyboardTo(nullptr);
            return QObject::eventFilter(watched, e);
        }
        QWidget *focus = QApplication::focusWidget();
        if (focus && (focus == w || w->isAncestorOf(focus)))
            giveKeyboardTo(nullptr);
    }
    return QObject::eventFilter(watched, e);
}
