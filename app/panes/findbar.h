#pragma once
// The find and replace bar below the documents. It searches the editor it
// is given (the current document's), as you type, and never opens a box:
// every note ("No matches", "3 of 17", a pattern's error) shows in the bar.
// Searches run on a copy of the text on another thread (BackgroundJobs): the
// bar answers at once and shows the result when it comes, or drops it when
// the page changed meanwhile and searches again.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "textsearch.h"

class EditorBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextDocument;
class QTimer;

class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    // The editor to search; nothing: the bar's commands do nothing.
    void setEditor(EditorBox *editor);
    EditorBox *editor() const { return m_editor; }

    // Shows the bar with the editor's selection (one line at most) as the
    // search text, all selected, the keyboard in the field.
    void openFind();
    // The same with the replace field showing.
    void openReplace();
    // Hides the bar, the keyboard back in the editor, the match selected.
    void closeBar();

    void findNext();
    void findPrevious();
    void replaceOne();
    void replaceAll();
    // Stops the running search or Replace All; a stopped Replace All has
    // changed nothing.
    void cancel();
    // A search, count or Replace All is running; searchFinished() follows
    // when its result shows (not when a newer one replaced it).
    bool isSearching() const;

    QString note() const;
    QLineEdit *findField() const { return m_find; }
    QLineEdit *replaceField() const { return m_replace; }

signals:
    void searchFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    SearchQuery query() const;
    // The bar's query when it can be searched for; otherwise the bar says why.
    std::optional<SearchQuery> usableQuery();
    void open(bool withReplace);
    void search(bool backward, bool fromSelectionStart);
    void showCount();
    void setNote(const QString &text);
    enum class Work { Find, Replace, ReplaceAll };
    void start(Work kind, std::function<void(SearchControl &)> work, std::function<void()> done);
    void stopped();
    void showProgress();
    // The document's text as it stands, copied once per change.
    QString snapshot();
    void watchDocument();

    void dropSearch();

    BackgroundJobs *m_jobs;
    BackgroundJobs::Handle m_search; // the run whose result is awaited
    QTimer *m_progress;
    Work m_work = Work::Find;
    QPointer<QTextDocument> m_watched;
    QMetaObject::Connection m_changes;
    quint64 m_generation = 0; // counts the document's changes
    QString m_snapshot;
    bool m_haveSnapshot = false;

    QPointer<EditorBox> m_editor;
    QLineEdit *m_find;
    QLineEdit *m_replace;
    QLabel *m_replaceLabel;
    QPushButton *m_replaceBut;
    QPushButton *m_replaceAllBut;
    QCheckBox *m_case;
    QCheckBox *m_words;
    QCheckBox *m_regex;
    QLabel *m_note;
};
