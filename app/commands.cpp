#include "commands.h"
#include "currentdocument.h"

namespace {
QList<Command> &table()
{
    static QList<Command> commands;
    return commands;
}
} // namespace

void addCommands(const QList<Command> &commands)
{
    for (const Command &c : commands)
        if (!findCommand(QLatin1String(c.name)))
            table() << c;
}

const Command *findCommand(const QString &name)
{
    for (const Command &c : std::as_const(table()))
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

void runCommand(const QString &name)
{
    if (const Command *c = findCommand(name))
        c->run(ActiveEditor());
}
