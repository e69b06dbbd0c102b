#pragma once
// Edit > Close Tags Automatically (a switch kept in the user's state), Go
// to Matching Tag and Select Element.
#include <QObject>

class ActionRegistry;
class CurrentDocument;
class QStatusBar;

class TagNavigation : public QObject {
    Q_OBJECT
public:
    // `status` says when a command finds nothing.
    TagNavigation(ActionRegistry *actions, CurrentDocument *current, QStatusBar *status,
                  QObject *parent);

private:
    void GoToMatchingTagClick();
    void SelectElementClick();

    CurrentDocument *m_current;
    QStatusBar *m_status;
};
