// A page's references where they are written, and each resolved as a
// browser would: the reading the site check and renames rely on.
#include "pagelinks.h"

#include <QTest>

namespace {
// "line:column:length element/attribute=reference"
QStringList described(const PageLinks &links)
{
    QStringList out;
    for (const PageLink &l : links.links)
        out << QStringLiteral("%1:%2:%3 %4/%5=%6")
                   .arg(l.line)
                   .arg(l.column)
                   .arg(l.length)
                   .arg(l.element, l.attribute, l.reference);
    return out;
}

QString described(const ResolvedLink &r)
{
    static const char *kinds[] = {"Local", "External", "Other", "Fragment"};
    QString s = QLatin1String(kinds[r.kind]);
    if (r.kind == ResolvedLink::Local)
        s += u' ' + r.path;
    if (r.kind == ResolvedLink::External)
        s += u' ' + r.url;
    if (!r.query.isEmpty())
        s += u'?' + r.query;
    if (!r.fragment.isEmpty())
        s += u'#' + r.fragment;
    if (r.fileScheme)
        s += QStringLiteral(" [file]");
    if (r.backslash)
        s += QStringLiteral(" [backslash]");
    if (r.unencodedSpace)
        s += QStringLiteral(" [space]");
    if (r.rootRelative)
        s += QStringLiteral(" [root]");
    return s;
}
} // namespace

