#pragma once
// Closing tags as keys are typed, for one editor (when it closes tags):
// a typed '>' that ends an opening tag writes its closing tag after the
// caret, a typed "</" completes the innermost open element.
//
// Users who type their closing tags by hand out of habit must get the page
// they typed. The closing tags written here are remembered (cursors that
// follow the edits) while they stay untouched and the caret stays at them:
// - a typed character equal to the next one of the closing tag at the caret
//   goes over it instead of in front of it, as a typed ')' over an inserted
//   one; another character (or a paste) puts what was gone over back in
//   front of it, and BackSpace steps back over it;
// - a closing tag typed by hand in front of them takes the place of the one
//   of its name among them, and of those before it, which it closes as a
//   browser would (<tr><td>x</tr>);
// - a name typed after a completed "</" and ended with '>' takes the
//   completed name's place: "</" "b>" typed gives "</b>", never "</i>b>".
// Typing in front of them keeps them; a caret moved elsewhere, an edit in
// one of them or an undo that takes one back forgets them. Each typed key is
// one undo step, as ever; a key that only goes over a character changes no
// text. The cost of a key is the reading around the caret, whatever the
// page's size.
#include "markupscanner.h"

#include <QString>
#include <QTextCursor>
#include <functional>
#include <memory>
#include <vector>

class QKeyEvent;
class QPlainTextEdit;

class TagTyping {
public:
    // What it reads of its editor beyond a plain text box's: handed over by
    // the editor, which includes this unit (not the other way round).
    struct Reading {
        std::function<bool()> closesTags;                     // the option is on
        std::function<QString(int from, int to)> textBetween; // offsets in the document
        // Where to start reading markup so that `pos` is read right, at most
        // `reach` characters back, with the markup state there.
        std::function<int(int pos, int reach, Markup::State *state)> readingStart;
        int tagReach = 4096;
        // Groups what is changed while the returned holder lives into one
        // undo step.
        std::function<std::shared_ptr<void>()> undoStep;
    };
    TagTyping(QPlainTextEdit *editor, Reading reading)
        : m_editor(editor), m_reading(std::move(reading))
    {
    }

    // A key the editor got: true when handled here, false to leave it to
    // the editor's own handling.
    bool keyPress(QKeyEvent *e);
    // The caret moved (typing in front of the remembered tags moves it too).
    void caretMoved();
    // Text other than a typed key's is about to come at the caret (a paste,
    // an input method's): what was gone over is put back in front first.
    void textComing();
    // The page was replaced: nothing written is remembered.
    void forget();

    // At most this many closing tags are remembered, the nearest ones.
    static constexpr int kMaxRemembered = 64;

private:
    struct Written {
        QTextCursor at; // its start
        QString text;   // "</name>"
    };
    void forgetClosers();
    bool chainAtCaret();
    bool inPlace(size_t i) const; // unedited, right after the one before it
    void goOver();
    void putBack(const QString &typed);
    bool closeByHand();
    bool replaceCompletedName();
    bool complete(const QString &typed);
    QString textBefore(int pos, Markup::State *state) const;

    QPlainTextEdit *m_editor;
    Reading m_reading;
    bool m_busy = false;            // the caret is being moved here
    std::vector<Written> m_closers; // in page order, each right after the one before
    int m_over = 0;                 // characters of the first one gone over
    QTextCursor m_completed;        // where a completed "</"'s "name>" begins
    QString m_completedName;
};
