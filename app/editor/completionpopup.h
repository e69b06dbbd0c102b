#pragma once
// The completion popup of one editor (completion.h decides what it lists):
// a list under the caret that never takes the keyboard from the text.
// Typing goes on in the editor and filters the list; Up, Down, Page Up and
// Page Down choose, Enter accepts, Escape closes, and Tab types a tab as
// ever. Ctrl+Space opens it where the caret is; it opens by itself after
// '<' and a letter, "</", a space in a start tag, '=' and a quote, and '&'
// and a letter. Moving the caret otherwise, scrolling or leaving the
// editor closes it.
#include "completion.h"
#include "markupscanner.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QKeyEvent;
class QListWidget;
class QPlainTextEdit;

class CompletionPopup : public QObject {
    Q_OBJECT
public:
    // What it reads of its editor beyond a plain text box's (as TagTyping).
    struct Reading {
        std::function<QString(int from, int to)> textBetween;
        std::function<int(int pos, int reach, Markup::State *state)> readingStart;
        std::function<std::shared_ptr<void>()> undoStep;
        int reach = 4096;
    };
    CompletionPopup(QPlainTextEdit *editor, Reading reading);
    ~CompletionPopup() override;

    // A key the editor got: the popup's own keys are handled here, any
    // other is typed by `type`, and the popup follows what it typed.
    void keyPress(QKeyEvent *e, const std::function<void()> &type);
    // The same for text an input method commits (composed characters):
    // `type` inserts it, and the popup follows or opens as after a key.
    void commitText(const QString &text, const std::function<void()> &type);
    // The folder of the page, for the files beside it (empty: none).
    void setPageFolder(std::function<QString()> folder) { m_folder = std::move(folder); }

    // Lists what fits the caret's place; `asked` (Ctrl+Space): even with
    // nothing typed. False, and closed, when nothing fits.
    bool open(bool asked = true);
    void close();
    bool isShown() const;
    QStringList shownNames() const; // in the order listed
    // The item of that row in place of what was typed.
    void accept(int row);

    // Characters read around the caret for the page's ids and classes, once
    // an opening needs them; and the most files listed from one folder.
    static constexpr int kNameReach = 1 << 20;
    static constexpr int kMaxFiles = 500;
    static constexpr int kMaxNames = 2000;              // ids, classes
    static constexpr qint64 kStylesheetBytes = 1 << 20; // read of linked stylesheets

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    Completion::Result read(int *start) const;
    void show(const Completion::Result &r, int start);
    bool follow();
    void typed(const QString &text, const std::function<void()> &type);
    bool autoOpens(const QString &typed) const;
    const QStringList &ids() const;
    const QStringList &classes() const;
    QStringList files(const QString &folder) const;

    QPlainTextEdit *m_editor;
    Reading m_reading;
    QListWidget *m_list = nullptr;
    std::function<QString()> m_folder;
    QList<Completion::Item> m_items;
    Completion::Place m_place = Completion::Place::None; // what is shown, for
    int m_start = 0;                                     // what was typed from there
    bool m_busy = false; // the caret is moved by a key or an accepted item
    // What the page offers, read once per opening.
    mutable std::optional<QStringList> m_ids, m_classes;
    mutable QHash<QString, QStringList> m_files;
};
