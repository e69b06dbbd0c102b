#pragma once
// The folder pane's rows: a generated site folder of many files in nested
// folders opened in the pane, the time until its top level shows and until
// every folder is read and expanded, the longest the GUI thread went
// unanswered meanwhile, and the memory it took.
#include <QJsonArray>

class QDir;

namespace bench {

QJsonArray runFolder(const QDir &dir, int files, int runs);

} // namespace bench
