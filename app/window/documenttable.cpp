#include "documenttable.h"
#include "document.h"
#include "errors.h"
#include "htmldoc.h"
#include "workprogress.h"

#include <QMdiArea>
#include <memory>

namespace {
// One main window, so one count: kept outside the table for LastSlot.
int lastSlot = 0;
} // namespace
const int &LastSlot = lastSlot;

DocumentTable::DocumentTable(QMdiArea *area, QObject *parent) : QObject(parent), m_area(area)
{
    lastSlot = 0; // a main window made again (the tests) counts from 1
    connect(area, &QMdiArea::subWindowActivated, this, &DocumentTable::activate);
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

THTMLDOC *DocumentTable::windowOf(const PageDocument *page) const
{
    for (THTMLDOC *doc : documents())
        if (doc->page() == page)
            return doc;
    return nullptr;
}

PageDocument *DocumentTable::newPage()
{
    auto *page = new PageDocument(this);
    m_pages << page;
    emit documentCreated(page);
    return page;
}

PageDocument *DocumentTable::pageOf(const QString &path) const
{
    const QString key = sameFileKey(path);
    for (PageDocument *page : m_pages) {
        const QString named = !page->filePath().isEmpty() ? page->filePath()
                              : page->hasFileName()       ? page->path()
                                                          : QString();
        if (!named.isEmpty() && sameFileKey(named) == key)
            return page;
    }
    return nullptr;
}

PageDocument *DocumentTable::openPage(const QString &path)
{
    auto page = std::make_unique<PageDocument>();
    page->load(path);
    page->setParent(this);
    m_pages << page.get();
    emit documentCreated(page.get());
    return page.release();
}

void DocumentTable::closePage(PageDocument *page)
{
    if (!m_pages.contains(page) || windowOf(page))
        return;
    forget(page);
    delete page;
}

void DocumentTable::forget(PageDocument *page)
{
    emit documentAboutToClose(page);
    m_pages.removeOne(page);
    emit documentClosed(page);
}

int DocumentTable::takeSlot()
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
    return slot;
}

THTMLDOC *DocumentTable::create()
{
    const int slot = takeSlot();
    return show(slot, newPage());
}

THTMLDOC *DocumentTable::attachWindow(PageDocument *page)
{
    if (!m_pages.contains(page) || windowOf(page))
        return nullptr;
    return show(takeSlot(), page);
}

THTMLDOC *DocumentTable::show(int slot, PageDocument *page)
{
    auto *doc = new THTMLDOC(slot, page, &lastSavePath);
    connect(doc, &THTMLDOC::closing, this, &DocumentTable::release);
    // The document outlives its window's editor, which shows its text.
    connect(doc, &QObject::destroyed, page, &QObject::deleteLater);
    m_docs[slot] = doc;
    emit created(doc);
    m_area->addSubWindow(doc);
    doc->showMaximized();
    m_area->setActiveSubWindow(doc);
    // Current even when the area did not tell (a main window not shown).
    activate(doc);
    return doc;
}

THTMLDOC *DocumentTable::createFilled(const std::function<void(THTMLDOC *)> &fill)
{
    const int before = lastSlot;
    THTMLDOC *doc = create();
    try {
        fill(doc);
    } catch (...) {
        doc->page()->setModified(false);
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

void DocumentTable::activate(QMdiSubWindow *window)
{
    auto *doc = qobject_cast<THTMLDOC *>(window);
    if (!doc || document(doc->DocIndex()) != doc)
        return;
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
    forget(doc->page());
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
