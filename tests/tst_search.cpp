// Find and replace on the editor's text, checked through the editor's CR LF
// offsets: one table of searches and one of replacements.
#include "editorbox.h"
#include "findbar.h"
#include "textsearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
// "c" match case, "w" whole words, "r" regular expression, "b" backward.
SearchQuery queryFor(const QString &text, const QString &flags)
{
    return SearchQuery(text, flags.contains(QLatin1Char('c')), flags.contains(QLatin1Char('w')),
                       flags.contains(QLatin1Char('r')));
}

// A line the engine gives up on with (.*a){25}: it backtracks past PCRE2's
// match limit long before it could finish.
QString costlyLine() { return QString(1000000, QLatin1Char('a')); }
const QString kCostly = QStringLiteral("(.*a){25}");
const QString kTooCostly = QStringLiteral("The pattern is too costly to search this page");

// A line long enough that counting every match of "." takes longer than
// the count's budget: the bar's search is still running a while.
QString hugeLine() { return QString(1000000, QLatin1Char('x')); }

// The bar on an editor in a shown window, regular expressions on.
struct BarWindow {
    QWidget window;
    EditorBox *box = new EditorBox(&window);
    FindBar *bar = new FindBar(&window);
    // Shown only when a test needs it: laying out a line of millions of
    // characters costs seconds.
    explicit BarWindow(const QString &text, bool shown = false)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(box);
        layout->addWidget(bar);
        box->loadText(text);
        bar->setEditor(box);
        if (shown)
            window.show();
        bar->openReplace();
        bar->findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(true);
        bar->cancel(); // the search the box's toggle started
    }
};
} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void findsFromTheCaret_data()
    {
        QTest::addColumn<QString>("text"); // CR LF breaks
        QTest::addColumn<int>("caret");    // CR LF offset; the selection runs to caretEnd
        QTest::addColumn<int>("caretEnd");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("start"); // -1: no match
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("wrapped");
        const QString abc = QStringLiteral("one Two\r\ntwo three\r\nTWO");
        QTest::newRow("plain, any case, next line") << abc << 0 << 0 << "two" << "" << 4 << 3
                                                    << false;
        QTest::newRow("after a selected match") << abc << 4 << 7 << "two" << "" << 9 << 3 << false;
        QTest::newRow("offsets count CR LF") << abc << 10 << 10 << "two" << "" << 20 << 3 << false;
        QTest::newRow("wraps to the top") << abc << 21 << 21 << "two" << "" << 4 << 3 << true;
        QTest::newRow("match case") << abc << 0 << 0 << "TWO" << "c" << 20 << 3 << false;
        QTest::newRow("backward from a selection") << abc << 9 << 12 << "two" << "b" << 4 << 3
                                                   << false;
        QTest::newRow("backward wraps to the bottom") << abc << 2 << 2 << "two" << "b" << 20 << 3
                                                      << true;
        QTest::newRow("only match is the selection: wraps onto it")
            << "a needle here" << 2 << 8 << "needle" << "" << 2 << 6 << true;
        QTest::newRow("whole words skip parts of words")
            << "cart car scar" << 0 << 0 << "car" << "w" << 5 << 3 << false;
        QTest::newRow("whole words at the line's end") << "scar\r\nx car" << 0 << 0 << "car"
                                                       << "w" << 8 << 3 << false;
        QTest::newRow("regex") << "<td>1</td><TD>22</TD>" << 0 << 0 << "<td>(\\d+)</td>" << "rc"
                               << 0 << 10 << false;
        QTest::newRow("regex, any case, from the caret") << "<td>1</td><TD>22</TD>" << 1 << 1
                                                         << "<td>(\\d+)</td>" << "r" << 10 << 11
                                                         << false;
        QTest::newRow("regex whole words") << "ab abc" << 0 << 0 << "ab\\w*" << "rw" << 0 << 2
                                           << false;
        QTest::newRow("regex never matches empty") << "abc" << 0 << 0 << "x*" << "r" << -1 << 0
                                                   << false;
        QTest::newRow("regex stays within a line") << "ab\r\ncd" << 0 << 0 << "b\\s*c" << "r"
                                                   << -1 << 0 << false;
        QTest::newRow("text never spans a break") << "ab\r\ncd" << 0 << 0 << "bc" << "" << -1
                                                  << 0 << false;
        QTest::newRow("no match") << abc << 5 << 5 << "four" << "" << -1 << 0 << false;
        QTest::newRow("invalid regex finds nothing") << abc << 0 << 0 << "(two" << "r" << -1 << 0
                                                     << false;
        QTest::newRow("no-break space is its own character")
            << QString::fromUtf8("a\u00a0b a b") << 0 << 0 << "a b" << "" << 4 << 3 << false;
        // -2: the engine gave up, which is not the same as no match.
        QTest::newRow("regex too costly to finish") << costlyLine() << 0 << 0 << kCostly << "r"
                                                    << -2 << 0 << false;
        QTest::newRow("regex too costly, backward") << costlyLine() << 500000 << 500000 << kCostly
                                                    << "rb" << -2 << 0 << false;
        const QString longLine = QStringLiteral("<li>") + QString(100000, QLatin1Char('x'))
                                 + QStringLiteral("<li>") + QString(100000, QLatin1Char('x'));
        QTest::newRow("regex backward on a long line: nearest before the caret")
            << longLine << 200008 << 200008 << "<l." << "rb" << 100004 << 3 << false;
        QTest::newRow("regex backward on a long line: far back at its start")
            << longLine << 100004 << 100004 << "<l." << "rb" << 0 << 3 << false;
        QTest::newRow("regex backward, empty matches passed over") << "ab ab" << 5 << 5 << "b*"
                                                                  << "rb" << 4 << 1 << false;
        QTest::newRow("regex lazy: a match after an empty one at the same place")
            << "xab" << 0 << 0 << "a*?b" << "r" << 1 << 2 << false;
        QTest::newRow("lone surrogate in the line") << QString(QChar(0xd800)) + QStringLiteral("ab")
                                                    << 0 << 0 << "a." << "r" << 1 << 2 << false;
    }
    void findsFromTheCaret()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, caretEnd);
        QFETCH(QString, find);
        QFETCH(QString, flags);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(bool, wrapped);
        EditorBox box;
        box.loadText(text);
        box.setSelStart(caretEnd);
        QTextCursor from = box.textCursor();
        box.setSelStart(caret);
        from.setPosition(box.textCursor().position(), QTextCursor::KeepAnchor);
        const SearchHit hit = findMatch(box.document(), queryFor(find, flags), from,
                                        flags.contains(QLatin1Char('b')));
        QCOMPARE(hit.tooCostly, start == -2);
        if (start < 0) {
            QVERIFY(hit.match.isNull());
            return;
        }
        QVERIFY(!hit.match.isNull());
        box.setTextCursor(hit.match);
        QCOMPARE(box.selStart(), start);
        QCOMPARE(box.selLength(), length);
        QCOMPARE(hit.wrapped, wrapped);
    }

    void replacesEveryMatchInOneStep_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("with");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("result");
        QTest::newRow("plain, on every line") << "b <b>\r\n<B>x</b>" << "<b>" << "" << "<STRONG>"
                                              << 2 << "b <STRONG>\r\n<STRONG>x</b>";
        QTest::newRow("match case") << "<b><B>" << "<B>" << "c" << "<I>" << 1 << "<b><I>";
        QTest::newRow("captures") << "<td>1</td>\r\n<td>22</td>" << "<td>(\\d+)</td>" << "r"
                                  << "<TD>\\1\\1</TD>" << 2 << "<TD>11</TD>\r\n<TD>2222</TD>";
        QTest::newRow("backslashes: \\\\ and no capture") << "a-b" << "(a)-(b)" << "r"
                                                          << "\\2\\\\\\1\\x" << 1 << "b\\a\\x";
        QTest::newRow("without regex a \\1 is text") << "ab" << "a" << "" << "\\1" << 1 << "\\1b";
        QTest::newRow("replacement holding the match is not searched again")
            << "aa" << "a" << "" << "aa" << 2 << "aaaa";
        QTest::newRow("whole words") << "car cart" << "car" << "w" << "bus" << 1 << "bus cart";
        QTest::newRow("nothing found changes nothing") << "abc" << "x" << "" << "y" << 0
                                                       << "abc";
        QTest::newRow("many matches on one line") << "a.a.a\r\n.." << "\\." << "r" << "-" << 4
                                                  << "a-a-a\r\n--";
        QTest::newRow("empty matches are not replaced") << "ab" << "x*" << "r" << "-" << 0 << "ab";
        // -1: the engine gave up; nothing may change.
        QTest::newRow("too costly replaces nothing") << costlyLine() << kCostly << "r" << "b" << -1
                                                     << costlyLine();
    }
    void replacesEveryMatchInOneStep()
    {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, flags);
        QFETCH(QString, with);
        QFETCH(int, count);
        QFETCH(QString, result);
        EditorBox box;
        box.loadText(text);
        const ReplaceOutcome done = replaceAll(box.textCursor(), queryFor(find, flags), with);
        QCOMPARE(done.tooCostly, count < 0);
        QCOMPARE(done.replaced, std::max(count, 0));
        QCOMPARE(box.text(), result);
        QCOMPARE(box.isModified(), count > 0);
        box.undo();
        QCOMPARE(box.text(), text);
    }

    void countsMatchesAndPlacesTheCurrentOne()
    {
        EditorBox box;
        box.loadText(QStringLiteral("x a\r\na a\r\na"));
        const SearchQuery q = queryFor(QStringLiteral("a"), QString());
        QTextCursor c = box.textCursor();
        c.setPosition(6);
        c.setPosition(7, QTextCursor::KeepAnchor); // the third "a"
        const MatchCount n = countMatches(box.document(), q, c, 1000);
        QCOMPARE(n.total, 4);
        QCOMPARE(n.index, 3);
        QCOMPARE(SearchQuery(QStringLiteral("(a"), false, false, true).error().isEmpty(), false);
    }

    // The bar as a user meets it: Ctrl+F takes the selection, typing
    // searches, Enter and Shift+Enter step, Escape hands back the keyboard
    // with the match selected, so typing replaces it.
    void findBarKeyboard()
    {
        // Searches end on another thread: wait for each before reading it.
#define SETTLE(bar) QTRY_VERIFY(!(bar)->isSearching())
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *box = new EditorBox(&window);
        auto *bar = new FindBar(&window);
        layout->addWidget(box);
        layout->addWidget(bar);
        box->loadText(QStringLiteral("alpha beta\r\nbeta Beta\r\ngamma"));
        bar->setEditor(box);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        box->setSelStart(6);
        QTextCursor c = box->textCursor();
        c.setPosition(10, QTextCursor::KeepAnchor);
        box->setTextCursor(c); // "beta" on the first line
        bar->openFind();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->findField()->text(), QStringLiteral("beta"));
        QCOMPARE(bar->findField()->selectedText(), QStringLiteral("beta"));
        QTRY_VERIFY(bar->findField()->hasFocus());
        QTest::keyClick(bar->findField(), Qt::Key_Return);
        SETTLE(bar);
        QCOMPARE(box->selStart(), 12);
        QCOMPARE(bar->note(), QStringLiteral("2 of 3"));
        QTest::keyClick(bar->findField(), Qt::Key_Return, Qt::ShiftModifier);
        SETTLE(bar);
        QCOMPARE(box->selStart(), 6);
        QTest::keyClick(bar->findField(), Qt::Key_Return, Qt::ShiftModifier);
        SETTLE(bar);
        QCOMPARE(box->selStart(), 17);
        QCOMPARE(bar->note(), QStringLiteral("3 of 3 \u2014 Wrapped to the bottom"));
        // Typing searches from the caret; a miss says so in the bar.
        bar->findField()->clear();
        QTest::keyClicks(bar->findField(), QStringLiteral("gam"));
        SETTLE(bar);
        QCOMPARE(box->selText(), QStringLiteral("gam"));
        QTest::keyClicks(bar->findField(), QStringLiteral("x"));
        SETTLE(bar);
        QCOMPARE(bar->note(), QStringLiteral("No matches"));
        QCOMPARE(box->selText(), QStringLiteral("gam"));
        bar->findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(true);
        bar->findField()->setText(QStringLiteral("(g"));
        QTest::keyClick(bar->findField(), Qt::Key_Return);
        SETTLE(bar);
        QVERIFY(bar->note().contains(QStringLiteral("missing")));
        bar->findField()->setText(QStringLiteral("g\\w+"));
        QTest::keyClick(bar->findField(), Qt::Key_Return);
        SETTLE(bar);
        QCOMPARE(box->selText(), QStringLiteral("gamma"));
        QTest::keyClick(bar->findField(), Qt::Key_Escape);
        SETTLE(bar);
        QVERIFY(!bar->isVisible());
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClicks(box, QStringLiteral("delta"));
        QCOMPARE(box->text(), QStringLiteral("alpha beta\r\nbeta Beta\r\ndelta"));

        // Replace steps through the matches; Replace All is one undo step.
        bar->openReplace();
        bar->findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(false);
        bar->findChild<QCheckBox *>(QStringLiteral("MatchCase"))->setChecked(true);
        bar->findField()->setText(QStringLiteral("beta"));
        bar->replaceField()->setText(QStringLiteral("BETA"));
        box->setSelStart(0);
        QTest::keyClick(bar->replaceField(), Qt::Key_Return); // finds the first
        SETTLE(bar);
        QCOMPARE(box->selStart(), 6);
        QTest::keyClick(bar->replaceField(), Qt::Key_Return); // replaces it, finds the next
        SETTLE(bar);
        QCOMPARE(box->text(), QStringLiteral("alpha BETA\r\nbeta Beta\r\ndelta"));
        QCOMPARE(box->selStart(), 12);
        box->undo();
        box->setSelStart(20);
        QTest::mouseClick(bar->findChild<QPushButton *>(QStringLiteral("ReplaceAll")),
                          Qt::LeftButton);
        SETTLE(bar);
        QCOMPARE(box->text(), QStringLiteral("alpha BETA\r\nBETA Beta\r\ndelta"));
        QCOMPARE(bar->note(), QStringLiteral("Replaced 2 matches"));
        box->undo();
        QCOMPARE(box->text(), QStringLiteral("alpha beta\r\nbeta Beta\r\ndelta"));
        QCOMPARE(box->selStart(), 20); // the caret is back where it was
