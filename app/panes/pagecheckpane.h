#pragma once
// The "Page Check" pane: checks a document's text off the GUI thread and
// lists what the check found, one row a message. A row's place is offered
// to the main window (double-click or Enter), which shows it in the editor.
// Given the conformance checker, pages of today's HTML go to it and pages
// declaring an older doctype to Tidy; without Java, every page goes to Tidy.
#include "backgroundjob.h"
#include "nuchecker.h"
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
    // The living standard's checker for pages without an older doctype;
    // none (the default) checks every page with Tidy.
    void setConformanceChecker(NuChecker *checker);
    // Which standard the last check used, and anything to know about it.
    QString standard() const;
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
    void checkWithTidy(const QString &text);
    void showConformance(const NuCheckResult &result);
    void markOutOfDate();
    void dropCheck();
    void showSummary();

    QPointer<EditorBox> m_editor;
    QMetaObject::Connection m_changes;
    QLabel *m_summary;
    QLabel *m_standard;
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

    QPointer<NuChecker> m_nu;
    bool m_nuWaited = false; // the conformance check's result is the one to show
    bool m_noJava = false;   // known since a check: Tidy checks every page
    QString m_nuText;        // the text handed to it, for Tidy should it fail
    QString m_nuRestarted;   // why the checker was started again, told once
};
