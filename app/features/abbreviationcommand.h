#pragma once
// Edit > Expand Abbreviation: the abbreviation before the caret becomes
// markup (abbreviation.h), indented and written as the page is, in one undo
// step; the caret goes to the first empty spot of what was written, and the
// command pressed again with nothing to expand goes on to the next.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTextCursor>

class ActionRegistry;
class CurrentDocument;
class EditorBox;
class QStatusBar;

class AbbreviationCommand : public QObject {
    Q_OBJECT
public:
    // `status` says why a text does not expand.
    AbbreviationCommand(ActionRegistry *actions, CurrentDocument *current, QStatusBar *status,
                        QObject *parent);

private:
    void ExpandAbbreviationClick();
    bool goToNextSpot(EditorBox *editor);

    CurrentDocument *m_current;
    QStatusBar *m_status;
    // The empty spots not yet visited, in the editor they were written in,
    // in order; cursors, so that edits before them move them along.
    QPointer<EditorBox> m_spotsEditor;
    QList<QTextCursor> m_spots;
};