#undef SETTLE
    }

    // What the bar says when the engine gives up on a pattern: never "No
    // matches", and Replace All changes nothing and claims nothing.
    void barSaysWhenThePatternIsTooCostly_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("note");
        QTest::newRow("find next") << "next" << kTooCostly;
        QTest::newRow("find previous") << "previous" << kTooCostly;
        QTest::newRow("search as you type") << "typed" << kTooCostly;
        QTest::newRow("replace one") << "one" << kTooCostly;
        QTest::newRow("replace all") << "all" << kTooCostly + QStringLiteral(": nothing replaced");
    }
    void barSaysWhenThePatternIsTooCostly()
    {
        QFETCH(QString, action);
        QFETCH(QString, note);
        BarWindow w(costlyLine());
        FindBar *bar = w.bar;
        w.box->setSelStart(10);
        QTextCursor c = w.box->textCursor();
        c.setPosition(20, QTextCursor::KeepAnchor);
        w.box->setTextCursor(c); // something a match could be, for replace one
        bar->replaceField()->setText(QStringLiteral("b"));
        if (action == QLatin1String("typed")) {
            QTest::keyClicks(bar->findField(), kCostly);
        } else {
            bar->findField()->setText(kCostly);
            if (action == QLatin1String("next"))
                bar->findNext();
            else if (action == QLatin1String("previous"))
                bar->findPrevious();
            else if (action == QLatin1String("one"))
                bar->replaceOne();
            else
                bar->replaceAll();
        }
        QTRY_VERIFY(!bar->isSearching());
        QCOMPARE(bar->note(), note);
        QVERIFY(!w.box->isModified());
        QCOMPARE(w.box->selStart(), 10);
    }

    // A search on a huge line runs while the editor goes on: a timer queued
    // after it started fires while it is still running, and the result
    // arrives afterwards, whole.
    void searchLeavesTheEventLoopRunning_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("note");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        // Too many matches to count in the time allowed: no count shows.
        QTest::newRow("find next") << "next" << "" << 0 << 1;
        QTest::newRow("find previous") << "previous" << "Wrapped to the bottom" << 999999 << 1;
        QTest::newRow("replace all") << "all" << "Replaced 1000000 matches" << 1000000 << 0;
    }
    void searchLeavesTheEventLoopRunning()
    {
        QFETCH(QString, action);
        QFETCH(QString, note);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        BarWindow w(hugeLine());
        FindBar *bar = w.bar;
        w.box->setSelStart(0);
        bar->findField()->setText(QStringLiteral("."));
        bar->replaceField()->setText(QStringLiteral("y"));
        QSignalSpy finished(bar, &FindBar::searchFinished);
        if (action == QLatin1String("next"))
            bar->findNext();
        else if (action == QLatin1String("previous"))
            bar->findPrevious();
        else
            bar->replaceAll();
        QVERIFY(bar->isSearching());
        int firedWhileSearching = -1;
        QTimer::singleShot(0, bar, [&] { firedWhileSearching = bar->isSearching(); });
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(firedWhileSearching, 1);
        QVERIFY(!bar->isSearching());
        QCOMPARE(bar->note(), note);
        QCOMPARE(w.box->selStart(), selStart);
        QCOMPARE(w.box->selLength(), selLength);
        if (action == QLatin1String("all")) {
            QCOMPARE(w.box->text(), QString(1000000, QLatin1Char('y')));
            w.box->undo(); // one step
            QCOMPARE(w.box->text(), hugeLine());
        }
    }

    // Only the latest request shows: a newer search replaces an older one,
    // Replace All can be stopped with nothing changed, and a result found in
    // text that has changed since is never selected.
    void newerWorkReplacesOlder_data()
    {
        QTest::addColumn<QString>("first");  // find:P, all:P (Replace All, with "#")
        QTest::addColumn<QString>("then");   // find:P, cancel, close, edit (types at the start)
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("selected"); // "": nothing selected
        QTest::addColumn<bool>("changed");     // the page was changed (by Replace All)
        QTest::newRow("typing replaces a running find") << "find:." << "find:z+" << "1 of 1"
                                                        << "zz" << false;
        QTest::newRow("a find replaces a running Replace All")
            << "all:." << "find:z+" << "1 of 1" << "zz" << false;
        QTest::newRow("cancel stops Replace All, nothing replaced")
            << "all:." << "cancel" << "Replace All stopped: nothing replaced" << "" << false;
        QTest::newRow("closing the bar stops Replace All")
            << "all:." << "close" << "Replace All stopped: nothing replaced" << "" << false;
        QTest::newRow("an edit while finding: searched again on the new text")
            << "find:z+" << "edit" << "1 of 1" << "zz" << false;
        QTest::newRow("an edit while replacing: replaced in the new text")
            << "all:z+" << "edit" << "Replaced 1 match" << "" << true;
    }
    void newerWorkReplacesOlder()
    {
        QFETCH(QString, first);
        QFETCH(QString, then);
        QFETCH(QString, note);
        QFETCH(QString, selected);
        QFETCH(bool, changed);
        const QString page = hugeLine() + QStringLiteral("zz");
        BarWindow w(page, then == QLatin1String("close"));
        FindBar *bar = w.bar;
        w.box->setSelStart(0);
        bar->replaceField()->setText(QStringLiteral("#"));
        auto act = [&](const QString &what) {
            const QString pattern = what.section(QLatin1Char(':'), 1);
            if (what.startsWith(QLatin1String("find:"))) {
                bar->findField()->setText(pattern);
                bar->findNext();
            } else if (what.startsWith(QLatin1String("all:"))) {
                bar->findField()->setText(pattern);
                bar->replaceAll();
            } else if (what == QLatin1String("cancel")) {
                bar->cancel();
            } else if (what == QLatin1String("close")) {
                bar->closeBar();
            } else if (what == QLatin1String("edit")) {
                QTextCursor c(w.box->document());
                c.insertText(QStringLiteral("<p>")); // moves every match on
            }
        };
        QSignalSpy finished(bar, &FindBar::searchFinished);
        act(first);
        QVERIFY(bar->isSearching());
        act(then);
        QTRY_VERIFY_WITH_TIMEOUT(!bar->isSearching(), 30000);
        QTest::qWait(50); // a dropped result, had it come, would have come by now
        QCOMPARE(finished.count(), then == QLatin1String("cancel") || then == QLatin1String("close")
                                       ? 0 : 1);
        QCOMPARE(bar->note(), note);
        QCOMPARE(w.box->selText(), selected);
        const QString edited = then == QLatin1String("edit") ? QStringLiteral("<p>") + page : page;
        if (changed) {
            QCOMPARE(w.box->text(), QStringLiteral("<p>") + hugeLine() + QStringLiteral("#"));
            w.box->undo(); // Replace All is one step of its own
            QCOMPARE(w.box->text(), edited);
        } else {
            QCOMPARE(w.box->text(), edited);
        }
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
