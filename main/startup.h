#pragma once
#include <QStringList>

// Creates the long-lived windows in the program's fixed order and stores
// each in its process-wide reference. Tests create the same set with
// shorter timers.
struct StartupOptions {
    int startupMs = 800;  // the main window's start-up timer
    int splashMs = 5000;  // the splash's own timer
    int recoveryMs = 30000; // how often changed documents are copied against a crash
    // Files named on the command line, opened by the start-up sequence in
    // place of the first new document; a folder among them is opened as the
    // site folder instead.
    QStringList files;
};

// A command-line argument as a path to open: a file: URL becomes its local
// path, a relative path is taken from the working directory.
QString commandLinePath(const QString &argument);

void createApplicationWindows(const StartupOptions &options = {});
// Deletes every window and clears the references (tests).
void destroyApplicationWindows();
