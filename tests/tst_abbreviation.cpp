// Abbreviations expanded to markup: the syntax's usual shapes, the page's
// case and indent, text that is no abbreviation, and abbreviations too large
// to build, refused before they are.
#include "abbreviation.h"

#include <QTest>

Q_DECLARE_METATYPE(AbbreviationOptions)

namespace {
AbbreviationOptions options(bool upper, const QString &indent = {},
                            const QString &unit = QStringLiteral("\t"),
                            const QString &lineBreak = QStringLiteral("\n"))
{
    AbbreviationOptions o;
    o.upperCase = upper;
    o.lineIndent = indent;
    o.indentUnit = unit;
    o.lineBreak = lineBreak;
    o.charset = QStringLiteral("windows-1252");
    return o;
}

QString items(const QString &item, int n) { return QStringList(n, item).join(u'\n'); }
} // namespace

class TestAbbreviation : public QObject {
    Q_OBJECT
private slots:
    void expands_data();
    void expands();
    void refuses_data();
    void refuses();
};

// The line, the options, and the line expanded with '|' at each empty spot.
void TestAbbreviation::expands_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<AbbreviationOptions>("options");
    QTest::addColumn<QString>("expected");
    const AbbreviationOptions o = options(false);
    // clang-format off
    QTest::newRow("child") << "nav>ul>li" << o
        << "<nav>\n\t<ul>\n\t\t<li>|</li>\n\t</ul>\n</nav>";
    QTest::newRow("sibling") << "div+p+blockquote" << o
        << "<div>|</div>\n<p>|</p>\n<blockquote>|</blockquote>";
    QTest::newRow("climb") << "div+div>p>span+em^bq" << o
        << "<div>|</div>\n<div>\n\t<p><span>|</span><em>|</em></p>\n\t<bq>|</bq>\n</div>";
    QTest::newRow("climb past the top") << "div+div>p>span+em^^^bq" << o
        << "<div>|</div>\n<div>\n\t<p><span>|</span><em>|</em></p>\n</div>\n<bq>|</bq>";
    QTest::newRow("climb stops at its group") << "(ul>li^^p)+hr" << o
        << "<ul>\n\t<li>|</li>\n</ul>\n<p>|</p>\n<hr>";
    QTest::newRow("multiplication") << "ul>li*3" << o
        << "<ul>\n\t<li>|</li>\n\t<li>|</li>\n\t<li>|</li>\n</ul>";
    QTest::newRow("grouping") << "div>(header>ul>li*2>a)+footer>p" << o
        << "<div>\n\t<header>\n\t\t<ul>\n\t\t\t<li><a href=\"|\">|</a></li>\n"
           "\t\t\t<li><a href=\"|\">|</a></li>\n\t\t</ul>\n\t</header>\n"
           "\t<footer>\n\t\t<p>|</p>\n\t</footer>\n</div>";
    QTest::newRow("group multiplied") << "dl>(dt+dd)*2" << o
        << "<dl>\n\t<dt>|</dt>\n\t<dd>|</dd>\n\t<dt>|</dt>\n\t<dd>|</dd>\n</dl>";
    QTest::newRow("child of a group") << "(p+p)>b" << o << "<p>|</p>\n<p>|</p>\n<b>|</b>";
    QTest::newRow("id and classes") << "div#header+div.page+div#footer.c1.c2.c3" << o
        << "<div id=\"header\">|</div>\n<div class=\"page\">|</div>\n"
           "<div id=\"footer\" class=\"c1 c2 c3\">|</div>";
    QTest::newRow("attributes") << "td[title=\"Hello world!\" colspan=3]" << o
        << "<td title=\"Hello world!\" colspan=\"3\">|</td>";
    QTest::newRow("empty and boolean attributes") << "input[value disabled title='say \"hi\"']"
        << o << "<input type=\"text\" value=\"|\" disabled title=\"say &quot;hi&quot;\">";
    QTest::newRow("apostrophe in a value") << "x p[title=it's]" << o
        << "x <p title=\"it's\">|</p>";
    QTest::newRow("class merged from brackets") << "p.a[class=b]" << o << "<p class=\"a b\">|</p>";
    QTest::newRow("given value over the usual one") << "a[href=index.html]{Home}" << o
        << "<a href=\"index.html\">Home</a>";
    QTest::newRow("numbering") << "ul>li.item$*3" << o
        << "<ul>\n\t<li class=\"item1\">|</li>\n\t<li class=\"item2\">|</li>\n"
           "\t<li class=\"item3\">|</li>\n</ul>";
    QTest::newRow("numbered name, value and text") << "h$[title=item$]{Header $}*2" << o
        << "<h1 title=\"item1\">Header 1</h1>\n<h2 title=\"item2\">Header 2</h2>";
    QTest::newRow("'$' outside any count") << "p.x${$5}" << o << "<p class=\"x$\">$5</p>";
    QTest::newRow("zero-padded") << "p.n$$$*2" << o
        << "<p class=\"n001\">|</p>\n<p class=\"n002\">|</p>";
    QTest::newRow("descending") << "p.n$@-*3" << o
        << "<p class=\"n3\">|</p>\n<p class=\"n2\">|</p>\n<p class=\"n1\">|</p>";
    QTest::newRow("from a number") << "p.n$@3*2" << o
        << "<p class=\"n3\">|</p>\n<p class=\"n4\">|</p>";
    QTest::newRow("descending to a number") << "p.n$@-3*2" << o
        << "<p class=\"n4\">|</p>\n<p class=\"n3\">|</p>";
    QTest::newRow("numbered from the nearest count") << "(p>b.x$)*2" << o
        << "<p><b class=\"x1\">|</b></p>\n<p><b class=\"x2\">|</b></p>";
    QTest::newRow("text holding '>' and spaces") << "p{a > b}" << o << "<p>a > b</p>";
    QTest::newRow("text around an element") << "p>{Click }+a{here}+{ to go on}" << o
        << "<p>Click <a href=\"|\">here</a> to go on</p>";
    QTest::newRow("implicit div") << ".wrap" << o << "<div class=\"wrap\">|</div>";
    QTest::newRow("implicit item") << "ol>.x" << o << "<ol>\n\t<li class=\"x\">|</li>\n</ol>";
    QTest::newRow("implicit rows and cells") << "table>.r>.c" << o
        << "<table>\n\t<tr class=\"r\">\n\t\t<td class=\"c\">|</td>\n\t</tr>\n</table>";
    QTest::newRow("implicit options") << "select>.o*2" << o
        << "<select>\n\t<option class=\"o\">|</option>\n\t<option class=\"o\">|</option>\n</select>";
    QTest::newRow("implicit span") << "em>.x" << o << "<em><span class=\"x\">|</span></em>";
    QTest::newRow("inline children on one line") << "form>label+input" << o
        << "<form action=\"|\"><label for=\"|\">|</label><input type=\"text\"></form>";
    QTest::newRow("block in an inline element") << "a>div" << o
        << "<a href=\"|\">\n\t<div>|</div>\n</a>";
    QTest::newRow("void elements") << "img+br+hr+link" << o
        << "<img src=\"|\" alt=\"|\">\n<br>\n<hr>\n<link rel=\"stylesheet\" href=\"|\">";
    QTest::newRow("filler words") << "p>lorem12" << o
        << "<p>Lorem ipsum dolor sit amet campus silva mare. Ventus porta lumen ager.</p>";
    QTest::newRow("filler goes on") << "p*2>lorem3" << o
        << "<p>Lorem ipsum dolor.</p>\n<p>Sit amet campus.</p>";
    QTest::newRow("page") << "!" << o
        << "<!DOCTYPE html>\n<html lang=\"en\">\n\t<head>\n\t\t<meta charset=\"windows-1252\">\n"
           "\t\t<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0\">\n"
           "\t\t<title>|</title>\n\t</head>\n\t<body>|</body>\n</html>";
    QTest::newRow("after a tag") << "<p>ul>li" << o << "<p><ul>\n\t<li>|</li>\n</ul>";
    QTest::newRow("after text") << "Some text a[title=\"a b\"]" << o
        << "Some text <a href=\"|\" title=\"a b\">|</a>";
    QTest::newRow("after a tag's attribute") << "<p hidden>ul" << o << "<p hidden><ul>|</ul>";
    QTest::newRow("upper case") << "ul>li*2>a" << options(true)
        << "<UL>\n\t<LI><A HREF=\"|\">|</A></LI>\n\t<LI><A HREF=\"|\">|</A></LI>\n</UL>";
    QTest::newRow("indented line") << "  ul>li" << options(false, "  ", "  ")
        << "  <ul>\n    <li>|</li>\n  </ul>";
    QTest::newRow("CR LF") << "ul>li" << options(false, {}, "\t", "\r\n")
        << "<ul>\r\n\t<li>|</li>\r\n</ul>";
    QTest::newRow("as many as allowed") << "li*10000" << o << items("<li>|</li>", 10000);
    // clang-format on
}

