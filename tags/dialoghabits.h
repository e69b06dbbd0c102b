#pragma once
// Habits the tag dialogs share: their font, their keys, their combo boxes.
#include <QString>

class QComboBox;
class QDialog;
class QKeyEvent;

// "System" at 13 pixels; where no such face exists, a face of Arial's
// widths keeps every caption inside its control.
void useDialogFont(QDialog *dialog);

// Labels, check boxes and radio buttons grow to the width of their text
// (their place stays), so no caption is cut off whatever face the font is.
void fitCaptions(QDialog *dialog);

bool isEnterKey(const QKeyEvent *e);

// No default or cancel button: turns off autoDefault/default on every push
// button and makes Enter click a button when the key reaches that button,
// that is while it has the focus (with autoDefault off Qt's own button
// ignores Enter).
void pressButtonsOnEnterOnly(QDialog *dialog);

// For the dialog's keyPressEvent: true for the keys the dialog must swallow
// (Enter that an edit left unhandled, and Escape, which closes nothing).
bool takeDialogKey(QKeyEvent *e);

// Shows `text` in an editable combo box, with the matching entry current
// so the drop-down and the arrow keys start from it.
void showEntry(QComboBox *box, const QString &text);
