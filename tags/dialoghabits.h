#pragma once
// Habits the tag dialogs share: their font, their keys, their combo boxes.
#include <QString>

class QComboBox;
class QDialog;
class QKeyEvent;

// "System" at 13 pixels; where no such face exists, a face of Arial's
// widths keeps every caption inside its control.
void useDialogFont(QDialog *dialog);

bool isEnterKey(const QKeyEvent *e);

// No default or cancel button: Enter presses only the focused push button
// and Escape closes nothing. Returns true when the key was taken.
bool takeDialogKey(QDialog *dialog, QKeyEvent *e);

// Shows `text` in an editable combo box, with the matching entry current
// so the drop-down and the arrow keys start from it.
void showEntry(QComboBox *box, const QString &text);
