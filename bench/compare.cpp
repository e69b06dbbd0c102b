// Side by side: this build against another revision's build, in one run.
// The editor itself is started for the memory rows (empty start, open of
// each size), as a user starts it; the other rows are the benchmark's own,
// from each build's tagloom-bench. Runs alternate between the two builds
// (and which goes first), so a slow spell of the machine falls on both.
//   tagloom-compare --new BUILD --old BUILD [--runs N] [--sizes a,b]
//                   [--rows memory,bench] [--bench-args "..."]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include "procfigures.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace {

struct AtRest {
    double rss = NAN;   // MiB
    double ticks = NAN; // CPU, start included
    double seconds = NAN; // until the last busy moment
};

// Starts a build's editor (with a page, or none) in a home and working
// folder of its own, with its source's vezezu.ini as run.sh gives it, and
// waits until it rests: no quarter second busier than 10 % for 3 s, and
// not before 8 s (the splash takes 5 s, and is idle).
AtRest startEditor(const QString &build, const QStringList &args)
{
    QTemporaryDir home;
    QFile::copy(build + QStringLiteral("/../vezezu.ini"), home.filePath(QStringLiteral("vezezu.ini")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    for (const char *v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        env.remove(QLatin1String(v));
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(home.path());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(build + QStringLiteral("/tagloom-html"), args);
    if (!p.waitForStarted())
        return {};
    const qint64 pid = p.processId();
    const qint64 hz = sysconf(_SC_CLK_TCK);
    const qint64 binMs = 250, quietMs = 3000, minMs = 8000, maxMs = 180000;
    qint64 binStart = 0, binTicks = processCpuTicks(pid), lastBusy = 0, ticks = binTicks;
    AtRest r;
    while (p.state() == QProcess::Running) {
        QThread::msleep(20);
        const qint64 now = clock.elapsed();
        const qint64 t = processCpuTicks(pid);
        if (t < 0)
            break;
        ticks = t;
        if (now - binStart >= binMs) {
            if ((t - binTicks) * 1000 / hz * 10 > (now - binStart))
                lastBusy = now;
            binStart = now;
            binTicks = t;
        }
        if ((now - lastBusy >= quietMs && now >= minMs) || now >= maxMs) {
            r.rss = processRssMiB(pid);
            r.ticks = double(ticks);
            r.seconds = lastBusy / 1000.0;
            break;
        }
    }
    ::kill(pid_t(pid), SIGKILL);
    p.waitForFinished();
    return r;
}

// Every figure of a benchmark's JSON, by a name that says where it is.
std::map<QString, double> flatten(const QJsonObject &o)
{
    std::map<QString, double> out;
    for (const QJsonValue &v : o.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject r = v.toObject();
        const QJsonObject values = r.value(QStringLiteral("values")).toObject();
        for (auto it = values.begin(); it != values.end(); ++it)
            out[QStringLiteral("%1 (%2, %3 lines)")
                    .arg(r.value(QStringLiteral("name")).toString(),
                         r.value(QStringLiteral("unit")).toString(), it.key())] =
                it.value().toDouble();
    }
    for (const QString &section :
         {QStringLiteral("families"), QStringLiteral("spelling"), QStringLiteral("check")})
        for (const QJsonValue &v : o.value(section).toArray()) {
            const QJsonObject r = v.toObject();
            for (auto it = r.begin(); it != r.end(); ++it)
                if (it.value().isDouble() && it.key() != QLatin1String("MiB")
                    && it.key() != QLatin1String("longest line"))
                    out[QStringLiteral("%1: %2, %3")
                            .arg(section, r.value(QStringLiteral("name")).toString(), it.key())] =
                        it.value().toDouble();
        }
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString newBuild, oldBuild, benchArgs = QStringLiteral("--quick --runs 3");
    QStringList rowsWanted{QStringLiteral("memory"), QStringLiteral("bench")};
    QList<int> sizes{10000, 100000, 1000000};
    int runs = 3;
    for (int i = 1; i + 1 < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--new"))
            newBuild = args[++i];
        else if (a == QLatin1String("--old"))
            oldBuild = args[++i];
        else if (a == QLatin1String("--runs"))
            runs = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--rows"))
            rowsWanted = args[++i].split(QLatin1Char(','));
        else if (a == QLatin1String("--bench-args"))
            benchArgs = args[++i];
        else if (a == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString &s : args[++i].split(QLatin1Char(',')))
                sizes << s.toInt();
        }
    }
    if (newBuild.isEmpty() || oldBuild.isEmpty()) {
        std::fprintf(stderr, "usage: tagloom-compare --new BUILD --old BUILD [--runs N] "
                             "[--sizes a,b] [--rows memory,bench] [--bench-args \"...\"]\n");
        return 2;
    }
    const QString builds[2] = {newBuild, oldBuild};
    QTemporaryDir work;
    // name -> figures of the new [0] and old [1] build, one a run.
    std::vector<QString> order;
    std::map<QString, std::vector<double>> figures[2];
    auto add = [&](int b, const QString &name, double v) {
        if (std::find(order.begin(), order.end(), name) == order.end())
            order.push_back(name);
        if (std::isfinite(v))
            figures[b][name].push_back(v);
    };

    if (rowsWanted.contains(QStringLiteral("memory"))) {
        // The pages, written once by this build's benchmark, read by both.
        std::vector<std::pair<QString, QStringList>> cases{{QStringLiteral("empty start"), {}}};
        for (int lines : sizes) {
            const QString path = work.filePath(QStringLiteral("page%1.htm").arg(lines));
            QProcess::execute(newBuild + QStringLiteral("/bench/tagloom-bench"),
                              {QStringLiteral("--write-page"), QString::number(lines), path});
            cases.push_back({QStringLiteral("open %1 lines").arg(lines), {path}});
        }
        for (int r = 0; r < runs; ++r)
            for (const auto &[name, fileArgs] : cases)
                for (int k = 0; k < 2; ++k) {
                    const int b = (r + k) % 2; // who goes first alternates
                    std::fprintf(stderr, "run %d/%d: %s, %s\n", r + 1, runs, qPrintable(name),
                                 b ? "old" : "new");
                    const AtRest a = startEditor(builds[b], fileArgs);
                    add(b, name + QStringLiteral(": memory at rest (MiB)"), a.rss);
                    add(b, name + QStringLiteral(": CPU until rest (10 ms ticks)"), a.ticks);
                    add(b, name + QStringLiteral(": time to rest from start (s)"), a.seconds);
                }
    }
    if (rowsWanted.contains(QStringLiteral("bench"))) {
        QStringList sizeList;
        for (int s : sizes)
            sizeList << QString::number(s);
        for (int r = 0; r < runs; ++r)
            for (int k = 0; k < 2; ++k) {
                const int b = (r + k) % 2;
                std::fprintf(stderr, "run %d/%d: benchmark, %s\n", r + 1, runs, b ? "old" : "new");
                const QString json = work.filePath(QStringLiteral("bench%1.json").arg(b));
                QFile::remove(json);
                QProcess p;
                p.setWorkingDirectory(work.path());
                p.setStandardOutputFile(QProcess::nullDevice());
                p.start(builds[b] + QStringLiteral("/bench/tagloom-bench"),
                        QStringList{QStringLiteral("--json"), json, QStringLiteral("--sizes"),
                                    sizeList.join(QLatin1Char(','))}
                            + QProcess::splitCommand(benchArgs));
                p.waitForFinished(-1);
                QFile f(json);
                if (f.open(QIODevice::ReadOnly))
                    for (const auto &[name, v] : flatten(QJsonDocument::fromJson(f.readAll()).object()))
                        add(b, name, v);
            }
    }

    std::printf("%-78s %12s %12s %7s\n", "median of each build's runs", "new", "old", "new/old");
    for (const QString &name : order) {
        const double v[2] = {median(figures[0][name]), median(figures[1][name])};
        auto cell = [](double x) {
            return std::isfinite(x) ? QString::number(x, 'f', 3) : QStringLiteral("n/a");
        };
        const QString ratio = std::isfinite(v[0]) && std::isfinite(v[1]) && v[1] != 0
                                  ? QString::number(v[0] / v[1], 'f', 2)
                                  : QStringLiteral("n/a");
        const bool moved = ratio != QLatin1String("n/a") && std::fabs(v[0] / v[1] - 1) > 0.10;
        std::printf("%-78s %12s %12s %7s%s\n", qPrintable(name.left(78)), qPrintable(cell(v[0])),
                    qPrintable(cell(v[1])), qPrintable(ratio), moved ? "  *" : "");
    }
    std::printf("* moved more than 10 %%: rerun side by side before putting it down to noise\n");
    return 0;
}
