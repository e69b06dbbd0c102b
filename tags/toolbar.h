#pragma once
// The floating tool palette. Its buttons, like the main window's menu and
// button bar, run the commands of the command table (tagcommands.cpp), so
// a command writes the same text wherever it is started.
#include "currentdocument.h"

#include <QPointer>
#include <QWidget>

class EditorBox;
class QAction;
class QToolButton;

class TToolBar : public QWidget {
    Q_OBJECT
public:
    // `saved`: the position kept in the settings file.
    explicit TToolBar(const QPoint &saved, QWidget *parent = nullptr);

    // The View menu's item that shows and hides the palette.
    void setVisibilityToggle(QAction *toggle) { m_toggle = toggle; }

    // The tag commands, each run as its menu item runs it.
    void BoldClick();
    void ItalicClick();
    void UnderlineClick();
    void H1Click();
    void H2Click();
    void H3Click();
    void H4Click();
    void H5Click();
    void H6Click();
    void ParaClick();
    void PreButClick();
    void BlnkClick();
    void CenterTxtClick();
    void BreakButClick();
    void ImageClick();
    void DocClick();
    void HorizRuleClick();
    void LinkClick();
    void TargetClick();
    void ListsClick();
    void TableButClick();

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
