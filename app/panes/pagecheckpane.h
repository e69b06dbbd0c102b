#pragma once
// The "Page Check" pane: checks a document's text off the GUI thread and
// lists what the check found, one row a message. A row's place is offered
// to the main window (double-click or Enter), which shows it in the editor.
#include "backgroundjob.h"
#include "pagecheck.h"

#include <QDockWidget>
#include <QPointer>
#include <QTimer>
#include <memory>

class EditorBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class PageCheckPane : public QDockWidget {
    Q_OBJECT
public:
    explicit PageCheckPane(QWidget *parent = nullptr);

    // Checks the editor's text as it stands; a check still running is
    // cancelled and its result passed over, without waiting for it.
    void check(EditorBox *editor);
    void cancel();
    bool isChecking() const { return m_checking; }
    // Checks replaced or cancelled that have not ended yet, the current one included.
    int threadsRunning() const { return m_jobs->running(); }

    QString summary() const;
    QTreeWidget *rows() const { return m_rows; }
    EditorBox *checkedEditor() const { return m_editor; }

signals:
    // A row was chosen: the caret belongs at this 1-based line and column.
    void placeChosen(EditorBox *editor, int line, int column);
    void finished();

private:
    void showResult(const PageCheckResult &result);
    void markOutOfDate();
    void dropCheck();
    void showSummary();

    QPointer<EditorBox> m_editor;
    QMetaObject::Connection m_changes;
    QLabel *m_summary;
    QPushButton *m_cancel;
    QTreeWidget *m_rows;
    BackgroundJobs *m_jobs;
    BackgroundJobs::Handle m_job; // the check whose result shows
    bool m_checking = false;
    QMetaObject::Connection m_editorGone;
    QString m_lastSummary;
    QTimer m_pause;        // typing paused: time to compare the text
    size_t m_checkedHash = 0; // of the text handed to the check
    bool m_stale = false; // the text changed since it was handed to the check
};
