#pragma once
// Edit > Find..., Find Next, Find Previous, Replace... (the find bar below
// the documents) and Go to Line....
#include <QObject>

class ActionRegistry;
class CurrentDocument;
class FindBar;
class QWidget;

class FindCommands : public QObject {
    Q_OBJECT
public:
    // The find bar goes at the end of `areaHolder`'s layout.
    FindCommands(ActionRegistry *actions, CurrentDocument *current, QWidget *areaHolder,
                 QObject *parent);
    FindBar *findBar() const { return m_find; }

private:
    void GoToLineClick();

    CurrentDocument *m_current;
    FindBar *m_find;
};
