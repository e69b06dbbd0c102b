#include "htmldoc.h"
#include "charsetsniff.h"
#include "editorbox.h"
#include "errors.h"
#include "freememory.h"
#include "pageload.h"
#include "progressbox.h"
#include "textreader.h"
#include "uiseam.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

QString THTMLDOC::skeleton()
{
    return QStringLiteral("<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here </TITLE>\r\n"
                          "</HEAD>\r\n<BODY>\r\n\r\n</BODY>\r\n</HTML>");
}

THTMLDOC::THTMLDOC(int slot, QString *lastSavePath, QWidget *parent)
    : QMdiSubWindow(parent), m_lastSavePath(lastSavePath), m_slot(slot), m_editor(new EditorBox)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setPath(QString());
    setWidget(m_editor);
    resize(437, 306);
    // FormCreate: the skeleton counts as unchanged; the caret starts on the
    // empty line inside the body (offset 75).
    m_editor->loadText(skeleton());
    m_editor->setSelStart(75);
    connect(m_editor->document(), &QTextDocument::contentsChange, this,
            [this](int, int removed, int added) {
                if (removed || added)
                    ++m_edits;
            });
}

QByteArray THTMLDOC::fileBytes() const
{
    QByteArray all;
    writeFileBytes([&](QByteArrayView piece) { all += piece; });
    return all;
}

void THTMLDOC::writeFileBytes(const ByteSink &sink) const
{
    // Line by line rather than the whole text at once: a huge page is never
    // copied whole, and the file is written while it is encoded.
    constexpr qsizetype kPiece = 1 << 20;
    QByteArray out;
    out.reserve(kPiece + 4096);
    out += byteOrderMark(m_encoding);
    const QTextDocument *doc = m_editor->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin())
            appendEncoded(u"\r\n", m_encoding, m_standIns, out);
        appendEncoded(b.text(), m_encoding, m_standIns, out, m_kept);
        if (out.size() >= kPiece) {
            sink(out);
            out.resize(0);
            ProgressScope::report(b.blockNumber(), doc->blockCount());
        }
    }
    sink(out);
    ProgressScope::report(doc->blockCount(), doc->blockCount());
}

