#pragma once
// The "Page Check" pane: checks a document's text off the GUI thread and
// lists what the check found, one row a message. A row's place is offered
// to the main window (double-click or Enter), which shows it in the editor.
// The checking itself is the shared PageCheckService's.
#include "pagecheck.h"
#include "pagecheckservice.h"

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
    // What checks the pages; without one, a service of the pane's own
    // checks every page with Tidy.
    void setService(PageCheckService *service);
    PageCheckService *service() const { return m_service; }
    // Which standard the last check used, and anything to know about it.
    QString standard() const;
    bool isChecking() const { return m_checking; }
    // Checks replaced or cancelled whose work has not ended yet.
    int threadsRunning() const;

    QString summary() const;
    static constexpr int kMaxRows = 10000;
    QTreeWidget *rows() const { return m_rows; }
    EditorBox *checkedEditor() const { return m_editor; }

signals:
    // A row was chosen: the caret belongs at this 1-based line and column,
    // with the range to its last line and column (inclusive) selected when
    // the row has one (lastLine 0: none).
    void placeChosen(EditorBox *editor, int line, int column, int lastLine, int lastColumn);
    void finished();

private:
    void showResult(const PageCheckResult &result);
    void markOutOfDate();
    void dropCheck();
    void showSummary();

    QPointer<EditorBox> m_editor;
    QMetaObject::Connection m_changes;
    QLabel *m_summary;
    QLabel *m_standard;
    QPushButton *m_cancel;
    QPushButton *m_adviceButton;
    QTreeWidget *m_rows;
    QPointer<PageCheckService> m_service;
    quint64 m_ticket = 0;  // the check whose result shows
    unsigned m_advice = 0; // the kinds of advice switched on
    bool m_checking = false;
    QMetaObject::Connection m_editorGone;
    QString m_lastSummary;
    QTimer m_pause;        // typing paused: time to compare the text
    size_t m_checkedHash = 0; // of the text handed to the check
    bool m_stale = false;     // the text changed since it was handed to the check
};
