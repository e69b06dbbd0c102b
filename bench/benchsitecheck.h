#pragma once
// Tools > Check Site over a generated site (2,000 pages and 5,000 images at
// scale 1) as the pane runs it: time to the result, the memory it takes at
// its peak, and the longest the window went without handling events.
#include <QJsonArray>

class QDir;

namespace bench {

QJsonArray runSiteCheck(const QDir &work, double scale, int runs);

} // namespace bench
