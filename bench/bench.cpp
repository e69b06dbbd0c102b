// Benchmark: opening, saving and every tag command on generated pages of
// growing size, driven through the same code the editor runs. Prints a
// table and writes the same figures as JSON.
#include "bodymarkup.h"
#include "docinfo.h"
#include "editorbox.h"
#include "hrmarkup.h"
#include "imagemarkup.h"
#include "linkmarkup.h"
#include "listmarkup.h"
#include "tablemarkup.h"
#include "localpathtourl.h"
#include "markuphighlighter.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "startup.h"
#include "textfile.h"
#include "toolbar.h"
#include "uiseam.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

// Answers no question: the benchmark never blocks on a box.
class SilentUi : public UiSeam {
public:
    bool confirm(const QString &) override { return false; }
    void errorBox(const QString &text, const QString &) override
    {
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
    }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
    bool chooseColor(QColor &) override { return false; }
    QString inputBox(const QString &, const QString &, const QString &d) override { return d; }
    void showHelp(const QString &) override {}
    bool openUrl(const QUrl &) override { return false; }
};

// The offscreen platform cannot raise windows and says so on every
// command that brings the main window to the front; writing that line to
// stderr cost more than the command itself and varied with the pipe.
QtMessageHandler g_defaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QLatin1String("This plugin does not support raise()"))
        return;
    g_defaultHandler(type, context, message);
}

double rssMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return NAN;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return NAN;
}

