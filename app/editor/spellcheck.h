#pragma once
// The spelling check of one editor: misspelt words of the lines on screen
// get a wavy underline, which the editor draws over its text. Neither
// formats (Qt would lay each line out again when one changes) nor extra
// selections (Qt draws the text of each once more) are used: a line drawn
// is drawn once, and the underlines cost a few strokes.
//
// Cost: a typed key re-reads only its own line; the other lines on screen
// keep their results (cached per line, dropped when the line changes).
// The state each line starts in (inside a comment, a tag, a script...) is
// the document's MarkupStates, which the markup colouring reads too; it is
// worked out as far as the lines around the screen, in short slices in the
// background, and those lines are checked there too,
// so scrolling finds them ready. Of a line longer than kLongBlock only the
// part on screen is read.
//
// The language: the page's lang attribute (read in its first kHeadChars)
// where a dictionary is installed for it; else the one chosen in the menu;
// else the system's. A lang with no dictionary leaves the page unchecked,
// and statusText() says so.
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTextCursor>
#include <QTimer>
#include <functional>

class QMenu;
class QTextBlock;
class QPlainTextEdit;
class SpellDictionary;
class MarkupStates;

class SpellCheck : public QObject {
    Q_OBJECT
public:
    using Changed = std::function<void(const QList<std::pair<int, int>> &)>;
    // `changed` is told the ranges whose underline comes or goes, to draw them again.
    SpellCheck(QPlainTextEdit *editor, Changed changed);

    static constexpr int kLongBlock = 16384;
    static constexpr int kWindowMargin = 2048; // read beyond the screen in a long line
    static constexpr int kHeadChars = 16384;
    static constexpr int kAround = 200; // lines checked ahead above and below the screen

    // The dictionary checking this page; empty: not checked.
    QString dictionaryName() const { return m_dictionary; }
    // Why the page is not checked, for the status bar; empty when it is (or off).
    QString statusText() const { return m_status; }
    // Every line's start state is known and the lines on screen are checked.
    bool isComplete() const;
    // The lines on screen are checked (no change waits for it).
    bool isScreenChecked() const { return !m_due.isActive(); }

    struct Misspelt {
        int position = -1; // in the document; -1: none
        int length = 0;
        QString word;
    };
    // The misspelt word at a document position, if any.
    Misspelt misspeltAt(int position);
    // Suggestions, "Add to Dictionary" and "Ignore" for the word at
    // `position`, put before the menu's first item; nothing elsewhere.
    void addToMenu(QMenu *menu, int position);

    // Checks the lines on screen now (normally a moment after a change).
    void update();
    // The underlined ranges (position, length). A change moves those after
    // it and drops those it touches, until the lines are checked again.
    QList<std::pair<int, int>> underlined() const;

signals:
    void statusChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Checked {
        int revision = -1;
        int startState = 0;
        int generation = 0;
        int from = 0, to = 0;           // the part of the line read
        QList<std::pair<int, int>> bad; // misspelt words, in the line
    };
    void documentChanged(int position, int removed, int added);
    void moveMarks(int position, int removed, int added);
    void schedule();
    void chooseDictionary();
    void setStatus(const QString &text);
    bool inStep() const;
    const Checked &check(const QTextBlock &block, int from, int to);
    void backgroundSlice();

    QPlainTextEdit *m_editor;
    Changed m_changed;
    QTimer m_due;   // the lines on screen, after a change
    QTimer m_slice; // the background
    QString m_dictionary;
    QString m_status;
    bool m_headRead = false;
    int m_headDecided = -1; // where the head's language was settled; -1: not yet
    QString m_pageLanguage;
    SpellDictionary *m_speller = nullptr;
    int m_generation = 0; // of the results: Spelling's and the language's

    QPointer<MarkupStates> m_states; // the document's: gone with it
    int m_blockCount = 1;

    QHash<int, Checked> m_checked; // by block number; cleared when lines come or go
    QList<std::pair<int, int>> m_marks; // the underlined words (position, length)
    int m_firstVisible = 0, m_lastVisible = -1;
    int m_aheadDone = 0; // lines around the screen checked by the background
    bool m_waiting = false; // the screen waits for the start states
};
