#include "tagnavigation.h"
#include "actions.h"
#include "currentdocument.h"
#include "editorbox.h"
#include "userstate.h"

#include <QAction>
#include <QStatusBar>

namespace {
const char *const kCloseTagsKey = "edit/closeTags";
const char *const kRenameTagsKey = "edit/renameTagPairs";
} // namespace

TagNavigation::TagNavigation(ActionRegistry *actions, CurrentDocument *current, QStatusBar *status,
                             QObject *parent)
    : QObject(parent), m_current(current), m_status(status)
{
    EditorBox::setClosesTags(UserState::value(kCloseTagsKey, true).toBool());
    using namespace ActionId;
    actions->add(
        {
            separatorRow(EditMenu),
            itemRow(EditMenu, "EditCloseTags", QStringLiteral("Close &Tags Automatically"))
                .checkable(ActionRow::Toggles, EditorBox::closesTags()),
            // J for jump: a key no other command uses.
            itemRow(EditMenu, "EditGoToMatchingTag", QStringLiteral("Go to &Matching Tag"),
                    [this] { GoToMatchingTagClick(); })
                .key(QKeySequence(Qt::CTRL | Qt::Key_J))
                .needingDocument(),
            itemRow(EditMenu, "EditSelectElement", QStringLiteral("Select E&lement"),
                    [this] { SelectElementClick(); })
                .key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J))
                .needingDocument(),
        },
        this);
    connect(actions->action(QStringLiteral("EditCloseTags")), &QAction::toggled, this, [](bool on) {
        EditorBox::setClosesTags(on);
        UserState::setValue(kCloseTagsKey, on);
    });
}

void TagNavigation::addRenameSwitch(ActionRegistry *actions)
{
    EditorBox::setRenamesTagPairs(UserState::value(kRenameTagsKey, true).toBool());
    actions->add(
        {itemRow(ActionId::EditMenu, "EditRenameTagPairs", QStringLiteral("Ren&ame Tag Pairs"))
             .checkable(ActionRow::Toggles, EditorBox::renamesTagPairs())},
        this);
    connect(actions->action(QStringLiteral("EditRenameTagPairs")), &QAction::toggled, this,
            [](bool on) {
                EditorBox::setRenamesTagPairs(on);
                UserState::setValue(kRenameTagsKey, on);
            });
}

// Neither command moves anything when it finds nothing: the status bar
// says so, or the key would seem not to work.
void TagNavigation::GoToMatchingTagClick()
{
    if (EditorBox *e = m_current->activeEditor()) {
        if (!e->goToMatchingTag())
            m_status->showMessage(tr("No matching tag found."), 10000);
        e->setFocus();
    }
}

void TagNavigation::SelectElementClick()
{
    if (EditorBox *e = m_current->activeEditor()) {
        if (!e->selectElement())
            m_status->showMessage(tr("No element with both its tags found here."), 10000);
        e->setFocus();
    }
}
