// Benchmark: opening, saving and every tag command on generated pages of
// growing size, driven through the same code the editor runs. Prints a
// table and writes the same figures as JSON.
#include "benchcheck.h"
#include "benchsitecheck.h"
#include "benchcommands.h"
#include "benchfolder.h"
#include "benchfamilies.h"
#include "benchpages.h"
#include "benchpreview.h"
#include "benchrename.h"
#include "benchsitesearch.h"
#include "benchsupport.h"
#include "documentstatus.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "livecheck.h"
#include "mainwindow.h"
#include "markuphighlighter.h"
#include "pagecheck.h"
#include "startup.h"
#include "tagcommands.h"
#include "textreader.h"
#include "textsearch.h"
#include "uiseam.h"
#include "procfigures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

using namespace bench;

namespace {

// Runs this program again with the given arguments; returns the two
// figures it prints.
QList<QByteArray> probeProcess(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().split(' ');
}

StartupOptions quickStart()
{
    StartupOptions o;
    o.startupMs = 1;
    o.splashMs = 1;
    return o;
}

struct Row {
    QString name;
    QString unit;
    std::map<int, double> bySize;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    g_defaultHandler = qInstallMessageHandler(quietHandler);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // the preview's engine
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software"); // as the editor draws it
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    std::vector<int> sizes = {10000, 100000, 1000000};
    int runs = 7;
    QString jsonPath = QStringLiteral("bench-results.json");
    double familyScale = 1.0;
    bool quick = false;         // no family over 8 MB
    bool previewOnly = false;   // only the preview's rows
    bool spellingOnly = false;  // only the spelling rows
    bool checkOnly = false;     // only the page check's rows
    bool folderOnly = false;    // only the folder pane's rows
    int folderFiles = 20000;    // the files of its site
    bool siteOnly = false;      // only Find in Files' rows
    bool siteCheckOnly = false; // only the site check's row
    bool familiesOnly = false;  // only the page families ...
    QString only;               // ... whose names hold this
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--smoke")) {
            sizes = {10000};
            runs = 1;
            familyScale = 0.05;
            quick = true;
            folderFiles = 1000;
            g_measureIdle = false;
        } else if (args[i] == QLatin1String("--quick")) {
            runs = 3;
            quick = true;
        } else if (args[i] == QLatin1String("--preview")) {
            previewOnly = true; // with --families NAME: that family's typed keys alone
        } else if (args[i] == QLatin1String("--spelling")) {
            spellingOnly = true; // with --families NAME: those pages alone
        } else if (args[i] == QLatin1String("--site-check")) {
            siteOnly = true;
        } else if (args[i] == QLatin1String("--page-check")) {
            checkOnly = true; // with --families NAME: those pages alone
        } else if (args[i] == QLatin1String("--folder")) {
            folderOnly = true;
        } else if (args[i] == QLatin1String("--find-in-files")) {
            siteCheckOnly = true;
        } else if (args[i] == QLatin1String("--families")) {
            familiesOnly = true;
            if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
                only = args[++i];
        } else if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            familyScale = args[++i].toDouble(); // the families' sizes, times this
        } else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = args[++i].toInt();
        } else if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString &s : args[++i].split(QLatin1Char(',')))
                sizes.push_back(s.toInt());
        } else if (args[i] == QLatin1String("--json") && i + 1 < args.size()) {
            jsonPath = args[++i];
        }
    }

    const int writePage = int(args.indexOf(QStringLiteral("--write-page")));
    if (writePage > 0 && writePage + 2 < args.size()) {
        // The page of that many lines, for another program to open.
        QFile f(args[writePage + 2]);
        return f.open(QIODevice::WriteOnly)
                       && f.write(generatePage(args[writePage + 1].toInt())) > 0
                   ? 0
                   : 1;
    }
    SilentUi silent;
    setUi(&silent);
    if (args.contains(QStringLiteral("--site-rename"))) {
        // No window: the planner alone, on a site of 2,000 pages.
        const QJsonArray rows = runSiteRename(2000, runs);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("site rename"), rows}}).toJson());
        return 0;
    }
    // Crash-recovery copies of a benchmark run must never mix with the
    // user's own, nor be offered (and discarded) by its silent answers.
    QStandardPaths::setTestModeEnabled(true);
    // The keys typed here never pause long enough for a check as you type
    // through the main window: a conformance checker started by one would
    // weigh on every row after it. Its rows check with one of their own.
    LiveCheck::setPauseMs(24 * 3600 * 1000);
    if (args.contains(QStringLiteral("--probe-new100"))) {
        // A fresh process: memory with 100 new documents open.
        createApplicationWindows(quickStart());
        ZediDove->show();
        while (!ZediDove->currentDocument())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ZediDove->currentDocument()->close();
        settle();
        const double before = rssMiB();
        for (int i = 0; i < 100; ++i)
            ZediDove->New1Click();
        settle();
        std::printf("%.3f %.3f\n", before, rssMiB());
        return 0;
    }
    const int probe = int(args.indexOf(QStringLiteral("--probe-open")));
    if (probe > 0 && probe + 1 < args.size()) {
        // A fresh process: memory after opening one page, nothing else.
        createApplicationWindows(quickStart());
        ZediDove->show();
        while (!ZediDove->currentDocument())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        settle();
        const double before = rssMiB();
        ZediDove->openDocument(args[probe + 1]);
        settle();
        std::printf("%.3f %.3f\n", before, rssMiB());
        return 0;
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    {
        QFile ini(QStringLiteral("vezezu.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("text color=black\r\nbackground color=white\r\ntoolbar={0,0}\r\n");
    }
    StartupOptions o;
    o.startupMs = 1;
    o.splashMs = 1;
    createApplicationWindows(o);
    ZediDove->show();
    while (!ZediDove->currentDocument())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ZediDove->currentDocument()->close();
    settle();

    if (previewOnly) {
        const QJsonArray rows = runPreview(QDir(dir.path()), familyScale, runs, only);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("preview"), rows}}).toJson());
        destroyApplicationWindows();
        return 0;
    }
    if (spellingOnly) {
        const QJsonArray rows = runSpelling(QDir(dir.path()), familyScale, runs, only);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("spelling"), rows}}).toJson());
        destroyApplicationWindows();
        return 0;
    }
    if (checkOnly) {
        const QJsonArray rows = runPageCheck(familyScale, runs, only);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("check"), rows}}).toJson());
        destroyApplicationWindows();
        return 0;
    }
    if (folderOnly) {
        const QJsonArray rows = runFolder(QDir(dir.path()), folderFiles, qMin(runs, 3));
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("folder"), rows}}).toJson());
        destroyApplicationWindows();
        return 0;
    }
    if (siteOnly) {
        const QJsonArray rows = runFindInFiles(QDir(dir.path()), familyScale, runs);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("find in files"), rows}}).toJson());
        destroyApplicationWindows();
        return 0;
    }
    if (siteCheckOnly) {
        const QJsonArray rows = runSiteCheck(QDir(dir.path()), familyScale, runs);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("site"), rows}}).toJson());
        destroyApplicationWindows();
        return 0;
    }
    if (familiesOnly) {
        const QJsonArray fams = runFamilies(QDir(dir.path()), familyScale, runs, quick, only);
        QFile out(jsonPath);
        if (out.open(QIODevice::WriteOnly))
            out.write(QJsonDocument(QJsonObject{{QStringLiteral("families"), fams}}).toJson());
        destroyApplicationWindows();
        return 0;
    }

    std::vector<Row> rows;
    auto row = [&](const QString &name, const QString &unit) -> Row & {
        for (Row &r : rows)
            if (r.name == name)
                return r;
        rows.push_back({name, unit, {}});
        return rows.back();
    };

    // The pages over the colouring limit are never coloured. So that every
    // size runs the same code, and a command's growth with the page is not
    // hidden or inflated by colouring, these rows are measured with the
    // colouring off; its cost has rows of its own below.
    MarkupHighlighter::setSizeLimit(0);
    std::vector<THTMLDOC *> pages; // one open document for each size, in order
    for (int lines : sizes) {
        const QString path = dir.filePath(QStringLiteral("page%1.htm").arg(lines));
        const QByteArray bytes = generatePage(lines);
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
        const double fileMiB = double(bytes.size()) / (1024.0 * 1024.0);
        row(QStringLiteral("file size"), QStringLiteral("MiB")).bySize[lines] = fileMiB;

        // Open, against the floor (read + decode) and a plain setPlainText.
        std::vector<double> open, floorRead, plain;
        for (int r = 0; r < runs; ++r) {
            // Reading and decoding as open does (in pieces), keeping nothing.
            floorRead.push_back(timeMs([&] {
                qsizetype chars = 0;
                streamTextFile(path, [&](const QString &piece) { chars += piece.size(); });
            }));
            const QString text = readTextFile(path).text;
            {
                QPlainTextEdit edit;
                edit.show();
                plain.push_back(timeMs([&] {
                    edit.setPlainText(text);
                    settle();
                }));
            }
            settle();
            THTMLDOC *doc = nullptr;
            open.push_back(timeMs([&] {
                doc = ZediDove->openDocument(path);
                settle();
            }));
            if (r + 1 < runs) {
                doc->close();
                settle();
            }
        }
        row(QStringLiteral("open"), QStringLiteral("ms")).bySize[lines] = median(open);
        row(QStringLiteral("open floor: read+decode"), QStringLiteral("ms")).bySize[lines] =
            median(floorRead);
        row(QStringLiteral("plain setPlainText"), QStringLiteral("ms")).bySize[lines] =
            median(plain);
        row(QStringLiteral("open / setPlainText"), QStringLiteral("x")).bySize[lines] =
            median(open) / median(plain);
        {
            // Measured in a fresh process, so earlier pages leave nothing behind.
            const QList<QByteArray> v = probeProcess({QStringLiteral("--probe-open"), path});
            const double after = v.size() == 2 ? v[1].toDouble() : NAN;
            row(QStringLiteral("memory after open"), QStringLiteral("MiB")).bySize[lines] = after;
            row(QStringLiteral("memory after open / file size"), QStringLiteral("x"))
                .bySize[lines] = after / fileMiB;
        }

        THTMLDOC *doc = ZediDove->currentDocument();
        EditorBox *ed = doc->editor();

        // Save, against one plain write of the same bytes.
        std::vector<double> save, floorWrite;
        const QString savePath = dir.filePath(QStringLiteral("saved.htm"));
        for (int r = 0; r < runs; ++r) {
            save.push_back(timeMs([&] { doc->saveTo(savePath); }));
            const QByteArray out = encodeText(ed->text(), doc->encoding());
            floorWrite.push_back(timeMs([&] {
                QFile f(dir.filePath(QStringLiteral("plain.htm")));
                f.open(QIODevice::WriteOnly);
                f.write(out);
            }));
        }
        row(QStringLiteral("save"), QStringLiteral("ms")).bySize[lines] = median(save);
        row(QStringLiteral("save floor: plain write"), QStringLiteral("ms")).bySize[lines] =
            median(floorWrite);

        pages.push_back(doc);
    }

    // Commands take well under a millisecond: more runs keep the median steady.
    const int commandRuns = runs == 1 ? 1 : std::max(15, runs * 3);
    auto bySize = [&](const QString &name, const std::vector<double> &medians) {
        Row &r = row(name, QStringLiteral("ms"));
        for (size_t i = 0; i < medians.size(); ++i)
            r.bySize[sizes[i]] = medians[i];
    };
    for (const Command &c : commands())
        bySize(QString::fromLatin1(c.name), timeOnEachPage(pages, commandRuns, [&](EditorBox *ed) {
                   return commandOnce(ed, c);
               }));
    // Undoing a command that widened its line: the widest line shrinks, and
    // the editor's layout then looks through every line for the new widest.
    bySize(QStringLiteral("undo of BR"), timeOnEachPage(pages, runs, [](EditorBox *ed) {
               caretToMiddle(ed, false);
               runCommand(TagCommand::LineBreak);
               settle();
               const double ms = timeMs([&] { ed->undo(); });
               settle();
               return ms;
           }));
    // The same, until painted, and its redo.
    for (const bool redo : {false, true})
        bySize(redo ? QStringLiteral("redo of BR, until painted")
                    : QStringLiteral("undo of BR, until painted"),
               timeOnEachPage(pages, runs, [redo](EditorBox *ed) {
                   caretToMiddle(ed, false);
                   runCommand(TagCommand::LineBreak);
                   settle();
                   if (redo)
                       ed->undo();
                   settle();
                   ed->viewport()->repaint();
                   const double ms = untilPainted(ed, [&] {
                                         if (redo)
                                             ed->redo();
                                         else
                                             ed->undo();
                                     }).wall;
                   if (redo)
                       ed->undo();
                   settle();
                   return ms;
               }));
    // Find and replace: the next match a line away, a search that finds
    // nothing (one pass over every line), and Replace All of every 100th
    // line's number (10,000 matches on the 1,000,000-line page) as one step.
    const SearchQuery near(QStringLiteral("<B>markup</B>"), true, false, false);
    const SearchQuery none(QStringLiteral("not on this page"), true, false, false);
    const SearchQuery hundredth(QStringLiteral("Line (\\d{6})00 "), true, false, true);
    for (const auto &[name, query] :
         {std::pair{"find next, match near", &near}, std::pair{"find next, no match", &none}})
        bySize(QLatin1String(name), timeOnEachPage(pages, runs, [q = query](EditorBox *ed) {
                   caretToMiddle(ed, false);
                   return timeMs([&] {
                       const SearchHit hit = findMatch(ed->document(), *q, ed->textCursor(), false);
                       if (!hit.match.isNull())
                           ed->setTextCursor(hit.match);
                   });
               }));
    bySize(QStringLiteral("replace all, every 100th line"),
           timeOnEachPage(pages, runs, [&hundredth](EditorBox *ed) {
               const double ms = timeMs(
                   [&] { replaceAll(ed->textCursor(), hundredth, QStringLiteral("LINE \\100 ")); });
               ed->undo();
               settle();
               return ms;
           }));
    {
        QStatusBar bar;
        DocumentStatus status(&bar);
        bySize(QStringLiteral("status bar, caret down a line"),
               timeOnEachPage(pages, runs, [&status](EditorBox *ed) {
                   status.setEditor(ed);
                   caretToMiddle(ed, false);
                   return timeMs([&] { ed->moveCursor(QTextCursor::Down); });
               }));
    }
    // The page check on a worker thread: what it costs, whatever the GUI does.
    bySize(QStringLiteral("page check"), timeOnEachPage(pages, 1, [](EditorBox *ed) {
               const QString text = ed->text();
               return timeMs([&] { checkPage(text); });
           }));
    bySize(QStringLiteral("typed character"), timeOnEachPage(pages, runs, typedCharacterOnce));
    // From the BODY tag near the top to its closing tag at the end, and
    // back: the whole page is read for it.
    bySize(QStringLiteral("Go to Matching Tag, BODY to its end and back"),
           timeOnEachPage(pages, runs, [](EditorBox *ed) {
               ed->setCaret(4, 1);
               settle();
               return timeMs([&] {
                          ed->goToMatchingTag();
                          ed->goToMatchingTag();
                          settle();
                      })
                      / 2;
           }));
    bySize(QStringLiteral("caret to last line"), timeOnEachPage(pages, runs, [](EditorBox *ed) {
               ed->setSelStart(0);
               settle();
               return timeMs([&] {
                   ed->moveCursor(QTextCursor::End);
                   settle();
               });
           }));
    for (THTMLDOC *doc : pages) {
        doc->page()->setModified(false);
        doc->close();
    }
    settle();

    // Markup colouring on a page under its size limit: opening and typing
    // with the colouring off and on, and how long the background scan of
    // line states takes to cover the whole page after opening.
    {
        const int lines = runs == 1 ? 2000 : 25000;
        const QString path = dir.filePath(QStringLiteral("colour.htm"));
        const QByteArray bytes = generatePage(lines);
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
        const QString label = QStringLiteral("colouring, %1 lines %2 MiB: ")
                                  .arg(lines)
                                  .arg(double(bytes.size()) / (1024.0 * 1024.0), 0, 'f', 2);
        for (const bool on : {false, true}) {
            MarkupHighlighter::setSizeLimit(on ? MarkupHighlighter::kDefaultSizeLimit : 0);
            const QString state = on ? QStringLiteral(", on") : QStringLiteral(", off");
            std::vector<double> open, scan;
            THTMLDOC *doc = nullptr;
            for (int r = 0; r < runs; ++r) {
                open.push_back(timeMs([&] {
                    doc = ZediDove->openDocument(path);
                    settle();
                }));
                scan.push_back(timeMs([&] {
                    while (!doc->editor()->highlighter()->isComplete())
                        QCoreApplication::processEvents();
                }));
                if (r + 1 < runs) {
                    doc->close();
                    settle();
                }
            }
            EditorBox *ed = doc->editor();
            const double typed =
                timeOnEachPage({doc}, std::max(15, runs * 3), typedCharacterOnce).front();
            row(label + QStringLiteral("open") + state, QStringLiteral("ms"))
                .bySize[sizes.front()] = median(open);
            if (on)
                row(label + QStringLiteral("state scan after open"), QStringLiteral("ms"))
                    .bySize[sizes.front()] = median(scan);
            row(label + QStringLiteral("typed character") + state, QStringLiteral("ms"))
                .bySize[sizes.front()] = typed;
            // A few commands, to show what colouring adds to them.
            for (const Command &c : commands()) {
                const QLatin1String name(c.name);
                if (name == QLatin1String("BR") || name == QLatin1String("image form A")
                    || name == QLatin1String("5 x 5 table"))
                    row(label + name + state, QStringLiteral("ms")).bySize[sizes.front()] =
                        timeOnEachPage({doc}, std::max(15, runs * 3), [&](EditorBox *e) {
                            return commandOnce(e, c);
                        }).front();
            }
            ed->document()->setModified(false);
            doc->close();
            settle();
        }
        MarkupHighlighter::setSizeLimit(MarkupHighlighter::kDefaultSizeLimit);
    }

    // 100 new documents, in a fresh process.
    {
        const QList<QByteArray> v = probeProcess({QStringLiteral("--probe-new100")});
        Row &all = row(QStringLiteral("100 new documents: process memory"), QStringLiteral("MiB"));
        Row &added = row(QStringLiteral("100 new documents: added memory"), QStringLiteral("MiB"));
        all.bySize[sizes.front()] = v.size() == 2 ? v[1].toDouble() : NAN;
        added.bySize[sizes.front()] = v.size() == 2 ? v[1].toDouble() - v[0].toDouble() : NAN;
    }

    // Table and JSON.
    bool complete = true;
    std::printf("%-58s %6s", "measurement", "unit");
    for (int s : sizes)
        std::printf(" %14s", qPrintable(QStringLiteral("%1 lines").arg(s)));
    std::printf("\n");
    QJsonArray jrows;
    for (const Row &r : rows) {
        std::printf("%-58s %6s", qPrintable(r.name), qPrintable(r.unit));
        QJsonObject jr{{QStringLiteral("name"), r.name}, {QStringLiteral("unit"), r.unit}};
        QJsonObject values;
        const bool perSize = !r.name.startsWith(QLatin1String("100 new"))
                             && !r.name.startsWith(QLatin1String("colouring"));
        for (int s : sizes) {
            auto it = r.bySize.find(s);
            if (it == r.bySize.end()) {
                std::printf(" %14s", "");
                if (perSize)
                    complete = false;
                continue;
            }
            if (!std::isfinite(it->second))
                complete = false;
            std::printf(" %14.3f", it->second);
            values.insert(QString::number(s), it->second);
        }
        std::printf("\n");
        jr.insert(QStringLiteral("values"), values);
        jrows.append(jr);
    }
    const QJsonArray fams = runFamilies(QDir(dir.path()), familyScale, runs, quick, only);
    const QJsonArray spell = runSpelling(QDir(dir.path()), familyScale, runs, only);
    const QJsonArray check = runPageCheck(familyScale, runs, only);
    const QJsonArray folder = runFolder(QDir(dir.path()), folderFiles, qMin(runs, 3));
    const QJsonArray site = runFindInFiles(QDir(dir.path()), familyScale, runs);
    const QJsonArray siteCheck = runSiteCheck(QDir(dir.path()), familyScale, runs);
    QFile out(jsonPath);
    if (out.open(QIODevice::WriteOnly))
        out.write(QJsonDocument(QJsonObject{{QStringLiteral("runs"), runs},
                                            {QStringLiteral("rows"), jrows},
                                            {QStringLiteral("families"), fams},
                                            {QStringLiteral("spelling"), spell},
                                            {QStringLiteral("check"), check},
                                            {QStringLiteral("folder"), folder},
                                            {QStringLiteral("find in files"), site},
                                            {QStringLiteral("site"), siteCheck}})
                      .toJson());
    std::printf("figures written to %s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
    destroyApplicationWindows();
    return complete ? 0 : 1;
}
