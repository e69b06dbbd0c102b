#include "document.h"
#include "charsetsniff.h"
#include "keptbytes.h"
#include "pageload.h"
#include "pagetext.h"
#include "textreader.h"
#include "workprogress.h"

#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>

#include <cstring>

namespace {
// Marks a document busy for as long as it lives.
struct BusyFlag {
    explicit BusyFlag(bool &flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~BusyFlag() { m_flag = m_was; }
    bool &m_flag;
    bool m_was;
};
} // namespace

PageDocument::PageDocument(QObject *parent) : QObject(parent), m_text(new PageText(this))
{
    connect(m_text, &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (removed || added)
            ++m_edits;
    });
    connect(m_text, &QTextDocument::modificationChanged, this, &PageDocument::modifiedChanged);
}

void PageDocument::setFileName(const QString &path)
{
    m_path = path;
    m_hasFileName = !path.isEmpty();
    emit pathChanged(path);
}

void PageDocument::followRename(const QString &path)
{
    // A rename moves the file's status time, not its bytes: the file stands
    // as it was read unless its size or time say another program was there.
    FileStamp stamp = m_diskStamp;
    const FileStamp now = fileStamp(path);
    if (now.size == stamp.size && now.modifiedNs == stamp.modifiedNs && now.inode == stamp.inode) {
        const quint64 hash = stamp.hash;
        stamp = now;
        stamp.hash = hash;
    }
    setFileName(path);
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
}

void PageDocument::setCharset(const FileCharset &charset)
{
    m_charset = charset;
    emit charsetChanged();
}

bool PageDocument::isModified() const { return m_text->isModified(); }

void PageDocument::setModified(bool changed) { m_text->setModified(changed); }

QString PageDocument::encodingText() const
{
    const QString name = encodingName(m_charset.encoding);
    if (!m_charset.unreadable.isEmpty())
        return name + QStringLiteral(" (%1 cannot be read)").arg(m_charset.unreadable.toUpper());
    return m_charset.guessed ? name + QStringLiteral(" (guessed)") : name;
}

QString PageDocument::encodingToolTip() const
{
    const QString name = QStringLiteral("Encoding: ") + encodingName(m_charset.encoding);
    if (!m_charset.unreadable.isEmpty())
        return name
               + QStringLiteral(". The page declares %1, which this editor cannot read: "
                                "its bytes are shown as %2 and saved as they were.")
                     .arg(m_charset.unreadable.toUpper(), encodingName(m_charset.encoding));
    return m_charset.guessed
               ? name
                     + QStringLiteral(", guessed from the text: the page declares none. "
                                      "File > Reopen with Encoding reads it in another.")
               : name;
}

void PageDocument::load(const QString &path)
{
    setFileName(path);
    // Taken before reading: a change made while reading makes a later save
    // ask rather than overwrite unasked.
    FileStamp stamp = fileStamp(path);
    BusyFlag busy(m_busy);
    const StreamedText d = loadPage(*m_text, path);
    stamp.hash = d.hash;
    m_standIns = d.standIns;
    FileCharset charset{d.encoding, d.guessed, d.kept, QString()};
    // The two a page falls back to when its declaration names nothing ours.
    if ((d.encoding == TextEncoding::Windows1252 || d.encoding == TextEncoding::Utf8)
        && !d.guessed) {
        QTextCursor head(m_text);
        head.setPosition(qMin(1024, m_text->characterCount() - 1), QTextCursor::KeepAnchor);
        charset.unreadable =
            QString::fromLatin1(unreadableDeclaration(head.selectedText().toLatin1()));
    }
    setCharset(charset);
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
}

void PageDocument::loadAs(TextEncoding encoding)
{
    const QString path = m_path;
    FileStamp stamp = fileStamp(path);
    BusyFlag busy(m_busy);
    DecodedText d = readTextFileAs(path, encoding, stamp.hash);
    m_standIns = hideEditorMarks(d.text);
    m_text->loadText(d.text);
    setCharset({encoding, false, d.kept, QString()});
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
}

void PageDocument::restoreCopy(const QString &text, const QString &path, const FileCharset &charset,
                               const FileStamp &stamp)
{
    QString t = text;
    m_standIns = hideEditorMarks(t);
    m_text->loadText(t);
    setModified(true);
    if (path.isEmpty())
        return;
    setFileName(path);
    setCharset(charset);
    rememberFile(path, stamp);
    // As after a read: whoever shows the encoding and the folder learns them.
    emit fileNamed(m_diskPath);
}

QByteArray PageDocument::copyBytes() const
{
    return encodeText(m_text->toRawText(), TextEncoding::Utf8, m_standIns);
}

QByteArray PageDocument::encode(const QString &crlfText) const
{
    return encodeText(crlfText, m_charset.encoding, m_standIns, m_charset.kept);
}

