#include "documenttable.h"
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "workprogress.h"

#include <QMdiArea>

namespace {
// One main window, so one count: kept outside the table for LastSlot.
int lastSlot = 0;
} // namespace
const int &LastSlot = lastSlot;

DocumentTable::DocumentTable(QMdiArea *area, QObject *parent) : QObject(parent), m_area(area)
{
    lastSlot = 0; // a main window made again (the tests) counts from 1
}

THTMLDOC *DocumentTable::document(int slot) const
{
    return inUse(slot) ? m_docs[slot].data() : nullptr;
}

THTMLDOC *DocumentTable::current() const
{
    return document(m_current);
}

QList<THTMLDOC *> DocumentTable::documents() const
{
    QList<THTMLDOC *> out;
    for (int slot = 1; slot <= kMaxDocs; ++slot)
        if (THTMLDOC *doc = document(slot))
            out << doc;
    return out;
}

THTMLDOC *DocumentTable::create()
{
    // Counting 1, 2, 3 ... for the first 100; after that the lowest free
    // slot. A slot in use is never taken: the search goes on past it.
    int start = lastSlot + 1 <= kMaxDocs ? lastSlot + 1 : 1;
    int slot = 0;
    for (int i = 0; i < kMaxDocs && !slot; ++i) {
        const int s = (start - 1 + i) % kMaxDocs + 1;
        if (!m_inUse[s])
            slot = s;
    }
    if (!slot)
        throw TagloomError(QStringLiteral(
            "All 100 document windows are in use; close one to create another"));
    lastSlot = slot;
    m_inUse[slot] = true;
    auto *doc = new THTMLDOC(slot, &lastSavePath);
    connect(doc, &THTMLDOC::activated, this, &DocumentTable::activate);
    connect(doc, &THTMLDOC::closing, this, &DocumentTable::release);
    m_docs[slot] = doc;
    emit created(doc);
    m_area->addSubWindow(doc);
    doc->showMaximized();
    m_area->setActiveSubWindow(doc);
    doc->FormActivate();
    return doc;
}

THTMLDOC *DocumentTable::createFilled(const std::function<void(THTMLDOC *)> &fill)
{
    const int before = lastSlot;
    THTMLDOC *doc = create();
    try {
        fill(doc);
    } catch (...) {
        doc->editor()->setModified(false);
        doc->close();
        lastSlot = before;
        throw;
    }
    return doc;
}

void DocumentTable::restartNumbering()
{
    lastSlot = 0;
}

void DocumentTable::activate(THTMLDOC *doc)
{
    const bool changed = current() != doc;
    m_current = doc->DocIndex();
    if (changed)
        emit currentChanged(doc);
}

void DocumentTable::release(THTMLDOC *doc)
{
    const int slot = doc->DocIndex();
    if (slot < 1 || slot > kMaxDocs || m_docs[slot] != doc)
        return;
    const bool wasCurrent = current() == doc;
    m_inUse[slot] = false;
    emit closed(doc);
    if (wasCurrent)
        emit currentChanged(nullptr);
}

THTMLDOC *openInNewDocument(DocumentTable *table, const QString &path)
{
    // A file that could not be read leaves no window behind: one captioned
    // with its path over the new-page skeleton would be saved over it.
    try {
        return table->createFilled([&](THTMLDOC *doc) { doc->load(path); });
    } catch (const WorkCancelled &) {
        return nullptr;
    }
}
