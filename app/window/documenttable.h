#pragma once
// The document table: it owns the open documents (document.h), with or
// without a window, hands out the document windows' slots (1..100) and knows
// which document is current. What is current follows the document area's
// active window, one way: a window is made current by activating it.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class PageDocument;
class QMdiArea;
class QMdiSubWindow;
class THTMLDOC;

constexpr int kMaxDocs = 100;

// The slot handed out by the last New, for reading: the table alone counts.
extern const int &LastSlot;

class DocumentTable : public QObject {
    Q_OBJECT
public:
    // New documents open in `area`.
    explicit DocumentTable(QMdiArea *area, QObject *parent = nullptr);

    // Slots 1..100. The document in a slot, nothing when the slot is free.
    THTMLDOC *document(int slot) const;
    bool inUse(int slot) const { return slot >= 1 && slot <= kMaxDocs && m_inUse[slot]; }
    // The slot of the current document (0 before the first one).
    int currentSlot() const { return m_current; }

    // The current document, or nothing when no document window is open.
    THTMLDOC *current() const;
    // The open document windows, by slot.
    QList<THTMLDOC *> documents() const;

    // Every open document, with a window or not, in the order opened.
    QList<PageDocument *> pages() const { return m_pages; }
    // The window showing `page`; nothing when none does.
    THTMLDOC *windowOf(const PageDocument *page) const;
    // A new untitled document, empty, without a window (one attached shows
    // it as a new page: the skeleton).
    PageDocument *newPage();
    // The open document of the file at `path` (any name of it: links and
    // relative paths are resolved), with a window or not: the file it was
    // read from or saved to, or else the name it is to be saved under.
    // Nothing when none is.
    PageDocument *pageOf(const QString &path) const;
    // The file at `path` read into a new document without a window (no
    // progress box). Throws as PageDocument::load() does; no document stays.
    PageDocument *openPage(const QString &path);
    // Closes a document that has no window, unasked (one with a window
    // closes with it).
    void closePage(PageDocument *page);
    // Shows `page` in a new window "HTML n" (or captioned with its path) in
    // the next free slot, maximized and made current. Throws when all 100
    // slots are in use; nothing when the page is not open or has a window.
    THTMLDOC *attachWindow(PageDocument *page);

    // A new untitled document in a new window (attachWindow(newPage())).
    THTMLDOC *create();
    // The same, filled by fill(). When it throws, the document is closed
    // unasked and the numbering goes on as if it had never been made.
    THTMLDOC *createFilled(const std::function<void(THTMLDOC *)> &fill);
    // The start-up sequence numbers the first new document 1 again.
    void restartNumbering();

    // The path the last Save As dialog was given, offered by the next one.
    QString lastSavePath;

signals:
    // Documents: made or read, closing (still whole), closed (deleted soon).
    void documentCreated(PageDocument *page);
    void documentAboutToClose(PageDocument *page);
    void documentClosed(PageDocument *page);
    // Document windows.
    void created(THTMLDOC *doc);
    void closed(THTMLDOC *doc);
    void currentChanged(THTMLDOC *doc); // nothing once the last one closes

private:
    // The document area activated a window / a document window has closed.
    void activate(QMdiSubWindow *window);
    void release(THTMLDOC *doc);
    // The next slot, taken; throws when all are in use.
    int takeSlot();
    THTMLDOC *show(int slot, PageDocument *page);
    void forget(PageDocument *page);

    QMdiArea *m_area;
    QList<PageDocument *> m_pages;
    // Index 0 unused.
    bool m_inUse[kMaxDocs + 1] = {};
    QPointer<THTMLDOC> m_docs[kMaxDocs + 1];
    int m_current = 0;
};

// Reads `path` into a new document, as Open does after its dialog. Nothing
// when the user cancelled the reading: no document stays, no slot is used.
THTMLDOC *openInNewDocument(DocumentTable *table, const QString &path);
