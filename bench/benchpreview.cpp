#include "benchpreview.h"
#include "benchpages.h"
#include "benchsupport.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "previewpane.h"
#include "procfigures.h"
#include "spellcheck.h"
#include "spelling.h"
#include "workbench.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QWebEnginePage>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>
#include <unistd.h>

namespace bench {

namespace {

// The CPU time a process has used so far; 0 when it is gone.
double processCpuMs(qint64 pid)
{
    const qint64 ticks = processCpuTicks(pid);
    return ticks < 0 ? 0 : double(ticks) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

// Closes a family's document unchanged, lets its window go before the next
// family is measured, and removes its file.
void closeFamily(THTMLDOC *doc, const QString &path)
{
    doc->editor()->document()->setModified(false);
    doc->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settle();
    QFile::remove(path);
}

// ------------------------------------------------------------ preview
// This process and every process it started (the engine's helper
// processes hang below it).
std::vector<qint64> processTree(qint64 root)
{
    std::map<qint64, qint64> parent;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1)
            parent[pid] = rest[1].toLongLong();
    }
    std::vector<qint64> tree;
    for (const auto &[pid, ppid] : parent) {
        bool below = false;
        for (qint64 p = pid; p > 1 && !below; p = parent.count(p) ? parent[p] : 0)
            below = p == root;
        if (below)
            tree.push_back(pid);
    }
    return tree;
}

// Resident memory of the process tree, in MiB.
double treeRssMiB(qint64 root)
{
    double total = 0;
    for (const qint64 pid : processTree(root)) {
        const double rss = processRssMiB(pid);
        if (!std::isnan(rss))
            total += rss;
    }
    return total;
}

// CPU time of the process tree so far, every thread of it.
double treeCpuMs(qint64 root)
{
    double total = 0;
    for (const qint64 pid : processTree(root))
        total += processCpuMs(pid);
    return total;
}

// Waits until the pane has finished one more load than `before`; ms.
double untilLoaded(PreviewPane *pane, int before)
{
    QElapsedTimer t;
    t.start();
    while (pane->loadsFinished() <= before && t.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return pane->loadsFinished() > before ? double(t.nsecsElapsed()) / 1e6 : NAN;
}

// After a load the engine goes on drawing the page for a while, in its
// renderer and GPU processes and in its threads inside ours; a user who
// reads the page and then types meets an engine at rest. Waits (30 s at
// most) until all of them together use less than a tenth of a core for a
// quarter second.
void untilEngineRests()
{
    const qint64 self = QCoreApplication::applicationPid();
    QElapsedTimer t;
    t.start();
    double last = treeCpuMs(self);
    while (t.elapsed() < 30000) {
        QElapsedTimer slice;
        slice.start();
        while (slice.elapsed() < 250)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        const double now = treeCpuMs(self);
        if (now - last < 25)
            return;
        last = now;
    }
}

} // namespace

// The preview: a refresh of pages of the editor's own shape until the
// engine reports the load finished (and the part of it the GUI thread
// spends), a typed character on the 8 MB families with the pane hidden and
// shown, and the memory of the editor with its engine processes. Run in a
// fresh process, so that "hidden" is before the engine ever started.
QJsonArray runPreview(const QDir &dir, double scale, int runs, const QString &only)
{
    QJsonArray out;
    auto report = [&](const QString &name, const QString &unit, double v) {
        std::printf("%-62s %6s %10.1f\n", qPrintable(name), qPrintable(unit), v);
        std::fflush(stdout);
        out.append(QJsonObject{{QStringLiteral("name"), name},
                               {QStringLiteral("unit"), unit},
                               {QStringLiteral("value"), v}});
    };
    std::printf("\npreview (median of %d)\n", runs);
    PreviewPane *pane = ZediDove->workbench()->preview();
    const qint64 self = QCoreApplication::applicationPid();
    settle();
    report(QStringLiteral("memory, preview never shown (editor)"), QStringLiteral("MiB"),
           treeRssMiB(self));

    // Typed characters on the 8 MB families, hidden then shown.
    for (const Family &fam : families(scale)) {
        if (!fam.name.contains(QLatin1String("8 MB")) || !fam.name.contains(only))
            continue;
        const QString path = dir.filePath(QStringLiteral("preview-family.htm"));
        fam.writeTo(path);
        THTMLDOC *doc = ZediDove->openDocument(path);
        EditorBox *ed = doc->editor();
        const int line = longestLine(ed);
        for (const bool shown : {false, true}) {
            if (shown && !pane->isVisible()) {
                const int before = pane->loadsFinished();
                pane->show();
                untilLoaded(pane, before);
            }
            std::vector<double> wall, cpu, refresh;
            if (qEnvironmentVariableIsSet("TAGLOOM_BENCH_MARKS")) {
                timespec ts{};
                clock_gettime(CLOCK_MONOTONIC, &ts);
                std::fprintf(stderr, "mark %s %ld.%09ld\n", shown ? "shown" : "hidden",
                             long(ts.tv_sec), ts.tv_nsec);
            }
            for (int r = 0; r < runs; ++r) {
                untilEngineRests();
                caretMidLongest(ed, line);
                const Cost c = untilPainted(
                    ed, [&] { sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")); });
                wall.push_back(c.wall);
                cpu.push_back(c.cpu);
                if (shown) {
                    // A page this long is shown again on Refresh only: the
                    // part of it the GUI thread spends, timed on its own.
                    const int before = pane->loadsFinished();
                    refresh.push_back(timeMs([&] { pane->refresh(); }));
                    untilLoaded(pane, before);
                }
                ed->undo();
                settle();
            }
            const QString state = shown ? QStringLiteral("shown") : QStringLiteral("hidden");
            report(fam.name + QStringLiteral(": typed char, preview ") + state,
                   QStringLiteral("ms"), median(wall));
            report(fam.name + QStringLiteral(": typed char CPU, preview ") + state,
                   QStringLiteral("ms"), median(cpu));
            if (shown) {
                report(fam.name + QStringLiteral(": Refresh, GUI thread"), QStringLiteral("ms"),
                       median(refresh));
            }
        }
        pane->hide();
        settle();
        closeFamily(doc, path);
    }

    // Refresh until loaded, pages of the editor's own shape.
    for (const int kib : {110, 1024, 8192}) {
        if (!only.isEmpty())
            break; // --families chose some typed-key rows alone
        const int lines = int(kib * 1024.0 * scale / 74);
        const QString path = dir.filePath(QStringLiteral("preview-%1.htm").arg(kib));
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(generatePage(qMax(20, lines)));
        }
        THTMLDOC *doc = ZediDove->openDocument(path);
        if (!pane->isVisible())
            pane->show();
        settle();
        untilLoaded(pane, pane->loadsFinished() - 1);
        std::vector<double> loaded;
        for (int r = -1; r < runs; ++r) {
            const int before = pane->loadsFinished();
            QElapsedTimer t;
            t.start();
            pane->refresh();
            untilLoaded(pane, before);
            if (r >= 0)
                loaded.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        report(QStringLiteral("refresh until loaded, %1 KiB page").arg(kib), QStringLiteral("ms"),
               median(loaded));
        if (kib == 1024)
            report(QStringLiteral("memory, preview shown, 1 MiB page (editor + engine)"),
                   QStringLiteral("MiB"), treeRssMiB(self));
        doc->page()->setModified(false);
        doc->close();
        settle();
        QFile::remove(path);
    }
    pane->hide();
    settle();
    report(QStringLiteral("memory, preview hidden again (editor + engine)"), QStringLiteral("MiB"),
           treeRssMiB(self));
    return out;
}

// ------------------------------------------------------------ spelling
// A typed character with the spelling check off and on, on the 8 MB
// families, the one-line minified page and a page of prose with misspelt
// words, each from its key until the underlines of the lines on screen are
// set and painted.
QJsonArray runSpelling(const QDir &dir, double scale, int runs, const QString &only)
{
    QJsonArray out;
    std::printf("\nspelling: typed char until checked and painted (median of %d, ms wall / CPU)\n",
                runs);
    std::printf("%-44s %15s %15s %7s\n", "page", "spelling off", "spelling on", "on/off");
    std::vector<Family> pages;
    for (const Family &fam : families(scale))
        if (fam.name.contains(QLatin1String("8 MB")) || fam.name == QLatin1String("minified 1 MB"))
            pages.push_back(fam);
    pages.push_back({QStringLiteral("prose 8 MB"),
                     QStringLiteral("paragraphs, a misspelt word in five"), [=](QFile &f) {
                         static const char *const words[] = {
                             "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog",
                             "and", "teh",   "cat",   "sat", "on",    "mat",  "with", "recieve"};
                         f.write("<!doctype html>\n<html><body>\n");
                         for (int i = 0; i < int(110000 * scale); ++i) {
                             QByteArray line = "<p>";
                             for (int w = 0; w < 11; ++w)
                                 line += QByteArray(words[(i * 7 + w * 3) % 16]) + ' ';
                             f.write(line + "<em>text</em></p>\n");
                         }
                         f.write("</body></html>\n");
                     }});
    Spelling *spelling = Spelling::instance();
    for (const Family &fam : pages) {
        if (!fam.name.contains(only))
            continue;
        const QString path = dir.filePath(QStringLiteral("spelling-family.htm"));
        fam.writeTo(path);
        THTMLDOC *doc = ZediDove->openDocument(path);
        EditorBox *ed = doc->editor();
        SpellCheck *check = ed->spelling();
        const int line = longestLine(ed);
        auto atRest = [&] {
            QElapsedTimer t;
            t.start();
            while ((!check->isComplete()
                    || (!check->dictionaryName().isEmpty()
                        && !spelling->dictionary(check->dictionaryName())))
                   && t.elapsed() < 60000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        };
        std::map<bool, Cost> result;
        for (const bool on : {false, true}) {
            spelling->setEnabled(on);
            atRest();
            std::vector<double> wall, cpu;
            for (int r = 0; r < runs; ++r) {
                caretMidLongest(ed, line);
                atRest();
                const Cost c = untilPainted(ed, [&] {
                    sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                    while (!check->isScreenChecked())
                        QCoreApplication::processEvents();
                });
                wall.push_back(c.wall);
                cpu.push_back(c.cpu);
                ed->undo();
                settle();
            }
            result[on] = {median(wall), median(cpu)};
        }
        const double ratio = result[true].wall / result[false].wall;
        std::printf("%-44s %6.1f/%6.1f   %6.1f/%6.1f   %6.2f  %d underlined\n",
                    qPrintable(fam.name), result[false].wall, result[false].cpu, result[true].wall,
                    result[true].cpu, ratio, int(check->underlined().size()));
        std::fflush(stdout);
        out.append(
            QJsonObject{{QStringLiteral("name"), fam.name},
                        {QStringLiteral("typed char, spelling off ms"), result[false].wall},
                        {QStringLiteral("typed char, spelling on ms"), result[true].wall},
                        {QStringLiteral("typed char CPU, spelling off ms"), result[false].cpu},
                        {QStringLiteral("typed char CPU, spelling on ms"), result[true].cpu},
                        {QStringLiteral("on/off"), ratio}});
        closeFamily(doc, path);
    }
    spelling->setEnabled(true);
    return out;
}

} // namespace bench
