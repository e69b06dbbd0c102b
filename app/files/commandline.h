#pragma once
// The program's command line: files to open, or --check PAGE... (the page
// check with no window, for scripts), --check-site FOLDER, or --help. It is read before any Qt
// application object exists, so that --check and --help run with no display.
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>

struct CommandLine {
    enum Mode { Open, Check, CheckSite, Help };
    Mode mode = Open;
    QList<QByteArray> files; // the files to open or pages to check, as given
    QString error;           // what is wrong with the arguments; empty: nothing
};

// The arguments after the program's name. -h or --help anywhere before "--"
// asks for help, else --check for the check, else --check-site (one folder)
// for the site check. Any other argument starting
// with "--" before "--" is an error; every other argument is a file (one
// starting with "-" too, as it always was). Qt takes its own options (-style,
// --platform...) out of argv when its application is made: a line read
// before that sees them as files or errors, and is only acted on for Help
// and Check.
CommandLine parseCommandLine(int argc, char *const *argv);

// What --help prints.
QString commandLineUsage();

// Checks each page in turn, through one conformance checker started once,
// and prints one line a result on `out`, PATH:LINE:COLUMN: error|warning|
// advice: TEXT, with PATH as given. A page that cannot be read, and the
// checker being unavailable, are said on `err`. Returns the exit status: 2
// when a page could not be read or the results not written, else 1 when a
// page has an error, else 0.
// Needs a QCoreApplication; runs its own event loop until done.
int checkPagesFromCommandLine(const QList<QByteArray> &pages, FILE *out, FILE *err);

// Checks the site under `folder` as Tools > Check Site does and prints one
// line a result, PATH:LINE:COLUMN: error|warning|advice: TEXT, by path then
// line, PATH under the folder as given. Returns 2 when the folder cannot be
// read or the results not written, else 1 when there is an error, else 0.
// Needs no application object and starts no event loop.
int checkSiteFromCommandLine(const QByteArray &folder, FILE *out, FILE *err);
