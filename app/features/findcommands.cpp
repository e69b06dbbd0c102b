#include "findcommands.h"
#include "actions.h"
#include "currentdocument.h"
#include "editorbox.h"
#include "findbar.h"
#include "uiseam.h"

#include <QLayout>

FindCommands::FindCommands(ActionRegistry *actions, CurrentDocument *current, QWidget *areaHolder,
                           QObject *parent)
    : QObject(parent), m_current(current), m_find(new FindBar(areaHolder))
{
    areaHolder->layout()->addWidget(m_find);
    using namespace ActionId;
    actions->add(
        {
            separatorRow(EditMenu),
            itemRow(EditMenu, "EditFind", QStringLiteral("&Find..."),
                    [this] {
                        if (m_current->activeEditor())
                            m_find->openFind();
                    })
                .key(QKeySequence(Qt::CTRL | Qt::Key_F))
                .needingDocument(),
            itemRow(EditMenu, "EditFindNext", QStringLiteral("Find &Next"),
                    [this] { m_find->findNext(); })
                .key(QKeySequence(Qt::Key_F3))
                .needingDocument(),
            itemRow(EditMenu, "EditFindPrevious", QStringLiteral("Find Pre&vious"),
                    [this] { m_find->findPrevious(); })
                .key(QKeySequence(Qt::SHIFT | Qt::Key_F3))
                .needingDocument(),
            itemRow(EditMenu, "EditReplace", QStringLiteral("R&eplace..."),
                    [this] {
                        if (m_current->activeEditor())
                            m_find->openReplace();
                    })
                .key(QKeySequence(Qt::CTRL | Qt::Key_R))
                .needingDocument(),
            itemRow(EditMenu, "EditGoToLine", QStringLiteral("&Go to Line..."),
                    [this] { GoToLineClick(); })
                .key(QKeySequence(Qt::CTRL | Qt::Key_G))
                .needingDocument(),
        },
        this);
}

void FindCommands::GoToLineClick()
{
    EditorBox *editor = m_current->activeEditor();
    if (!editor)
        return;
    const int count = editor->document()->blockCount();
    const QString here = QString::number(editor->textCursor().blockNumber() + 1);
    const QString ask = QStringLiteral("Line number (1 - %1):").arg(count);
    QString prompt = ask;
    // Cancel gives back the caret's own line, so the loop always ends.
    for (;;) {
        const QString typed = ui().inputBox(QStringLiteral("Go to Line"), prompt, here).trimmed();
        bool ok = false;
        const int line = typed.toInt(&ok);
        if (ok && line >= 1 && line <= count) {
            editor->setCaret(line - 1, 0);
            editor->centerCursor();
            editor->setFocus();
            return;
        }
        // A long answer is cut short: quoted whole it would widen the box
        // beyond the screen.
        const QString shown = typed.size() > 40 ? typed.left(40) + QChar(0x2026) : typed;
        prompt = QStringLiteral("\"%1\" is not a line number from 1 to %2.\n").arg(shown).arg(count)
                 + ask;
    }
}
