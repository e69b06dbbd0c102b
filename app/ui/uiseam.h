#pragma once
// The one seam between the program and the platform's modal boxes and
// standard dialogs. The real implementation uses Qt; tests install a
// scripted one that records what was asked and answers from a queue.
// Errors thrown by commands are reported here too.
#include "errors.h"

#include <QColor>
#include <QString>
#include <QUrl>
#include <QWidget>

struct FileDialogRequest {
    QString title;
    QString filter;          // stored form: "Name|*.a;*.b|Other|*.c"
    QString defaultSuffix;   // without the dot; empty: the name is used as typed
    QString initialName;     // offered in the name field
    bool overwritePrompt = false;
};

class UiSeam {
public:
    virtual ~UiSeam() = default;
    // Yes/No question with the application title; true on Yes.
    virtual bool confirm(const QString &text) = 0;
    // Error-icon (stop) box with the given caption and one OK button.
    virtual void errorBox(const QString &text, const QString &caption) = 0;
    // Warning box with the application title and one OK button (seams
    // without one show it as an error box).
    virtual void warningBox(const QString &text);
    // Empty result: cancelled.
    virtual QString openFileName(const FileDialogRequest &req) = 0;
    virtual QString saveFileName(const FileDialogRequest &req) = 0;
    // An existing folder, the dialog opening on `start`; empty: cancelled
    // (seams without one cancel).
    virtual QString chooseFolder(const QString &caption, const QString &start);
    // Opens on `colour`; returns false when cancelled.
    virtual bool chooseColor(QColor &colour) = 0;
    // Returns the edited text after OK and the default after Cancel.
    virtual QString inputBox(const QString &caption, const QString &prompt,
                             const QString &defaultText) = 0;
    // Shows the help file's contents page.
    virtual void showHelp(const QString &helpFile) = 0;
    // Opens an address with the desktop's default program (a web page in
    // the system's browser); false when none could be started.
    virtual bool openUrl(const QUrl &url) = 0;
};

// The rectangle moved, and shrunk where it is larger, to lie wholly inside area.
QRect fitInside(const QRect &rect, const QRect &area);
// Moves, and if need be shrinks, a top-level window so that it opens wholly
// inside the available area of the screen that holds its centre (else its
// own screen). Before the window is first shown its frame is not known: the
// frame of its parent's window stands in for it.
void keepOnScreen(QWidget *window);

UiSeam &ui();
// The real boxes and dialogs, whatever is installed (tests drive them).
UiSeam &platformUi();
// Installs another implementation (tests); returns the previous one.
UiSeam *setUi(UiSeam *seam);
// The window that owns the help viewer and over which it opens (the main
// window); the seam knows nothing else of it.
void setHelpOwner(QWidget *window);

// "HTML Files|*.htm|Text Files|*.txt" -> "HTML Files (*.htm);;Text Files (*.txt)"
QString qtFilterFromStored(const QString &stored);

// Shows the stop box with the application title, as the default handler does.
void reportError(const QString &text);

// Runs f, turning a TagloomError or std::exception into the error box.
template <class F> void runGuarded(F &&f)
{
    try {
        f();
    } catch (const TagloomError &e) {
        reportError(e.text());
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
}

// Wraps a handler for connect(): every menu item, button and timer goes
// through this, so a failure ends the handler and the program goes on.
template <class F> auto guarded(F f)
{
    return [f]() { runGuarded(f); };
}