namespace {
// Marks a document busy for as long as it lives.
struct BusyFlag {
    explicit BusyFlag(bool &flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~BusyFlag() { m_flag = m_was; }
    bool &m_flag;
    bool m_was;
};
} // namespace

void THTMLDOC::setPath(const QString &path)
{
    m_path = path;
    setWindowTitle(path.isEmpty() ? QStringLiteral("HTML %1").arg(m_slot) : path);
}

void THTMLDOC::load(const QString &path)
{
    setPath(path);
    // Taken before reading: a change made while reading makes a later save
    // ask rather than overwrite unasked.
    FileStamp stamp = fileStamp(path);
    BusyFlag busy(m_busy);
    ProgressBox progress(ProgressBox::Reading, path, this);
    const StreamedText d = loadPage(*m_editor, path);
    stamp.hash = d.hash;
    m_standIns = d.standIns;
    m_editor->setSelStart(0);
    setEncoding(d.encoding, d.guessed, d.kept);
    // The two a page falls back to when its declaration names nothing ours.
    if ((d.encoding == TextEncoding::Windows1252 || d.encoding == TextEncoding::Utf8)
        && !d.guessed) {
        QTextCursor head(m_editor->document());
        head.setPosition(qMin(1024, m_editor->document()->characterCount() - 1),
                         QTextCursor::KeepAnchor);
        m_unreadable = QString::fromLatin1(unreadableDeclaration(head.selectedText().toLatin1()));
        setToolTip(encodingToolTip());
    }
    m_hasFileName = true;
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
}

bool THTMLDOC::reopenAs(TextEncoding encoding)
{
    if (!m_hasFileName || m_busy)
        return false;
    if (m_editor->isModified()
        && !ui().confirm(QStringLiteral("Reopen %1 as %2? The changes made to it will be lost.")
                             .arg(m_path, encodingName(encoding))))
        return false;
    const QString path = m_path;
    bool done = false;
    runGuarded([&] {
        FileStamp stamp = fileStamp(path);
        BusyFlag busy(m_busy);
        DecodedText d = readTextFileAs(path, encoding, stamp.hash);
        m_standIns = hideEditorMarks(d.text);
        m_editor->loadText(d.text);
        m_editor->setSelStart(0);
        setEncoding(encoding, false, d.kept);
        rememberFile(path, stamp);
        done = true;
    });
    if (done)
        emit fileNamed(m_diskPath);
    return done;
}

bool THTMLDOC::saveWithEncoding(TextEncoding encoding)
{
    const QTextDocument *doc = m_editor->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QString line = b.text();
        const qsizetype at = firstUnencodable(line, encoding);
        if (at < 0)
            continue;
        const char32_t c = QStringView(line).sliced(at).toUcs4().value(0);
        ui().warningBox(
            QStringLiteral("%1 cannot hold the character \u201C%2\u201D (U+%3) on line %4, "
                           "column %5. Nothing was saved.")
                .arg(encodingName(encoding), QString::fromUcs4(&c, 1),
                     QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0')))
                .arg(b.blockNumber() + 1)
                .arg(at + 1));
        return false;
    }
    const TextEncoding was = m_encoding;
    const bool wasGuessed = m_guessed;
    const KeptForms wasKept = m_kept;
    setEncoding(encoding, false, encoding == was ? m_kept : KeptForms());
    bool saved = false;
    runGuarded([&] { saved = save(); });
    if (!saved) {
        setEncoding(was, wasGuessed, wasKept);
        return false;
    }
    return true;
}

void THTMLDOC::setEncoding(TextEncoding encoding, bool guessed, const KeptForms &kept)
{
    m_encoding = encoding;
    m_guessed = guessed;
    m_unreadable.clear();
    m_kept = kept;
    setToolTip(encodingToolTip());
}

QString THTMLDOC::encodingText() const
{
    const QString name = encodingName(m_encoding);
    if (!m_unreadable.isEmpty())
        return name + QStringLiteral(" (%1 cannot be read)").arg(m_unreadable.toUpper());
    return m_guessed ? name + QStringLiteral(" (guessed)") : name;
}

QString THTMLDOC::encodingToolTip() const
{
    const QString name = QStringLiteral("Encoding: ") + encodingName(m_encoding);
    if (!m_unreadable.isEmpty())
        return name + QStringLiteral(". The page declares %1, which this editor cannot read: "
                                     "its bytes are shown as %2 and saved as they were.")
                          .arg(m_unreadable.toUpper(), encodingName(m_encoding));
    return m_guessed ? name + QStringLiteral(", guessed from the text: the page declares none. "
                                             "File > Reopen with Encoding reads it in another.")
                     : name;
}

QByteArray THTMLDOC::encode(const QString &crlfText) const
{
    return encodeText(crlfText, m_encoding, m_standIns, m_kept);
}

void THTMLDOC::restoreCopy(const QString &text, const QString &path, const FileCharset &charset,
                           const FileStamp &stamp)
{
    QString t = text;
    m_standIns = hideEditorMarks(t);
    m_editor->loadText(t);
    m_editor->setModified(true);
    if (path.isEmpty())
        return;
    setPath(path);
    setEncoding(charset.encoding, charset.guessed, charset.kept);
    m_unreadable = charset.unreadable;
    setToolTip(encodingToolTip());
    m_hasFileName = true;
    rememberFile(path, stamp);
    // As after a read: whoever shows the encoding and the folder learns them.
    emit fileNamed(m_diskPath);
}

QByteArray THTMLDOC::copyBytes() const
{
    return encodeText(m_editor->rawText(), TextEncoding::Utf8, m_standIns);
}

bool THTMLDOC::saveTo(const QString &path)
{
    if (changedOnDisk(path)) {
        const FileStamp asked = fileStamp(path);
        if (!ui().confirm(QStringLiteral("The file %1 has changed on disk since it was opened. "
                                         "Overwrite it?")
                              .arg(path))) {
            // The user has heard of this version: the disk check says
            // nothing more about it.
            m_told = true;
            m_toldStamp = asked;
            return false;
        }
    }
    ByteHasher hash;
    {
        BusyFlag busy(m_busy);
        ProgressBox progress(ProgressBox::Writing, path, this);
        writeFileAtomically(path, [&](const ByteSink &sink) {
            writeFileBytes([&](QByteArrayView piece) {
                hash.add(piece);
                sink(piece);
            });
        });
    }
    m_editor->setModified(false);
    FileStamp stamp = fileStamp(path);
    stamp.hash = hash.result();
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
    return true;
}

bool THTMLDOC::saveAs()
{
    FileDialogRequest req{QStringLiteral("Save HTML Document"),
                          QStringLiteral("HTML Document|*.htm"), QString(), *m_lastSavePath,
                          true};
    const QString path = ui().saveFileName(req);
    if (path.isEmpty())
        return false;
    *m_lastSavePath = path;
    if (!saveTo(path))
        return false;
    setPath(path);
    m_hasFileName = true;
    return true;
}

bool THTMLDOC::save()
{
    return m_hasFileName ? saveTo(m_path) : saveAs();
}

void THTMLDOC::rememberFile(const QString &path, const FileStamp &stamp)
{
    m_diskPath = QFileInfo(path).absoluteFilePath();
    m_diskStamp = stamp;
    m_told = false;
}

bool THTMLDOC::changedOnDisk(const QString &path) const
{
    if (m_diskPath.isEmpty() || QFileInfo(path).absoluteFilePath() != m_diskPath)
        return false;
    // A file deleted since holds nothing to lose.
    return diskChange(m_diskStamp, path) == DiskChange::Changed;
}

void THTMLDOC::checkDisk()
{
    if (m_diskPath.isEmpty() || !m_hasFileName || m_busy
        || QFileInfo(m_path).absoluteFilePath() != m_diskPath)
        return;
    const FileStamp now = fileStamp(m_diskPath);
    const DiskChange change = diskChange(m_diskStamp, m_diskPath);
    if (change == DiskChange::None) {
        // The same bytes in a new inode: no need to read them again.
        if (now != m_diskStamp && now.exists) {
            const quint64 hash = m_diskStamp.hash;
            m_diskStamp = now;
            m_diskStamp.hash = hash;
        }
        return;
    }
    if (m_told && now == m_toldStamp)
        return; // told already about this version
    m_told = true;
    m_toldStamp = now;
    if (change == DiskChange::Removed) {
        m_editor->setModified(true);
        return;
    }
    const QString fact =
        QStringLiteral("The file %1 was changed by another program.").arg(m_path);
    if (m_editor->isModified())
        ui().warningBox(fact);
    else if (ui().confirm(fact + QStringLiteral(" Reload it?")))
        reload();
}

bool THTMLDOC::reload()
{
    const QString path = m_path;
    // A pipe put in the file's place would hold the editor up until
    // something wrote to it.
    if (!fileStamp(path).regular) {
        runGuarded([&] { throw TagloomError(Errors::cannotOpen(path)); });
        return false;
    }
    const int line = m_editor->textCursor().blockNumber();
    bool done = false;
    runGuarded([&] {
        try {
            load(path);
            done = true;
        } catch (const WorkCancelled &) {
        }
    });
    if (!done)
        return false;
    const QTextBlock block = m_editor->document()->findBlockByNumber(
        qMin(line, m_editor->document()->blockCount() - 1));
    QTextCursor c(block);
    m_editor->setTextCursor(c);
    m_editor->ensureCursorVisible();
    return true;
}

void THTMLDOC::FormActivate()
{
    // The table tells whoever follows the current document (the main
    // window gives the editor its colours).
    emit activated(this);
}

void THTMLDOC::closeEvent(QCloseEvent *e)
{
    if (m_editor->isModified()
        && ui().confirm(QStringLiteral("Save Changes to %1?").arg(windowTitle()))) {
        // A cancelled or failed Save As keeps the document open: nothing the
        // user typed is thrown away.
        bool saved = false;
        runGuarded([&] { saved = saveAs(); });
        if (!saved) {
            e->ignore();
            return;
        }
    }
    // The slot is free and the recovery copy goes.
    emit closing(this);
    QMdiSubWindow::closeEvent(e);
    returnFreedMemorySoon(); // the page's text goes with the window
}
