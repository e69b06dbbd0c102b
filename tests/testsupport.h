#pragma once
// Shared test helpers: a scripted UI seam that records every question and
// answers from queues, and the application's windows with short timers.
#include "uiseam.h"

#include <QColor>
#include <QList>
#include <QWidget>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>

class EditorBox;

// How long a test waits for a page check that may start the conformance
// checker's JVM: long enough for a sanitizer build on a busy machine.
constexpr int checkerStartTimeout = 240000;

class ScriptedUi : public UiSeam {
public:
    ScriptedUi();
    ~ScriptedUi() override;

    // Answers, consumed in order. An empty queue answers No / cancel.
    QQueue<bool> confirmAnswers;
    QQueue<QString> fileAnswers;   // open and save dialogs share one queue
    QQueue<QString> folderAnswers; // the folder dialog's (empty: cancelled)
    QQueue<QColor> colourAnswers;  // an invalid colour means cancel
    QQueue<QString> inputAnswers;  // returned as typed (default on empty queue)

    // Error boxes stay open this long, as a real box the user reads would,
    // with its own event loop (0: answered at once).
    int errorBoxOpenMs = 0;
    // Runs while a question or warning is shown, before it is answered.
    std::function<void()> whileAsking;

    // What was asked.
    QStringList confirms;
    QStringList errors;            // "caption|text"
    QStringList warnings;
    QList<FileDialogRequest> fileRequests;
    QStringList folderRequests;    // "caption|start"
    QList<QColor> colourRequests;  // the colour each colour dialog opened on
    QStringList inputs;            // "caption|prompt|default"
    QStringList helpShown;

    bool confirm(const QString &text) override;
    void errorBox(const QString &text, const QString &caption) override;
    void warningBox(const QString &text) override;
    QString openFileName(const FileDialogRequest &req) override;
    QString saveFileName(const FileDialogRequest &req) override;
    QString chooseFolder(const QString &caption, const QString &start) override;
    bool chooseColor(QColor &colour) override;
    QString inputBox(const QString &caption, const QString &prompt,
                     const QString &defaultText) override;
    void showHelp(const QString &helpFile) override;
    bool openUrl(const QUrl &url) override;
    QList<QUrl> urlsOpened;
    bool openUrlAnswer = true; // false: as if no browser could be started

private:
    UiSeam *m_previous;
};

// Points the recovery folder at a test location of this test executable.
// Runs by itself when the application object of a test program is made;
// calling it again is harmless.
void isolateRecoveryFolder();

// Creates every window with short timers and runs the start-up sequence
// until document "HTML 1" exists. Leaves the current directory alone.
void startApplication();
// The same with files named on the command line; returns once the start-up
// sequence has opened them.
void startApplication(const QStringList &files);
void stopApplication();

// The current document's editor (fails the test when there is none).
EditorBox *editor();

// Sets the whole text of the current editor (CR LF breaks) and marks it
// unchanged, then places the caret or selection.
void setEditorText(const QString &crlfText, int selStart = 0, int selLength = 0);

// The editor's text with a '|' at the caret.
QString withCaret(EditorBox *ed);

// Runs `fill` on the next modal dialog that opens, from the event loop.
// `fill` must close the dialog (it is given the dialog widget).
void onNextModal(std::function<void(QWidget *)> fill);
// The same for the dialog of this object name once it shows (passing over
// a progress box a slow run may show first).
void onDialogNamed(const char *name, std::function<void(QWidget *)> fill);

// For init(): whether the test function now starting is one of `names`,
// which need no window (pure rules, data rows): init() then starts nothing.
bool runsWithoutWindows(std::initializer_list<const char *> names);

// A dialog's widget by object name, or nothing.
template <class T> T *child(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QLatin1String(name));
}
// Clicks a dialog's push button with the mouse.
void click(QWidget *dialog, const char *button);

// The number of open document windows.
int openDocuments();
// Marks every open document unchanged, so that closing asks nothing.
void markAllUnchanged();
// For cleanup(): closes any dialog a failed test left open, so the tests
// after it start clean; false when there was one.
bool closeDialogsLeftOpen();

// The usual fixture: init() sets m_ui = startWithScriptedUi() (a scripted UI,
// then startApplication()); cleanup() ends with
// QVERIFY(stopWithScriptedUi(m_ui)), which closes any dialog a failed test
// left open, stops the application and deletes the UI (ui null: none was
// started); false when a dialog was left open.
ScriptedUi *startWithScriptedUi();
bool stopWithScriptedUi(ScriptedUi *&ui);

// A file's bytes, or "<missing>" when it cannot be read.
QByteArray readBytes(const QString &path);
// Writes the file whole; false when it could not be written.
bool writeBytes(const QString &path, const QByteArray &bytes);
// The same for a name given as its bytes, through the system's calls alone:
// what a check of a name that is not UTF-8 should trust.
QByteArray readNative(const QByteArray &name);
bool writeNative(const QByteArray &name, const QByteArray &bytes);
// The names in a folder, as bytes, sorted.
QList<QByteArray> namesInFolder(const QByteArray &folder);
