#pragma once
// Creates the long-lived windows in the program's fixed order and stores
// each in its process-wide reference. Tests create the same set with
// shorter timers.
struct StartupOptions {
    int startupMs = 800;  // the main window's start-up timer
    int splashMs = 5000;  // the splash's own timer
    int recoveryMs = 30000; // how often changed documents are copied against a crash
};

void createApplicationWindows(const StartupOptions &options = {});
// Deletes every window and clears the references (tests).
void destroyApplicationWindows();
