#include "recovery.h"
#include "diskfile.h"
#include "document.h"
#include "documenttable.h"
#include "errors.h"
#include "htmldoc.h"
#include "nativepath.h"
#include "textreader.h"
#include "uiseam.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace {
const QString kLockName = QStringLiteral("lock");

// What the session wrote beside a copy is a few lines; anything larger, or
// not a plain file, is not ours.
constexpr qint64 kMaxSideFileBytes = 65536;

QString readCaption(const QString &path)
{
    QByteArray bytes;
    if (readPlainFile(path, kMaxSideFileBytes, bytes) != 0)
        return {};
    return QString::fromUtf8(bytes.left(4096)).trimmed();
}

// What a copy of a document read from or saved to a file keeps of it: the
// path, the encoding and how the file stood, one "key=value" a line.
QByteArray fileInfo(const PageDocument *doc)
{
    if (!doc->hasFileName())
        return {};
    const QString path = doc->path();
    FileStamp s;
    if (QFileInfo(path).absoluteFilePath() == doc->filePath())
        s = doc->diskStamp();
    const QString stamp = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                              .arg(int(s.exists))
                              .arg(int(s.regular))
                              .arg(s.size)
                              .arg(s.modifiedNs)
                              .arg(s.statusNs)
                              .arg(s.inode)
                              .arg(s.device)
                              .arg(s.hash);
    // The path's own bytes: a name that is not UTF-8 comes back as it was,
    // and one that is reads as copies written before always did. What the
    // read found out of the charset comes back whole: the guess, a
    // declaration it could not read, the characters' other byte forms
    // ("kept=2252:8790": the code point and the bytes, in hexadecimal).
    const FileCharset charset = doc->charset();
    QString more;
    if (charset.guessed)
        more += QStringLiteral("\nguessed=1");
    if (!charset.unreadable.isEmpty())
        more += QStringLiteral("\nunreadable=") + charset.unreadable;
    if (!charset.kept.isEmpty()) {
        QStringList forms;
        for (auto it = charset.kept.cbegin(); it != charset.kept.cend(); ++it)
            forms << QString::number(uint(it.key()), 16) + QLatin1Char(':')
                         + QString::fromLatin1(it.value().toHex());
        forms.sort(); // the same set, the same text: not written again
        more += QStringLiteral("\nkept=") + forms.join(QLatin1Char(' '));
    }
    return "path=" + nativePath(path)
        + (QStringLiteral("\nencoding=") + encodingName(charset.encoding) + more
           + QStringLiteral("\nstamp=") + stamp + QLatin1Char('\n'))
              .toUtf8();
}

struct KeptFile {
    QString path; // empty: untitled
    FileCharset charset;
    FileStamp stamp;
};

// A copy without an info file (kept by an older version), or with one that
// cannot be read, reopens untitled.
KeptFile readFileInfo(const QString &infoPath)
{
    KeptFile kept;
    QByteArray bytes;
    if (readPlainFile(infoPath, kMaxSideFileBytes, bytes) != 0)
        return kept;
    QString path, encoding;
    QStringList stamp;
    for (const QByteArray &line : bytes.split('\n')) {
        const QString l = QString::fromUtf8(line);
        if (line.startsWith("path="))
            path = pathFromNative(line.mid(5));
        else if (l.startsWith(QLatin1String("encoding=")))
            encoding = l.mid(9);
        else if (l.startsWith(QLatin1String("stamp=")))
            stamp = l.mid(6).split(QLatin1Char(' '));
        else if (l == QLatin1String("guessed=1"))
            kept.charset.guessed = true;
        else if (l.startsWith(QLatin1String("unreadable=")))
            kept.charset.unreadable = l.mid(11);
        else if (line.startsWith("kept=")) {
            for (const QByteArray &form : line.mid(5).split(' ')) {
                const qsizetype colon = form.indexOf(':');
                bool ok = false;
                const uint code = form.left(colon).toUInt(&ok, 16);
                const QByteArray b = QByteArray::fromHex(form.mid(colon + 1));
                if (colon > 0 && ok && code <= 0x10FFFF && !b.isEmpty())
                    kept.charset.kept.insert(char32_t(code), b);
            }
        }
    }
    bool known = false;
    for (int e = 0; e <= int(kLastEncoding) && !known; ++e) {
        if (encodingName(TextEncoding(e)) == encoding) {
            kept.charset.encoding = TextEncoding(e);
            known = true;
        }
    }
    if (path.isEmpty() || !known)
        return kept;
    kept.path = path;
    if (stamp.size() == 8) {
        kept.stamp.exists = stamp[0] == QLatin1String("1");
        kept.stamp.regular = stamp[1] == QLatin1String("1");
        kept.stamp.size = stamp[2].toLongLong();
        kept.stamp.modifiedNs = stamp[3].toLongLong();
        kept.stamp.statusNs = stamp[4].toLongLong();
        kept.stamp.inode = stamp[5].toULongLong();
        kept.stamp.device = stamp[6].toULongLong();
        kept.stamp.hash = stamp[7].toULongLong();
    }
    return kept;
}

