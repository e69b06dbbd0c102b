#pragma once
// The page families: each opened until at rest, the CPU it uses idle, and
// its keys and commands until painted.
#include <QJsonArray>

class QDir;
class QString;

namespace bench {

// Off in the smoke run, which checks that every row runs, not its figure.
extern bool g_measureIdle;

QJsonArray runFamilies(const QDir &dir, double scale, int runs, bool quick, const QString &only);

} // namespace bench
