// Benchmark: opening, saving and every tag command on generated pages of
// growing size, driven through the same code the editor runs. Prints a
// table and writes the same figures as JSON.
#include "actions.h"
#include "bodymarkup.h"
#include "docinfo.h"
#include "documentstatus.h"
#include "editorbox.h"
#include "findbar.h"
#include "hrmarkup.h"
#include "htmldoc.h"
#include "imagemarkup.h"
#include "linkmarkup.h"
#include "listmarkup.h"
#include "localpathtourl.h"
#include "mainwindow.h"
#include "markuphighlighter.h"
#include "pagecheck.h"
#include "previewpane.h"
#include "spellcheck.h"
#include "spelling.h"
#include "startup.h"
#include "tablemarkup.h"
#include "tagcommands.h"
#include "textreader.h"
#include "textsearch.h"
#include "toolbar.h"
#include "uiseam.h"
#include "workbench.h"
#include "procfigures.h"

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
#include <QStatusBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QWebEnginePage>
#include <QTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QFileInfo>
#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>
#include <sys/resource.h>
#include <unistd.h>

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

double rssMiB() { return processRssMiB(QCoreApplication::applicationPid()); }

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
        {"bold (selected word)", true, [] { runCommand(TagCommand::Bold); }},
        {"BR", false, [] { runCommand(TagCommand::LineBreak); }},
        {"H1", false, [] { runCommand(TagCommand::H1); }},
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

// ------------------------------------------------------------ page families
// Pages shaped like today's web rather than like the editor's own output:
// lower-case markup, long and one-line pages, inline scripts. Each is
// generated here; sizes in bytes.

// CPU time of this process (all threads), in ms.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3
         + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The CPU time a process has used so far; 0 when it is gone.
