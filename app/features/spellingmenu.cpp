#include "spellingmenu.h"
#include "actions.h"
#include "spelling.h"
#include "uiseam.h"
#include "userstate.h"

#include <QAction>
#include <QActionGroup>
#include <QLocale>
#include <QMenu>

namespace {
const char *const kSpellingKey = "spelling/check";
const char *const kSpellingLanguageKey = "spelling/language";
} // namespace

SpellingMenu::SpellingMenu(ActionRegistry *actions, QObject *parent) : QObject(parent)
{
    Spelling *spelling = Spelling::instance();
    spelling->setEnabled(UserState::value(kSpellingKey, true).toBool());
    spelling->setChosen(UserState::value(kSpellingLanguageKey).toString());
    connect(spelling, &Spelling::personalListFailed, this,
            [](const QString &message) { reportError(message); });
    using namespace ActionId;
    actions->add(
        {separatorRow(ToolsMenu),
         itemRow(ToolsMenu, "ToolsCheckSpelling", QStringLiteral("Check &Spelling"))
             .checkable(ActionRow::Toggles, spelling->isEnabled()),
         menuRow(ToolsMenu, "ToolsSpellingLanguage", QStringLiteral("Spelling La&nguage"))},
        this);
    connect(actions->action(QStringLiteral("ToolsCheckSpelling")), &QAction::toggled, this,
            [](bool on) {
                Spelling::instance()->setEnabled(on);
                UserState::setValue(kSpellingKey, on);
            });
    m_menu = actions->menu(QStringLiteral("ToolsSpellingLanguage"));
    connect(m_menu, &QMenu::aboutToShow, this, &SpellingMenu::rebuild);
}

void SpellingMenu::rebuild()
{
    m_menu->clear();
    Spelling *spelling = Spelling::instance();
    const QStringList names = spelling->installed();
    if (names.isEmpty()) {
        m_menu->addAction(QStringLiteral("No Dictionary Installed"))->setEnabled(false);
        return;
    }
    // A page's own lang attribute comes before the choice made here.
    auto *group = new QActionGroup(m_menu);
    auto add = [&](const QString &caption, const QString &name) {
        QAction *a = m_menu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(name == spelling->chosen());
        a->setData(name);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [name] {
            Spelling::instance()->setChosen(name);
            UserState::setValue(kSpellingLanguageKey, name);
        });
    };
    const QString system = spelling->resolve(Spelling::systemLanguage());
    add(QStringLiteral("&System Language (%1)")
            .arg(system.isEmpty() ? QStringLiteral("none installed") : system),
        QString());
    m_menu->addSeparator();
    for (const QString &name : names)
        add(QStringLiteral("%1 (%2)").arg(QLocale::languageToString(QLocale(name).language()),
                                          name),
            name);
}
