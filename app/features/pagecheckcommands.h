#pragma once
// Tools > Check Page and the pane that lists what it found; a row chosen
// there shows its place in its document.
#include <QObject>

class ActionRegistry;
class CurrentDocument;
class DocumentTable;
class EditorBox;
class PageCheckPane;
class PageCheckService;
class QMainWindow;
class QMdiArea;

class PageCheckCommands : public QObject {
    Q_OBJECT
public:
    PageCheckCommands(ActionRegistry *actions, CurrentDocument *current, DocumentTable *docs,
                      QMdiArea *area, QMainWindow *window, QObject *parent);
    PageCheckPane *pageCheck() const { return m_check; }
    // The one page check every feature shares.
    PageCheckService *service() const { return m_service; }

private:
    void CheckPageClick();
    void showPlace(EditorBox *editor, int line, int column, int lastLine, int lastColumn);

    CurrentDocument *m_current;
    DocumentTable *m_docs;
    QMdiArea *m_area;
    PageCheckPane *m_check;
    PageCheckService *m_service;
};
