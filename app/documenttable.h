#pragma once
// The document table: the one place that hands out the document windows'
// slots (1..100) and knows which document is current.
#include <QObject>
#include <QPointer>
#include <QString>

class QMdiArea;
class THTMLDOC;

constexpr int kMaxDocs = 100;

// The slot handed out by the last New; reset once by the start-up sequence.
extern int LastSlot;

class DocumentTable : public QObject {
    Q_OBJECT
public:
    // New documents open in `area`.
    explicit DocumentTable(QMdiArea *area, QObject *parent = nullptr);

    // Slots 1..100; index 0 unused. Written by this table only.
    bool SlotInUse[kMaxDocs + 1] = {};
    QPointer<THTMLDOC> Docs[kMaxDocs + 1];
    int CurrentDoc = 0;

    // The current document, or nothing when no document window is open.
    THTMLDOC *current() const;
    // The open documents, by slot.
    QList<THTMLDOC *> documents() const;

    // A new untitled document "HTML n" in the next free slot, shown
    // maximized and made current. Throws when all 100 slots are in use.
    THTMLDOC *create();

    // Called by a document: it became the active window / it has closed.
    void activate(THTMLDOC *doc);
    void release(THTMLDOC *doc);

    // The path the last Save As dialog was given, offered by the next one.
    QString lastSavePath;

signals:
    void created(THTMLDOC *doc);
    void closed(THTMLDOC *doc);
    void currentChanged(THTMLDOC *doc); // nothing once the last one closes

private:
    QMdiArea *m_area;
};
