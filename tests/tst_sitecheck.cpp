// The site check: small sites written to a temporary folder, each with its
// faults on known lines among working references, checked by the engine,
// by the command line and from the pane (which touches the network only
// when asked, and then only with HEAD requests).
#include "editorbox.h"
#include "linkprobe.h"
#include "mainwindow.h"
#include "sitecheck.h"
#include "sitecheckpane.h"
#include "sitefolder.h"
#include "testsupport.h"
#include "workbench.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTreeWidget>

namespace {
// Files as "path", "content" pairs; lines joined with CR LF.
using Files = QStringList;

bool writeSite(const QString &root, const Files &files)
{
    for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
        const QString path = root + u'/' + files[i];
        QDir().mkpath(QFileInfo(path).path());
        QString text = files[i + 1];
        text.replace(u'\n', QStringLiteral("\r\n"));
        if (!writeBytes(path, text.toUtf8()))
            return false;
    }
    return true;
}

// "path:line:column Kind", then the text when `words`.
QStringList described(const SiteCheckResult &r, const QString &root, bool words = false)
{
    QStringList out;
    for (const SiteMessage &m : r.messages)
        out << QStringLiteral("%1:%2:%3 %4%5")
                   .arg(QDir(root).relativeFilePath(m.path))
                   .arg(m.message.line)
                   .arg(m.message.column)
                   .arg(m.message.kind, words ? u' ' + m.message.text : QString());
    return out;
}

// Answers HEAD requests: 404 for paths starting /missing, 200 otherwise.
class HeadServer : public QTcpServer {
public:
    QStringList requests; // "METHOD /path"
    HeadServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->peek(8192);
                    if (!request.contains("\r\n\r\n"))
                        return;
                    s->readAll();
                    const QList<QByteArray> first = request.split('\n').first().split(' ');
                    requests << QString::fromLatin1(first.value(0) + ' ' + first.value(1));
                    s->write(first.value(1).startsWith("/missing")
                                 ? "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                                   "Connection: close\r\n\r\n"
                                 : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n"
                                   "Connection: close\r\n\r\n");
                    s->disconnectFromHost();
                });
            }
        });
    }
    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QLatin1String(path));
    }
};

const Files kWorkingSite = {
    "index.html",
    "<LINK REL=stylesheet HREF=\"css/site.css\">\n"
    "<a href=\"sub/page%20one.html?x=1#Part\">one</a> <a href=\"sub/\">folder</a>\n"
    "<a href=\"#top\">top</a> <a href=\"#\" id=here>x</a> <a href=\"#here\">here</a>\n"
    "<img src=\"img/a.png\" srcset=\"img/b.png 2x\"><div style=\"background:url(img/c.png)\">\n"
    "<a href=\"mailto:x@example.com\">m</a> <a href=\"javascript:void(0)\">j</a>\n"
    "<!-- <a href=\"gone.html\"> --><script>x = '<img src=\"gone.png\">'</script>\n",
    "sub/page one.html",
    "<base href=\"../\"><a name=\"Part\"></a><a href=\"index.html\">home</a>\n"
    "<style>@import url(\"css/print.css\"); p{background:url(img/e.png)}</style>\n",
    "sub/index.html",
    "<a href=\"../sub/page%20one.html#Part\">one</a>",
    "css/site.css",
    "@import \"print.css\";\nbody{background:url('../img/d.png')} /* url(no.png) */",
    "css/print.css",
    "",
    "img/a.png",
    "x",
    "img/b.png",
    "x",
    "img/c.png",
    "x",
    "img/d.png",
    "x",
    "img/e.png",
    "x",
    ".git/config",
    "x",
    ".hidden.png",
    "x",
};
} // namespace