double processCpuMs(qint64 pid)
{
    const qint64 ticks = processCpuTicks(pid);
    return ticks < 0 ? 0 : double(ticks) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

// A piece of generated-documentation markup, numbered.
QByteArray docItem(int i)
{
    const QByteArray n = QByteArray::number(i);
    return "<div class=\"item-row\" id=\"i" + n + "\"><span class=\"name\"><a href=\"struct."
         + n + ".html#method.get\" title=\"method get_" + n + "\">get_" + n
         + "</a></span><span class=\"sig\">fn(&amp;self) -&gt; Option&lt;&amp;T&gt;</span>"
           "<div class=\"docblock\">Returns a reference to item " + n + ".</div></div>";
}

// One line of about the given length, pieces appended until it is reached.
QByteArray lineOf(qsizetype length, int &counter, QByteArray (*piece)(int))
{
    QByteArray out;
    out.reserve(length + 512);
    while (out.size() < length)
        out += piece(counter++);
    return out;
}

QByteArray minifiedItem(int i)
{
    const QByteArray n = QByteArray::number(i);
    QByteArray out = "<li class=\"c" + n + "\"><a href=\"/p/" + n + ".html\" title=\"item " + n
                   + "\">Item " + n + "</a><span>text &amp; more</span></li>";
    if (i % 500 == 0)
        out += "<script>var x" + n + "={a:1,b:\"<b>\"};if(x" + n + ".a<2){x" + n
             + ".b='y';}</script><style>.c" + n + "{color:#333;margin:0 auto}</style>";
    return out;
}

// The same without a character reference: nothing on the line ends a
// search for one early.
QByteArray minifiedItemWithoutReferences(int i)
{
    return minifiedItem(i).replace("text &amp; more", "text and more");
}

QByteArray tokenSpan(int i)
{
    static const char *const kinds[] = {"kw", "id", "op", "lit", "cm"};
    return QByteArray("<span class=\"") + kinds[i % 5] + "\">tok" + QByteArray::number(i % 997)
         + "</span> ";
}

struct Family {
    QString name;
    QString shape;                    // for the table
    std::function<void(QFile &)> write; // writes the page
    bool hostile = false;
    bool big = false; // over 8 MB: skipped by --quick
};

// `bytes` of one character, a megabyte at a time.
void fillWith(QFile &f, qsizetype bytes, char c)
{
    const QByteArray chunk(1 << 20, c);
    for (qsizetype i = 0; i < bytes / chunk.size(); ++i)
        f.write(chunk);
}

void writeLines(QFile &f, int lines, qsizetype lineLength, QByteArray (*piece)(int),
                const QByteArray &head = "<!doctype html>\n<html><head><title>page</title>"
                                         "</head>\n<body>\n")
{
    f.write(head);
    int counter = 0;
    for (int i = 0; i < lines; ++i)
        f.write(lineOf(lineLength, counter, piece) + "\n");
    f.write("</body></html>\n");
}

std::vector<Family> families(double scale)
{
    auto mb = [scale](double m) { return qsizetype(m * scale * 1e6); };
    // A page of one line of the given pieces.
    auto minified = [mb](double m, QByteArray (*piece)(int)) {
        return [=](QFile &f) {
            int c = 0;
            f.write("<!doctype html><html><head><title>m</title></head><body><ul>"
                    + lineOf(mb(m), c, piece) + "</ul></body></html>");
        };
    };
    std::vector<Family> list;
    for (const double m : {1.0, 5.0, 20.0})
        list.push_back({QStringLiteral("minified %1 MB").arg(m),
                        QStringLiteral("one line of lower-case markup, a script+style "
                                       "per 500 items"),
                        minified(m, minifiedItem), false, m > 8});
    list.push_back({QStringLiteral("minified without references 1 MB"),
                    QStringLiteral("the minified line with no character reference"),
                    minified(1, minifiedItemWithoutReferences)});
    for (const double m : {0.2, 4.0})
        list.push_back({QStringLiteral("generated docs %1 MB").arg(m),
                        QStringLiteral("LF lines of 10,000-50,000 chars of nested div/span/a"),
                        [=](QFile &f) {
                            f.write("<!doctype html>\n<html><head><title>d</title></head>\n"
                                    "<body>\n");
                            int c = 0;
                            for (qsizetype done = 0, i = 0; done < mb(m); ++i) {
                                const QByteArray line =
                                    lineOf(10000 + (i * 7919) % 40000, c, docItem) + "\n";
                                done += line.size();
                                f.write(line);
                            }
                            f.write("</body></html>\n");
                        }});
    list.push_back({QStringLiteral("source listing 8 MB"),
                    QStringLiteral("60,000 LF lines, a span per token"),
                    [=](QFile &f) { writeLines(f, int(60000 * scale), 130, tokenSpan); }});
    list.push_back({QStringLiteral("script, style, comments 2 MB"),
                    QStringLiteral("a 300 KB script line, a style block, comments long "
                                   "and many-line"),
                    [=](QFile &f) {
                        f.write("<!doctype html>\n<html><head>\n<style>\n");
                        for (int i = 0; i < int(5000 * scale); ++i)
                            f.write(".s" + QByteArray::number(i)
                                    + " > a[href^=\"x\"] { color: red; }\n");
                        f.write("</style>\n<script>");
                        for (int i = 0; i < int(12000 * scale); ++i)
                            f.write("if(a<" + QByteArray::number(i) + "&&b>c){s+='<p>';}");
                        f.write("</script>\n</head><body>\n<!-- ");
                        for (int i = 0; i < int(6000 * scale); ++i)
                            f.write("commented <b>out</b> text " + QByteArray::number(i) + " ");
                        f.write("-->\n");
                        int c = 0;
                        for (int i = 0; i < int(8000 * scale); ++i)
                            f.write(i % 10 == 3 ? "<!-- a comment\nover lines -->\n"
                                                : lineOf(80, c, minifiedItem) + "\n");
                        f.write("</body></html>\n");
                    }});
    list.push_back({QStringLiteral("short lines 8 MB"),
                    QStringLiteral("the editor's own shape: CR LF lines of 72 bytes"),
                    [=](QFile &f) { f.write(generatePage(int(115000 * scale))); }});
    // A legacy page: Russian text in Windows-1251, declared or left for the
    // detector, against the same page's bytes read as Windows-1252.
    auto legacy = [=](const QByteArray &head) {
        return [=](QFile &f) {
            f.write(head + "<body>\r\n");
            const QByteArray line = QByteArray::fromHex(
                "cce8f020f2e5e1e52c20e4eef0eee3eee920e4f0f3e32e20"); // "Мир тебе, дорогой друг. "
            const QByteArray row = "<p>" + line.repeated(3) + "</p>\r\n";
            for (qsizetype done = 0; done < mb(70); done += row.size())
                f.write(row);
            f.write("</body>\r\n");
        };
    };
    list.push_back({QStringLiteral("legacy 70 MB, windows-1251 declared"),
                    QStringLiteral("CR LF lines of Russian text, a meta charset"),
                    legacy("<meta charset=\"windows-1251\">\r\n"), false, true});
    list.push_back({QStringLiteral("legacy 70 MB, windows-1251 undeclared"),
                    QStringLiteral("the same, guessed from its first megabyte"), legacy(""),
                    false, true});
    list.push_back({QStringLiteral("legacy 70 MB, windows-1252 declared"),
                    QStringLiteral("the same bytes read as Windows-1252, as before guessing"),
                    legacy("<meta charset=\"windows-1252\">\r\n"), false, true});
    // Hostile pages.
    list.push_back({QStringLiteral("hostile: one 100 MB line"), QStringLiteral("refused"),
                    [=](QFile &f) { fillWith(f, mb(100), 'a'); },
                    true, true});
    list.push_back({QStringLiteral("hostile: 250 MB of '<'"), QStringLiteral("refused"),
                    [=](QFile &f) { fillWith(f, mb(250), '<'); },
                    true, true});
    list.push_back({QStringLiteral("hostile: one 50 MB comment"),
                    QStringLiteral("a comment over LF lines of 100 chars"),
                    [=](QFile &f) {
                        f.write("<!--\n");
                        const QByteArray line = QByteArray(99, 'c') + "\n";
                        for (qsizetype i = 0; i < mb(50) / line.size(); ++i)
                            f.write(line);
                        f.write("-->\n");
                    },
                    true, true});
    list.push_back({QStringLiteral("hostile: 100,000 unclosed div"),
                    QStringLiteral("one <div class> a line, never closed"),
                    [=](QFile &f) {
                        for (int i = 0; i < int(100000 * scale); ++i)
                            f.write("<div class=\"n" + QByteArray::number(i) + "\">\n");
                    },
                    true});
    list.push_back({QStringLiteral("hostile: NUL bytes in a 1 MB line"),
                    QStringLiteral("a NUL every 100 bytes"),
                    [=](QFile &f) {
                        QByteArray piece(100, 'n');
                        piece[50] = '\0';
                        for (qsizetype i = 0; i < mb(1) / 100; ++i)
                            f.write(piece);
                    },
                    true});
    return list;
}

// The longest line's number.
int longestLine(EditorBox *ed)
{
    int best = 0, bestLength = -1, n = 0;
    for (QTextBlock b = ed->document()->begin(); b.isValid(); b = b.next(), ++n)
        if (b.length() > bestLength) {
            bestLength = b.length();
            best = n;
        }
    return best;
}

void caretMidLongest(EditorBox *ed, int line, int select = 0)
{
    ed->setCaret(line, int(ed->line(line).size() / 2));
    if (select) {
        QTextCursor c = ed->textCursor();
        c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, select);
        ed->setTextCursor(c);
    }
    ed->centerCursor();
    settle();
    ed->viewport()->repaint();
    // At rest, as a user who has just moved there: colours have followed.
    while (ed->highlighter()->isColourPending())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    settle();
}

