#pragma once
// A document window: one page's HTML source in its editor, inside the main
// window's document area. It reads and writes its own file, asks its own
// question before closing, and keeps what it knows of the file (path,
// encoding, stand-ins) to itself.
#include "diskfile.h"
#include "editormarks.h"
#include "workprogress.h"

#include <QMdiSubWindow>
#include <optional>

class EditorBox;

// What reading a page's file found out of its charset, as crash recovery
// keeps it.
struct FileCharset {
    TextEncoding encoding = TextEncoding::Utf8;
    bool guessed = false;
    KeptForms kept;     // characters the file wrote in their other byte form
    QString unreadable; // a charset the page declares that cannot be read
};

class THTMLDOC : public QMdiSubWindow {
    Q_OBJECT
public:
    // Made by the document table, which handed out `slot`; `lastSavePath`
    // is the name Save As last chose, shared by every document.
    THTMLDOC(int slot, QString *lastSavePath, QWidget *parent = nullptr);

    EditorBox *editor() const { return m_editor; }

    int DocIndex() const { return m_slot; }
    // The file this page is saved to, as it was named (the caption shows
    // it); empty for a page never named, captioned "HTML n" by its slot.
    QString path() const { return m_path; }
    // The text was read from or saved to path().
    bool HasFileName() const { return m_hasFileName; }
    // The encoding the file was read in; saved back in the same one.
    TextEncoding encoding() const { return m_encoding; }
    // Whether the encoding was guessed from the bytes of a page that
    // declares none.
    bool encodingGuessed() const { return m_guessed; }
    // What reading the file found out of its charset.
    FileCharset charset() const { return {m_encoding, m_guessed, m_kept, m_unreadable}; }
    // The encoding as the status bar shows it ("KOI8-R (guessed)") and as
    // its tool tip and the window's tell it ("Encoding: KOI8-R ...").
    QString encodingText() const;
    QString encodingToolTip() const;
    // The file the text was last read from or written to (absolute); empty
    // for a page never saved.
    QString filePath() const { return m_diskPath; }
    // A text in this page's encoding, as a save would write it.
    QByteArray encode(const QString &crlfText) const;

    // Body attributes last confirmed for this page (document information
    // dialog); nothing before the first time.
    struct BodyAttributes {
        QString backgroundPicture;
        QString bgColor;
        QString linkColor;
        QString textColor;
    };
    const std::optional<BodyAttributes> &bodyAttributes() const { return m_body; }
    void setBodyAttributes(const BodyAttributes &body) { m_body = body; }

    // Reads `path` into the editor, unchanged, caret at the start; the
    // caption becomes the path. Throws when it cannot be read, and
    // WorkCancelled when the user cancelled the progress box (text kept).
    void load(const QString &path);
    // Takes a text kept by crash recovery (UTF-8, as copyBytes wrote it)
    // as a changed text: untitled, or with a path, the text of that file
    // in `charset`, which stood as `stamp` when last read or written; then
    // tells fileNamed() as a read does.
    void restoreCopy(const QString &text, const QString &path = QString(),
                     const FileCharset &charset = FileCharset(),
                     const FileStamp &stamp = FileStamp());
    // The text as crash recovery keeps it: UTF-8, editor marks as read.
    QByteArray copyBytes() const;

    // Save: to its file, or as Save As when it has none. False when
    // cancelled or declined; throws on a failed write.
    bool save();
    // Save As; false when cancelled. Throws on a failed write.
    bool saveAs();
    // False when the user declined to overwrite a file changed on disk.
    bool saveTo(const QString &path);

    // The bytes a save writes, whole or handed to the sink in pieces (a
    // line at a time, gathered up to about a megabyte).
    QByteArray fileBytes() const;
    void writeFileBytes(const ByteSink &sink) const;

    static QString skeleton();

    // Called when this window becomes the active document.
    void FormActivate();

    // Edits made to the text so far (a load counts as one): tells the
    // recovery copy whether the text changed since it was last copied.
    quint64 editCount() const { return m_edits; }

    // Whether `path` is the file last read or written and another program
    // has changed it since.
    bool changedOnDisk(const QString &path) const;
    // How the file of filePath() stood when last read or written.
    FileStamp diskStamp() const { return m_diskStamp; }

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
    bool isBusy() const { return m_busy; }

signals:
    // The text was read from or written to this file (or recovered as its
    // text): what is known of it, its encoding too, may be new.
    void fileNamed(const QString &path);
    // For the table that made it: it became the current one; it closes.
    void activated(THTMLDOC *doc);
    void closing(THTMLDOC *doc);

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    // The encoding the text is saved in; the tool tip follows.
    void setEncoding(TextEncoding encoding, bool guessed = false,
                     const KeptForms &kept = KeptForms());
    // Names the file the page is saved to; the caption follows.
    void setPath(const QString &path);
    // The file the text was last read from or written to, as it stood then.
    void rememberFile(const QString &path, const FileStamp &stamp);

    QString *m_lastSavePath;
    int m_slot;
    EditorBox *m_editor;
    QString m_path;
    bool m_hasFileName = false;
    std::optional<BodyAttributes> m_body;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_guessed = false;
    // A charset the page declares that cannot be read (a stateful one such
    // as ISO-2022-KR): its bytes are shown as Windows-1252, and it says so.
    QString m_unreadable;
    // Characters the file wrote in their other byte form, written so again.
    KeptForms m_kept;
    // The text holds stand-ins for editor marks read from the file
    // (hideEditorMarks); saving writes the original characters.
    MarkStandIns m_standIns;
    quint64 m_edits = 0;
    QString m_diskPath;
    FileStamp m_diskStamp;
    // The version of the file the user was last told about.
    bool m_told = false;
    FileStamp m_toldStamp;
    bool m_busy = false;
};

