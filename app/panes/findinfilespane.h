#pragma once
// The "Find in Files" pane: searches the site's folder off the GUI thread
// and lists the matches grouped by file as files are done. A row chosen
// (double-click or Enter) is offered to whoever shows pages. Replace All
// works the replacements out the same way, lets the user choose the files in
// a dialog and hands the chosen ones on to be applied.
#include "backgroundjob.h"
#include "sitesearch.h"

#include <QDockWidget>
#include <QHash>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

class FindInFilesPane : public QDockWidget {
    Q_OBJECT
public:
    explicit FindInFilesPane(QWidget *parent = nullptr);

    // The folder searched: asked for each search (the open folder, or the
    // one the user opens then; empty: nothing is searched).
    void setFolderSource(std::function<QString()> folder) { m_folderSource = std::move(folder); }
    // The pages open in the editor, by canonical path, searched in their
    // current text.
    void setOpenTexts(std::function<QHash<QString, OpenText>()> open)
    {
        m_openTexts = std::move(open);
    }

    // Shows the pane, `text` (when not empty) in the find field, the
    // keyboard in the field.
    void showFor(const QString &text);
    void find();
    void replaceAll();
    // Stops the running search at once; its result is passed over.
    void cancel();
    // Until the last of its results is listed.
    bool isSearching() const { return m_job || m_ending; }

    QString summary() const;
    // Matches found by the last search (not all of them listed past kMaxRows).
    int matchCount() const { return m_matches; }
    static constexpr int kMaxRows = 10000;

    QLineEdit *findField() const { return m_find; }
    QLineEdit *replaceField() const { return m_replace; }
    QLineEdit *patternField() const { return m_patterns; }
    QTreeWidget *results() const { return m_results; }
    // Says it here instead of in the pane's summary (replace outcome).
    void setSummary(const QString &text);

signals:
    // A match chosen: its file, 0-based line, column and length in the
    // editor's text.
    void placeChosen(const QString &path, int line, qsizetype column, qsizetype length);
    // Replace All's files, as the user chose them.
    void replaceChosen(const QList<FileMatches> &files);
    // A search or Replace All's search has ended (not one cancelled).
    void finished();

private:
    std::optional<SiteSearchRequest> request(bool replacing);
    void start(SiteSearchRequest r);
    QString working() const;
    void takeFound();
    void ended(SearchStatus status);
    void finish();
    void askReplace(const QList<FileMatches> &plan);
    // The file's row with its matches' rows; nothing past kMaxRows.
    QTreeWidgetItem *addFile(const FileMatches &f);
    void showSummary(const QString &state);
    void choose(QTreeWidgetItem *item);
    void saveOptions();

    std::function<QString()> m_folderSource;
    std::function<QHash<QString, OpenText>()> m_openTexts;
    BackgroundJobs *m_jobs;
    BackgroundJobs::Handle m_job;
    std::shared_ptr<SiteSearchMailbox> m_box;
    QTimer *m_poll;
    bool m_replacing = false;
    // The worker is done; what it found is still being listed.
    bool m_ending = false;
    SearchStatus m_status = SearchStatus::Done;
    QList<FileMatches> m_pending; // taken from the worker, not yet listed
    QString m_folder;
    QList<FileMatches> m_plan; // Replace All's, gathered whole

    // The last search's figures.
    int m_matches = 0;
    int m_files = 0;
    int m_rows = 0;
    int m_unreadable = 0;
    int m_costly = 0;

    QLineEdit *m_find;
    QLineEdit *m_replace;
    QLineEdit *m_patterns;
    QCheckBox *m_case;
    QCheckBox *m_words;
    QCheckBox *m_regex;
    QPushButton *m_findBut;
    QPushButton *m_replaceBut;
    QPushButton *m_cancel;
    QLabel *m_summary;
    QTreeWidget *m_results;
};
