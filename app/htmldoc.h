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

    static QString skeleton();

    // Called by the main window when this window becomes the active document.
    void FormActivate();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    EditorBox *m_editor;
};
