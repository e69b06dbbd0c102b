#pragma once
// Files on disk as the editor keeps them: written whole or not at all, the
// stamp that tells when another program changed one, and the hash of its
// bytes that tells a real change from a copy put back.
#include <QByteArray>
#include <QString>
#include <functional>

// Atomic: the old file stays whole when the write fails. Throws
// TagloomError "Cannot create file %s: <the system's reason>".
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// As writeFileAtomically, but reports instead of throwing: 0 when the file
// was replaced, otherwise the system's error number (errno) of the step that
// failed, for callers that show their own input/output texts.
int tryWriteFileAtomically(const QString &path, const QByteArray &bytes);

// The same for a file written in pieces: produce() hands each to the sink,
// so a huge page is never encoded whole in memory first.
using ByteSink = std::function<void(QByteArrayView)>;
int tryWriteFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce);
void writeFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce);

// Opens a plain file to read, blocking. Anything else is refused without
// being opened (opening a named pipe to read waits for a writer, and a
// device may never end): -1 with errno EISDIR for a folder, EACCES for a
// pipe, a socket or a device, or the system's own. Every file the editor
// reads comes through here.
int openPlainFile(const QString &path);
// A plain file's bytes, read whole: 0, or the errno of what failed (as
// openPlainFile() gives it; EFBIG when the file holds more than `limit`).
int readPlainFile(const QString &path, qint64 limit, QByteArray &bytes);
// What tells two names of one file apart from two files: the canonical
// path when the file exists, else the absolute one.
QString sameFileKey(const QString &path);

// One version of a file on disk. Another program rewriting the file changes
// its size, its modification time or (when it replaces the file) its inode;
// a rewrite in place that puts the old time back still changes its status
// time. The hash of the bytes, when known, tells such a change from one that
// kept the bytes (a copy put back, a change of owner).
struct FileStamp {
    bool exists = false;
    bool regular = false; // a plain file, not a directory, pipe or device
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 statusNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
    quint64 hash = 0; // of the bytes; 0: not known
    // The hash is left out: it is not always known.
    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && regular == o.regular && size == o.size
            && modifiedNs == o.modifiedNs && statusNs == o.statusNs && inode == o.inode
            && device == o.device;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
FileStamp fileStamp(const QString &path);
// A hash of a plain file's bytes (never 0); 0 when it cannot be read whole.
quint64 fileHash(const QString &path);
// Hashes bytes in pieces as fileHash() hashes a file.
class ByteHasher {
public:
    void add(QByteArrayView bytes);
    quint64 result() const; // never 0

private:
    quint64 m_hash = 0x243F6A8885A308D3ull;
    quint64 m_tail = 0; // bytes not yet mixed, first in the lowest
    int m_tailSize = 0;
    qint64 m_length = 0;
};

enum class DiskChange { None, Changed, Removed };
// What became of the file `was` was taken of. Removed also when it is no
// longer a plain file. When only the inode or the status time moved, the
// bytes decide (Changed when `was` holds no hash).
DiskChange diskChange(const FileStamp &was, const QString &path);
