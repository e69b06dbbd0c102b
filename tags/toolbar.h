#pragma once
// The floating tool palette. It owns the handler of every tag command; the
// main window's menu and button bar call these same handlers, so a command
// writes the same text wherever it is started.
#include "currentdocument.h"

#include <QPointer>
#include <QWidget>

class EditorBox;
class QAction;
class QToolButton;

// Replaces the selection by open + selected text + close and leaves the
// caret directly before close. Does nothing without a document.
void WrapSelection(const QString &open, const QString &close);

class TToolBar : public QWidget {
    Q_OBJECT
public:
    // `saved`: the position kept in the settings file.
    explicit TToolBar(const QPoint &saved, QWidget *parent = nullptr);

    // The View menu's item that shows and hides the palette.
    void setVisibilityToggle(QAction *toggle) { m_toggle = toggle; }

    // Simple commands.
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

    // Dialog commands, each defined in its dialog's unit.
    void ImageClick();      // imageinfo.cpp
    void DocClick();        // docinfo.cpp
    void HorizRuleClick();  // hrinfo.cpp
    void LinkClick();       // linkinf.cpp
    void TargetClick();     // linkinf.cpp
    void ListsClick();      // listboxes.cpp
    void TableButClick();   // tablebuilder.cpp

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
