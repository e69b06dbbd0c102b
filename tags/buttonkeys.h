#pragma once
// Keyboard habits shared by the tag dialogs: no push button is a default
// button, Enter presses a push button only while that button has the focus,
// and Escape closes nothing (a dialog is left through its own buttons).
#include <QObject>

class QDialog;
class QKeyEvent;

// Turns off autoDefault/default on every push button of the dialog and
// makes Enter (Return or keypad Enter) click the button that has the focus.
void pressButtonsOnEnterOnly(QDialog *dialog);

// True for the Escape key; the dialogs swallow it instead of closing.
bool isEscape(const QKeyEvent *e);