// The copies of one folder, by serial number.
QList<int> serialsIn(const QString &folder)
{
    QList<int> serials;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.htm")}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        bool ok = false;
        const int n = name.chopped(4).toInt(&ok);
        if (ok && n > 0)
            serials << n;
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}
} // namespace

DocumentRecovery::DocumentRecovery(DocumentTable *docs, QObject *parent)
    : QObject(parent), m_docs(docs)
{
    connect(docs, &DocumentTable::closed, this, [this](THTMLDOC *doc) { forget(doc); });
    m_timer.setInterval(kDefaultIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { snapshot(); });
    m_timer.start();
}

DocumentRecovery::~DocumentRecovery() { endSession(); }

QString DocumentRecovery::rootFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/recovery");
}

QString DocumentRecovery::filePath(int serial, const char *suffix) const
{
    return m_session + QLatin1Char('/') + QString::number(serial) + QLatin1String(suffix);
}

QString DocumentRecovery::copyPath(const THTMLDOC *doc) const
{
    const auto it = m_copies.constFind(doc);
    if (it == m_copies.constEnd() || m_session.isEmpty())
        return {};
    return filePath(it->serial, ".htm");
}

bool DocumentRecovery::ensureSession()
{
    if (m_lock)
        return true;
    const QString folder = rootFolder() + QStringLiteral("/%1-%2")
                                              .arg(QCoreApplication::applicationPid())
                                              .arg(QDateTime::currentMSecsSinceEpoch());
    if (!QDir().mkpath(folder))
        return false;
    auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + kLockName);
    // Stale only when its program is gone, however long it has been running.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        QDir(folder).removeRecursively();
        return false;
    }
    m_session = folder;
    m_lock = std::move(lock);
    return true;
}

void DocumentRecovery::removeFiles(int serial)
{
    if (m_session.isEmpty())
        return;
    QFile::remove(filePath(serial, ".htm"));
    QFile::remove(filePath(serial, ".caption"));
    QFile::remove(filePath(serial, ".info"));
}

void DocumentRecovery::snapshot()
{
    if (!m_docs)
        return;
    for (THTMLDOC *doc : m_docs->documents()) {
        const PageDocument *page = doc->page();
        auto it = m_copies.find(doc);
        if (!page->isModified()) {
            // Saved, or undone back to what the file holds: nothing to keep.
            if (it != m_copies.end()) {
                removeFiles(it->serial);
                m_copies.erase(it);
            }
            continue;
        }
        if (page->isBusy())
            continue; // half read: the next tick copies it whole
        const QByteArray info = fileInfo(page);
        if (it != m_copies.end() && it->copiedEdits == page->editCount()
            && it->caption == doc->windowTitle() && it->info == info)
            continue;
        if (!ensureSession())
            return; // no place to write to; the next tick tries again
        if (it == m_copies.end()) {
            it = m_copies.insert(doc, Copy{m_nextSerial++, 0, QString(), QByteArray()});
            connect(doc, &QObject::destroyed, this, [this, doc] { forget(doc); });
        }
        // A failed copy is tried again at the next tick; it never
        // interrupts the user with a message.
        if (it->caption != doc->windowTitle()
            && tryWriteFileAtomically(filePath(it->serial, ".caption"),
                                      shownPath(doc->windowTitle()).toUtf8())
                   == 0)
            it->caption = doc->windowTitle();
        if (it->info != info) {
            const QString infoPath = filePath(it->serial, ".info");
            if (info.isEmpty() ? (QFile::remove(infoPath) || !QFile::exists(infoPath))
                               : tryWriteFileAtomically(infoPath, info) == 0)
                it->info = info;
        }
        if (it->copiedEdits != page->editCount()
            && tryWriteFileAtomically(filePath(it->serial, ".htm"), page->copyBytes()) == 0)
            it->copiedEdits = page->editCount();
    }
}

