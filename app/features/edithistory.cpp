#include "edithistory.h"
#include "actions.h"
#include "currentdocument.h"
#include "editorbox.h"

#include <QAction>

EditHistory::EditHistory(ActionRegistry *actions, CurrentDocument *current, QObject *parent)
    : QObject(parent), m_current(current)
{
    using namespace ActionId;
    actions->add(
        {
            separatorRow(EditMenu),
            // Access keys apart from Cut, Copy and Paste's u, c and p.
            itemRow(EditMenu, Undo, QStringLiteral("Un&do"),
                    [this] {
                        if (EditorBox *e = m_current->activeEditor())
                            e->undo();
                    })
                .key(QKeySequence(Qt::CTRL | Qt::Key_Z)),
            itemRow(EditMenu, Redo, QStringLiteral("&Redo"),
                    [this] {
                        if (EditorBox *e = m_current->activeEditor())
                            e->redo();
                    })
                .withKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                           QKeySequence(Qt::CTRL | Qt::Key_Y)}),
        },
        this);
    m_undo = actions->action(QLatin1String(Undo));
    m_redo = actions->action(QLatin1String(Redo));
}

void EditHistory::follow(EditorBox *editor)
{
    for (const auto &c : std::as_const(m_links))
        disconnect(c);
    m_links.clear();
    m_editor = editor;
    if (editor)
        m_links << connect(editor, &QPlainTextEdit::undoAvailable, this, &EditHistory::update)
                << connect(editor, &QPlainTextEdit::redoAvailable, this, &EditHistory::update);
    update();
}

void EditHistory::update()
{
    m_undo->setEnabled(m_editor && m_editor->document()->isUndoAvailable());
    m_redo->setEnabled(m_editor && m_editor->document()->isRedoAvailable());
}
