#include "checkasyoutype.h"
#include "actions.h"
#include "documenttable.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "livecheck.h"
#include "userstate.h"

#include <QAction>

namespace {
const char *const kCheckAsYouTypeKey = "pagecheck/asYouType";
} // namespace

CheckAsYouType::CheckAsYouType(ActionRegistry *actions, DocumentTable *docs,
                               PageCheckService *service, QObject *parent)
    : QObject(parent), m_docs(docs), m_enabled(UserState::value(kCheckAsYouTypeKey, true).toBool())
{
    using namespace ActionId;
    actions->add({itemRow(ToolsMenu, "ToolsCheckAsYouType", QStringLiteral("Check As &You Type"))
                      .checkable(ActionRow::Toggles, m_enabled)},
                 this);
    connect(actions->action(QStringLiteral("ToolsCheckAsYouType")), &QAction::toggled, this,
            [this](bool on) {
                UserState::setValue(kCheckAsYouTypeKey, on);
                setEnabled(on);
            });
    auto follow = [this, service](THTMLDOC *doc) {
        auto *check = new LiveCheck(doc->editor(), service);
        check->setEnabled(m_enabled);
    };
    for (THTMLDOC *doc : docs->documents())
        follow(doc);
    connect(docs, &DocumentTable::created, this, follow);
}

void CheckAsYouType::setEnabled(bool on)
{
    m_enabled = on;
    for (THTMLDOC *doc : m_docs->documents())
        if (auto *check =
                doc->editor()->findChild<LiveCheck *>(QString(), Qt::FindDirectChildrenOnly))
            check->setEnabled(on);
}
