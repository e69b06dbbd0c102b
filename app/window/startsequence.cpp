#include "startsequence.h"
#include "documenttable.h"
#include "introscreen.h"
#include "recovery.h"

#include <QApplication>
#include <QWidget>

#include <utility>

bool runStartSequence(const StartSequence &s)
{
    // A box still open from creation (a settings file that cannot be read)
    // runs its own event loop: start up once it is answered and every
    // window exists, not from inside it.
    if (QApplication::activeModalWidget() || !IntroScreen || !s.palette)
        return false;
    if (*s.splashDue) {
        s.frame->hide();
        if (IntroScreen->timer()->isActive()) {
            IntroScreen->exec();
        } else {
            s.showAfterSplash(); // its time is already over
        }
        *s.splashDue = false;
    }
    s.documents->restartNumbering();
    if (!s.files->isEmpty())
        s.openFiles(std::exchange(*s.files, {}));
    // No file named could be opened (each said why): the usual first page.
    if (!s.documents->current())
        s.documents->create();
    // From now on files dropped on the window open as documents.
    s.frame->setAcceptDrops(true);
    // Copies left by a session that did not close are offered once the
    // first document exists.
    s.recovery->offerRecovery();
    return true;
}
