#include "pagecheckcommands.h"
#include "actions.h"
#include "currentdocument.h"
#include "documenttable.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "keyboardreturn.h"
#include "nuchecker.h"
#include "pagecheckpane.h"
#include "pagecheckservice.h"

#include <QMainWindow>
#include <QMdiArea>

PageCheckCommands::PageCheckCommands(ActionRegistry *actions, CurrentDocument *current,
                                     DocumentTable *docs, QMdiArea *area, QMainWindow *window,
                                     QObject *parent)
    : QObject(parent), m_current(current), m_docs(docs), m_area(area),
      m_check(new PageCheckPane(window))
{
    // A pane closed while it has the keyboard gives it to the document in use.
    new KeepKeyboardOnHide(m_check);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_check);
    m_check->hide();
    // The checker is started on the first check of a page of today's HTML
    // and kept until the end.
    m_service = new PageCheckService(new NuChecker(this), this);
    m_check->setService(m_service);
    connect(m_check, &PageCheckPane::placeChosen, this, &PageCheckCommands::showPlace);
    using namespace ActionId;
    actions->add({separatorRow(ToolsMenu),
                  itemRow(ToolsMenu, "ToolsCheckPage", QStringLiteral("Chec&k Page"),
                          [this] { CheckPageClick(); })
                      .key(QKeySequence(Qt::Key_F7))
                      .needingDocument()},
                 this);
}

void PageCheckCommands::CheckPageClick()
{
    EditorBox *editor = m_current->activeEditor();
    if (!editor)
        return;
    m_check->show();
    m_check->raise();
    m_check->check(editor);
}

void PageCheckCommands::showPlace(EditorBox *editor, int line, int column, int lastLine,
                                  int lastColumn)
{
    for (THTMLDOC *doc : m_docs->documents()) {
        if (doc->editor() != editor)
            continue;
        m_area->setActiveSubWindow(doc);
        if (lastLine >= line && lastLine > 0) // a range: selected, its last column too
            editor->selectSpan(qMax(0, line - 1), qMax(0, column - 1), lastLine - 1, lastColumn);
        else
            editor->setCaret(qMax(0, line - 1), qMax(0, column - 1));
        editor->setFocus();
        return;
    }
}
