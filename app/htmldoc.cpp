#include "htmldoc.h"
#include "editorbox.h"
#include "errors.h"
#include "mainwindow.h"
#include "recovery.h"
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

THTMLDOC::THTMLDOC(QWidget *parent) : QMdiSubWindow(parent), m_editor(new EditorBox)
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
    out += byteOrderMark(Encoding);
    const QTextDocument *doc = m_editor->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin())
            appendEncoded(u"\r\n", Encoding, StandIns, out);
        appendEncoded(b.text(), Encoding, StandIns, out);
        if (out.size() >= kPiece) {
            sink(out);
            out.resize(0);
        }
    }
    sink(out);
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
    if (!ZediDove)
        return;
    ZediDove->CurrentDoc = DocIndex;
    QPalette pal = m_editor->palette();
    pal.setColor(QPalette::Base, colourToQColor(ZediDove->EditorBackColor));
    pal.setColor(QPalette::Text, colourToQColor(ZediDove->EditorTextColor));
    m_editor->setPalette(pal);
}

void THTMLDOC::closeEvent(QCloseEvent *e)
{
    if (m_editor->isModified()
        && ui().confirm(QStringLiteral("Save Changes to %1?").arg(windowTitle()))) {
        // A cancelled or failed Save As keeps the document open: nothing the
        // user typed is thrown away.
        bool saved = false;
        runGuarded([&] { saved = ZediDove && ZediDove->saveDocumentAs(this); });
        if (!saved) {
            e->ignore();
            return;
        }
    }
    if (ZediDove && DocIndex >= 1 && DocIndex <= kMaxDocs)
        ZediDove->SlotInUse[DocIndex] = false;
    if (ZediDove)
        ZediDove->recovery()->forget(this);
    QMdiSubWindow::closeEvent(e);
}
