#pragma once
// Find in Files over a generated site (benchsite.h): a word in nearly every
// page and a rare one, searched as the pane searches: time to all results,
// the process's peak memory meanwhile, and the longest the GUI thread went
// without answering.
#include <QJsonArray>

class QDir;

namespace bench {

QJsonArray runFindInFiles(const QDir &dir, double scale, int runs);

} // namespace bench
