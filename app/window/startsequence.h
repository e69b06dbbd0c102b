#pragma once
// The start-up sequence the main window's start-up timer runs once every
// window exists: the splash, the first documents, files dropped on the
// window accepted, then the copies a session that did not close left.
#include <QStringList>
#include <functional>

class QWidget;
class DocumentRecovery;
class DocumentTable;

// The main window's parts the sequence works on (it knows no more of the
// window, which creates it).
struct StartSequence {
    QWidget *frame = nullptr;    // hidden while the splash is up
    QWidget *palette = nullptr;  // none yet: the windows are still being made
    bool *splashDue = nullptr;   // the splash has yet to be shown; cleared
    DocumentTable *documents = nullptr;
    DocumentRecovery *recovery = nullptr;
    QStringList *files = nullptr; // named on the command line; emptied once opened
    std::function<void()> showAfterSplash;
    std::function<void(const QStringList &)> openFiles;
};

// Runs the sequence; false when it has to wait (the caller tries again
// shortly).
bool runStartSequence(const StartSequence &s);