class TestSiteCheck : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (!runsWithoutWindows({"faults", "cancelled", "commandLine"}))
            m_ui = startWithScriptedUi();
    }
    void cleanup() { QVERIFY(stopWithScriptedUi(m_ui)); }

    void faults_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QString>("openIndex"); // index.html's unsaved text; empty: none
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("working references of every kind raise nothing")
            << kWorkingSite << QString() << QStringList{};
        QTest::newRow("missing page, image and stylesheet")
            << Files{"index.html",
                     "<p>\n<A HREF=\"contact.html\">c</A>\n<img src=\"img/none.png\">",
                     "a.css", "x{background:url(gone.gif)}", "b.htm",
                     "<link rel=stylesheet href=a.css><a href=index.html>"}
            << QString()
            << QStringList{"a.css:1:18 Error", "b.htm:1:1 Advice", "index.html:2:10 Error",
                           "index.html:3:11 Error"};
        QTest::newRow("folder without index.html, and one with index.htm")
            << Files{"index.html", "<a href=\"empty/\">e</a><a href=old>o</a>", "empty/x.txt",
                     "x", "old/index.htm", "<a href=../index.html>"}
            << QString() << QStringList{"index.html:1:10 Error"};
        QTest::newRow("fragments naming nothing, here and in another page")
            << Files{"index.html", "<a href=#nowhere>\n<a href=\"p.html#gone\">\n<a href=p.html#here>",
                     "p.html", "<h1 id=here><a href=index.html#TOP>"}
            << QString() << QStringList{"index.html:1:9 Error", "index.html:2:10 Error"};
        QTest::newRow("names that match only when case is ignored")
            << Files{"index.html", "<img src=\"img/Photo.JPG\">\n<a href=Sub/>", "img/photo.jpg",
                     "x", "sub/index.html", "<a href=../index.html>"}
            << QString()
            << QStringList{"img/photo.jpg:1:1 Advice", "index.html:1:11 Error",
                           "index.html:2:9 Error", "sub/index.html:1:1 Advice"};
        QTest::newRow("written to work on this machine only")
            << Files{"index.html",
                     "<img src=\"img\\a.png\">\n<img src=\"my photo.png\">\n"
                     "<img src=\"file:///tmp/a.png\">\n<img src=\"/img/a.png\">",
                     "img/a.png", "x", "my photo.png", "x"}
            << QString()
            << QStringList{"index.html:1:11 Error", "index.html:2:11 Warning",
                           "index.html:3:11 Error", "index.html:4:11 Warning"};
        QTest::newRow("files nothing links to")
            << Files{"index.html",   "<p>", "other.html", "<a href=index.html>",
                     "img/old.png",  "x",   "js/app.js",  "x",
                     "fonts/f.woff2", "x",  "notes.txt",  "x",
                     ".hidden.png",  "x",   "sub/index.html", "<p>"}
            << QString()
            << QStringList{"fonts/f.woff2:1:1 Advice", "img/old.png:1:1 Advice",
                           "js/app.js:1:1 Advice", "other.html:1:1 Advice",
                           "sub/index.html:1:1 Advice"};
        QTest::newRow("an open page is checked as it stands in the editor")
            << Files{"index.html", "<a href=gone.html>"} << QStringLiteral("<p>\r\n<a href=no.htm>")
            << QStringList{"index.html:2:9 Error"};
    }
    void faults()
    {
        QFETCH(Files, files);
        QFETCH(QString, openIndex);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(writeSite(dir.path(), files));
        QHash<QString, QString> open;
        if (!openIndex.isEmpty())
            open.insert(dir.filePath(QStringLiteral("index.html")), openIndex);
        const SiteCheckResult r = checkSite(dir.path(), open);
        QCOMPARE(described(r, dir.path()), expected);
        QVERIFY(!r.cancelled && !r.unreadable);
    }

    void cancelled()
    {
        QTemporaryDir dir;
        QVERIFY(writeSite(dir.path(), kWorkingSite));
        JobControl control;
        control.cancel();
        const SiteCheckResult r = checkSite(dir.path(), {}, &control);
        QVERIFY(r.cancelled);
        QCOMPARE(r.messages.size(), 0);
    }

    void commandLine_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("status");
        QTest::newRow("faults by path then line, error status")
            << Files{"site/index.html", "<a href=b.html>\n<img src=img/X.png>", "site/b.html",
                     "<a href=\"#no\">", "site/img/x.png", "x"}
            << "site"
            << "site/b.html:1:10: error: `#no` names no id or <a name> of this page (<a href>)\n"
               "site/img/x.png:1:1: advice: nothing links to img/x.png\n"
               "site/index.html:2:10: error: `img/X.png` does not exist (<img src>); did you "
               "mean img/x.png? Names differ by case on most servers\n"
            << 1;
        QTest::newRow("a clean site, the current folder") << kWorkingSite << "." << "" << 0;
        QTest::newRow("warnings alone pass") << Files{"index.html", "<a href=\"/index.html\">"}
                                             << "." << "index.html:1:10: warning: `/index.html` "
                                                       "starts with / (<a href>): it works only "
                                                       "when this folder is the server's top "
                                                       "folder; a relative address works anywhere\n"
                                             << 0;
        QTest::newRow("no such folder") << Files{} << "none" << "" << 2;
    }
    void commandLine()
    {
        QFETCH(Files, files);
        QFETCH(QString, folder);
        QFETCH(QString, out);
        QFETCH(int, status);
        QTemporaryDir dir;
        QVERIFY(writeSite(dir.path(), files));
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TAGLOOM_HTML_BINARY), {QStringLiteral("--check-site"), folder});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
    }

    // Tools > Check Site on the open folder; a row chosen opens its file
    // with the reference selected.
    void menuAndRows()
    {
        QTemporaryDir dir;
        QVERIFY(writeSite(dir.path(), {"index.html", "<p>\n<a href=\"gone.html\">g</a>"}));
        Workbench *bench = ZediDove->workbench();
        bench->siteFolder()->setPath(dir.path());
        SiteCheckPane *pane = bench->siteCheck();
        ZediDove->findChild<QAction *>(QStringLiteral("ToolsCheckSite"))->trigger();
        QTRY_VERIFY(!pane->isChecking());
        QVERIFY(pane->isVisible());
        QCOMPARE(pane->rows()->topLevelItemCount(), 1);
        QTreeWidgetItem *row = pane->rows()->topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("index.html"));
        emit pane->rows()->itemActivated(row, 0);
        QCOMPARE(QDir::cleanPath(ZediDove->workbench()->recentFiles().value(0)),
                 dir.filePath(QStringLiteral("index.html")));
        QCOMPARE(editor()->textCursor().selectedText(), QStringLiteral("gone.html"));
        markAllUnchanged();
    }

    // Nothing is sent until the button is pressed and the question answered
    // Yes; then one HEAD request an address, and a row for each that fails.
    void externalOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("asked, answered No: nothing sent") << false;
        QTest::newRow("asked, answered Yes: HEAD requests") << true;
    }
    void externalOnlyWhenAsked()
    {
        QFETCH(bool, yes);
        HeadServer server;
        QVERIFY(server.isListening());
        QTemporaryDir dir;
        QVERIFY(writeSite(dir.path(), {"index.html", QStringLiteral("<a href=\"%1\">\n<a href=\"%2\">")
                                                         .arg(server.url("/ok"),
                                                              server.url("/missing"))}));
        SiteCheckPane *pane = ZediDove->workbench()->siteCheck();
        pane->check(dir.path(), {});
        QTRY_VERIFY(!pane->isChecking());
        QCOMPARE(pane->result().external.size(), 2);
        QCOMPARE(pane->rows()->topLevelItemCount(), 0);
        QCoreApplication::processEvents();
        QVERIFY(!server.hasPendingConnections() && server.requests.isEmpty());

        m_ui->confirmAnswers.enqueue(yes);
        pane->findChild<QPushButton *>(QStringLiteral("CheckExternalLinks"))->click();
        QCOMPARE(m_ui->confirms,
                 QStringList{"Send a HEAD request to each of the 2 external addresses?"});
        if (!yes) {
            QVERIFY(!pane->probe()->isRunning());
            QCOMPARE(server.requests, QStringList{});
            return;
        }
        QTRY_VERIFY(!pane->probe()->isRunning());
        server.requests.sort();
        QCOMPARE(server.requests, (QStringList{"HEAD /missing", "HEAD /ok"}));
        QCOMPARE(pane->rows()->topLevelItemCount(), 1);
        QCOMPARE(pane->rows()->topLevelItem(0)->text(1), QStringLiteral("2"));
        QVERIFY(pane->rows()->topLevelItem(0)->text(4).contains(QStringLiteral("404")));
    }

private:
    ScriptedUi *m_ui = nullptr;
};

QTEST_MAIN(TestSiteCheck)
#include "tst_sitecheck.moc"