void TestAbbreviation::expands()
{
    QFETCH(QString, line);
    QFETCH(AbbreviationOptions, options);
    QFETCH(QString, expected);
    const Expansion e = expandAbbreviation(line, options);
    QVERIFY2(e.error.isEmpty(), qPrintable(e.error));
    QString got = e.markup;
    for (qsizetype i = e.emptySpots.size() - 1; i >= 0; --i)
        got.insert(e.emptySpots[i], u'|');
    QCOMPARE(line.left(e.abbreviationStart) + got, expected);
}

void TestAbbreviation::refuses_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("error"); // a part of it
    // clang-format off
    QTest::newRow("empty") << "" << "Nothing to expand";
    QTest::newRow("after a space") << "ul " << "Nothing to expand";
    QTest::newRow("not one") << "x=y" << "Nothing to expand";
    QTest::newRow("dangling child") << "ul>" << "Nothing follows \">\"";
    QTest::newRow("dangling sibling") << "ul+" << "Nothing follows \"+\"";
    QTest::newRow("count missing") << "ul>li*" << "number";
    QTest::newRow("zero count") << "li*0" << "\"*0\"";
    QTest::newRow("open group") << "(ul>li" << "parenthesis";
    QTest::newRow("closed group") << "ul>li)" << "parenthesis";
    QTest::newRow("no shorter run") << "x)>b" << "parenthesis";
    QTest::newRow("nothing made") << "{}+lorem0" << "makes nothing";
    QTest::newRow("empty group") << "()" << "Unexpected \")\"";
    QTest::newRow("open bracket") << "a[title=x" << "bracket";
    QTest::newRow("closed bracket") << "a]" << "bracket";
    QTest::newRow("unclosed quote") << "a[title=\"x]" << "Unclosed quote";
    QTest::newRow("open brace") << "p{hello" << "brace";
    QTest::newRow("closed brace") << "p}" << "brace";
    QTest::newRow("name not a name") << "p+$" << "Unexpected \"$\"";
    QTest::newRow("class name missing") << "div..x" << "A name must follow \".\"";
    QTest::newRow("inside text") << "{x}>b" << "Text holds no elements";
    QTest::newRow("inside a void element") << "img>p" << "<img> takes no content";
    QTest::newRow("too many") << "li*10001" << "more than 10,000 elements";
    QTest::newRow("too many in groups") << "(((a*10)*10)*10)*11" << "more than 10,000";
    QTest::newRow("too many below a group") << "(a*100)*2>b*5000" << "more than 10,000";
    QTest::newRow("too many siblings") << "(a+b*5000)*2" << "more than 10,000";
    QTest::newRow("huge count") << "ul>li*99999999999999999999" << "more than 10,000";
    QTest::newRow("too many words") << "lorem20000" << "more than 10,000 words";
    QTest::newRow("too much text") << "p{" + QString(1000, u'x') + "}*10000" << "too much markup";
    QTest::newRow("too deep") << QString("a>").repeated(100) + "a" << "levels deep";
    QTest::newRow("groups too deep")
        << QString(5000, u'(') + "a" + QString(5000, u')') << "levels deep";
    QTest::newRow("long hostile line") << QString("a>").repeated(500000) + "a" << "too long";
    QTest::newRow("too long") << QString(20000, u'a') << "too long";
    // clang-format on
}

void TestAbbreviation::refuses()
{
    QFETCH(QString, line);
    QFETCH(QString, error);
    const Expansion e = expandAbbreviation(line, {});
    QVERIFY2(e.error.contains(error), qPrintable(e.error));
    QCOMPARE(e.abbreviationStart, -1);
    QCOMPARE(e.nothing, error.startsWith(QLatin1String("Nothing to expand")));
    QVERIFY(e.markup.isEmpty());
}

QTEST_GUILESS_MAIN(TestAbbreviation)
#include "tst_abbreviation.moc"
