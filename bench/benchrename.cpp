#include "benchrename.h"

#include "benchsite.h"
#include "benchsupport.h"
#include "siterename.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

QJsonArray runSiteRename(int pages, int runs)
{
    QTemporaryDir dir;
    const Site site = makeSite(dir.path(), pages, pages / 4);
    const QString from = site.pages.first(); // index.html, linked from every page
    const QString to = dir.filePath(QStringLiteral("home.html"));
    // And a page a few others link to: most pages are passed over unparsed.
    const QString few = site.pages.at(site.pages.size() / 2);
    QJsonArray out;
    for (const auto &[label, renamed] :
         {std::pair{"plan rename: a page all pages link to", from},
          std::pair{"plan rename: a page a few pages link to", few}}) {
        std::vector<double> ms;
        qsizetype changes = 0;
        for (int r = 0; r < std::max(runs, 1); ++r)
            ms.push_back(
                timeMs([&] { changes = planRename(dir.path(), renamed, to, {}).changes.size(); }));
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        std::printf("%-44s %6d pages %6lld changes  best %8.1f ms  median %8.1f ms\n", label, pages,
                    qlonglong(changes), ms.front(), median);
        out.append(QJsonObject{{QStringLiteral("name"), QLatin1String(label)},
                               {QStringLiteral("pages"), pages},
                               {QStringLiteral("changes"), qint64(changes)},
                               {QStringLiteral("best_ms"), ms.front()},
                               {QStringLiteral("median_ms"), median}});
    }
    return out;
}

} // namespace bench
