#pragma once
// Tools > Check Site: the links of the open folder's pages checked, and the
// pane that lists what was found; a row chosen there opens its file at the
// reference.
#include <QObject>

class ActionRegistry;
class DocumentTable;
class QMainWindow;
class QMdiArea;
class SiteCheckPane;
class SiteFolder;

class SiteCheckCommands : public QObject {
    Q_OBJECT
public:
    SiteCheckCommands(ActionRegistry *actions, SiteFolder *site, DocumentTable *docs,
                      QMdiArea *area, QMainWindow *window, QObject *parent);
    SiteCheckPane *pane() const { return m_pane; }

signals:
    // A file not open yet, to be opened as Open Recent opens one.
    void openRequested(const QString &path);

private:
    void checkSiteClick();
    void showPlace(const QString &path, int line, int column, int lastLine, int lastColumn);

    SiteFolder *m_site;
    DocumentTable *m_docs;
    QMdiArea *m_area;
    SiteCheckPane *m_pane;
};
