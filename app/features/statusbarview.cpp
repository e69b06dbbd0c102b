#include "statusbarview.h"
#include "actions.h"
#include "documentstatus.h"
#include "htmldoc.h"
#include "userstate.h"

#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

namespace {
const char *const kStatusBarKey = "view/statusBar";
} // namespace

StatusBarView::StatusBarView(ActionRegistry *actions, QMainWindow *window, QObject *parent)
    : QObject(parent)
{
    QStatusBar *bar = window->statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    m_status = new DocumentStatus(bar);
    const bool shown = UserState::value(kStatusBarKey, true).toBool();
    bar->setVisible(shown);
    using namespace ActionId;
    // After Word Wrap, behind the same separator. The mark comes from the
    // state kept, not from isVisible(): the window is not shown yet.
    actions->add({itemRow(ViewMenu, StatusBar, QStringLiteral("&Status Bar"))
                      .checkable(ActionRow::Toggles, shown)},
                 this);
    connect(actions->action(QLatin1String(StatusBar)), &QAction::toggled, this, [bar](bool on) {
        bar->setVisible(on);
        UserState::setValue(kStatusBarKey, on);
    });
}

void StatusBarView::follow(THTMLDOC *doc)
{
    m_status->setEditor(doc ? doc->editor() : nullptr, doc ? doc->page() : nullptr);
}
