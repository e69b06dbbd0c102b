#pragma once
// The document table: the one place that hands out the document windows'
// slots (1..100) and knows which document is current.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QMdiArea;
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
    // The open documents, by slot.
    QList<THTMLDOC *> documents() const;

    // A new untitled document "HTML n" in the next free slot, shown
    // maximized and made current. Throws when all 100 slots are in use.
    THTMLDOC *create();
    // The same, filled by fill(). When it throws, the document is closed
    // unasked and the numbering goes on as if it had never been made.
    THTMLDOC *createFilled(const std::function<void(THTMLDOC *)> &fill);
    // The start-up sequence numbers the first new document 1 again.
    void restartNumbering();

    // The path the last Save As dialog was given, offered by the next one.
    QString lastSavePath;

signals:
    void created(THTMLDOC *doc);
    void closed(THTMLDOC *doc);
    void currentChanged(THTMLDOC *doc); // nothing once the last one closes

private:
    // A document became the active window / it has closed.
    void activate(THTMLDOC *doc);
    void release(THTMLDOC *doc);

    QMdiArea *m_area;
    // Index 0 unused.
    bool m_inUse[kMaxDocs + 1] = {};
    QPointer<THTMLDOC> m_docs[kMaxDocs + 1];
    int m_current = 0;
};

// Reads `path` into a new document, as Open does after its dialog. Nothing
// when the user cancelled the reading: no document stays, no slot is used.
THTMLDOC *openInNewDocument(DocumentTable *table, const QString &path);