void DocumentRecovery::forget(const THTMLDOC *doc)
{
    const auto it = m_copies.find(doc);
    if (it == m_copies.end())
        return;
    removeFiles(it->serial);
    m_copies.erase(it);
}

void DocumentRecovery::endSession()
{
    m_copies.clear();
    if (m_session.isEmpty())
        return;
    m_lock->unlock();
    m_lock.reset();
    QDir(m_session).removeRecursively();
    m_session.clear();
}

QString DocumentRecovery::question(const QStringList &captions)
{
    return QStringLiteral("Tagloom HTML did not close properly last time. The unsaved text of "
                          "these documents was kept:\n\n%1\n\n"
                          "Reopen it as new documents? No discards it.")
        .arg(captions.join(QLatin1Char('\n')));
}

void DocumentRecovery::offerRecovery()
{
    if (m_offered || !m_docs)
        return;
    m_offered = true;
    struct Ended {
        QString folder;
        std::unique_ptr<QLockFile> lock;
        QList<int> serials;
    };
    std::vector<Ended> ended;
    QStringList captions;
    const QString root = rootFolder();
    const QStringList folders =
        QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : folders) {
        const QString folder = root + QLatin1Char('/') + name;
        if (folder == m_session)
            continue;
        const QString lockPath = folder + QLatin1Char('/') + kLockName;
        // A lock that is no plain file would be read to see whose it is,
        // and a pipe would hold the start: such a folder is not ours.
        if (const FileStamp was = fileStamp(lockPath); was.exists && !was.regular)
            continue;
        auto lock = std::make_unique<QLockFile>(lockPath);
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue; // a running editor's session
        Ended e{folder, std::move(lock), serialsIn(folder)};
        if (e.serials.isEmpty()) {
            e.lock->unlock();
            QDir(folder).removeRecursively();
            continue;
        }
        for (int serial : std::as_const(e.serials)) {
            const QString caption = readCaption(
                folder + QLatin1Char('/') + QString::number(serial) + QStringLiteral(".caption"));
            captions << (caption.isEmpty() ? QStringLiteral("(untitled)") : caption);
        }
        ended.push_back(std::move(e));
    }
    if (ended.empty())
        return;

    const bool reopen = ui().confirm(question(captions));
    // Reopened texts get copies of this session before the old ones go.
    QList<QString> done;
    runGuarded([&] {
        for (const Ended &e : ended) {
            for (int serial : e.serials) {
                const QString path =
                    e.folder + QLatin1Char('/') + QString::number(serial) + QStringLiteral(".htm");
                if (reopen) {
                    const DecodedText d = readTextFile(path);
                    const KeptFile kept = readFileInfo(path.chopped(4) + QStringLiteral(".info"));
                    // Throws when no slot is free.
                    m_docs->create()->page()->restoreCopy(d.text, kept.path, kept.charset,
                                                          kept.stamp);
                }
                done << path;
            }
        }
    });
    snapshot();
    for (const QString &path : std::as_const(done)) {
        QFile::remove(path);
        QFile::remove(path.chopped(4) + QStringLiteral(".caption"));
        QFile::remove(path.chopped(4) + QStringLiteral(".info"));
    }
    for (Ended &e : ended) {
        if (!serialsIn(e.folder).isEmpty())
            continue; // not all reopened (no free slot): offered again next time
        e.lock->unlock();
        QDir(e.folder).removeRecursively();
    }
}
