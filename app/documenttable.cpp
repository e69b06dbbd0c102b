#include "documenttable.h"
#include "errors.h"
#include "htmldoc.h"

#include <QMdiArea>

int LastSlot = 0;

DocumentTable::DocumentTable(QMdiArea *area, QObject *parent) : QObject(parent), m_area(area) {}

THTMLDOC *DocumentTable::current() const
{
    if (CurrentDoc < 1 || CurrentDoc > kMaxDocs || !SlotInUse[CurrentDoc])
        return nullptr;
    return Docs[CurrentDoc];
}

QList<THTMLDOC *> DocumentTable::documents() const
{
    QList<THTMLDOC *> out;
    for (int slot = 1; slot <= kMaxDocs; ++slot)
        if (SlotInUse[slot] && Docs[slot])
            out << Docs[slot].data();
    return out;
}

THTMLDOC *DocumentTable::create()
{
    // Counting 1, 2, 3 ... for the first 100; after that the lowest free
    // slot. A slot in use is never taken: the search goes on past it.
    int start = LastSlot + 1 <= kMaxDocs ? LastSlot + 1 : 1;
    int slot = 0;
    for (int i = 0; i < kMaxDocs && !slot; ++i) {
        const int s = (start - 1 + i) % kMaxDocs + 1;
        if (!SlotInUse[s])
            slot = s;
    }
    if (!slot)
        throw TagloomError(QStringLiteral(
            "All 100 document windows are in use; close one to create another"));
    LastSlot = slot;
    SlotInUse[slot] = true;
    auto *doc = new THTMLDOC(this, slot);
    Docs[slot] = doc;
    doc->setWindowTitle(QStringLiteral("HTML %1").arg(slot));
    emit created(doc);
    m_area->addSubWindow(doc);
    doc->showMaximized();
    m_area->setActiveSubWindow(doc);
    doc->FormActivate();
    return doc;
}

void DocumentTable::activate(THTMLDOC *doc)
{
    const bool changed = current() != doc;
    CurrentDoc = doc->DocIndex();
    if (changed)
        emit currentChanged(doc);
}

void DocumentTable::release(THTMLDOC *doc)
{
    const int slot = doc->DocIndex();
    if (slot < 1 || slot > kMaxDocs || Docs[slot] != doc)
        return;
    const bool wasCurrent = current() == doc;
    SlotInUse[slot] = false;
    emit closed(doc);
    if (wasCurrent)
        emit currentChanged(nullptr);
}
