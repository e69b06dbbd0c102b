#pragma once
// The status bar with the current document's place and charset, and View >
// Status Bar, whose mark is kept in the user's state.
#include <QObject>

class ActionRegistry;
class DocumentStatus;
class QMainWindow;
class THTMLDOC;

class StatusBarView : public QObject {
    Q_OBJECT
public:
    StatusBarView(ActionRegistry *actions, QMainWindow *window, QObject *parent);
    DocumentStatus *status() const { return m_status; }
    void follow(THTMLDOC *doc);

private:
    DocumentStatus *m_status;
};