// From the key (or command) until the editor has painted what it caused.
struct Cost {
    double wall, cpu;
};
template <class F> Cost untilPainted(EditorBox *ed, F &&f)
{
    QElapsedTimer t;
    t.start();
    const double c0 = cpuMs();
    f();
    settle();
    ed->viewport()->repaint();
    return {double(t.nsecsElapsed()) / 1e6, cpuMs() - c0};
}

void sendKey(EditorBox *ed, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(ed, &press);
}

struct FamilyResult {
    QString name, shape, note;
    double mib = 0, open = NAN, openCpu = NAN, idle = NAN, longest = 0;
    std::map<QString, Cost> keys; // median of runs
};

// The keys and commands of a family, each from its event until painted.
std::map<QString, Cost> timeKeys(EditorBox *ed, int line, int runs)
{
    std::map<QString, std::vector<Cost>> all;
    auto take = [&](const QString &name, const Cost &c) { all[name].push_back(c); };
    // The find bar searches on another thread: each is timed until its
    // result shows and is painted.
    FindBar bar;
    bar.setEditor(ed);
    bar.findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(true);
    bar.findField()->setText(QStringLiteral("<li\\b[^>]*>"));
    bar.replaceField()->setText(QStringLiteral("<LI>"));
    auto untilFound = [&bar] {
        while (bar.isSearching())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    untilFound();
    for (int r = 0; r < runs; ++r) {
        caretMidLongest(ed, line);
        take(QStringLiteral("regex find next"), untilPainted(ed, [&] {
                 bar.findNext();
                 untilFound();
             }));
        take(QStringLiteral("regex Replace All"), untilPainted(ed, [&] {
                 bar.replaceAll();
                 untilFound();
             }));
        ed->undo();
        settle();
        caretMidLongest(ed, line);
        take(QStringLiteral("typed char"),
             untilPainted(ed, [&] {
                 sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
             }));
        ed->undo();
        // A typed '>' that ends an opening tag: the key and its closing tag.
        caretMidLongest(ed, line);
        ed->insertPlainText(QStringLiteral("<b"));
        settle();
        take(QStringLiteral("typed > closing"), untilPainted(ed, [&] {
                 sendKey(ed, Qt::Key_Greater, Qt::NoModifier, QStringLiteral(">"));
             }));
        ed->undo();
        ed->undo();
        // The matching tags looked for once the caret rests in a tag.
        caretMidLongest(ed, line);
        {
            const QTextCursor tag = ed->document()->find(QStringLiteral("<"), ed->textCursor());
            if (!tag.isNull()) {
                ed->updateMatchingTags(); // where the caret was: nothing shown
                ed->setTextCursor(tag);
                take(QStringLiteral("tag match at rest"),
                     untilPainted(ed, [&] { ed->updateMatchingTags(); }));
            }
        }
        caretMidLongest(ed, line);
        take(QStringLiteral("BackSpace"),
             untilPainted(ed, [&] { sendKey(ed, Qt::Key_Backspace); }));
        ed->undo();
        caretMidLongest(ed, line);
        take(QStringLiteral("Ctrl+End"),
             untilPainted(ed, [&] { sendKey(ed, Qt::Key_End, Qt::ControlModifier); }));
        take(QStringLiteral("Ctrl+Home"),
             untilPainted(ed, [&] { sendKey(ed, Qt::Key_Home, Qt::ControlModifier); }));
        caretMidLongest(ed, line);
        take(QStringLiteral("Page Down"), untilPainted(ed, [&] { sendKey(ed, Qt::Key_PageDown); }));
        caretMidLongest(ed, line, 5);
        take(QStringLiteral("tag (bold)"), untilPainted(ed, [&] { runCommand(TagCommand::Bold); }));
        take(QStringLiteral("undo"), untilPainted(ed, [&] { ed->undo(); }));
        take(QStringLiteral("redo"), untilPainted(ed, [&] { ed->redo(); }));
        ed->undo();
        settle();
    }
    // A typed key and a caret move with the matching tags following the
    // caret and without (the search itself waits for a rest, timed above),
    // in the same order each way.
    for (const bool follow : {true, false}) {
        if (!follow)
            QObject::disconnect(ed, &QPlainTextEdit::cursorPositionChanged, ed, nullptr);
        const QString how = follow ? QStringLiteral(", match on") : QStringLiteral(", match off");
        for (int r = 0; r < runs; ++r) {
            caretMidLongest(ed, line);
            take(QStringLiteral("typed char") + how, untilPainted(ed, [&] {
                     sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                 }));
            ed->undo();
            caretMidLongest(ed, line);
            take(QStringLiteral("Right") + how,
                 untilPainted(ed, [&] { sendKey(ed, Qt::Key_Right); }));
        }
    }
    std::map<QString, Cost> out;
    for (auto &[name, v] : all) {
        std::vector<double> w, c;
        for (const Cost &x : v) {
            w.push_back(x.wall);
            c.push_back(x.cpu);
        }
        out[name] = {median(w), median(c)};
    }
    return out;
}

// Off in the smoke run, which checks that every row runs, not its figure.
bool g_measureIdle = true;

// CPU the process uses in 3 s of idle with the caret blinking in the line.
double idleCpuMs(EditorBox *ed, int line)
{
    if (!g_measureIdle)
        return NAN;
    caretMidLongest(ed, line);
    ed->setFocus();
    settle();
    QEventLoop loop;
    // Let pending work finish, colours that follow a resting view included.
    do {
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    } while (ed->highlighter()->isColourPending());
    const double c0 = cpuMs();
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    return cpuMs() - c0;
}

FamilyResult measureFamily(const Family &fam, const QString &path, int runs, bool colour)
{
    FamilyResult res;
    res.name = fam.name + (colour ? QString() : QStringLiteral(" (colouring off)"));
    res.shape = fam.shape;
    res.mib = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    MarkupHighlighter::setSizeLimit(colour ? MarkupHighlighter::kDefaultSizeLimit : 0);
    THTMLDOC *doc = nullptr;
    QElapsedTimer t;
    t.start();
    const double c0 = cpuMs();
    try {
        doc = ZediDove->openDocument(path);
    } catch (const std::exception &e) {
        res.note = QStringLiteral("refused: ") + QString::fromUtf8(e.what());
    }
    if (!doc || !res.note.isEmpty()) {
        res.open = double(t.nsecsElapsed()) / 1e6;
        if (ZediDove->currentDocument())
            ZediDove->currentDocument()->close(); // the new document open made
        settle();
        return res;
    }
    EditorBox *ed = doc->editor();
    settle();
    ed->viewport()->repaint();
    while (!ed->highlighter()->isComplete() && t.elapsed() < 60000)
        QCoreApplication::processEvents();
    if (!ed->highlighter()->isComplete())
        res.note = QStringLiteral("colouring never complete");
    settle();
    ed->viewport()->repaint();
    res.open = double(t.nsecsElapsed()) / 1e6;
    res.openCpu = cpuMs() - c0;
    const int line = longestLine(ed);
    res.longest = ed->line(line).size();
    res.idle = idleCpuMs(ed, line);
    res.keys = timeKeys(ed, line, runs);
    // Saved unchanged, the page is the same bytes.
    const QString saved = path + QStringLiteral(".saved");
    ed->document()->setModified(false);
    doc->saveTo(saved);
    {
        QFile a(path), b(saved);
        a.open(QIODevice::ReadOnly);
        b.open(QIODevice::ReadOnly);
        // Every break is written as CR LF; the rest byte for byte.
        QByteArray expected = a.readAll();
        if (!expected.contains('\r'))
            expected.replace('\n', "\r\n");
        const bool same = expected == b.readAll();
        if (!same)
            res.note = QStringLiteral("SAVED BYTES DIFFER");
    }
    QFile::remove(saved);
    ed->document()->setModified(false);
    doc->close();
    // Freed now, not in the next family's idle time.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settle();
    MarkupHighlighter::setSizeLimit(MarkupHighlighter::kDefaultSizeLimit);
    return res;
}

QJsonArray runFamilies(const QDir &dir, double scale, int runs, bool quick, const QString &only)
{
    const QStringList keyNames = {QStringLiteral("typed char"), QStringLiteral("typed > closing"),
                                  QStringLiteral("tag match at rest"),
                                  QStringLiteral("typed char, match on"),
                                  QStringLiteral("typed char, match off"),
                                  QStringLiteral("Right, match on"),
                                  QStringLiteral("Right, match off"),
                                  QStringLiteral("BackSpace"),
                                  QStringLiteral("Ctrl+End"),   QStringLiteral("Ctrl+Home"),
                                  QStringLiteral("Page Down"),  QStringLiteral("tag (bold)"),
                                  QStringLiteral("undo"),       QStringLiteral("redo"),
                                  QStringLiteral("regex find next"),
                                  QStringLiteral("regex Replace All")};
    std::printf("\npage families: open until at rest and painted; CPU in 3 s idle with the "
                "caret in the longest line; each key from its event until painted "
                "(median ms, wall / CPU)\n");
    std::printf("%-44s %7s %8s %13s %7s", "family", "MiB", "longest", "open", "idle");
    for (const QString &k : keyNames)
        std::printf(" %13s", qPrintable(k));
    std::printf("\n");
    // Pages closed before are freed now, not in the first family's idle time.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settle();
    QJsonArray out;
    for (const Family &fam : families(scale)) {
        if ((quick && fam.big) || !fam.name.contains(only))
            continue;
        const QString path = dir.filePath(QStringLiteral("family.htm"));
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            fam.write(f);
        }
        // Pages the colouring covers are measured with it off as well.
        const bool coloured = QFileInfo(path).size() <= MarkupHighlighter::kDefaultSizeLimit;
        const std::vector<bool> colourings =
            coloured ? std::vector<bool>{true, false} : std::vector<bool>{true};
        for (const bool colour : colourings) {
            const FamilyResult r = measureFamily(fam, path, fam.big ? 1 : runs, colour);
            std::printf("%-44s %7.1f %8.0f %6.0f/%6.0f %7.1f", qPrintable(r.name), r.mib,
                        r.longest, r.open, r.openCpu, r.idle);
            QJsonObject jr{{QStringLiteral("name"), r.name},   {QStringLiteral("shape"), r.shape},
                           {QStringLiteral("MiB"), r.mib},
                           {QStringLiteral("longest line"), r.longest},
                           {QStringLiteral("open ms"), r.open},
                           {QStringLiteral("open cpu ms"), r.openCpu},
                           {QStringLiteral("idle cpu ms in 3 s"), r.idle},
                           {QStringLiteral("note"), r.note}};
            for (const QString &k : keyNames) {
                auto it = r.keys.find(k);
                if (it == r.keys.end()) {
                    std::printf(" %13s", "-");
                    continue;
                }
                std::printf(" %6.1f/%6.1f", it->second.wall, it->second.cpu);
                jr.insert(k + QStringLiteral(" ms"), it->second.wall);
                jr.insert(k + QStringLiteral(" cpu ms"), it->second.cpu);
            }
            std::printf(" %s\n", qPrintable(r.note));
            std::fflush(stdout);
            out.append(jr);
        }
        QFile::remove(path);
    }
    return out;
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
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            fam.write(f);
        }
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
                const Cost c = untilPainted(ed, [&] {
                    sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                });
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
        ed->document()->setModified(false);
        doc->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle();
        QFile::remove(path);
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
    pages.push_back({QStringLiteral("prose 8 MB"), QStringLiteral("paragraphs, a misspelt word in five"),
                     [=](QFile &f) {
                         static const char *const words[] = {
                             "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog",
                             "and", "teh", "cat", "sat", "on", "mat", "with", "recieve"};
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
        {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            fam.write(f);
        }
        THTMLDOC *doc = ZediDove->openDocument(path);
        EditorBox *ed = doc->editor();
        SpellCheck *check = ed->spelling();
        const int line = longestLine(ed);
        auto atRest = [&] {
            QElapsedTimer t;
            t.start();
            while ((!check->isComplete() ||
                    (!check->dictionaryName().isEmpty() &&
                     !spelling->dictionary(check->dictionaryName()))) &&
                   t.elapsed() < 60000)
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
                    qPrintable(fam.name), result[false].wall, result[false].cpu,
                    result[true].wall, result[true].cpu, ratio, int(check->underlined().size()));
        std::fflush(stdout);
        out.append(QJsonObject{{QStringLiteral("name"), fam.name},
                               {QStringLiteral("typed char, spelling off ms"), result[false].wall},
                               {QStringLiteral("typed char, spelling on ms"), result[true].wall},
                               {QStringLiteral("typed char CPU, spelling off ms"), result[false].cpu},
                               {QStringLiteral("typed char CPU, spelling on ms"), result[true].cpu},
                               {QStringLiteral("on/off"), ratio}});
        ed->document()->setModified(false);
        doc->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle();
        QFile::remove(path);
    }
    spelling->setEnabled(true);
    return out;
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
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // the preview's engine
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software"); // as the editor draws it
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    std::vector<int> sizes = {10000, 100000, 1000000};
    int runs = 7;
    QString jsonPath = QStringLiteral("bench-results.json");
    double familyScale = 1.0;
    bool quick = false;        // no family over 8 MB
    bool previewOnly = false;  // only the preview's rows
    bool spellingOnly = false; // only the spelling rows
    bool familiesOnly = false; // only the page families ...
    QString only;              // ... whose names hold this
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--smoke")) {
            sizes = {10000};
            runs = 1;
            familyScale = 0.05;
            quick = true;
            g_measureIdle = false;
        } else if (args[i] == QLatin1String("--quick")) {
            runs = 3;
            quick = true;
        } else if (args[i] == QLatin1String("--preview")) {
            previewOnly = true; // with --families NAME: that family's typed keys alone
        } else if (args[i] == QLatin1String("--spelling")) {
            spellingOnly = true; // with --families NAME: those pages alone
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
        return f.open(QIODevice::WriteOnly) && f.write(generatePage(args[writePage + 1].toInt())) > 0
                   ? 0
                   : 1;
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
    for (const auto &[name, query] : {std::pair{"find next, match near", &near},
                                      std::pair{"find next, no match", &none}})
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
               const double ms = timeMs([&] {
                   replaceAll(ed->textCursor(), hundredth, QStringLiteral("LINE \\100 "));
               });
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
               }) / 2;
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
    QFile out(jsonPath);
    if (out.open(QIODevice::WriteOnly))
        out.write(QJsonDocument(QJsonObject{{QStringLiteral("runs"), runs},
                                            {QStringLiteral("rows"), jrows},
                                            {QStringLiteral("families"), fams},
                                            {QStringLiteral("spelling"), spell}})
                      .toJson());
    std::printf("figures written to %s\n", qPrintable(QFileInfo(out).absoluteFilePath()));
    destroyApplicationWindows();
    return complete ? 0 : 1;
}
