// The page check: what it reports for pages users write, and that it can
// be stopped.
#include "editorbox.h"
#include "pageadvice.h"
#include "pagecheck.h"
#include "pagecheckpane.h"

#include <QTest>
#include <QTreeWidget>

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

    // Accessibility advice: each kind found at its tag, each way of getting
    // it right left alone. Rows: "line:column-lastLine:lastColumn:" and the
    // text's start, in page order; or only how many.
    void accessibilityAdvice_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<uint>("enabled");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("count"); // -1: the list
        const QString lang = QStringLiteral("<html lang=\"en\">\n");
        QTest::newRow("image without alt, columns in UTF-16; empty alt is decoration")
            << lang + QString::fromUtf8("\u00e9\U0001F600<img src=a.png>\n<img src=b alt=\"\">")
                   + "<img src=c alt>"
            << kAllAdvice << QStringList{"2:4-2:18:Image without alt"} << -1;
        QTest::newRow("upper-case page, CR LF and CR lines")
            << "<HTML>\r\n<BODY>\r\n<IMG SRC=\"x\">\r\n<A HREF=\"y\"></A>\r<H1>a</H1><H3\r\n>b</H3>"
            << kAllAdvice
            << QStringList{"1:1-1:6:<html> without lang", "3:1-3:13:Image without alt",
                           "4:1-4:12:Link without text",
                           "5:11-6:1:Heading level skipped: <h3> follows <h1>"}
            << -1;
        QTest::newRow("links and buttons named every way")
            << lang
                   + "<a href=a>x</a><a href=b><img src=i alt=\"Home\"></a>"
                     "<a href=c aria-label=\"Next\"></a><button title=Go></button>"
                     "<button><b>OK</b></button><a name=top></a><a href=d><span>&#9654;</span></a>"
            << kAllAdvice << QStringList{} << -1;
        QTest::newRow("empty link, button; an empty-alt image alone is no text")
            << lang
                   + "<a href=a><img src=i alt=\"\"></a>\n<button> </button>\n<a href=\"x\"/>"
                     "<a href=y aria-label=\" \">"
            << kAllAdvice
            << QStringList{"2:1-2:10:Link without text", "3:1-3:8:Button without text",
                           "4:1-4:13:Link without text", "4:14-4:38:Link without text"}
            << -1;
        QTest::newRow("labelled controls")
            << lang
                   + "<label for=n>Name</label><input id=n><input id=m><label for=m>M</label>"
                     "<label>Q <select></select></label><textarea aria-label=x></textarea>"
                     "<input title=t><input aria-labelledby=q><input type=hidden>"
                     "<INPUT TYPE=SUBMIT><input type=image alt=Go>"
            << kAllAdvice << QStringList{} << -1;
        QTest::newRow("controls without a label; a wrapping label labels its first only")
            << lang
                   + "<input id=a>\n<label>x <input><textarea></textarea></label>\n"
                     "<label for=b><select></select></label><input type=image src=g alt=\"\">"
            << kAllAdvice
            << QStringList{"2:1-2:12:<input> without a label", "3:17-3:26:<textarea> without",
                           "4:14-4:21:<select> without", "4:39-4:69:Image button without alt"}
            << -1;
        QTest::newRow("headings: down one, up any, first below h1")
            << lang + "<h2>a</h2><h3>b</h3><h1>c</h1><h2>d</h2><h1>e</h1><h2>f</h2>\n<h4>g</h4>"
            << kAllAdvice << QStringList{"3:1-3:4:Heading level skipped: <h4> follows <h2>"} << -1;
        QTest::newRow("no <html>; markup in a comment or script is not read")
            << "<!-- <img src=x> <a href=y></a> --><script>\"<img src=y>\"</script><p>x"
            << kAllAdvice << QStringList{"1:1-0:0:The page has no <html lang"} << -1;
        QTest::newRow("text with no markup")
            << "Dear Sir, <- this" << kAllAdvice << QStringList{} << -1;
        QTest::newRow("tables: data, layout, headed, one row, nested")
            << lang
                   + "<table><tr><td>a<td>b<tr><td>c<td>d</table>\n"
                     "<table role=\"presentation\"><tr><td>a<td>b<tr><td>c<td>d</table>\n"
                     "<table><tr><th>h<td>b<tr><td>c<td>d</table>\n"
                     "<table><tr><td>1<tr><td>2</table><table><td>1<td>2</table>\n"
                     "<table><tr><td><table><tr><th>h</th></tr><tr><td>a</table><td>z<tr><td>q"
                     "</table>"
            << kAllAdvice
            << QStringList{"2:1-2:7:Table without header cells", "6:1-6:7:Table without header"}
            << -1;
        QTest::newRow("only the kinds switched on")
            << "<html><img src=x><a href=y></a><h1>a</h1><h3>b</h3>" << uint(AdviceKind::ImageAlt)
            << QStringList{"1:7-1:17:Image without alt"} << -1;
        QTest::newRow("none switched on") << "<html><img src=x>" << 0u << QStringList{} << -1;
        QTest::newRow("many links left open, each ended by the next")
            << lang + QStringLiteral("<A HREF=x><table><tr><td><td>").repeated(20000)
            << (uint(AdviceKind::EmptyLink) | uint(AdviceKind::TableHeaders)) << QStringList{}
            << 20000;
    }
    void accessibilityAdvice()
    {
        QFETCH(QString, page);
        QFETCH(uint, enabled);
        QFETCH(QStringList, expected);
        QFETCH(int, count);
        QStringList got;
        for (const PageMessage &m : ::accessibilityAdvice(page, enabled)) {
            QCOMPARE(m.kind, QStringLiteral("Advice"));
            got << QStringLiteral("%1:%2-%3:%4:%5")
                       .arg(m.line)
                       .arg(m.column)
                       .arg(m.lastLine)
                       .arg(m.lastColumn)
                       .arg(m.text);
        }
        if (count >= 0) {
            QCOMPARE(got.size(), count);
            return;
        }
        QVERIFY2(got.size() == expected.size(), qPrintable(got.join(u'\n')));
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(got[i].startsWith(expected[i]), qPrintable(got[i]));
    }

    void aCancelledCheckStopsEarly()
    {
        std::atomic<bool> cancel{true};
        const PageCheckResult r = checkPage(QStringLiteral("<p><b>x"), &cancel);
        QVERIFY(r.cancelled);
        QVERIFY(!checkPage(QStringLiteral("<p><b>x")).cancelled);
        const QString images = QStringLiteral("<img src=x>").repeated(10000);
        QCOMPARE(::accessibilityAdvice(images, uint(AdviceKind::ImageAlt)).size(), 10000);
        QVERIFY(::accessibilityAdvice(images, kAllAdvice, &cancel).isEmpty());
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
};

QTEST_MAIN(TestPageCheck)
#include "tst_pagecheck.moc"
