#pragma once
// What a tag command or a pane needs of the main window: the current
// document and its editor, and notice when another one becomes current.
// The main window implements it; commands and panes see nothing else of it.
#include <QMetaObject>
#include <functional>

class EditorBox;
class QObject;
class THTMLDOC;

class CurrentDocument {
public:
    // The current document, or nothing when no document window is open.
    virtual THTMLDOC *currentDocument() const = 0;
    // Its editor, or nothing.
    virtual EditorBox *activeEditor() const = 0;
    // Calls `changed` with the new current document (nothing once the last
    // one is closed) for as long as `context` lives.
    virtual QMetaObject::Connection
    onCurrentChanged(QObject *context, std::function<void(THTMLDOC *)> changed) const = 0;
    // Makes the main window visible, raises and activates it: a command
    // started from the palette hands the keyboard back to the page.
    virtual void bringToFront() = 0;

protected:
    ~CurrentDocument() = default;
};

// The one in use; nothing before the main window exists or after it goes.
CurrentDocument *currentDocumentSource();
void setCurrentDocumentSource(CurrentDocument *source);

// The current document's editor, or nothing when no document window is open.
EditorBox *ActiveEditor();

// Makes the main window visible, raises and activates it.
void BringMainToFront();
