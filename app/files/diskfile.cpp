#include "diskfile.h"
#include "errors.h"
#include "nativepath.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (const int e = tryWriteFileAtomically(path, bytes))
        throw TagloomError(Errors::cannotCreate(path, e));
}

int tryWriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    return tryWriteFileAtomically(path, [&](const ByteSink &write) { write(bytes); });
}

namespace {
QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// A page reached through a symbolic link is written where the link points;
// the link itself stays. A loop of links leaves the name as it is.
QByteArray linkTarget(const QByteArray &path)
{
    QByteArray target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(target.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(target.constData(), link.data(), size_t(link.size()));
        if (n <= 0 || n >= link.size())
            return target;
        link.truncate(n);
        target = link.startsWith('/') ? link : folderOf(target) + '/' + link;
    }
    return path;
}

QByteArray randomSuffix()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray s(".", 1);
    for (int i = 0; i < 6; ++i)
        s += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
    return s;
}

// The new content of a file, written beside it and put in its place whole
// by rename(), so a failed or interrupted save leaves the old file as it
// was. Where the file system allows it the file has no name until then:
// a save killed part way leaves nothing behind.
class ReplacingFile {
public:
    explicit ReplacingFile(QByteArray target) : m_target(std::move(target)) {}
    ~ReplacingFile() { cancel(); }

    int create(mode_t mode)
    {
        const QByteArray folder = folderOf(m_target);
        if (::access("/proc/self/fd", X_OK) == 0) {
            m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (m_fd >= 0)
                return 0;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = tempName();
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_fd >= 0) {
                m_name = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }
    int fd() const { return m_fd; }

    int commit()
    {
        if (::fsync(m_fd) != 0 && errno != EINVAL)
            return errno;
        if (m_name.isEmpty()) {
            // linkat() cannot replace: the file gets a name of its own first.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
            for (int attempt = 0; attempt < 100 && m_name.isEmpty(); ++attempt) {
                const QByteArray name = tempName();
                if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(),
                             AT_SYMLINK_FOLLOW)
                    == 0)
                    m_name = name;
                else if (errno != EEXIST)
                    return errno;
            }
            if (m_name.isEmpty())
                return EEXIST;
        }
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0 && errno != EINTR)
            return errno;
        if (::rename(m_name.constData(), m_target.constData()) != 0)
            return errno;
        m_name.clear();
        return 0;
    }

    void cancel()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
        m_name.clear();
    }

private:
    QByteArray tempName() const
    {
        // The file's own name where it fits: a leftover tells whose it was.
        const qsizetype nameLength = m_target.size() - m_target.lastIndexOf('/') - 1;
        const QByteArray stem =
            nameLength <= NAME_MAX - 7 ? m_target : folderOf(m_target) + "/tagloom";
        return stem + randomSuffix();
    }

    QByteArray m_target;
    QByteArray m_name; // empty while the file has no name
    int m_fd = -1;
};

// Writes whole, retrying what a signal or a short write left.
int writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= n;
    }
    return 0;
}
} // namespace

int tryWriteFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce)
{
    // The name's own bytes: one that is not UTF-8 is written back as it was.
    const QByteArray target = linkTarget(nativePath(path));
    struct stat st;
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists) {
        // A pipe in the file's place would be written to, not replaced, and
        // hold the editor up until something read it: refused as
        // openPlainFile() refuses it.
        if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
            return EACCES;
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        // A file the user made read-only stays as it is, though the folder
        // would let it be replaced.
        if (::access(target.constData(), W_OK) != 0)
            return errno;
    }
    // A new file gets the usual permissions (the umask applies); a replaced
    // one keeps its own.
    const mode_t mode = exists ? (st.st_mode & 0777) : 0666;
    ReplacingFile file(target);
    if (const int e = file.create(mode))
        return e;
    if (exists && ::fchmod(file.fd(), mode) != 0)
        return errno;
    // Small pieces are gathered: a write per piece would cost a system call
    // for every line of the page.
    constexpr qsizetype kBuffer = 1 << 16;
    QByteArray buffer;
    buffer.reserve(kBuffer);
    int failed = 0;
    produce([&](QByteArrayView bytes) {
        if (failed)
            return;
        if (buffer.size() + bytes.size() > kBuffer) {
            failed = writeAll(file.fd(), buffer.constData(), buffer.size());
            buffer.clear();
        }
        if (failed)
            return;
        if (bytes.size() >= kBuffer)
            failed = writeAll(file.fd(), bytes.data(), bytes.size());
        else
            buffer.append(bytes.data(), bytes.size());
    });
    if (!failed)
        failed = writeAll(file.fd(), buffer.constData(), buffer.size());
    if (!failed)
        failed = file.commit();
    return failed;
}

