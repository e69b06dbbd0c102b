#include "benchfamilies.h"
#include "freememory.h"
#include "benchpages.h"
#include "benchsupport.h"
#include "completionpopup.h"
#include "findbar.h"
#include "htmldoc.h"
#include "livecheck.h"
#include "mainwindow.h"
#include "markuphighlighter.h"
#include "pagecheckservice.h"
#include "pagemarks.h"
#include "procfigures.h"
#include "tagcommands.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>
#include <vector>

namespace bench {

bool g_measureIdle = true;

namespace {
int g_marks = 0; // underlined by the last family's check as you type

struct FamilyResult {
    QString name, shape, note;
    double mib = 0, open = NAN, openCpu = NAN, idle = NAN, longest = 0;
    int underlined = 0;           // by checking as you type, with Tidy
    std::map<QString, Cost> keys; // median of runs
};

// Within the name of the first start tag from the middle of the line on
// whose partner the matching tags find (after its first letter), or -1.
int linkedNameNearMiddle(EditorBox *ed, int line)
{
    caretMidLongest(ed, line);
    const QRegularExpression startTag(QStringLiteral("<[A-Za-z]"));
    QTextCursor tag = ed->textCursor();
    for (int tries = 0; tries < 200; ++tries) {
        tag = ed->document()->find(startTag, tag);
        if (tag.isNull())
            return -1;
        QTextCursor in = tag;
        in.setPosition(tag.selectionEnd());
        ed->setTextCursor(in);
        ed->updateMatchingTags();
        const std::optional<TagPair> pair = ed->shownTagPair();
        if (pair && pair->open.start == tag.selectionStart())
            return in.position();
    }
    return -1;
}

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
        take(QStringLiteral("typed char"), untilPainted(ed, [&] {
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
        // The completion popup, from the key that opens it until it is
        // painted: element names, and a class value (the page's classes
        // read around the caret then). Timed only where it shows.
        for (const auto &[typed, key, name] :
             {std::tuple{QStringLiteral("<"), Qt::Key_D, QStringLiteral("popup <d")},
              std::tuple{QStringLiteral("<p class="), Qt::Key_QuoteDbl,
                         QStringLiteral("popup class=\"")}}) {
            caretMidLongest(ed, line);
            QTextCursor after = ed->document()->find(QStringLiteral(">"), ed->textCursor());
            if (!after.isNull()) { // in text, not inside a tag
                after.clearSelection();
                ed->setTextCursor(after);
            }
            ed->insertPlainText(typed);
            settle();
            const QString text = key == Qt::Key_D ? QStringLiteral("d") : QStringLiteral("\"");
            const Cost c = untilPainted(ed, [&] { sendKey(ed, key, Qt::NoModifier, text); });
            if (ed->completion()->isShown())
                take(name, c);
            ed->completion()->close();
            ed->undo();
            ed->undo();
            settle();
        }
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
    // A typed key with checking as you type on (the page checked, by Tidy:
    // no JVM, and its marks on the page for the key to move) and off.
    {
        PageCheckService tidy(nullptr);
        auto *live = new LiveCheck(ed, &tidy);
        live->checkNow();
        while (live->isChecking())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const PageMarks *marks = ed->pageMarks();
        g_marks =
            int(marks->within(0, INT_MAX, true).size() + marks->within(0, INT_MAX, false).size());
        for (const bool on : {true, false}) {
            // The main window's own check (which never sees a pause here) too.
            ZediDove->action(QStringLiteral("ToolsCheckAsYouType"))->setChecked(on);
            live->setEnabled(on);
            const QString how = on ? QStringLiteral(", checking as you type on")
                                   : QStringLiteral(", checking as you type off");
            for (int r = 0; r < runs; ++r) {
                caretMidLongest(ed, line);
                take(QStringLiteral("typed char") + how, untilPainted(ed, [&] {
                         sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                     }));
                ed->undo();
                settle();
            }
        }
        ZediDove->action(QStringLiteral("ToolsCheckAsYouType"))->setChecked(true);
        delete live;
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
    // A letter typed in the name of a start tag whose partner the matching
    // tags find (Rename Tag Pairs renames it), and the same key with the
    // switch off; none in a page without such a tag near the middle. Last,
    // so that the rows above are measured as they were before these.
    if (const int at = linkedNameNearMiddle(ed, line); at >= 0) {
        for (const bool rename : {true, false}) {
            EditorBox::setRenamesTagPairs(rename);
            const QString how =
                rename ? QStringLiteral(", rename on") : QStringLiteral(", rename off");
            for (int r = 0; r < runs; ++r) {
                QTextCursor c = ed->textCursor();
                c.setPosition(at);
                ed->setTextCursor(c);
                settle();
                const int before = ed->document()->characterCount();
                take(QStringLiteral("linked name") + how, untilPainted(ed, [&] {
                         sendKey(ed, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                     }));
                if (ed->document()->characterCount() - before != (rename ? 2 : 1))
                    std::fprintf(stderr, "linked name: the partner did not follow as expected\n");
                ed->undo();
            }
        }
        EditorBox::setRenamesTagPairs(true);
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

// CPU the process uses in 3 s of idle with the caret blinking in the line.
double idleCpuMs(EditorBox *ed, int line)
{
    if (!g_measureIdle)
        return NAN;
    caretMidLongest(ed, line);
    ed->setFocus();
    settle();
    QEventLoop loop;
    // Let pending work finish, colours that follow a resting view included,
    // and the freed memory handed back after the open.
    do {
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    } while (ed->highlighter()->isColourPending() || freedMemoryPending());
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
    res.underlined = g_marks;
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

} // namespace

QJsonArray runFamilies(const QDir &dir, double scale, int runs, bool quick, const QString &only)
{
    const QStringList keyNames = {QStringLiteral("typed char"),
                                  QStringLiteral("typed > closing"),
                                  QStringLiteral("tag match at rest"),
                                  QStringLiteral("popup <d"),
                                  QStringLiteral("popup class=\""),
                                  QStringLiteral("typed char, match on"),
                                  QStringLiteral("typed char, match off"),
                                  QStringLiteral("typed char, checking as you type off"),
                                  QStringLiteral("typed char, checking as you type on"),
                                  QStringLiteral("linked name, rename on"),
                                  QStringLiteral("linked name, rename off"),
                                  QStringLiteral("Right, match on"),
                                  QStringLiteral("Right, match off"),
                                  QStringLiteral("BackSpace"),
                                  QStringLiteral("Ctrl+End"),
                                  QStringLiteral("Ctrl+Home"),
                                  QStringLiteral("Page Down"),
                                  QStringLiteral("tag (bold)"),
                                  QStringLiteral("undo"),
                                  QStringLiteral("redo"),
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
        fam.writeTo(path);
        // Pages the colouring covers are measured with it off as well.
        const bool coloured = QFileInfo(path).size() <= MarkupHighlighter::kDefaultSizeLimit;
        const std::vector<bool> colourings =
            coloured ? std::vector<bool>{true, false} : std::vector<bool>{true};
        for (const bool colour : colourings) {
            const FamilyResult r = measureFamily(fam, path, fam.big ? 1 : runs, colour);
            std::printf("%-44s %7.1f %8.0f %6.0f/%6.0f %7.1f", qPrintable(r.name), r.mib, r.longest,
                        r.open, r.openCpu, r.idle);
            QJsonObject jr{{QStringLiteral("name"), r.name},
                           {QStringLiteral("shape"), r.shape},
                           {QStringLiteral("MiB"), r.mib},
                           {QStringLiteral("longest line"), r.longest},
                           {QStringLiteral("open ms"), r.open},
                           {QStringLiteral("open cpu ms"), r.openCpu},
                           {QStringLiteral("idle cpu ms in 3 s"), r.idle},
                           {QStringLiteral("underlined as typed"), r.underlined},
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
            std::printf(" %d underlined %s\n", r.underlined, qPrintable(r.note));
            std::fflush(stdout);
            out.append(jr);
        }
        QFile::remove(path);
    }
    return out;
}

} // namespace bench