class TestPageLinks : public QObject {
    Q_OBJECT
private slots:
    void links_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("upper-case markup as the editor writes it")
            << "<P><A HREF=\"x.htm\">x</A>" << QStringList{"0:12:5 a/href=x.htm"};
        QTest::newRow("unquoted values, lines counted from 0")
            << "<p>\r\n<img alt=x src=pic.png>\r\n<A HREF=b.htm>"
            << QStringList{"1:15:7 img/src=pic.png", "2:8:5 a/href=b.htm"};
        QTest::newRow("references decoded, raw span kept")
            << "<a href=\"p.php?a=1&amp;b=2&#x41;\">"
            << QStringList{"0:9:23 a/href=p.php?a=1&b=2A"};
        QTest::newRow("each srcset address apart")
            << "<img src=a.png srcset=\"a.png 1x, b%20c.png 2x,d.png\">"
            << QStringList{"0:9:5 img/src=a.png", "0:23:5 img/srcset=a.png",
                           "0:33:9 img/srcset=b%20c.png", "0:46:5 img/srcset=d.png"};
        QTest::newRow("style attribute url() in every quoting")
            << "<div style=\"background:url('bg.png');x:url( a.png );y:URL(&quot;q.png&quot;)\">"
            << QStringList{"0:28:6 div/url=bg.png", "0:44:5 div/url=a.png",
                           "0:64:5 div/url=q.png"};
        QTest::newRow("STYLE element: @import, url(), comments and strings skipped")
            << "<STYLE>\r\n@import \"base.css\";\r\n/* url(no.png) */ p{content:\"url(no)\"}\r\n"
               "@import url(print.css) print; b{background:url(b.gif)}</STYLE>"
            << QStringList{"1:9:8 style/@import=base.css", "3:12:9 style/@import=print.css",
                           "3:47:5 style/url=b.gif"};
        QTest::newRow("nothing from comments, SCRIPT, TEXTAREA, TITLE")
            << "<title><a href=t.htm></title><!-- <a href=\"c.htm\"> -->\r\n"
               "<script>s='<a href=\"s.htm\">'</script><textarea><img src=t.png></textarea>"
               "<a href=ok.htm>"
            << QStringList{"1:81:6 a/href=ok.htm"};
        QTest::newRow("every kind of element that refers")
            << "<link rel=stylesheet href=s.css><script src=j.js></script><iframe src=f.htm>"
               "<form action=go.cgi><button formaction=b.cgi><video poster=p.jpg src=v.mp4>"
               "<object data=o.swf><q cite=c.htm><body background=bg.gif><area href=m.htm>"
            << QStringList{"0:26:5 link/href=s.css", "0:44:4 script/src=j.js",
                           "0:70:5 iframe/src=f.htm", "0:89:6 form/action=go.cgi",
                           "0:115:5 button/formaction=b.cgi", "0:135:5 video/poster=p.jpg",
                           "0:145:5 video/src=v.mp4", "0:164:5 object/data=o.swf",
                           "0:178:5 q/cite=c.htm", "0:201:6 body/background=bg.gif",
                           "0:219:5 area/href=m.htm"};
        QTest::newRow("meta refresh: the address after the delay")
            << "<meta content=\"5; URL='next.html'\" http-equiv=Refresh>"
               "<meta http-equiv=x content=\"0;url=no.htm\">"
            << QStringList{"0:23:9 meta/content=next.html"};
        QTest::newRow("first of a repeated attribute; a stray quote owns nothing")
            << "<a href=a.htm href=b.htm \"c.htm\"><img src = ' sp.png '>"
            << QStringList{"0:8:5 a/href=a.htm", "0:45:8 img/src=sp.png"};
        QTest::newRow("a value going on to the next line")
            << "<a\r\nhref=\"long\r\nname.htm\">" << QStringList{"1:6:14 a/href=long\r\nname.htm"};
        QTest::newRow("base href and ids are not links") << "<base href=\"/x/\"><p id=a>"
                                                          << QStringList{};
    }
    void links()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, expected);
        QCOMPARE(described(pageLinks(page)), expected);
    }

    void anchorsAndBase()
    {
        const PageLinks l = pageLinks(u"<BASE HREF=\"sub/\"><base href=other/><H1 ID=top>"
                                      u"<a name=\"caf&eacute;\"></a><p name=no><!-- <p id=c> -->"
                                      u"<p id=\"\">");
        QCOMPARE(l.baseHref, QStringLiteral("sub/"));
        QCOMPARE(l.anchors, (QStringList{"top", "café"}));
    }

    void stylesheet()
    {
        const PageLinks l = stylesheetLinks(u"@import 'a.css';\r\n/* url(x) */\r\n"
                                            u"p { background: url(\"img/b g.png\") }");
        QCOMPARE(described(l), (QStringList{"0:9:5 /@import=a.css", "2:21:11 /url=img/b g.png"}));
    }

    void resolve_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("siteRoot");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const QString &base, const QString &ref,
                      const QString &expected, const QString &root = QString()) {
            QTest::newRow(name) << base << ref << root << expected;
        };
        row("relative", "", "img/a.png", "Local /site/sub/img/a.png");
        row("dot and dot-dot", "", "./x/../../index.html", "Local /site/index.html");
        row("dot-dot past the root stops there", "", "../../../x.htm", "Local /x.htm");
        row("percent-decoded", "", "my%20photo%C3%A9.jpg", "Local /site/sub/my photoé.jpg");
        row("query and fragment split off", "", "a.html?x=1#part%201",
            "Local /site/sub/a.html?x=1#part 1");
        row("root-relative from the disk's root", "", "/css/a.css", "Local /css/a.css [root]");
        row("root-relative from the site root", "", "/css/a.css", "Local /site/css/a.css [root]",
            "/site");
        row("relative base", "../other/", "b.html", "Local /site/other/b.html");
        row("root-relative base from the site root", "/lib/", "b.html",
            "Local /site/lib/b.html [root]", "/site");
        row("base naming a file", "other/page.htm", "b.html", "Local /site/sub/other/b.html");
        row("absolute base makes it external", "http://example.com/d/", "b.html",
            "External http://example.com/d/b.html");
        row("absolute reference ignores a base", "../other/", "https://example.com/",
            "External https://example.com/");
        row("file URL", "", "file:///home/u/x.png", "Local /home/u/x.png [file]");
        row("back slashes", "", "img\\a.png", "Local /site/sub/img/a.png [backslash]");
        row("space not encoded", "", "my photo.jpg", "Local /site/sub/my photo.jpg [space]");
        row("host without scheme", "", "//cdn.example.com/j.js",
            "External http://cdn.example.com/j.js");
        row("ftp", "", "ftp://example.com/f", "External ftp://example.com/f");
        row("mailto", "", "mailto:a@example.com", "Other");
        row("javascript", "", "javascript:void(0)", "Other");
        row("data", "", "data:image/png;base64,AAAA", "Other");
        row("fragment alone", "", "#top", "Fragment#top");
        row("empty fragment", "", "#", "Fragment");
        row("query alone is this page", "", "?q=1", "Local /site/sub/page.html?q=1");
    }
    void resolve()
    {
        QFETCH(QString, base);
        QFETCH(QString, reference);
        QFETCH(QString, siteRoot);
        QFETCH(QString, expected);
        QCOMPARE(described(resolveLink("/site/sub/page.html", base, reference, siteRoot)),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TestPageLinks)
#include "tst_pagelinks.moc"