void writeFileAtomically(const QString &path, const std::function<void(const ByteSink &)> &produce)
{
    if (const int e = tryWriteFileAtomically(path, produce))
        throw TagloomError(Errors::cannotCreate(path, e));
}

int openPlainFile(const QString &path)
{
    const QByteArray native = nativePath(path);
    auto refuse = [](const struct stat &st) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
        return -1;
    };
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode))
        return refuse(st);
    // Not waiting, and looked at again once open: a pipe put in the file's
    // place meanwhile is not waited on either.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int e = errno;
        ::close(fd);
        if (S_ISREG(st.st_mode)) {
            errno = e;
            return -1;
        }
        return refuse(st);
    }
    return fd;
}

int readPlainFile(const QString &path, qint64 limit, QByteArray &bytes)
{
    bytes.clear();
    const int fd = openPlainFile(path);
    if (fd < 0)
        return errno;
    // One far over the limit is refused before it is read.
    struct stat st;
    int result = ::fstat(fd, &st) != 0 ? errno : st.st_size > limit ? EFBIG : 0;
    constexpr qsizetype kChunk = 1 << 16;
    while (!result) {
        const qsizetype had = bytes.size();
        bytes.resize(had + kChunk);
        const ssize_t got = ::read(fd, bytes.data() + had, size_t(kChunk));
        bytes.resize(had + std::max<ssize_t>(got, 0));
        if (got == 0)
            break;
        if (got < 0 && errno != EINTR)
            result = errno;
        else if (bytes.size() > limit) // grown since
            result = EFBIG;
    }
    ::close(fd);
    if (result)
        bytes.clear();
    return result;
}

FileStamp fileStamp(const QString &path)
{
    FileStamp s;
    struct stat st;
    if (::stat(nativePath(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.statusNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.inode = quint64(st.st_ino);
    s.device = quint64(st.st_dev);
    return s;
}

void ByteHasher::add(QByteArrayView bytes)
{
    // Eight bytes at a time, whatever the pieces: every step is one to one
    // in the state, so two inputs that differ give different results up to
    // the rare collision of 64 bits.
    constexpr quint64 kMul = 0x9E3779B97F4A7C15ull;
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    auto mix = [this](quint64 w) {
        m_hash = (m_hash ^ w) * kMul;
        m_hash ^= m_hash >> 29;
    };
    while (n > 0 && m_tailSize > 0 && m_tailSize < 8) {
        m_tail |= quint64(uchar(*p++)) << (8 * m_tailSize++);
        --n;
    }
    if (m_tailSize == 8) {
        mix(m_tail);
        m_tail = 0;
        m_tailSize = 0;
    }
    for (; n >= 8; p += 8, n -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        mix(qFromLittleEndian(w));
    }
    for (; n > 0; --n)
        m_tail |= quint64(uchar(*p++)) << (8 * m_tailSize++);
    m_length += bytes.size();
}

quint64 ByteHasher::result() const
{
    quint64 h = m_hash;
    h = (h ^ m_tail ^ (quint64(m_length) << 3)) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 31;
    return h ? h : 1;
}

quint64 fileHash(const QString &path)
{
    const int fd = openPlainFile(path);
    if (fd < 0)
        return 0;
    quint64 result = 0;
    ByteHasher h;
    std::vector<char> buf(1 << 20);
    for (;;) {
        const ssize_t got = ::read(fd, buf.data(), buf.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        if (got == 0) {
            result = h.result();
            break;
        }
        h.add(QByteArrayView(buf.data(), got));
    }
    ::close(fd);
    return result;
}

DiskChange diskChange(const FileStamp &was, const QString &path)
{
    const FileStamp now = fileStamp(path);
    if (!now.exists || !now.regular)
        return was.exists && was.regular ? DiskChange::Removed : DiskChange::None;
    if (!was.exists || !was.regular || now.size != was.size || now.modifiedNs != was.modifiedNs)
        return DiskChange::Changed;
    if (now == was)
        return DiskChange::None;
    return was.hash && fileHash(path) == was.hash ? DiskChange::None : DiskChange::Changed;
}

QString sameFileKey(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
