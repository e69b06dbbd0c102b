#pragma once
// Crash recovery. Every so often the text of each changed document is
// copied into a folder of this session under the user's data directory;
// closing a document, or the program, removes its copy. Copies that a
// session left behind because it ended without closing (a crash, a kill)
// are offered at the next start.
//
// Layout: <data dir>/recovery/<session>/lock (held while the session runs),
// N.htm (the text, UTF-8 with CR LF breaks), N.caption (the window
// caption it had) and, for a document read from or saved to a file, N.info
// (its path, encoding and how the file stood), so that it reopens as that
// file's changed text. A session whose lock is held by a running program is
// left alone, so two editors running at once never take each other's copies.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <memory>

class DocumentTable;
class QLockFile;
class THTMLDOC;

class DocumentRecovery : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 30000;

    // Keeps copies of the documents of `docs`.
    DocumentRecovery(DocumentTable *docs, QObject *parent = nullptr);
    ~DocumentRecovery() override; // removes this session's copies

    void setInterval(int ms) { m_timer.setInterval(ms); }
    int interval() const { return m_timer.interval(); }

    // The folder holding every session's folder.
    static QString rootFolder();
    // This session's folder; empty until the first copy is written.
    QString sessionFolder() const { return m_session; }
    // Path of the copy of a document, empty when it has none.
    QString copyPath(const THTMLDOC *doc) const;

    // Copies each changed document whose text changed since its last copy
    // and drops the copies of documents that are no longer changed.
    void snapshot();
    // The document is closed: its copy goes.
    void forget(const THTMLDOC *doc);
    // A clean exit: every copy and the session folder go.
    void endSession();
    // Asks once whether to reopen the copies that ended sessions left, as
    // changed documents (of their files, or untitled), and removes those
    // copies either way.
    void offerRecovery();

    static QString question(const QStringList &captions);

private:
    struct Copy {
        int serial = 0;
        quint64 copiedEdits = 0;
        QString caption;
        QByteArray info;
    };
    bool ensureSession();
    QString filePath(int serial, const char *suffix) const;
    void removeFiles(int serial);

    QPointer<DocumentTable> m_docs;
    QTimer m_timer;
    QString m_session;
    std::unique_ptr<QLockFile> m_lock;
    QHash<const THTMLDOC *, Copy> m_copies;
    int m_nextSerial = 1;
    bool m_offered = false;
};
