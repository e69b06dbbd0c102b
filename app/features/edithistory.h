#pragma once
// Edit > Undo and Redo, enabled as the current document's history allows.
#include <QList>
#include <QObject>
#include <QPointer>

class ActionRegistry;
class CurrentDocument;
class EditorBox;
class QAction;

class EditHistory : public QObject {
    Q_OBJECT
public:
    EditHistory(ActionRegistry *actions, CurrentDocument *current, QObject *parent);
    void follow(EditorBox *editor);

private:
    void update();

    CurrentDocument *m_current;
    QAction *m_undo;
    QAction *m_redo;
    QPointer<EditorBox> m_editor;
    QList<QMetaObject::Connection> m_links;
};
