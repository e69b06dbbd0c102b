#pragma once
// Edit > Find in Files...: the pane that searches the open folder, a match
// chosen there shown in its page (opened first when it is not), and the
// files chosen for Replace All changed: open pages in their documents (one
// undo step each), others on disk.
#include "sitesearch.h"

#include <QObject>

class ActionRegistry;
class CurrentDocument;
class DocumentTable;
class FindInFilesPane;
class QMainWindow;
class QMdiArea;
class SiteFolder;

class FindInFilesCommands : public QObject {
    Q_OBJECT
public:
    FindInFilesCommands(ActionRegistry *actions, CurrentDocument *current, DocumentTable *docs,
                        QMdiArea *area, QMainWindow *window, SiteFolder *site, QObject *parent);
    FindInFilesPane *pane() const { return m_pane; }

signals:
    // A file to open as Open does (it is not open yet).
    void openRequested(const QString &path);

private:
    void FindInFilesClick();
    QHash<QString, OpenText> openTexts() const;
    void showPlace(const QString &path, int line, qsizetype column, qsizetype length);
    void replace(const QList<FileMatches> &files);

    CurrentDocument *m_current;
    DocumentTable *m_docs;
    QMdiArea *m_area;
    FindInFilesPane *m_pane;
};
