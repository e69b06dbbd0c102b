#include "benchsitecheck.h"
#include "benchsite.h"
#include "benchsupport.h"
#include "mainwindow.h"
#include "procfigures.h"
#include "sitecheckpane.h"
#include "workbench.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

QJsonArray runSiteCheck(const QDir &work, double scale, int runs)
{
    const int pages = std::max(20, int(2000 * scale));
    const int images = std::max(50, int(5000 * scale));
    const QString folder = work.filePath(QStringLiteral("site"));
    const Site site = makeSite(folder, pages, images);
    SiteCheckPane *pane = ZediDove->workbench()->siteCheck();
    std::printf("\nsite check: %d pages, %d images, as Tools > Check Site runs it (median of %d)\n",
                pages, images, runs);
    // The first run's peak is the one that counts: later runs reuse the heap
    // the first one grew.
    std::printf("%-12s %12s %12s %14s %9s %9s\n", "", "time ms", "peak +MiB", "longest stall ms",
                "errors", "made");
    std::vector<double> times, peaks, stalls;
    int errors = 0;
    for (int r = 0; r < runs; ++r) {
        settle();
        const double before = rssMiB();
        double peak = before, stall = 0;
        QElapsedTimer sinceTick;
        QTimer tick;
        tick.setInterval(5);
        int ticks = 0;
        QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
            stall = std::max(stall, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
            if (++ticks % 4 == 0)
                peak = std::max(peak, rssMiB());
        });
        QEventLoop loop;
        QObject::connect(pane, &SiteCheckPane::finished, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        sinceTick.start();
        tick.start();
        pane->check(folder, {});
        loop.exec();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        // The rows the result put in the pane are drawn before the clock stops.
        settle();
        stall = std::max(stall, double(sinceTick.nsecsElapsed()) / 1e6);
        tick.stop();
        peak = std::max(peak, rssMiB());
        times.push_back(ms);
        peaks.push_back(peak - before);
        stalls.push_back(stall);
        errors = pane->result().errors;
    }
    const QString label = QStringLiteral("%1 pages").arg(pages);
    std::printf("%-12s %12.1f %12.1f %14.1f %9d %9d\n", qPrintable(label), median(times),
                *std::max_element(peaks.begin(), peaks.end()), median(stalls), errors,
                site.brokenLinks + site.missingImages);
    std::fflush(stdout);
    QDir(folder).removeRecursively();
    return QJsonArray{QJsonObject{
        {QStringLiteral("name"), label},
        {QStringLiteral("images"), images},
        {QStringLiteral("check ms"), median(times)},
        {QStringLiteral("peak memory MiB"), *std::max_element(peaks.begin(), peaks.end())},
        {QStringLiteral("longest GUI stall ms"), median(stalls)},
        {QStringLiteral("errors"), errors}}};
}

} // namespace bench
