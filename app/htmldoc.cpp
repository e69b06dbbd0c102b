#include "htmldoc.h"
#include "documenttable.h"
#include "editorbox.h"
#include "errors.h"
#include "uiseam.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QTextBlock>
#include <QTextDocument>

QString THTMLDOC::skeleton()
{
    return QStringLiteral("<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here </TITLE>\r\n"
                          "</HEAD>\r\n<BODY>\r\n\r\n</BODY>\r\n</HTML>");
}

THTMLDOC::THTMLDOC(DocumentTable *table, int slot, QWidget *parent)
    : QMdiSubWindow(parent), m_table(table), m_slot(slot), m_editor(new EditorBox)
{
    setAttribute(Qt::WA_DeleteOnClose);
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
        appendEncoded(b.text(), m_encoding, m_standIns, out);
        if (out.size() >= kPiece) {
            sink(out);
            out.resize(0);
        }
    }
    sink(out);
}

void THTMLDOC::load(const QString &path)
{
    setWindowTitle(path);
    // Taken before reading: a change made while reading makes a later save
    // ask rather than overwrite unasked.
    const FileStamp stamp = fileStamp(path);
    const StreamedText d = m_editor->loadFile(path);
    m_standIns = d.standIns;
    m_editor->setSelStart(0);
    m_encoding = d.encoding;
    setToolTip(QStringLiteral("Encoding: ") + encodingName(m_encoding));
    m_hasFileName = true;
    rememberFile(path, stamp);
    emit fileNamed(m_diskPath);
}

QByteArray THTMLDOC::encode(const QString &crlfText) const
{
    return encodeText(crlfText, m_encoding, m_standIns);
}

void THTMLDOC::restoreCopy(const QString &text)
{
    QString t = text;
    m_standIns = hideEditorMarks(t);
    m_editor->loadText(t);
    m_editor->setModified(true);
}

QByteArray THTMLDOC::copyBytes() const
{
    return encodeText(m_editor->rawText(), TextEncoding::Utf8, m_standIns);
}

bool THTMLDOC::saveTo(const QString &path)
{
    if (changedOnDisk(path)
        && !ui().confirm(QStringLiteral("The file %1 has changed on disk since it was opened. "
                                        "Overwrite it?")
                             .arg(path)))
        return false;
    writeFileAtomically(path, [&](const ByteSink &sink) { writeFileBytes(sink); });
    m_editor->setModified(false);
    rememberFile(path, fileStamp(path));
    emit fileNamed(m_diskPath);
    return true;
}

bool THTMLDOC::saveAs()
{
    FileDialogRequest req{QStringLiteral("Save HTML Document"),
                          QStringLiteral("HTML Document|*.htm"), QString(), m_table->lastSavePath,
                          true};
    const QString path = ui().saveFileName(req);
    if (path.isEmpty())
        return false;
    m_table->lastSavePath = path;
    if (!saveTo(path))
        return false;
    setWindowTitle(path);
    m_hasFileName = true;
    return true;
}

bool THTMLDOC::save()
{
    return m_hasFileName ? saveTo(windowTitle()) : saveAs();
}

void THTMLDOC::rememberFile(const QString &path, const FileStamp &stamp)
{
    m_diskPath = QFileInfo(path).absoluteFilePath();
    m_diskStamp = stamp;
}

bool THTMLDOC::changedOnDisk(const QString &path) const
{
    if (m_diskPath.isEmpty() || QFileInfo(path).absoluteFilePath() != m_diskPath)
        return false;
    // A file deleted since holds nothing to lose.
    const FileStamp now = fileStamp(path);
    return now.exists && now != m_diskStamp;
}

void THTMLDOC::FormActivate()
{
    // The table tells whoever follows the current document (the main
    // window gives the editor its colours).
    m_table->activate(this);
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
    m_table->release(this);
    QMdiSubWindow::closeEvent(e);
}
