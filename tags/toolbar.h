#pragma once
// The floating tool palette. Its buttons, like the main window's menu and
// button bar, are made from the rows of the action registry and run their
// menu items, so a command writes the same text wherever it is started.
#include "currentdocument.h"

#include <QPointer>
#include <QWidget>

class ActionRegistry;
class QAction;
class QToolButton;

class TToolBar : public QWidget {
    Q_OBJECT
public:
    // `saved`: the position kept in the settings file; a button for each
    // of `actions`' rows that has a place on the palette.
    TToolBar(const QPoint &saved, const ActionRegistry *actions, QWidget *parent = nullptr);

    // The View menu's item that shows and hides the palette.
    void setVisibilityToggle(QAction *toggle) { m_toggle = toggle; }

    QToolButton *button(const QString &name) const;

protected:
    // The palette has no close box; a window manager's close only hides
    // it, through the View menu's toggle so its check mark stays true.
    void closeEvent(QCloseEvent *e) override;

private:
    void FormCreate(QPoint pos);

    QPointer<QAction> m_toggle;
};

extern TToolBar *ToolBar;
