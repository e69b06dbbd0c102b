#include "htmldoc.h"
#include "completionpopup.h"
#include "editorbox.h"
#include "errors.h"
#include "freememory.h"
#include "pagetext.h"
#include "progressbox.h"
#include "uiseam.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

QString THTMLDOC::skeleton()
{
    return QStringLiteral("<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here </TITLE>\r\n"
                          "</HEAD>\r\n<BODY>\r\n\r\n</BODY>\r\n</HTML>");
}

THTMLDOC::THTMLDOC(int slot, PageDocument *page, QString *lastSavePath, QWidget *parent)
    : QMdiSubWindow(parent), m_lastSavePath(lastSavePath), m_slot(slot), m_page(page),
      m_editor(new EditorBox(page->text()))
{
    setAttribute(Qt::WA_DeleteOnClose);
    showPath(page->path());
    setToolTip(page->encodingToolTip());
    connect(page, &PageDocument::pathChanged, this, &THTMLDOC::showPath);
    connect(page, &PageDocument::charsetChanged, this,
            [this] { setToolTip(m_page->encodingToolTip()); });
    connect(page, &PageDocument::fileNamed, this, &THTMLDOC::fileNamed);
    setWidget(m_editor);
    // Completion offers the files beside the page (none before it is saved).
    m_editor->completion()->setPageFolder([page = QPointer<PageDocument>(page)] {
        const QString file = page ? page->filePath() : QString();
        return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
    });
    resize(437, 306);
    // FormCreate: a new page gets the skeleton, unchanged, with the caret on
    // the empty line inside the body (offset 75). Loaded once the editor
    // shows the text, as its colouring expects of a new page.
    if (!page->hasFileName() && !page->isModified() && page->text()->isEmpty()) {
        page->text()->loadText(skeleton());
        m_editor->setSelStart(75);
    }
}

void THTMLDOC::showPath(const QString &path)
{
    setWindowTitle(path.isEmpty() ? QStringLiteral("HTML %1").arg(m_slot) : path);
}

void THTMLDOC::load(const QString &path)
{
    ProgressBox progress(ProgressBox::Reading, path, this);
    m_page->load(path);
}

bool THTMLDOC::reopenAs(TextEncoding encoding)
{
    if (!HasFileName() || isBusy())
        return false;
    if (m_page->isModified()
        && !ui().confirm(QStringLiteral("Reopen %1 as %2? The changes made to it will be lost.")
                             .arg(path(), encodingName(encoding))))
        return false;
    bool done = false;
    runGuarded([&] {
        m_page->loadAs(encoding);
        done = true;
    });
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
    const FileCharset was = m_page->charset();
    m_page->setCharset({encoding, false, encoding == was.encoding ? was.kept : KeptForms(), {}});
    bool saved = false;
    runGuarded([&] { saved = save(); });
    if (!saved) {
        m_page->setCharset(was);
        return false;
    }
    return true;
}

bool THTMLDOC::saveTo(const QString &path)
{
    if (m_page->changedOnDisk(path)) {
        const FileStamp asked = fileStamp(path);
        if (!ui().confirm(QStringLiteral("The file %1 has changed on disk since it was opened. "
                                         "Overwrite it?")
                              .arg(path))) {
            // The user has heard of this version: the disk check says
            // nothing more about it.
            m_page->noteTold(asked);
            return false;
        }
    }
    ProgressBox progress(ProgressBox::Writing, path, this);
    m_page->write(path);
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
    m_page->setFileName(path);
    return true;
}

bool THTMLDOC::save() { return HasFileName() ? saveTo(path()) : saveAs(); }

void THTMLDOC::checkDisk()
{
    const DiskChange change = m_page->newDiskChange();
    if (change == DiskChange::None)
        return;
    if (change == DiskChange::Removed) {
        m_page->setModified(true);
        return;
    }
    const QString fact = QStringLiteral("The file %1 was changed by another program.").arg(path());
    if (m_page->isModified())
        ui().warningBox(fact);
    else if (ui().confirm(fact + QStringLiteral(" Reload it?")))
        reload();
}

bool THTMLDOC::reload()
{
    const QString path = m_page->path();
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
    if (QMdiArea *area = mdiArea())
        area->setActiveSubWindow(this);
}

void THTMLDOC::closeEvent(QCloseEvent *e)
{
    if (m_page->isModified()
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
