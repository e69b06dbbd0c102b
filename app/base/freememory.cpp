#include "freememory.h"

#include <QCoreApplication>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {
// Long enough for the layout and colouring that follow an open to settle;
// each new call starts the wait again, so a burst costs one trim.
constexpr int kQuietMs = 2000;
QTimer *timer = nullptr; // made on first use, gone with the application
} // namespace

void returnFreedMemorySoon()
{
#if defined(__GLIBC__)
    if (!QCoreApplication::instance())
        return;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(kQuietMs);
        QObject::connect(timer, &QTimer::timeout, [] { malloc_trim(0); });
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed,
                         [] { timer = nullptr; });
    }
    timer->start();
#endif
}

bool freedMemoryPending() { return timer && timer->isActive(); }
