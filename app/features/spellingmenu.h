#pragma once
// Tools > Check Spelling and Spelling Language, both kept in the user's
// state.
#include <QObject>

class ActionRegistry;
class QMenu;

class SpellingMenu : public QObject {
    Q_OBJECT
public:
    SpellingMenu(ActionRegistry *actions, QObject *parent);

private:
    void rebuild();

    QMenu *m_menu;
};
