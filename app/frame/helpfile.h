#pragma once
// Where the help file shipped with the program is.
#include <QString>

// Absolute path of the help file: next to the program, one folder up (a
// build tree), or in the installed share folder. Resolved once, at the
// first call; main() makes it at start, before the working folder matters.
QString helpFilePath();
