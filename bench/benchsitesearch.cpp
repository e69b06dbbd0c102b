#include "benchsitesearch.h"
#include "benchsite.h"
#include "benchsupport.h"
#include "findinfilespane.h"
#include "mainwindow.h"
#include "procfigures.h"
#include "sitefolder.h"
#include "workbench.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace bench {

namespace {
struct SearchFigures {
    double ms = 0;
    double stallMs = 0; // longest gap between two turns of the event loop
    double peakMiB = 0;
    int matches = 0;
};

SearchFigures searchOnce(FindInFilesPane *pane, const QString &word)
{
    pane->findField()->setText(word);
    SearchFigures f;
    f.peakMiB = rssMiB();
    // A timer due every millisecond: the gaps between its turns are how
    // long the GUI thread was busy.
    QTimer tick;
    tick.setInterval(1);
    QElapsedTimer since, all;
    int turns = 0;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        f.stallMs = std::max(f.stallMs, double(since.nsecsElapsed()) / 1e6);
        since.start();
        if (++turns % 20 == 0)
            f.peakMiB = std::max(f.peakMiB, rssMiB());
    });
    all.start();
    since.start();
    tick.start();
    pane->find();
    while (pane->isSearching())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    f.ms = double(all.nsecsElapsed()) / 1e6;
    f.peakMiB = std::max(f.peakMiB, rssMiB());
    f.matches = pane->matchCount();
    return f;
}
} // namespace

QJsonArray runFindInFiles(const QDir &dir, double scale, int runs)
{
    const int pages = std::max(20, int(2000 * scale));
    const int images = std::max(50, int(5000 * scale));
    const QString root = dir.filePath(QStringLiteral("site"));
    const Site site = makeSite(root, pages, images);
    ZediDove->workbench()->siteFolder()->setPath(root);
    FindInFilesPane *pane = ZediDove->workbench()->findInFiles();
    pane->show();
    for (const char *box : {"FindInFilesCase", "FindInFilesWords", "FindInFilesRegex"})
        pane->findChild<QCheckBox *>(QLatin1String(box))->setChecked(false);
    pane->patternField()->clear();
    settle();
    std::printf("\nfind in files: %d pages, %d images (median of %d)\n", pages, images, runs);
    std::printf("%-28s %10s %12s %12s %10s %9s\n", "word", "all ms", "max stall ms", "peak MiB",
                "added MiB", "matches");
    QJsonArray out;
    for (const auto &[label, word] :
         {std::pair{"common word", site.commonWord}, std::pair{"rare word", site.rareWord}}) {
        std::vector<double> ms, stall;
        double peak = 0;
        const double before = rssMiB();
        int matches = 0;
        for (int r = 0; r < runs; ++r) {
            const SearchFigures f = searchOnce(pane, word);
            ms.push_back(f.ms);
            stall.push_back(f.stallMs);
            peak = std::max(peak, f.peakMiB);
            matches = f.matches;
        }
        std::printf("%-28s %10.1f %12.1f %12.1f %10.1f %9d\n", label, median(ms), median(stall),
                    peak, peak - before, matches);
        std::fflush(stdout);
        out.append(QJsonObject{{QStringLiteral("name"), QLatin1String(label)},
                               {QStringLiteral("pages"), pages},
                               {QStringLiteral("all results ms"), median(ms)},
                               {QStringLiteral("max GUI stall ms"), median(stall)},
                               {QStringLiteral("peak MiB"), peak},
                               {QStringLiteral("matches"), matches}});
    }
    pane->hide();
    return out;
}

} // namespace bench
