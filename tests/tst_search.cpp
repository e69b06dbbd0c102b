// Find and replace on the editor's text, checked through the editor's CR LF
// offsets: one table of searches and one of replacements.
#include "editorbox.h"
#include "findbar.h"
#include "textsearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
// "c" match case, "w" whole words, "r" regular expression, "b" backward.
SearchQuery queryFor(const QString &text, const QString &flags)
{
    return SearchQuery(text, flags.contains(QLatin1Char('c')), flags.contains(QLatin1Char('w')),
                       flags.contains(QLatin1Char('r')));
}
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
        QCOMPARE(replaceAll(box.textCursor(), queryFor(find, flags), with), count);
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
        QCOMPARE(box->selStart(), 12);
        QCOMPARE(bar->note(), QStringLiteral("2 of 3"));
        QTest::keyClick(bar->findField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(box->selStart(), 6);
        QTest::keyClick(bar->findField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(box->selStart(), 17);
        QCOMPARE(bar->note(), QStringLiteral("3 of 3 \u2014 Wrapped to the bottom"));
        // Typing searches from the caret; a miss says so in the bar.
        bar->findField()->clear();
        QTest::keyClicks(bar->findField(), QStringLiteral("gam"));
        QCOMPARE(box->selText(), QStringLiteral("gam"));
        QTest::keyClicks(bar->findField(), QStringLiteral("x"));
        QCOMPARE(bar->note(), QStringLiteral("No matches"));
        QCOMPARE(box->selText(), QStringLiteral("gam"));
        bar->findChild<QCheckBox *>(QStringLiteral("RegularExpression"))->setChecked(true);
        bar->findField()->setText(QStringLiteral("(g"));
        QTest::keyClick(bar->findField(), Qt::Key_Return);
        QVERIFY(bar->note().contains(QStringLiteral("missing")));
        bar->findField()->setText(QStringLiteral("g\\w+"));
        QTest::keyClick(bar->findField(), Qt::Key_Return);
        QCOMPARE(box->selText(), QStringLiteral("gamma"));
        QTest::keyClick(bar->findField(), Qt::Key_Escape);
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
        QCOMPARE(box->selStart(), 6);
        QTest::keyClick(bar->replaceField(), Qt::Key_Return); // replaces it, finds the next
        QCOMPARE(box->text(), QStringLiteral("alpha BETA\r\nbeta Beta\r\ndelta"));
        QCOMPARE(box->selStart(), 12);
        box->undo();
        box->setSelStart(20);
        QTest::mouseClick(bar->findChild<QPushButton *>(QStringLiteral("ReplaceAll")),
                          Qt::LeftButton);
        QCOMPARE(box->text(), QStringLiteral("alpha BETA\r\nBETA Beta\r\ndelta"));
        QCOMPARE(bar->note(), QStringLiteral("Replaced 2 matches"));
        box->undo();
        QCOMPARE(box->text(), QStringLiteral("alpha beta\r\nbeta Beta\r\ndelta"));
        QCOMPARE(box->selStart(), 20); // the caret is back where it was
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