QByteArray PageDocument::fileBytes() const
{
    QByteArray all;
    writeFileBytes([&](QByteArrayView piece) { all += piece; });
    return all;
}

void PageDocument::writeFileBytes(const ByteSink &sink) const
{
    // Line by line rather than the whole text at once: a huge page is never
    // copied whole, and the file is written while it is encoded.
    constexpr qsizetype kPiece = 1 << 20;
    const TextEncoding encoding = m_charset.encoding;
    QByteArray out;
    out.reserve(kPiece + 4096);
    out += byteOrderMark(encoding);
    for (QTextBlock b = m_text->begin(); b.isValid(); b = b.next()) {
        if (b != m_text->begin())
            appendEncoded(u"\r\n", encoding, m_standIns, out);
        appendEncoded(b.text(), encoding, m_standIns, out, m_charset.kept);
        if (out.size() >= kPiece) {
            sink(out);
            out.resize(0);
            ProgressScope::report(b.blockNumber(), m_text->blockCount());
        }
    }
    sink(out);
    ProgressScope::report(m_text->blockCount(), m_text->blockCount());
}

void PageDocument::write(const QString &path)
{
    ByteHasher hash;
    {
        BusyFlag busy(m_busy);
        writeFileAtomically(path, [&](const ByteSink &sink) {
            writeFileBytes([&](QByteArrayView piece) {
                hash.add(piece);
                sink(piece);
            });
        });
    }
    setModified(false);
    FileStamp stamp = fileStamp(path);
    stamp.hash = hash.result();
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
}

bool PageDocument::saveTo(const QString &path)
{
    if (changedOnDisk(path))
        return false;
    write(path);
    return true;
}

PageDocument::KeptSave PageDocument::saveKeepingBytes(QString *why)
{
    const QString path = m_diskPath;
    if (path.isEmpty()) {
        *why = QStringLiteral("was never read from a file");
        return KeptSave::Refused;
    }
    if (changedOnDisk(path))
        return KeptSave::ChangedOnDisk;
    QByteArray bytes;
    if (const int e = readPlainFile(path, kMaxTextFileBytes, bytes)) {
        *why = QString::fromLocal8Bit(std::strerror(e));
        return KeptSave::Refused;
    }
    ByteHasher was;
    was.add(bytes);
    // The same size and times, other bytes: only the hash tells.
    if (m_diskStamp.hash && was.result() != m_diskStamp.hash)
        return KeptSave::ChangedOnDisk;
    QStringList lines;
    lines.reserve(m_text->blockCount());
    for (QTextBlock b = m_text->begin(); b.isValid(); b = b.next())
        lines << b.text();
    const std::optional<QByteArray> out =
        keepOtherBytes(bytes, m_charset.encoding, m_charset.kept, m_standIns, lines, why);
    if (!out)
        return KeptSave::Refused;
    {
        BusyFlag busy(m_busy);
        if (const int e = tryWriteFileAtomically(path, *out)) {
            *why = QString::fromLocal8Bit(std::strerror(e));
            return KeptSave::Refused;
        }
    }
    setModified(false);
    ByteHasher hash;
    hash.add(*out);
    FileStamp stamp = fileStamp(path);
    stamp.hash = hash.result();
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
    return KeptSave::Saved;
}

void PageDocument::rememberFile(const QString &path, const FileStamp &stamp)
{
    m_diskPath = QFileInfo(path).absoluteFilePath();
    m_diskStamp = stamp;
    m_told = false;
}

bool PageDocument::changedOnDisk(const QString &path) const
{
    if (m_diskPath.isEmpty() || QFileInfo(path).absoluteFilePath() != m_diskPath)
        return false;
    // A file deleted since holds nothing to lose.
    return diskChange(m_diskStamp, path) == DiskChange::Changed;
}

DiskChange PageDocument::newDiskChange()
{
    if (m_diskPath.isEmpty() || !m_hasFileName || m_busy
        || QFileInfo(m_path).absoluteFilePath() != m_diskPath)
        return DiskChange::None;
    const FileStamp now = fileStamp(m_diskPath);
    const DiskChange change = diskChange(m_diskStamp, m_diskPath);
    if (change == DiskChange::None) {
        // The same bytes in a new inode: no need to read them again.
        if (now != m_diskStamp && now.exists) {
            const quint64 hash = m_diskStamp.hash;
            m_diskStamp = now;
            m_diskStamp.hash = hash;
        }
        return DiskChange::None;
    }
    if (m_told && now == m_toldStamp)
        return DiskChange::None; // told already about this version
    noteTold(now);
    return change;
}

void PageDocument::noteTold(const FileStamp &stamp)
{
    m_told = true;
    m_toldStamp = stamp;
}
