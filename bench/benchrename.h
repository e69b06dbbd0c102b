#pragma once
// Planning a rename that keeps links across a generated site.
#include <QJsonArray>

namespace bench {

// Times planning the rename of the page every page links to (the home
// page) in a site of `pages` pages, best and median of `runs`.
QJsonArray runSiteRename(int pages, int runs);

} // namespace bench
