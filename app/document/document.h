#pragma once
// A page held open: its text, the file it is saved to and what is known of
// that file (encoding, byte forms, stamp), and whether the text changed. It
// is no widget: a page is read, changed and saved the same way whether a
// window shows it (htmldoc.h) or not (a page changed by work on many files).
// Each piece of that state is written in one place here, and a signal tells
// whoever shows it.
#include "diskfile.h"
#include "editormarks.h"

#include <QObject>
#include <optional>

class PageText;

// What reading a page's file found out of its charset, as crash recovery
// keeps it.
struct FileCharset {
    TextEncoding encoding = TextEncoding::Utf8;
    bool guessed = false;
    KeptForms kept;     // characters the file wrote in their other byte form
    QString unreadable; // a charset the page declares that cannot be read
};

class PageDocument : public QObject {
    Q_OBJECT
public:
    // An empty text, never named.
    explicit PageDocument(QObject *parent = nullptr);

    // The text; editors show it, and edits made there are the document's.
    PageText *text() const { return m_text; }

    // The file this page is saved to, as it was named; empty for a page
    // never named.
    QString path() const { return m_path; }
    // The text was read from or saved to path().
    bool hasFileName() const { return m_hasFileName; }
    // Names the file the page is saved to from now on.
    void setFileName(const QString &path);
    // Its file was renamed (or moved) to `path` by the editor: the page is
    // that file now, read and saved there, as it stood before.
    void followRename(const QString &path);

    // The charset the text is read and saved in.
    const FileCharset &charset() const { return m_charset; }
    TextEncoding encoding() const { return m_charset.encoding; }
    void setCharset(const FileCharset &charset);
    // The encoding as the status bar shows it ("KOI8-R (guessed)") and as
    // its tool tip and the window's tell it ("Encoding: KOI8-R ...").
    QString encodingText() const;
    QString encodingToolTip() const;

    bool isModified() const;
    void setModified(bool changed);
    // Edits made to the text so far (a load counts as one): tells the
    // recovery copy whether the text changed since it was last copied.
    quint64 editCount() const { return m_edits; }

    // Reads `path` (the text, unchanged, its encoding and byte forms) and
    // names it the page's file. Throws when it cannot be read, and
    // WorkCancelled when a progress box shown meanwhile was cancelled; the
    // text is then kept.
    void load(const QString &path);
    // Reads the file again in the encoding given. Throws as load() does.
    void loadAs(TextEncoding encoding);
    // Takes a text kept by crash recovery (UTF-8, as copyBytes wrote it)
    // as a changed text: untitled, or with a path, the text of that file
    // in `charset`, which stood as `stamp` when last read or written.
    void restoreCopy(const QString &text, const QString &path, const FileCharset &charset,
                     const FileStamp &stamp);
    // The text as crash recovery keeps it: UTF-8, editor marks as read.
    QByteArray copyBytes() const;

    // Writes the text to `path` whole or not at all (diskfile.h), in its
    // encoding with its byte forms and marks as read; the text counts as
    // unchanged. Throws on a failed write.
    void write(const QString &path);
    // write(), unless `path` is the file last read or written and another
    // program has changed it since: false then, and nothing is written.
    bool saveTo(const QString &path);
    // How saveKeepingBytes() ended.
    enum class KeptSave { Saved, ChangedOnDisk, Refused };
    // Writes the text to the file it was read from, changing only the
    // bytes of the lines that changed (keptbytes.h): how work on many files
    // saves a page. Nothing is written when another program has changed the
    // file since, or when lines were added or removed or a changed line
    // cannot be written alone (`why` says).
    KeptSave saveKeepingBytes(QString *why);
    // The bytes a save writes, whole or handed to the sink in pieces (a
    // line at a time, gathered up to about a megabyte).
    QByteArray fileBytes() const;
    void writeFileBytes(const ByteSink &sink) const;
    // A text in this page's encoding, as a save would write it.
    QByteArray encode(const QString &crlfText) const;

    // The file the text was last read from or written to (absolute), and
    // how it stood then; empty for a page never read or saved.
    QString filePath() const { return m_diskPath; }
    FileStamp diskStamp() const { return m_diskStamp; }
    // Whether `path` is that file and another program has changed it since.
    bool changedOnDisk(const QString &path) const;
    // What the user has not yet been told of the file: Changed or Removed
    // once for each version another program made, None otherwise (the
    // same bytes in a new inode are taken as the file read).
    DiskChange newDiskChange();
    // The user has heard of the file standing as `stamp`.
    void noteTold(const FileStamp &stamp);

    // Reading or writing its file (events may run meanwhile).
    bool isBusy() const { return m_busy; }

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

signals:
    // The text was read from or written to this file (or recovered as its
    // text): what is known of it may be new.
    void fileNamed(const QString &filePath);
    void pathChanged(const QString &path);
    void charsetChanged();
    void modifiedChanged(bool changed);

private:
    void rememberFile(const QString &path, const FileStamp &stamp);

    PageText *m_text;
    QString m_path;
    bool m_hasFileName = false;
    FileCharset m_charset;
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
    std::optional<BodyAttributes> m_body;
};
