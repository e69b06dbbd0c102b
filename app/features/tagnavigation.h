#pragma once
// Edit > Close Tags Automatically (a switch kept in the user's state), Go
// to Matching Tag and Select Element; Rename Tag Pairs (another such
// switch), placed later in the menu.
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
    // Edit > Rename Tag Pairs, at the end of the Edit menu.
    void addRenameSwitch(ActionRegistry *actions);

private:
    void GoToMatchingTagClick();
    void SelectElementClick();

    CurrentDocument *m_current;
    QStatusBar *m_status;
};
