#include "tagdialog.h"
#include "errors.h"
#include "uiseam.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QShowEvent>

TagDialog::TagDialog(QWidget *parent, Qt::WindowFlags f) : QDialog(parent, f) {}

TagDialog::~TagDialog() = default;

void TagDialog::useCaptions(Captions captions)
{
    if (captions == Captions::PlatformFont)
        return;
    useDialogFont(this);
    if (captions == Captions::SystemFontFitted)
        fitCaptions(this);
}

void TagDialog::onEnter(QWidget *field, std::function<void()> action)
{
    m_enterActions.insert(field, std::move(action));
    field->installEventFilter(this);
}

void TagDialog::enterWalks(std::initializer_list<QWidget *> chain)
{
    const auto *from = chain.begin();
    for (const auto *to = from + 1; to < chain.end(); from = to++) {
        QWidget *next = *to;
        onEnter(*from, [next] { next->setFocus(); });
    }
}

bool TagDialog::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && isEnterKey(static_cast<QKeyEvent *>(e))) {
        const auto action = m_enterActions.constFind(watched);
        if (action != m_enterActions.constEnd()) {
            runGuarded(*action);
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TagDialog::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    // A window restored from minimised is shown again, not opened anew.
    if (!e->spontaneous()) {
        m_keyboard.remember();
        runGuarded([this] { opened(); });
    }
}

void TagDialog::keyPressEvent(QKeyEvent *e)
{
    if (!takeDialogKey(e))
        QDialog::keyPressEvent(e);
}

void TagDialog::closeEvent(QCloseEvent *e)
{
    // The dialog closes itself through its own answer, never by the event.
    e->ignore();
    if (isVisible())
        runGuarded([this] { closedByFrame(); });
}

void TagDialog::done(int result)
{
    QDialog::done(result);
    m_keyboard.giveBack();
}
