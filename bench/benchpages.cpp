#include "benchpages.h"

#include <QFile>

#include <algorithm>

namespace bench {

QByteArray generatePage(int lines)
{
    QByteArray out;
    out.reserve(qsizetype(lines) * 74);
    out += "<HTML>\r\n<HEAD>\r\n<TITLE>Generated page</TITLE>\r\n</HEAD>\r\n<BODY>\r\n";
    const int step = std::max(1, lines / 1000);
    int targets = 0;
    for (int i = 5; i < lines - 2; ++i) {
        if ((i - 5) % step == 0 && targets < 1000) {
            out += "<A NAME=\"t" + QByteArray::number(targets++)
                   + "\"></A> section heading text "
                     "that fills this line up to size ok\r\n";
        } else {
            out += "Line " + QByteArray::number(i).rightJustified(8, '0')
                   + " of plain text with <B>markup</B> in the middle of it.\r\n";
        }
    }
    out += "</BODY>\r\n</HTML>\r\n";
    return out;
}

QByteArray handWrittenPage(qsizetype bytes)
{
    QByteArray out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                     "<title>Notes from the allotment</title>\n"
                     "<link rel=\"stylesheet\" href=\"style.css\">\n</head>\n<body>\n<header>\n"
                     "<h1>Notes from the allotment</h1>\n<nav><ul>\n"
                     "<li><a href=\"/\" aria-current=\"page\">Home</a></li>\n"
                     "<li><a href=\"/about.html\">About</a></li>\n</ul></nav>\n</header>\n<main>\n";
    out.reserve(bytes + 4096);
    for (int i = 0; out.size() < bytes; ++i) {
        const QByteArray n = QByteArray::number(i);
        out += "<section id=\"week" + n + "\">\n<h2>Week " + n
               + "</h2>\n<p>The <em>beans</em> came up at last, and the <strong>tomatoes</strong>\n"
                 "need tying in before the wind gets up. See <a href=\"week"
               + n
               + ".html\">last week's notes</a> for the sowing dates.</p>\n"
                 "<ul>\n<li>Water the greenhouse</li>\n<li>Turn the compost</li>\n</ul>\n";
        if (i % 5 == 0)
            out += "<figure>\n<img src=\"plot" + n
                   + ".jpg\" alt=\"The plot in spring\" loading=\"lazy\" width=\"640\" "
                     "height=\"480\">\n<figcaption>The plot, week "
                   + n + "</figcaption>\n</figure>\n";
        if (i % 7 == 0)
            out += "<table>\n<tr><th>Crop</th><th>Sown</th></tr>\n"
                   "<tr><td>Beans</td><td>April</td></tr>\n</table>\n";
        if (i % 11 == 0)
            out += "<form action=\"/notes\" method=\"post\">\n<label for=\"q" + n
                   + "\">Your note</label>\n<input id=\"q" + n
                   + "\" name=\"note\" minlength=\"2\">\n<button>Send</button>\n</form>\n";
        // Rare enough that an 8 MB page stays under the checker's limit of
        // messages (it stops reading the page there).
        if (i % 89 == 0)
            out += "<p><img src=\"shed" + n + ".jpg\"></p>\n";
        if (i % 211 == 0)
            out += "<ul>\n<div>Seeds to order</div>\n</ul>\n";
        out += "</section>\n";
    }
    out += "</main>\n<footer><p>&copy; 2026 The allotment</p></footer>\n</body>\n</html>\n";
    return out;
}

// ------------------------------------------------------------ page families
// Pages shaped like today's web rather than like the editor's own output:
// lower-case markup, long and one-line pages, inline scripts. Each is
// generated here; sizes in bytes.

namespace {

// A piece of generated-documentation markup, numbered.
QByteArray docItem(int i)
{
    const QByteArray n = QByteArray::number(i);
    return "<div class=\"item-row\" id=\"i" + n + "\"><span class=\"name\"><a href=\"struct." + n
           + ".html#method.get\" title=\"method get_" + n + "\">get_" + n
           + "</a></span><span class=\"sig\">fn(&amp;self) -&gt; Option&lt;&amp;T&gt;</span>"
             "<div class=\"docblock\">Returns a reference to item "
           + n + ".</div></div>";
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

} // namespace

void Family::writeTo(const QString &path) const
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    write(f);
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
        list.push_back(
            {QStringLiteral("generated docs %1 MB").arg(m),
             QStringLiteral("LF lines of 10,000-50,000 chars of nested div/span/a"), [=](QFile &f) {
                 f.write("<!doctype html>\n<html><head><title>d</title></head>\n"
                         "<body>\n");
                 int c = 0;
                 for (qsizetype done = 0, i = 0; done < mb(m); ++i) {
                     const QByteArray line = lineOf(10000 + (i * 7919) % 40000, c, docItem) + "\n";
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
                    QStringLiteral("the same, guessed from its first megabyte"), legacy(""), false,
                    true});
    list.push_back({QStringLiteral("legacy 70 MB, windows-1252 declared"),
                    QStringLiteral("the same bytes read as Windows-1252, as before guessing"),
                    legacy("<meta charset=\"windows-1252\">\r\n"), false, true});
    // Hostile pages.
    list.push_back({QStringLiteral("hostile: one 100 MB line"), QStringLiteral("refused"),
                    [=](QFile &f) { fillWith(f, mb(100), 'a'); }, true, true});
    list.push_back({QStringLiteral("hostile: 250 MB of '<'"), QStringLiteral("refused"),
                    [=](QFile &f) { fillWith(f, mb(250), '<'); }, true, true});
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

} // namespace bench