// About 72 bytes a line, CR LF, a BODY line near the top and 1,000 named
// targets spread through the page.
QByteArray generatePage(int lines)
{
    QByteArray out;
    out.reserve(qsizetype(lines) * 74);
    out += "<HTML>\r\n<HEAD>\r\n<TITLE>Generated page</TITLE>\r\n</HEAD>\r\n<BODY>\r\n";
    const int step = std::max(1, lines / 1000);
    int targets = 0;
    for (int i = 5; i < lines - 2; ++i) {
        if ((i - 5) % step == 0 && targets < 1000) {
            out += "<A NAME=\"t" + QByteArray::number(targets++) + "\"></A> section heading text "
                   "that fills this line up to size ok\r\n";
        } else {
            out += "Line " + QByteArray::number(i).rightJustified(8, '0')
                 + " of plain text with <B>markup</B> in the middle of it.\r\n";
        }
    }
    out += "</BODY>\r\n</HTML>\r\n";
    return out;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <class F> double timeMs(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

void settle() { QCoreApplication::processEvents(); }

// Puts the caret in the middle of the page, on a plain text line, with the
// word "plain" selected when asked.
void caretToMiddle(EditorBox *ed, bool selectWord)
{
    const int mid = ed->lineCount() / 2;
    int line = mid;
    while (!ed->line(line).startsWith(QLatin1String("Line ")))
        ++line;
    const int col = int(ed->line(line).indexOf(QLatin1String("plain")));
    ed->setSelStart(ed->lineOffset(line) + col);
    if (selectWord) {
        QTextCursor c = ed->textCursor();
        c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 5);
        ed->setTextCursor(c);
    }
}

struct Command {
    const char *name;
    bool selectWord;
    std::function<void()> run;
    bool undo = true; // a scan changes nothing
};

std::vector<Command> commands()
{
    std::vector<Command> list = {
        {"bold (selected word)", true, [] { ToolBar->BoldClick(); }},
        {"BR", false, [] { ToolBar->BreakButClick(); }},
        {"H1", false, [] { ToolBar->H1Click(); }},
        // Dialog commands: what each runs once its dialog has closed.
        {"HR (opening values)", false, [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(HorizRuleTag(100, true, 1, QString(), true));
         }},
        {"image form A", false, [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(ImageMarkup({LocalPathToUrl(QStringLiteral("C:\\pics\\logo.gif")),
                                         QStringLiteral("index.htm"), QStringLiteral("Logo"),
                                         QStringLiteral("Home"), QStringLiteral("Left")}));
         }},
        {"BODY rewrite", false, [] {
             WriteBodyAttributes(ActiveEditor(), {QStringLiteral("file:///C|/web/tile.gif"),
                                                  QStringLiteral("#FFFFFF"), QStringLiteral("#000000"),
                                                  QStringLiteral("#0000FF")});
         }},
        {"5-item list", false, [] {
             const QStringList items = {QStringLiteral("One"), QStringLiteral("Two"),
                                        QStringLiteral("Three"), QStringLiteral("Four"),
                                        QStringLiteral("Five")};
             ListMarkup::writeBelowCaret(
                 ActiveEditor(),
                 ListMarkup::lines(ListMarkup::tags(true, QStringLiteral("Numbered")), items));
         }},
        {"5 x 5 table", false, [] { insertLinesBelowCaret(ActiveEditor(), tableLines(TableLayout())); }},
        {"http link (selected word)", true, [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             const QString selected = ed->selText();
             ed->setSelText(LinkMarkup::link(QStringLiteral("http://"),
                                             QStringLiteral("example.com/"),
                                             QStringLiteral("Example"), QString(), selected));
         }},
        {"target", false, [] {
             EditorBox *ed = ActiveEditor();
             UndoStep step(ed);
             ed->setSelText(LinkMarkup::target(QStringLiteral("here")));
         }},
        {"target scan for <TARGET>", false, [] {
             if (LinkMarkup::scanTargets(ActiveEditor()).size() != 1000)
                 std::fprintf(stderr, "target scan found the wrong number of targets\n");
         }, false},
    };
    return list;
}

// One run of a command with the caret in the middle of the page; the page
// is put back afterwards.
double commandOnce(EditorBox *ed, const Command &c)
{
    caretToMiddle(ed, c.selectWord);
    settle();
    const double ms = timeMs([&] { c.run(); });
    if (c.undo)
        ed->undo();
    settle();
    return ms;
}

// One typed character with the caret in the middle of the page, until the
// editor has shown it; taken back afterwards.
double typedCharacterOnce(EditorBox *ed)
{
    caretToMiddle(ed, false);
    settle();
    const double ms = timeMs([&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(ed, &press);
        settle();
    });
    ed->undo();
    settle();
    return ms;
}

// Medians of one measurement on every open page, taken in turn, run after
// run, so a slow spell of the machine falls on every size alike. One round
// first is not counted.
std::vector<double> timeOnEachPage(const std::vector<THTMLDOC *> &docs, int runs,
                                   const std::function<double(EditorBox *)> &once)
{
    std::vector<std::vector<double>> t(docs.size());
    for (int r = -1; r < runs; ++r) {
        for (size_t i = 0; i < docs.size(); ++i) {
            ZediDove->mdiArea()->setActiveSubWindow(docs[i]);
            settle();
            if (ActiveEditor() != docs[i]->editor())
                std::fprintf(stderr, "the page to measure is not the active document\n");
            const double ms = once(docs[i]->editor());
            if (r >= 0)
                t[i].push_back(ms);
        }
    }
    std::vector<double> out;
    for (const std::vector<double> &v : t)
        out.push_back(median(v));
    return out;
}

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
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    g_defaultHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    std::vector<int> sizes = {10000, 100000, 1000000};
    int runs = 7;
    QString jsonPath = QStringLiteral("bench-results.json");
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--smoke")) {
            sizes = {10000};
            runs = 1;
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

    SilentUi silent;
    setUi(&silent);
    // Crash-recovery copies of a benchmark run must never mix with the
    // user's own, nor be offered (and discarded) by its silent answers.
    QStandardPaths::setTestModeEnabled(true);
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
        row(QStringLiteral("plain setPlainText"), QStringLiteral("ms")).bySize[lines] = median(plain);
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
        bySize(QString::fromLatin1(c.name),
               timeOnEachPage(pages, commandRuns,
                              [&](EditorBox *ed) { return commandOnce(ed, c); }));
    // Undoing a command that widened its line: the widest line shrinks, and
    // the editor's layout then looks through every line for the new widest.
    bySize(QStringLiteral("undo of BR"), timeOnEachPage(pages, runs, [](EditorBox *ed) {
               caretToMiddle(ed, false);
               ToolBar->BreakButClick();
               settle();
               const double ms = timeMs([&] { ed->undo(); });
               settle();
               return ms;
           }));
    bySize(QStringLiteral("typed character"), timeOnEachPage(pages, runs, typedCharacterOnce));
    bySize(QStringLiteral("caret to last line"), timeOnEachPage(pages, runs, [](EditorBox *ed) {
               ed->setSelStart(0);
               settle();
               return timeMs([&] {
                   ed->moveCursor(QTextCursor::End);
                   settle();
               });
           }));
    for (THTMLDOC *doc : pages) {
        doc->editor()->setModified(false);
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
            row(label + QStringLiteral("open") + state, QStringLiteral("ms")).bySize[sizes.front()] =
                median(open);
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
            ed->setModified(false);
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
    QFile out(jsonPath);
    if (out.open(QIODevice::WriteOnly))
        out.write(QJsonDocument(QJsonObject{{QStringLiteral("runs"), runs},
                                            {QStringLiteral("rows"), jrows}})
                      .toJson());
    std::printf("figures written to %s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
    destroyApplicationWindows();
    return complete ? 0 : 1;
}
