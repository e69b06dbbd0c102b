// The page check: what it reports for pages users write, and that it can
// be stopped.
#include "editorbox.h"
#include "livecheck.h"
#include "markuphighlighter.h"
#include "pagecheck.h"
#include "pagecheckpane.h"
#include "pagemarks.h"

#include <QTest>
#include <QTextBlock>
#include <QToolTip>
#include <QTreeWidget>

namespace {
// The marks' texts in page order, "E " for errors and "W " for the rest.
QStringList marked(EditorBox *editor)
{
    QList<std::pair<int, QString>> out;
    const QString text = editor->rawText();
    for (const bool error : {true, false})
        for (const auto &[at, length] : editor->pageMarks()->within(0, INT_MAX, error))
            out.append({at, (error ? "E " : "W ") + text.mid(at, length)});
    std::stable_sort(out.begin(), out.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList texts;
    for (const auto &m : out)
        texts << m.second;
    return texts;
}
} // namespace

class TestPageCheck : public QObject {
    Q_OBJECT
private slots:
    void reportsByLineAndColumn_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("line"); // of the first message; 0: none
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("kind");
        const QString head = QStringLiteral("<!DOCTYPE html>\r\n<html><head><title>t</title>"
                                            "</head>\r\n<body>\r\n");
        QTest::newRow("a clean HTML5 page") << head + "<p>x</p>\r\n</body></html>\r\n"
                                            << "No problems found" << 0 << 0 << "";
        QTest::newRow("unclosed element, CR LF lines counted once")
            << head + "<p><b>x</p>\r\n</body></html>\r\n" << "0 errors, 1 warning" << 4 << 4
            << "Warning";
        QTest::newRow("unknown element is an error")
            << head + "<blink2>x</blink2>\r\n</body></html>\r\n" << "1 error, 2 warnings" << 4 << 1
            << "Error";
        QTest::newRow("the editor's own skeleton")
            << "<HTML>\r\n<HEAD>\r\n<TITLE>Document Title Goes Here </TITLE>\r\n</HEAD>\r\n"
               "<BODY>\r\n\r\n</BODY>\r\n</HTML>"
            << "0 errors, 1 warning" << 1 << 1 << "Warning";
        QTest::newRow("non-ASCII text keeps its columns")
            << head + QString::fromUtf8("\u00e9\u20ac<b>x\r\n</body></html>\r\n")
            << "0 errors, 1 warning" << 4 << 3 << "Warning";
    }
    void reportsByLineAndColumn()
    {
        QFETCH(QString, page);
        QFETCH(QString, summary);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QString, kind);
        const PageCheckResult r = checkPage(page);
        QCOMPARE(r.summary(), summary);
        QCOMPARE(r.messages.size(), r.errors + r.warnings);
        if (line == 0)
            return;
        QCOMPARE(r.messages.first().line, line);
        QCOMPARE(r.messages.first().column, column);
        QCOMPARE(r.messages.first().kind, kind);
        QVERIFY(!r.messages.first().text.isEmpty());
    }

    // Which pages Tidy checks against an older standard they declare.
    void olderDoctypes_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("standard");
        QTest::newRow("today's") << "<!DOCTYPE html>\n<html>"
                                 << "";
        QTest::newRow("today's, legacy compatible")
            << "<!doctype html system \"about:legacy-compat\">"
            << "";
        QTest::newRow("none") << "<HTML>\r\n<HEAD>"
                              << "";
        QTest::newRow("HTML 4.01")
            << "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"\n"
               "  \"http://www.w3.org/TR/html4/loose.dtd\">"
            << "HTML 4.01";
        QTest::newRow("XHTML 1.0, after a comment")
            << "<!-- x --><!DOCTYPE html PUBLIC '-//W3C//DTD XHTML 1.0 Strict//EN' 'x'>"
            << "XHTML 1.0";
        QTest::newRow("HTML 3.2") << "<!doctype html public \"-//W3C//DTD HTML 3.2 Final//EN\">"
                                  << "HTML 3.2";
    }
    void olderDoctypes()
    {
        QFETCH(QString, page);
        QFETCH(QString, standard);
        QCOMPARE(declaredOlderDoctype(page), standard);
    }

    void aCancelledCheckStopsEarly()
    {
        std::atomic<bool> cancel{true};
        const PageCheckResult r = checkPage(QStringLiteral("<p><b>x"), &cancel);
        QVERIFY(r.cancelled);
        QVERIFY(!checkPage(QStringLiteral("<p><b>x")).cancelled);
    }

    // Checks pressed again and again on a slow page never wait for the one
    // before; a page closed while checked takes its result with it.
    void paneForgetsReplacedChecksAndClosedPages()
    {
        PageCheckPane pane;
        EditorBox other;
        auto *slow = new EditorBox;
        slow->loadText(QStringLiteral("<table><tr><td>").repeated(20000));
        for (int i = 0; i < 5; ++i)
            pane.check(slow);
        QVERIFY(pane.isChecking());
        delete slow;
        QCOMPARE(pane.summary(), QStringLiteral("The checked document was closed"));
        QTRY_COMPARE_WITH_TIMEOUT(pane.threadsRunning(), 0, 60000);
        QCoreApplication::processEvents(); // a result already on its way is passed over
        QCOMPARE(pane.summary(), QStringLiteral("The checked document was closed"));
        QCOMPARE(pane.rows()->topLevelItemCount(), 0);
        QVERIFY(!pane.isChecking());

        other.loadText(QStringLiteral("<p><b>x"));
        pane.check(&other);
        QTRY_VERIFY(!pane.isChecking());
        QVERIFY2(pane.rows()->topLevelItemCount() > 0, qPrintable(pane.summary()));
        QCOMPARE(pane.checkedEditor(), &other);
    }

    // Checked as typed: the marks sit on what the check found, and an
    // edit made before the result came or after it moves them or, where
    // it touches them, takes them away.
    void marksFollowTheText_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QString>("before"); // the text the edit goes in front of
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("after");
        const QString head = QStringLiteral("<!DOCTYPE html>\n<html lang=en><head><title>t</title>"
                                            "</head>\n<body>\n");
        QTest::newRow("a place: the tag's name, moved by a line above")
            << head + "<p><b>x</p>\n</body></html>\n" << QStringList{"W <b"} << "<p><b>"
            << "<p>new</p>\n" << QStringList{"W <b"};
        QTest::newRow("an edit in the mark takes it")
            << head + "<p><b>x</p>\n</body></html>\n" << QStringList{"W <b"} << "b>x"
            << "i" << QStringList{};
        QTest::newRow("an edit after it leaves it")
            << head + "<p><b>x</p>\n</body></html>\n" << QStringList{"W <b"} << "</body>"
            << "<p>y</p>" << QStringList{"W <b"};
        QTest::newRow("an error and advice, each in its colour")
            << head + "<blink2>x</blink2><img src=a.png>\n</body></html>\n"
            << QStringList{"E <blink2", "W <blink2", "W </blink2", "W <img"} << "<blink2>" << "\n\n"
            << QStringList{"E <blink2", "W <blink2", "W </blink2", "W <img"};
    }
    void marksFollowTheText()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, marks);
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QStringList, after);
        PageCheckService service(nullptr);
        for (const bool editFirst : {true, false}) {
            EditorBox editor;
            editor.loadText(page);
            auto *live = new LiveCheck(&editor, &service);
            auto edit = [&] {
                QTextCursor c(editor.document());
                c.setPosition(int(editor.rawText().indexOf(before)));
                c.insertText(typed);
            };
            live->checkNow();
            QVERIFY(live->isChecking());
            if (editFirst)
                edit(); // before the result comes: it is put on the text as it is now
            QTRY_VERIFY(editor.pageMarks()->isChecked());
            if (!editFirst) {
                QCOMPARE(marked(&editor), marks);
                editor.show(); // coloured: new formats alone move nothing
                editor.repaint();
                QCOMPARE(marked(&editor), marks);
                edit();
            }
            QCOMPARE(marked(&editor), after);
        }
    }

    // Marks on every word of a line, and edits here and there: each mark
    // keeps its word, those an edit touches go.
    void marksFollowManyEdits_data()
    {
        QTest::addColumn<QStringList>("edits"); // +w: before it; w>: after it; -w: in it; ~a-b
        QTest::addColumn<QStringList>("gone");
        QTest::newRow("typing in one place") << QStringList{"+w010", "+w010", "+w010"}
                                             << QStringList{};
        QTest::newRow("back and forth") << QStringList{"+w150", "+w020", "+w100", "-w050", "+w005",
                                                       "w120>", "+w199"}
                                        << QStringList{"w050", "w120"};
        QTest::newRow("a deletion moves those after it back")
            << QStringList{"+w100", "~w030-w040", "+w041", "+w020", "+w140"}
            << QStringList{"w030", "w031", "w032", "w033", "w034", "w035", "w036", "w037", "w038",
                           "w039"};
        QStringList most;
        for (int i = 10; i < 190; ++i)
            most << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
        most << "w005";
        QTest::newRow("most gone, then swept")
            << QStringList{"+w150", "~w010-w190", "+w195", "w005>", "+w000"} << most;
    }
    void marksFollowManyEdits()
    {
        QFETCH(QStringList, edits);
        QFETCH(QStringList, gone);
        QStringList words;
        for (int i = 0; i < 200; ++i)
            words << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
        EditorBox editor;
        editor.loadText(words.join(' '));
        QList<PageMark> marks;
        for (int i = 0; i < 200; ++i)
            marks.append({i * 5, 4, i % 3 == 0, words[i]});
        editor.pageMarks()->set(marks, 67, 133, 0);
        auto at = [&](const QString &w) { return int(editor.rawText().indexOf(w)); };
        for (const QString &e : edits) {
            QTextCursor c(editor.document());
            if (e.startsWith('~')) {
                c.setPosition(at(e.mid(1, 4)));
                c.setPosition(at(e.mid(6, 4)), QTextCursor::KeepAnchor);
                c.removeSelectedText();
            } else if (e.startsWith('-')) {
                c.setPosition(at(e.mid(1)));
                c.deleteChar();
            } else {
                c.setPosition(e.startsWith('+') ? at(e.mid(1)) : at(e.left(4)) + 4);
                c.insertText(QStringLiteral("xy"));
            }
        }
        QStringList expected;
        for (const QString &w : std::as_const(words))
            if (!gone.contains(w))
                expected << (words.indexOf(w) % 3 == 0 ? "E " : "W ") + w;
        QCOMPARE(marked(&editor), expected);
        const int last = at(QStringLiteral("w199"));
        QCOMPARE(editor.pageMarks()->textAt(last + 3), QStringLiteral("w199"));
    }

    void checksOnPauseUntilSwitchedOff()
    {
        PageCheckService service(nullptr);
        EditorBox editor;
        editor.loadText(QStringLiteral("<!DOCTYPE html>\n<html><body>\n<p>x\n"));
        auto *live = new LiveCheck(&editor, &service);
        QVERIFY(!live->isChecking()); // opening a page asks nothing
        QTextCursor(editor.document()->lastBlock()).insertText(QStringLiteral("<b>y"));
        QTRY_VERIFY(editor.pageMarks()->isChecked());
        const QList<std::pair<int, int>> marks = editor.pageMarks()->within(0, INT_MAX, false);
        QVERIFY(!marks.isEmpty());
        // The message is the tool tip over the mark.
        const QString message = editor.pageMarks()->textAt(marks.first().first);
        QVERIFY(!message.isEmpty());
        editor.show();
        QTextCursor c(editor.document());
        c.setPosition(marks.first().first);
        const QPoint at = editor.cursorRect(c).center() + QPoint(2, 0);
        QHelpEvent tip(QEvent::ToolTip, at, editor.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(editor.viewport(), &tip);
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), message);
        live->setEnabled(false);
        QVERIFY(marked(&editor).isEmpty());
        QVERIFY(editor.pageMarks()->countText().isEmpty());
        QTextCursor(editor.document()).insertText(QStringLiteral("<i>"));
        live->checkNow();
        QVERIFY(!live->isChecking());
    }

    void aClosedDocumentTakesItsCheck()
    {
        PageCheckService service(nullptr);
        auto *editor = new EditorBox;
        editor->loadText(QStringLiteral("<table><tr><td>").repeated(20000));
        auto *live = new LiveCheck(editor, &service);
        live->checkNow();
        QVERIFY(live->isChecking());
        delete editor;
        QCOMPARE(service.pending(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(service.jobsRunning(), 0, 60000);
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TestPageCheck)
#include "tst_pagecheck.moc"
