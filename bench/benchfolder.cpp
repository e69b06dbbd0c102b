#include "benchfolder.h"
#include "benchsupport.h"
#include "folderpane.h"
#include "mainwindow.h"
#include "procfigures.h"
#include "sitefolder.h"
#include "workbench.h"

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QJsonObject>
#include <QSet>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

namespace {
constexpr int kSections = 20, kParts = 10; // 20 folders of 10 folders each

// `files` files spread over the leaf folders: pages, stylesheets, scripts
// and images, a few bytes each (only names and sizes are read).
int makeFolder(const QString &root, int files)
{
    static const char *const kSuffixes[] = {"html", "css", "js", "png", "htm"};
    const int perLeaf = qMax(1, files / (kSections * kParts));
    int made = 0;
    for (int s = 0; s < kSections; ++s) {
        for (int p = 0; p < kParts; ++p) {
            const QString leaf = QStringLiteral("%1/section-%2/part-%3").arg(root).arg(s).arg(p);
            QDir().mkpath(leaf);
            for (int f = 0; f < perLeaf; ++f) {
                QFile file(QStringLiteral("%1/file-%2.%3")
                               .arg(leaf)
                               .arg(f)
                               .arg(QLatin1String(kSuffixes[f % 5])));
                if (file.open(QIODevice::WriteOnly) && file.write("<p>x</p>\n") > 0)
                    ++made;
            }
        }
    }
    return made;
}

// The longest wait between two ticks of a short timer on the GUI thread:
// how long a key or a click would have waited.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = qMax(m_worst, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    double worstMs() const { return double(m_worst) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_worst = 0;
};

template <class F> bool waitFor(F &&done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

struct Figures {
    double call = NAN, top = NAN, full = NAN, stall = NAN, mib = NAN;
    int rows = 0;
};

Figures openOnce(const QString &root, int files, bool expand)
{
    SiteFolder *site = ZediDove->workbench()->siteFolder();
    FolderPane *pane = ZediDove->workbench()->folderPane();
    site->setPath({});
    settle();
    const double before = rssMiB();
    Figures out;
    StallMeter stall;
    QElapsedTimer clock;
    clock.start();
    site->setPath(root);
    out.call = double(clock.nsecsElapsed()) / 1e6;
    QFileSystemModel *model = pane->model();
    // Each folder read has its folders read in turn, expanded in the tree
    // (as a user opening every folder would see it) or only read.
    QSet<QString> read;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, model, [&](const QString &path) {
        read << path;
        const QModelIndex at = model->index(path);
        for (int r = 0; r < model->rowCount(at); ++r) {
            const QModelIndex child = model->index(r, 0, at);
            if (!model->isDir(child))
                continue;
            if (expand)
                pane->tree()->expand(pane->indexOf(model->filePath(child)));
            else
                model->fetchMore(child);
        }
    });
    const QModelIndex top = model->index(root);
    if (waitFor([&] { return model->rowCount(top) == kSections; }, 60000))
        out.top = double(clock.nsecsElapsed()) / 1e6;
    auto filesShown = [&] {
        int n = 0;
        for (int s = 0; s < kSections; ++s)
            for (int p = 0; p < kParts; ++p)
                n += model->rowCount(
                    model->index(QStringLiteral("%1/section-%2/part-%3").arg(root).arg(s).arg(p)));
        return n;
    };
    const int folders = 1 + kSections * (1 + kParts);
    if (waitFor([&] { return read.size() >= folders && filesShown() >= files; }, 300000))
        out.full = double(clock.nsecsElapsed()) / 1e6;
    out.stall = stall.worstMs();
    out.rows = filesShown();
    settle();
    out.mib = rssMiB() - before;
    return out;
}
} // namespace

QJsonArray runFolder(const QDir &dir, int files, int runs)
{
    const QString root = dir.filePath(QStringLiteral("site-folder"));
    QDir(root).removeRecursively();
    const int made = makeFolder(root, files);
    std::printf("\nfolder pane: a site of %d files in %d folders opened, then every folder "
                "read, or read and expanded in the tree (median of %d)\n",
                made, 1 + kSections * (1 + kParts), runs);
    std::printf("%-34s %12s %12s %12s %10s\n", "site", "top level ms", "all read ms",
                "max stall ms", "added MiB");
    // Memory: the first run's (the allocator keeps what a run gave back).
    QJsonArray out;
    {
        // What the machine's load alone costs: the same timer, nothing to do.
        StallMeter idle;
        waitFor([] { return false; }, 1000);
        std::printf("%-34s %12s %12s %12.1f\n", "(idle, 1 s)", "", "", idle.worstMs());
        out.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("idle, 1 s")},
                               {QStringLiteral("max GUI stall ms"), idle.worstMs()}});
    }
    for (const bool expand : {false, true}) {
        std::vector<double> call, top, full, stall, mib;
        int rows = 0;
        for (int r = 0; r < runs; ++r) {
            const Figures f = openOnce(root, made, expand);
            call.push_back(f.call);
            top.push_back(f.top);
            full.push_back(f.full);
            stall.push_back(f.stall);
            mib.push_back(f.mib);
            rows = f.rows;
        }
        const QString label =
            QStringLiteral("%1 files, %2")
                .arg(made)
                .arg(expand ? QLatin1String("all expanded") : QLatin1String("all read"));
        std::printf("%-34s %12.1f %12.1f %12.1f %10.1f\n", qPrintable(label), median(top),
                    median(full), median(stall), *std::max_element(mib.begin(), mib.end()));
        std::printf("%-34s the opening call itself, first run: %.1f ms, then %.1f ms\n", "",
                    call.front(), call.back());
        if (rows != made)
            std::fprintf(stderr, "folder pane: %d files shown of %d\n", rows, made);
        std::fflush(stdout);
        out.append(QJsonObject{{QStringLiteral("name"), label},
                               {QStringLiteral("opening call ms (first run)"), call.front()},
                               {QStringLiteral("top level shown ms"), median(top)},
                               {QStringLiteral("all folders read ms"), median(full)},
                               {QStringLiteral("max GUI stall ms"), median(stall)},
                               {QStringLiteral("added memory MiB (first run)"),
                                *std::max_element(mib.begin(), mib.end())},
                               {QStringLiteral("files shown"), rows}});
    }
    ZediDove->workbench()->siteFolder()->setPath({});
    QDir(root).removeRecursively();
    return out;
}

} // namespace bench
