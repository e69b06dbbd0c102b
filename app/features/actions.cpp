#include "actions.h"
#include "errors.h"
#include "uiseam.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

ActionRow itemRow(const char *menu, const char *id, const QString &caption,
                  std::function<void()> run)
{
    ActionRow r;
    r.menu = QLatin1String(menu);
    r.id = QLatin1String(id);
    r.caption = caption;
    r.run = std::move(run);
    return r;
}

ActionRow menuRow(const char *menu, const char *id, const QString &caption)
{
    ActionRow r = itemRow(menu, id, caption);
    r.kind = ActionRow::Menu;
    return r;
}

ActionRow separatorRow(const char *menu, const char *id)
{
    ActionRow r = itemRow(menu, id, QString());
    r.kind = ActionRow::Separator;
    return r;
}

namespace {
QList<ActionRow> &commandTable()
{
    static QList<ActionRow> rows;
    return rows;
}

const ActionRow *findCommand(const QString &id)
{
    for (const ActionRow &r : std::as_const(commandTable()))
        if (r.id == id)
            return &r;
    return nullptr;
}
} // namespace

void addCommands(const QList<ActionRow> &rows)
{
    for (const ActionRow &r : rows)
        if (!findCommand(r.id))
            commandTable() << r;
}

const QList<ActionRow> &commandRows() { return commandTable(); }

void runCommand(const QString &id)
{
    const ActionRow *r = findCommand(id);
    Q_ASSERT_X(r, "runCommand", qPrintable(id));
    if (r && r->run)
        r->run();
}

ActionRegistry::ActionRegistry(QMenuBar *bar, QObject *parent) : QObject(parent), m_bar(bar)
{
    setObjectName(QStringLiteral("Actions"));
}

void ActionRegistry::fault(const QString &what)
{
    // Loud in a debug build; the tests read faults() in every build.
    qWarning("Action registry: %s", qPrintable(what));
    Q_ASSERT_X(false, "ActionRegistry", qPrintable(what));
    m_faults << what;
}

void ActionRegistry::add(const QList<ActionRow> &rows, QObject *context)
{
    if (!context)
        context = this;
    for (const ActionRow &r : rows) {
        if (!r.id.isEmpty() && (m_actions.contains(r.id) || m_menus.contains(r.id))) {
            fault(QStringLiteral("%1 is declared twice").arg(r.id));
            continue;
        }
        QMenu *in = m_menus.value(r.menu);
        if (!in && !(r.kind == ActionRow::Menu && r.menu == QLatin1String(ActionId::MenuBar))) {
            fault(QStringLiteral("%1 names an unknown menu %2").arg(r.id, r.menu));
            continue;
        }
        m_rows << r;
        if (r.kind == ActionRow::Menu) {
            QMenu *m = in ? in->addMenu(r.caption) : m_bar->addMenu(r.caption);
            m->setObjectName(r.id);
            if (r.namedItem)
                m->menuAction()->setObjectName(r.id);
            m_menus.insert(r.id, m);
            continue;
        }
        QAction *a = nullptr;
        if (r.kind == ActionRow::Separator) {
            a = in->addSeparator();
        } else if (r.existing) {
            a = r.existing;
            a->setText(r.caption);
            in->addAction(a);
        } else {
            a = in->addAction(r.caption);
        }
        if (!r.id.isEmpty()) {
            a->setObjectName(r.id);
            m_actions.insert(r.id, a);
        }
        if (r.kind == ActionRow::Separator)
            continue;
        if (r.keys.size() == 1)
            a->setShortcut(r.keys.first());
        else if (!r.keys.isEmpty())
            a->setShortcuts(r.keys);
        if (r.check != ActionRow::NotCheckable) {
            a->setCheckable(true);
            a->setChecked(r.checked);
        }
        if (!r.run)
            continue;
        if (r.check == ActionRow::MarkedByHandler) {
            // Qt has flipped the mark already; the handler decides it.
            connect(a, &QAction::triggered, context, guarded([a, run = r.run] {
                        a->setChecked(!a->isChecked());
                        run();
                    }));
        } else {
            connect(a, &QAction::triggered, context, guarded(r.run));
        }
    }
}

QAction *ActionRegistry::action(const QString &id) const
{
    QAction *a = m_actions.value(id);
    Q_ASSERT_X(a, "ActionRegistry::action", qPrintable(id));
    return a;
}

QMenu *ActionRegistry::menu(const QString &id) const
{
    QMenu *m = m_menus.value(id);
    Q_ASSERT_X(m, "ActionRegistry::menu", qPrintable(id));
    return m;
}
