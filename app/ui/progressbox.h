#pragma once
// A small modal box with a progress bar, for reading or writing a file that
// takes longer than half a second. While it lives, the reads and writes of
// the thread report to it (ProgressScope); it shows itself only once the
// work looks like lasting that long, and from then on lets the windows
// repaint at every report.
#include "workprogress.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QWidget;
class FileProgressDialog;

class ProgressBox {
public:
    // Reading can be cancelled; writing cannot be stopped halfway.
    enum Kind { Reading, Writing };
    ProgressBox(Kind kind, const QString &path, QWidget *parent);
    ~ProgressBox();

    // Whether a read or write with a progress box is under way (its events
    // run: work that asks the user waits until it is done).
    static bool active();

private:
    QElapsedTimer m_started;
    std::unique_ptr<FileProgressDialog> m_dialog;
    std::unique_ptr<ProgressScope> m_scope;
};
