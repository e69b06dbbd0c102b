#pragma once
// The status bar's view of the current document: caret line and column,
// selection length, encoding, line breaks, whether it has changed, and
// why its spelling is not checked when a lang without a dictionary stops it,
// and what checking as you type last found in it.
// Each caret move costs a block lookup, whatever the page's size.
#include <QMetaObject>
#include <QObject>
#include <QPointer>

class EditorBox;
class PageDocument;
class QLabel;
class QStatusBar;

class DocumentStatus : public QObject {
    Q_OBJECT
public:
    explicit DocumentStatus(QStatusBar *bar);

    // Follows this editor (nothing: the fields are empty) and the encoding
    // of the document it shows, as the document tells it.
    void setEditor(EditorBox *editor, PageDocument *page = nullptr);

    QString caretText() const;     // "Ln 12, Col 5"
    QString selectionText() const; // "Sel 5", empty without a selection
    QString encodingText() const;
    QString encodingToolTip() const;
    QString breaksText() const;
    QString changedText() const;   // "Modified" or empty
    QString spellingText() const;  // empty while the spelling is checked (or off)
    QString pageCheckText() const; // "1 error, 2 warnings"; empty: not checked

private:
    void updateCaret();
    void updateEncoding();
    void updateChanged();
    void updateSpelling();
    void updatePageCheck();

    QPointer<EditorBox> m_editor;
    QPointer<PageDocument> m_page;
    QLabel *m_caret;
    QLabel *m_selection;
    QLabel *m_encoding;
    QLabel *m_breaks;
    QLabel *m_changed;
    QLabel *m_spelling;
    QLabel *m_pageCheck;
    QList<QMetaObject::Connection> m_connections;
};
