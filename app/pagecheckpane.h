#pragma once
// The "Page Check" pane: checks a document's text off the GUI thread and
// lists what the check found, one row a message. A row's place is offered
// to the main window (double-click or Enter), which shows it in the editor.
#include "pagecheck.h"

#include <QDockWidget>
#include <QPointer>
#include <QTimer>
#include <memory>

class EditorBox;
class QLabel;
class QPushButton;
class QThread;
class QTreeWidget;

class PageCheckPane : public QDockWidget {
    Q_OBJECT
public:
    explicit PageCheckPane(QWidget *parent = nullptr);
    ~PageCheckPane() override;

    // Checks the editor's text as it stands; a check still running is
    // cancelled and its result passed over, without waiting for it.
    void check(EditorBox *editor);
    void cancel();
    bool isChecking() const { return m_checking; }
    // Checks replaced or cancelled that have not ended yet, the current one included.
    int threadsRunning() const { return int(m_running.size()); }

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
    void showSummary();

    QPointer<EditorBox> m_editor;
    QMetaObject::Connection m_changes;
    QLabel *m_summary;
    QPushButton *m_cancel;
    QTreeWidget *m_rows;
    QList<QThread *> m_running;
    bool m_checking = false;
    QMetaObject::Connection m_editorGone;
    std::shared_ptr<std::atomic<bool>> m_stop;
    QString m_lastSummary;
    QTimer m_pause;        // typing paused: time to compare the text
    size_t m_checkedHash = 0; // of the text handed to the check
    int m_checks = 0; // checks started; only the last one's result shows
    bool m_stale = false; // the text changed since it was handed to the check
};
