#pragma once
// Gives the keyboard back once a box, dialog, bar or pane that took it is
// done. Qt alone hands it to whatever comes next: the next widget in the
// focus chain when the focused one hides (which can be another document's
// window, and that makes it current), or nothing at all when a modal box
// closes on a platform that does not reactivate the window below.
#include <QPointer>
#include <QWidget>

// Puts the keyboard in `widget` (activating its window) when it can still
// take it; else, or when it is an editor other than the current document's
// (that document was closed or changed meanwhile), in the current
// document's editor. Nothing when there is neither.
void giveKeyboardTo(QWidget *widget);

// Remembers who has the keyboard now and gives it back when it goes out of
// scope (a modal box's lifetime) or at giveBack().
class KeyboardReturn {
public:
    // rememberNow false: nothing is given back until remember() is called.
    explicit KeyboardReturn(bool rememberNow = true);
    ~KeyboardReturn();
    KeyboardReturn(const KeyboardReturn &) = delete;
    KeyboardReturn &operator=(const KeyboardReturn &) = delete;

    void remember();
    void giveBack();

private:
    QPointer<QWidget> m_holder;
    bool m_pending = false;
};

// For a widget inside the main window that hides while it has the keyboard
// (a bar, a pane): installed on it, it hands the keyboard to the current
// document's editor on hiding, before Qt moves it along the focus chain.
// For a window of its own (the help viewer): the current document's editor
// takes the keyboard back when it closes.
class KeepKeyboardOnHide : public QObject {
public:
    explicit KeepKeyboardOnHide(QWidget *watched);
    bool eventFilter(QObject *watched, QEvent *e) override;
};
