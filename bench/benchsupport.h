#pragma once
// Helpers every part of the benchmark shares: a UI that answers nothing,
// timing, and the caret and keys the measurements drive the editor with.
#include "editorbox.h"
#include "uiseam.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>

namespace bench {

// Answers no question: the benchmark never blocks on a box.
class SilentUi : public UiSeam {
public:
    bool confirm(const QString &) override { return false; }
    void errorBox(const QString &text, const QString &) override
    {
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
    }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
    bool chooseColor(QColor &) override { return false; }
    QString inputBox(const QString &, const QString &, const QString &d) override { return d; }
    void showHelp(const QString &) override {}
    bool openUrl(const QUrl &) override { return false; }
};

// The offscreen platform cannot raise windows and says so on every
// command that brings the main window to the front; writing that line to
// stderr cost more than the command itself and varied with the pipe.
extern QtMessageHandler g_defaultHandler;
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

double rssMiB();

template <class F> double timeMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

void settle();

// Puts the caret in the middle of the page, on a plain text line, with the
// word "plain" selected when asked.
void caretToMiddle(EditorBox *ed, bool selectWord);

// CPU time of this process (all threads), in ms.
double cpuMs();

// The longest line's number.
int longestLine(EditorBox *ed);

void caretMidLongest(EditorBox *ed, int line, int select = 0);

// From the key (or command) until the editor has painted what it caused.
struct Cost {
    double wall, cpu;
};
template <class F> Cost untilPainted(EditorBox *ed, F &&f)
{
    QElapsedTimer t;
    t.start();
    const double c0 = cpuMs();
    f();
    settle();
    ed->viewport()->repaint();
    return {double(t.nsecsElapsed()) / 1e6, cpuMs() - c0};
}

void sendKey(EditorBox *ed, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             const QString &text = QString());

} // namespace bench
