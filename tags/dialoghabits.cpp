#include "dialoghabits.h"

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

void useDialogFont(QDialog *dialog)
{
    QFont f;
    f.setFamilies({QStringLiteral("System"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(13);
    dialog->setFont(f);
}

bool isEnterKey(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

bool takeDialogKey(QDialog *dialog, QKeyEvent *e)
{
    if (isEnterKey(e)) {
        if (auto *b = qobject_cast<QPushButton *>(dialog->focusWidget()))
            b->click();
        return true;
    }
    return e->key() == Qt::Key_Escape;
}

void showEntry(QComboBox *box, const QString &text)
{
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        box->setCurrentIndex(index);
    box->setEditText(text);
}
