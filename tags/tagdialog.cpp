#include "tagdialog.h"
#include "errors.h"
#include "uiseam.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QShowEvent>

TagDialog::TagDialog(QWidget *parent, Qt::WindowFlags f) : QDialog(parent, f) {}

TagDialog::~TagDialog() = default;

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
