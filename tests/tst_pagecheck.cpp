// The page check: what it reports for pages users write, and that it can
// be stopped.
#include "editorbox.h"
#include "livecheck.h"
#include "markuphighlighter.h"
#include "pageadvice.h"
#include "pagecheck.h"
#include "pagecheckpane.h"
#include "pagemarks.h"
#include "plainwords.h"

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

    // A page with more results than anyone reads lists the first ones; the
    // summary still counts them all.
    void paneListsTheFirstRows()
    {
        PageCheckPane pane;
        EditorBox editor;
        editor.loadText(QStringLiteral("<p><img src=\"a.png\"></p>\r\n").repeated(12000));
        pane.check(&editor);
        QTRY_VERIFY_WITH_TIMEOUT(!pane.isChecking(), 60000);
        QCOMPARE(pane.rows()->topLevelItemCount(), PageCheckPane::kMaxRows + 1);
        QVERIFY(pane.rows()->topLevelItem(PageCheckPane::kMaxRows)->text(3).contains("more"));
        QVERIFY2(pane.summary().contains("12003 warnings"), qPrintable(pane.summary()));
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

    // What the checkers say, as what is wrong in the page; "" where the
    // message is not shown at all.
    void plainWordsOfMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("words");
        const auto row = [](const char *message, const char *words) {
            QTest::newRow(message) << QString::fromUtf8(message) << QString::fromUtf8(words);
        };
        row("Element “li” not allowed as child of element “body” in this context. (Suppressing "
            "further errors from this subtree.)",
            "<li> must be inside <ul>, <ol> or <menu>");
        row("Element “div” not allowed as child of element “ul” in this context. (Suppressing "
            "further errors from this subtree.)",
            "<div> is not allowed directly inside <ul>: only <li> (and script-supporting "
            "elements) are");
        row("Element “p” not allowed as child of element “dl” in this context.",
            "<p> is not allowed directly inside <dl>: only <dt>, <dd> and <div> (and "
            "script-supporting elements) are");
        row("Element “div” not allowed as child of element “span” in this context.",
            "<div> is not allowed inside <span>: <span> may hold only text and inline elements");
        row("Element “option” not allowed as child of element “body” in this context.",
            "<option> must be inside <select>, <datalist> or <optgroup>");
        row("Element “title” not allowed as child of element “body” in this context.",
            "<title> must be inside <head>");
        row("Element “a” not allowed as child of element “span” in this context.",
            "<a> is not allowed inside <span> here");
        row("The element “button” must not appear as a descendant of the “a” element.",
            "<button> must not be inside <a>");
        row("The element “a” with the attribute “href” must not appear as a descendant of the "
            "“button” element.",
            "<a href> must not be inside <button>");
        row("The value of the “for” attribute of the “label” element must be the ID of a "
            "non-hidden form control.",
            "<label for> names no form control in the page");
        row("Duplicate ID “dup”.", "the id “dup” is already used in the page");
        row("An “img” element must have an “alt” attribute, except under certain conditions. "
            "For details, consult guidance on providing text alternatives for images.",
            "<img> has no alt attribute");
        row("The heading “h3” (with computed level 3) follows the heading “h1” (with computed "
            "level 1), skipping 1 heading level.",
            "<h3> follows <h1>: a heading level is skipped");
        row("Attribute “colour” not allowed on element “p” at this point.",
            "<p> cannot have the attribute colour here");
        row("Element “a” is missing required attribute “href”.",
            "<a> must have the attribute href");
        row("Element “head” is missing a required instance of child element “title”.",
            "the page has no <title>");
        row("Stray end tag “span”.", "</span> closes nothing that is open");
        row("Stray start tag “tr”.", "<tr> must be inside <table>");
        row("Stray start tag “html”.", "<html> appears a second time");
        row("End tag for  “body” seen, but there were unclosed elements.",
            "</body> comes while elements inside it are still open");
        row("Unclosed element “b”.", "<b> is never closed");
        row("End tag “i” violates nesting rules.",
            "</i> is misnested: an element opened inside <i> is still open");
        row("No “p” element in scope but a “p” end tag seen.",
            "</p> closes nothing that is open: a <p> ends by itself where a block such as "
            "<div>, <ul> or <h1> begins");
        row("No “b” element in scope but a “b” end tag seen.", "</b> closes nothing that is open");
        row("Start tag “a” seen but an element of the same type was already open.",
            "<a> starts while another <a> is still open");
        row("Saw a “form” start tag, but there was already an active “form” element. Nested "
            "forms are not allowed. Ignoring the tag.",
            "<form> must not be inside another <form>");
        row("Bad value “txt” for attribute “type” on element “input”.",
            "type=\"txt\" is not valid on <input>");
        row("Bad value “x y.html” for attribute “href” on element “a”: Illegal character in path "
            "segment. Space is not allowed.",
            "href=\"x y.html\" is not valid on <a>: illegal character in path segment. Space is "
            "not allowed");
        row("Duplicate attribute “style”.", "the style attribute is given twice");
        row("The “strike” element is obsolete. Use “del” or “s” element instead.",
            "<strike> is obsolete: use <del> or <s> instead");
        row("The “align” attribute on the “p” element is obsolete. Use CSS instead.",
            "the align attribute of <p> is obsolete: use CSS instead");
        row("The “area” element must have a “map” ancestor.", "<area> must be inside <map>");
        row("Start tag seen without seeing a doctype first. Expected “<!DOCTYPE html>”.",
            "the page does not start with <!DOCTYPE html>");
        row("Self-closing syntax (“/>”) used on a non-void HTML element. Ignoring the slash and "
            "treating as a start tag.",
            "“/>” does not close this element: it needs an end tag");
        row("Named character reference was not terminated by a semicolon. (Or “&” should have "
            "been escaped as “&amp;”.)",
            "a character reference must end with “;” (or write & as &amp;)");
        row("Start tag “p” seen in “table”.", "<p> is not allowed directly inside <table>");
        row("“td” start tag in table body.", "<td> must be inside <tr>");
        row("The “blink2” element is a completely-unknown element that is not allowed anywhere "
            "in any HTML content.",
            "<blink2> is not an HTML element (the name of a custom element has a hyphen)");
        row("Text not allowed in element “ul” in this context.",
            "text is not allowed directly inside <ul>");
        row("This document appears to be written in Somali but the “html” start tag has "
            "“lang=\"en\"”. Consider using “lang=\"so\"” (or variant) instead.",
            "");
        row("Consider adding a “lang” attribute to the “html” start tag to declare the language "
            "of this document.",
            "<html> has no lang attribute: say the page's language, as in <html lang=\"en\">");
        row("missing </b> before </p>", "<b> is not closed before </p>");
        row("missing </div>", "<div> is never closed");
        row("inserting implicit <p>", "<p> is missing here");
        row("trimming empty <p>", "empty <p>");
        row("discarding unexpected </span>", "</span> closes nothing that is open");
        row("discarding unexpected <blink2>", "<blink2> is not allowed here");
        row("<blink2> is not recognized!", "<blink2> is not a known element");
        row("<img> proprietary attribute \"loading\"",
            "loading is not a standard attribute of <img>");
        row("<input> attribute \"type\" has invalid value \"txt\"",
            "type=\"txt\" is not valid on <input>");
        row("<p> attribute \"lang\" lacks value", "the lang attribute of <p> has no value");
        row("<img> lacks \"alt\" attribute", "<img> has no alt attribute");
        row("<li> isn't allowed in <dl> elements", "<li> must be inside <ul>, <ol> or <menu>");
        row("<td> isn't allowed in <body> elements", "<td> must be inside <table>");
        row("<input> isn't allowed in <body> elements",
            "<input> is not allowed directly inside <body>");
        row("<form> shouldn't be nested", "<form> must not be inside another <form>");
        row("replacing unexpected i with </i>",
            "</i> comes while this element, opened inside <i>, is still open (misnested tags)");
        row("<p> anchor \"dup\" already defined", "the id “dup” is already used in the page");
        row("<a> illegal characters found in URI",
            "the address in <a> has characters that must be escaped, such as spaces");
        row("<p> joining values of repeated attribute \"style\"",
            "the style attribute is given twice in <p>");
        row("unescaped & or unknown entity \"&copy2\"",
            "“&copy2” is not a known character reference (write & as &amp;)");
        row("entity \"&nbsp\" doesn't end in ';'", "“&nbsp” must end with “;”");
        row("missing <!DOCTYPE> declaration", "the page has no <!DOCTYPE>");
        row("<p> end of file while parsing attributes",
            "the page ends inside the attributes of <p>: a closing quote mark may be missing");
        row("A message of a shape not known yet.", "A message of a shape not known yet.");
        row("Element “x” is not allowed", "Element “x” is not allowed");
    }
    void plainWordsOfMessages()
    {
        QFETCH(QString, message);
        QFETCH(QString, words);
        QCOMPARE(passedOver(message), words.isEmpty());
        if (!words.isEmpty())
            QCOMPARE(plainWords(message), words);
    }

    // What a message leaves out, read from the page at its range.
    void plainWordsFromThePage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QList<int>>("range"); // line, column, last line, last column
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("words");
        const QString label = QStringLiteral("The value of the “for” attribute of the “label” "
                                             "element must be the ID of a non-hidden form "
                                             "control.");
        const QString slash = QStringLiteral("Self-closing syntax (“/>”) used on a non-void HTML "
                                             "element. Ignoring the slash and treating as a start "
                                             "tag.");
        QTest::newRow("label, after CR LF, CR and a surrogate pair")
            << QString::fromUtf8("<p>\r\n<p>\r<p>\xf0\x9f\x98\x80<label for=\"x\">")
            << QList<int>{3, 6, 3, 20} << label
            << "<label for=\"x\"> names no form control in the page";
        QTest::newRow("label over two lines, unquoted")
            << "<p>\n<LABEL class=a\n  FOR=abc>" << QList<int>{2, 1, 3, 10} << label
            << "<label for=\"abc\"> names no form control in the page";
        QTest::newRow("range not in the page") << "<label for=x>" << QList<int>{4, 1, 4, 9}
                                               << label
                                               << "<label for> names no form control in the page";
        QTest::newRow("self-closed div") << "<p>\n <DIV/>" << QList<int>{2, 2, 2, 7} << slash
                                         << "“/>” does not close <div>: it needs an end tag </div>";
    }
    void plainWordsFromThePage()
    {
        QFETCH(QString, page);
        QFETCH(QList<int>, range);
        QFETCH(QString, message);
        QFETCH(QString, words);
        PageSource source(page);
        const PageMessage m{range[0], range[1], range[2], range[3], "Error", message};
        QCOMPARE(plainWords(m, source), words);
    }

    // One fault told more than once is one row; two faults never fold.
    // Rows: "line:column:kind:text", the first kept row's kind first.
    void foldDuplicates_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("folded");
        QTest::newRow("same text, same place: the graver kind")
            << QStringList{"3:1:Warning:<b> is never closed", "3:1:Error:<b> is never closed"}
            << QStringList{"3:1:Error:<b> is never closed"};
        QTest::newRow("same text, two places")
            << QStringList{"3:1:Error:<b> is never closed", "3:9:Error:<b> is never closed"}
            << QStringList{"3:1:Error:<b> is never closed", "3:9:Error:<b> is never closed"};
        QTest::newRow("two faults at one place")
            << QStringList{"3:1:Error:<b> is never closed", "3:1:Error:<img> has no alt attribute"}
            << QStringList{"3:1:Error:<b> is never closed", "3:1:Error:<img> has no alt attribute"};
        QTest::newRow("missing alt from the checker and the advice")
            << QStringList{"3:1:Advice:Image without alt text: say what it shows",
                           "3:1:Error:<img> has no alt attribute"}
            << QStringList{"3:1:Error:Image without alt text: say what it shows"};
        QTest::newRow("skipped heading from the checker and the advice")
            << QStringList{"6:1:Advice:Heading level skipped: <h3> follows <h1>",
                           "6:1:Error:<h3> follows <h1>: a heading level is skipped"}
            << QStringList{"6:1:Error:Heading level skipped: <h3> follows <h1>"};
        QTest::newRow("missing lang from the checker and the advice")
            << QStringList{"1:16:Warning:<html> has no lang attribute: say the page's language, "
                           "as in <html lang=\"en\">",
                           "2:1:Advice:<html> without lang: say it"}
            << QStringList{"2:1:Warning:<html> without lang: say it"};
        QTest::newRow("unknown element, its place and its end tags")
            << QStringList{"3:1:Error:<x1> is not a known element",
                           "3:1:Warning:<x1> is not allowed here",
                           "3:9:Warning:</x1> closes nothing that is open",
                           "4:1:Warning:</x1> closes nothing that is open",
                           "5:1:Warning:</b> closes nothing that is open"}
            << QStringList{"3:1:Error:<x1> is not a known element",
                           "4:1:Warning:</x1> closes nothing that is open",
                           "5:1:Warning:</b> closes nothing that is open"};
        QTest::newRow("unknown element by the checker")
            << QStringList{"3:1:Error:<x1> is not allowed inside <body> here",
                           "3:1:Error:<x1> is not an HTML element (the name of a custom element "
                           "has a hyphen)"}
            << QStringList{"3:1:Error:<x1> is not an HTML element (the name of a custom element "
                           "has a hyphen)"};
        QTest::newRow("Tidy's own empty element")
            << QStringList{"3:1:Warning:<div> is never closed", "3:1:Warning:empty <div>",
                           "4:1:Warning:empty <p>", "5:1:Warning:<p> is missing here",
                           "5:1:Warning:empty <p>", "6:1:Warning:<b> is missing here",
                           "6:1:Warning:empty <p>"}
            << QStringList{"3:1:Warning:<div> is never closed", "4:1:Warning:empty <p>",
                           "5:1:Warning:<p> is missing here", "6:1:Warning:<b> is missing here",
                           "6:1:Warning:empty <p>"};
        QTest::newRow("an element written <x/>")
            << QStringList{"3:1:Error:“/>” does not close <div>: it needs an end tag </div>",
                           "3:1:Error:<div> is never closed", "3:9:Error:<p> is never closed"}
            << QStringList{"3:1:Error:“/>” does not close <div>: it needs an end tag </div>",
                           "3:9:Error:<p> is never closed"};
        QTest::newRow("end tag that found an element open, close by or not")
            << QStringList{"3:5:Error:<b> is never closed",
                           "4:2:Error:</p> comes while elements inside it are still open",
                           "9:1:Error:</div> comes while elements inside it are still open"}
            << QStringList{"3:5:Error:<b> is never closed",
                           "9:1:Error:</div> comes while elements inside it are still open"};
        QTest::newRow("duplicate id and its first use")
            << QStringList{"1:1:Error:the id “a” is already used in the page",
                           "2:1:Warning:the id “a” is first used here",
                           "2:1:Warning:the id “b” is first used here",
                           "5:1:Error:the id “a” is already used in the page",
                           "7:1:Error:the id “a” is already used in the page"}
            << QStringList{"1:1:Error:the id “a” is already used in the page",
                           "2:1:Warning:the id “b” is first used here",
                           "5:1:Error:the id “a” is already used on line 2",
                           "7:1:Error:the id “a” is already used on line 2"};
    }
    void foldDuplicates()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, folded);
        QList<PageMessage> messages;
        for (const QString &r : rows) {
            const QStringList f = r.split(QLatin1Char(':'));
            messages.append({f[0].toInt(), f[1].toInt(), 0, 0, f[2], f.mid(3).join(':')});
        }
        ::foldDuplicates(&messages);
        QStringList got;
        for (const PageMessage &m : messages)
            got << QStringLiteral("%1:%2:%3:%4").arg(m.line).arg(m.column).arg(m.kind, m.text);
        QCOMPARE(got, folded);
    }

    // Tidy's messages for real pages (older doctypes, or no Java), as the
    // page check shows them.
    void tidyFaultsInPlainWords_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("unclosed") << "<p>a <b>bold</p>"
                                  << QStringList{"5:6:<b> is not closed before </p>"};
        QTest::newRow("unclosed div")
            << "<p>x</p><div>" << QStringList{"5:9:<div> is never closed"};
        QTest::newRow("stray end tag")
            << "<p>x</span></p>" << QStringList{"5:5:</span> closes nothing that is open"};
        QTest::newRow("unknown element")
            << "<blink2>x</blink2>" << QStringList{"5:1:<blink2> is not a known element"};
        QTest::newRow("li outside a list")
            << "<li>x</li>" << QStringList{"5:1:<li> must be inside <ul>, <ol> or <menu>"};
        QTest::newRow("space in a link")
            << "<a href=\"x y.html\">x</a>"
            << QStringList{"5:1:the address in <a> has characters that must be escaped, such as "
                           "spaces"};
        QTest::newRow("empty paragraph") << "<p></p><p>x</p>" << QStringList{"5:1:empty <p>"};
    }
    void tidyFaultsInPlainWords()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, shown);
        const PageCheckResult r = checkPage(
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\" "
            "\"http://www.w3.org/TR/html4/strict.dtd\">\n<html lang=\"en\">\n<head><title>t"
            "</title></head>\n<body>\n"
            + body + "\n</body>\n</html>\n");
        QList<PageMessage> messages = r.messages;
        for (PageMessage &m : messages)
            m.text = plainWords(m.text);
        std::stable_sort(messages.begin(), messages.end(),
                         [](const PageMessage &a, const PageMessage &b) {
                             return std::tie(a.line, a.column) < std::tie(b.line, b.column);
                         });
        ::foldDuplicates(&messages);
        QStringList got;
        for (const PageMessage &m : messages)
            got << QStringLiteral("%1:%2:%3").arg(m.line).arg(m.column).arg(m.text);
        QCOMPARE(got.join("\n"), shown.join("\n"));
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
            << QStringList{"E <blink2", "W <img src=a.png>"} << "<blink2>" << "\n\n"
            << QStringList{"E <blink2", "W <img src=a.png>"};
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
