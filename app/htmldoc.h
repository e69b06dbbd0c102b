#pragma once
// A document window: one page's HTML source in its editor, inside the main
// window's document area.
#include "textfile.h"

#include <QMdiSubWindow>

class EditorBox;

class THTMLDOC : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit THTMLDOC(QWidget *parent = nullptr);

    EditorBox *editor() const { return m_editor; }

    int DocIndex = 0;
    bool HasFileName = false;
    // Body attributes last confirmed for this page (document information dialog).
    bool BodyAttributesSet = false;
    QString BackgroundPicture;
    QString BodyBgColor;
    QString BodyLinkColor;
    QString BodyTextColor;
    // The encoding the file was read in; saved back in the same one.
    TextEncoding Encoding = TextEncoding::Utf8;
    // The text holds stand-ins for editor marks read from the file
    // (hideEditorMarks); saving writes the original characters.
    MarkStandIns StandIns;

    // The bytes a save writes, whole or handed to the sink in pieces (a
    // line at a time, gathered up to about a megabyte).
    QByteArray fileBytes() const;
    void writeFileBytes(const ByteSink &sink) const;

    static QString skeleton();

    // Called by the main window when this window becomes the active document.
    void FormActivate();

    // Edits made to the text so far (a load counts as one): tells the
    // recovery copy whether the text changed since it was last copied.
    quint64 editCount() const { return m_edits; }

    // The file the text was last read from or written to, as it stood then.
    void rememberFile(const QString &path, const FileStamp &stamp);
    // Whether `path` is that file and another program has changed it since.
    bool changedOnDisk(const QString &path) const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    EditorBox *m_editor;
    quint64 m_edits = 0;
    QString m_diskPath;
    FileStamp m_diskStamp;
};
