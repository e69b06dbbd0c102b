#pragma once
// A document window: one page's HTML source in its editor, inside the main
// window's document area. It shows a document (document.h), which holds the
// text and what is known of its file; the window asks the user what reading
// and writing it needs (progress, questions) and its own question before
// closing.
#include "document.h"
#include "workprogress.h"

#include <QMdiSubWindow>

class EditorBox;

class THTMLDOC : public QMdiSubWindow {
    Q_OBJECT
public:
    // Made by the document table, which handed out `slot`, to show `page`;
    // `lastSavePath` is the name Save As last chose, shared by every
    // document.
    THTMLDOC(int slot, PageDocument *page, QString *lastSavePath, QWidget *parent = nullptr);

    EditorBox *editor() const { return m_editor; }
    PageDocument *page() const { return m_page; }

    int DocIndex() const { return m_slot; }
    // The file this page is saved to, as it was named (the caption shows
    // it); empty for a page never named, captioned "HTML n" by its slot.
    QString path() const { return m_page->path(); }
    // The text was read from or saved to path().
    bool HasFileName() const { return m_page->hasFileName(); }
    // The encoding the file was read in; saved back in the same one, and
    // what else reading it found out of its charset.
    TextEncoding encoding() const { return m_page->encoding(); }
    bool encodingGuessed() const { return m_page->charset().guessed; }
    FileCharset charset() const { return m_page->charset(); }
    QString encodingText() const { return m_page->encodingText(); }
    QString encodingToolTip() const { return m_page->encodingToolTip(); }
    // The file the text was last read from or written to (absolute); empty
    // for a page never saved.
    QString filePath() const { return m_page->filePath(); }
    QByteArray encode(const QString &crlfText) const { return m_page->encode(crlfText); }

    // Body attributes last confirmed for this page (document information
    // dialog); nothing before the first time.
    using BodyAttributes = PageDocument::BodyAttributes;
    const std::optional<BodyAttributes> &bodyAttributes() const { return m_page->bodyAttributes(); }
    void setBodyAttributes(const BodyAttributes &body) { m_page->setBodyAttributes(body); }

    // Reads `path` into the editor, unchanged, caret at the start, behind
    // a progress box; the caption becomes the path. Throws when it cannot be
    // read, and WorkCancelled when the user cancelled the box (text kept).
    void load(const QString &path);
    // PageDocument::restoreCopy.
    void restoreCopy(const QString &text, const QString &path = QString(),
                     const FileCharset &charset = FileCharset(),
                     const FileStamp &stamp = FileStamp())
    {
        m_page->restoreCopy(text, path, charset, stamp);
    }
    QByteArray copyBytes() const { return m_page->copyBytes(); }

    // Save: to its file, or as Save As when it has none. False when
    // cancelled or declined; throws on a failed write.
    bool save();
    // Save As; false when cancelled. Throws on a failed write.
    bool saveAs();
    // False when the user declined to overwrite a file changed on disk.
    bool saveTo(const QString &path);

    // The bytes a save writes (PageDocument::fileBytes).
    QByteArray fileBytes() const { return m_page->fileBytes(); }

    // The text of every new page.
    static QString skeleton();

    // Makes this window the active document window; the table hears of
    // it from the document area, and the colours follow.
    void FormActivate();

    quint64 editCount() const { return m_page->editCount(); }
    bool changedOnDisk(const QString &path) const { return m_page->changedOnDisk(path); }
    FileStamp diskStamp() const { return m_page->diskStamp(); }

    // Tells the user, once for each change, that another program changed
    // or removed the file since it was last read or written: an unchanged
    // text is offered a reload, over a changed one a warning is shown, and
    // a text whose file went is marked changed so that closing asks.
    void checkDisk();
    // Reads the file again in the encoding given, after asking when the
    // text has changed. False when declined or when it cannot be read so
    // (the user is told why): the text stays.
    bool reopenAs(TextEncoding encoding);
    // Saves the text in the encoding given (Save As for a page never
    // saved). Refuses, naming the first character the encoding cannot
    // hold, rather than writing a reference for it. The page's charset
    // declaration is left as it is. False when refused or cancelled.
    bool saveWithEncoding(TextEncoding encoding);
    // Reads the file again with the caret on the same line. False when it
    // could not be read or was cancelled: the text stays.
    bool reload();
    // Reading or writing its file (events run while the progress box shows).
    bool isBusy() const { return m_page->isBusy(); }

signals:
    // The text was read from or written to this file (or recovered as its
    // text): what is known of it, its encoding too, may be new.
    void fileNamed(const QString &path);
    // For the table that made it: it closes.
    void closing(THTMLDOC *doc);

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void showPath(const QString &path);

    QString *m_lastSavePath;
    int m_slot;
    PageDocument *m_page;
    EditorBox *m_editor;
};
