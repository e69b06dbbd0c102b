#include "sitecheckcommands.h"
#include "actions.h"
#include "documenttable.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "keyboardreturn.h"
#include "document.h"
#include "sitecheckpane.h"
#include "sitefolder.h"

#include <QDir>
#include <QMainWindow>
#include <QMdiArea>

SiteCheckCommands::SiteCheckCommands(ActionRegistry *actions, SiteFolder *site, DocumentTable *docs,
                                     QMdiArea *area, QMainWindow *window, QObject *parent)
    : QObject(parent), m_site(site), m_docs(docs), m_area(area), m_pane(new SiteCheckPane(window))
{
    new KeepKeyboardOnHide(m_pane);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_pane);
    m_pane->hide();
    connect(m_pane, &SiteCheckPane::placeChosen, this, &SiteCheckCommands::showPlace);
    using namespace ActionId;
    actions->add({separatorRow(ToolsMenu),
                  itemRow(ToolsMenu, "ToolsCheckSite", QStringLiteral("Check &Site"),
                          [this] { checkSiteClick(); })},
                 this);
}

void SiteCheckCommands::checkSiteClick()
{
    const QString folder = m_site->pathOrAsk();
    if (folder.isEmpty())
        return;
    // Pages open with changes are checked as they stand in the editor.
    QHash<QString, QString> open;
    for (THTMLDOC *doc : m_docs->documents())
        if (!doc->path().isEmpty() && doc->page()->isModified())
            open.insert(QDir::cleanPath(doc->path()), doc->editor()->text());
    m_pane->show();
    m_pane->raise();
    m_pane->check(folder, open);
}

void SiteCheckCommands::showPlace(const QString &path, int line, int column, int lastLine,
                                  int lastColumn)
{
    auto find = [this, &path]() -> THTMLDOC * {
        const PageDocument *page = m_docs->pageOf(path);
        return page ? m_docs->windowOf(page) : nullptr;
    };
    THTMLDOC *doc = find();
    if (!doc) {
        emit openRequested(path);
        doc = find();
    }
    if (!doc || !doc->editor())
        return;
    EditorBox *editor = doc->editor();
    m_area->setActiveSubWindow(doc);
    if (lastLine >= line && lastLine > 0)
        editor->selectSpan(qMax(0, line - 1), qMax(0, column - 1), lastLine - 1, lastColumn);
    else
        editor->setCaret(qMax(0, line - 1), qMax(0, column - 1));
    editor->setFocus();
}
