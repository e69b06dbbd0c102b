#pragma once
// The page check's rows: a hand-written page of 110 KB, 1 MB and 8 MB
// checked as the pane checks it, first with the conformance checker's start
// and then warm, and the checker process's memory.
#include <QJsonArray>

class QString;

namespace bench {

QJsonArray runPageCheck(double scale, int runs, const QString &only);

} // namespace bench
