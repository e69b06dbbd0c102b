#include "diskwatch.h"
#include "documenttable.h"
#include "htmldoc.h"
#include "progressbox.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {
bool checking = false;

// Looks after the event that activated a window has been handled: a box
// shown from inside it would come up before the window is.
class DiskWatch : public QObject {
public:
    DiskWatch(QWidget *mainWindow, DocumentTable *docs) : QObject(mainWindow), m_docs(docs)
    {
        mainWindow->installEventFilter(this);
        connect(docs, &DocumentTable::currentChanged, this, [this](THTMLDOC *doc) {
            if (doc)
                later({doc});
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::WindowActivate && watched == parent() && m_docs)
            later(m_docs->documents());
        return false;
    }

private:
    void later(const QList<THTMLDOC *> &docs)
    {
        QList<QPointer<THTMLDOC>> guarded(docs.begin(), docs.end());
        QTimer::singleShot(0, this, [guarded] {
            QList<THTMLDOC *> alive;
            for (const QPointer<THTMLDOC> &d : guarded)
                if (d)
                    alive << d.data();
            checkDocumentsOnDisk(alive);
        });
    }

    QPointer<DocumentTable> m_docs;
};
} // namespace

void watchDisk(QWidget *mainWindow, DocumentTable *docs) { new DiskWatch(mainWindow, docs); }

void checkDocumentsOnDisk(const QList<THTMLDOC *> &docs)
{
    if (checking || ProgressBox::active())
        return;
    checking = true;
    const QList<QPointer<THTMLDOC>> guarded(docs.begin(), docs.end());
    for (const QPointer<THTMLDOC> &doc : guarded)
        if (doc) // a box shown for an earlier one may have let it close
            doc->checkDisk();
    checking = false;
}
