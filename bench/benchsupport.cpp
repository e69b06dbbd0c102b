#include "benchsupport.h"
#include "markuphighlighter.h"
#include "procfigures.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QTextBlock>
#include <sys/resource.h>

namespace bench {

QtMessageHandler g_defaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QLatin1String("This plugin does not support raise()"))
        return;
    g_defaultHandler(type, context, message);
}

double rssMiB() { return processRssMiB(QCoreApplication::applicationPid()); }

void settle() { QCoreApplication::processEvents(); }

void caretToMiddle(EditorBox *ed, bool selectWord)
{
    const int mid = ed->lineCount() / 2;
    int line = mid;
    while (!ed->line(line).startsWith(QLatin1String("Line ")))
        ++line;
    const int col = int(ed->line(line).indexOf(QLatin1String("plain")));
    ed->setSelStart(ed->lineOffset(line) + col);
    if (selectWord) {
        QTextCursor c = ed->textCursor();
        c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 5);
        ed->setTextCursor(c);
    }
}

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3
           + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

int longestLine(EditorBox *ed)
{
    int best = 0, bestLength = -1, n = 0;
    for (QTextBlock b = ed->document()->begin(); b.isValid(); b = b.next(), ++n)
        if (b.length() > bestLength) {
            bestLength = b.length();
            best = n;
        }
    return best;
}

void caretMidLongest(EditorBox *ed, int line, int select)
{
    ed->setCaret(line, int(ed->line(line).size() / 2));
    if (select) {
        QTextCursor c = ed->textCursor();
        c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, select);
        ed->setTextCursor(c);
    }
    ed->centerCursor();
    settle();
    ed->viewport()->repaint();
    // At rest, as a user who has just moved there: colours have followed.
    while (ed->highlighter()->isColourPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    settle();
}

void sendKey(EditorBox *ed, int key, Qt::KeyboardModifiers mods, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(ed, &press);
}

} // namespace bench
