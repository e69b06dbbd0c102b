// What a page in the preview may reach: the local files of its folder only,
// devices refused, remote requests blocked and counted, its scripts kept to
// its folder and off the network, links opened in the system's browser, and
// no moving itself elsewhere.
#include "previewfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QNetworkInterface>
#include <QPushButton>
#include <QTcpServer>
#include <QUdpSocket>
#include <QUrl>
#include <QWebEngineView>

#include <sys/stat.h>

class TestPreviewGuard : public QObject, PreviewFixture {
    Q_OBJECT

    // Rows named "long page" are handed over in one piece.
    static PreviewPane::Timing rowTiming()
    {
        PreviewPane::Timing timing;
        if (QByteArray(QTest::currentDataTag()).startsWith("long page"))
            timing.onePieceBytes = 0;
        return timing;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QImage pic(40, 30, QImage::Format_RGB32);
        pic.fill(Qt::red);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("img")));
        QVERIFY(pic.save(m_dir.filePath(QStringLiteral("pic.png"))));
        QVERIFY(pic.save(m_dir.filePath(QStringLiteral("img/sub pic.png"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), m_dir.filePath(QStringLiteral("zero.png"))));
        QVERIFY(mkfifo(QFile::encodeName(m_dir.filePath(QStringLiteral("pipe.png"))).constData(),
                       0600) == 0);
    }
    void init() { m_ui = new ScriptedUi; }
    void cleanup() { clear(); }

    void localFiles_data()
    {
        QTest::addColumn<QString>("img");
        QTest::addColumn<int>("width");  // of the image once the page has loaded
        QTest::addColumn<int>("refused");
        const QString dir = m_dir.path();
        QTest::newRow("relative") << "<img src=\"pic.png\">" << 40 << 0;
        QTest::newRow("subfolder, space in the name") << "<img src=\"img/sub%20pic.png\">" << 40 << 0;
        QTest::newRow("page's own BASE")
            << "<base href=\"img/\"><img src=\"sub pic.png\">" << 40 << 0;
        QTest::newRow("absolute path") << "<img src=\"" + dir + "/pic.png\">" << 40 << 0;
        QTest::newRow("file URL") << "<img src=\"file://" + dir + "/pic.png\">" << 40 << 0;
        QTest::newRow("missing") << "<img src=\"nothing.png\">" << 0 << 1;
        QTest::newRow("/dev/zero") << "<IMG SRC=\"/dev/zero\">" << 0 << 1;
        QTest::newRow("file URL of /dev/zero") << "<img src=\"file:///dev/zero\">" << 0 << 1;
        QTest::newRow("link to /dev/zero") << "<img src=\"zero.png\">" << 0 << 1;
        QTest::newRow("named pipe") << "<img src=\"pipe.png\">" << 0 << 1;
        QTest::newRow("/proc") << "<img src=\"/proc/self/environ\">" << 0 << 1;
        // A long page goes to the engine as a private copy: its addresses
        // still stand for the document's folder, and for nothing else.
        QTest::newRow("long page: relative") << "<img src=\"pic.png\">" << 40 << 0;
        QTest::newRow("long page: subfolder") << "<img src=\"img/sub%20pic.png\">" << 40 << 0;
        QTest::newRow("long page: absolute path") << "<img src=\"" + dir + "/pic.png\">" << 40 << 0;
        QTest::newRow("long page: file URL of /dev/zero") << "<img src=\"file:///dev/zero\">" << 0
                                                          << 1;
        QTest::newRow("long page: above its copy") << "<img src=\"../pic.png\">" << 0 << 1;
    }
    void localFiles()
    {
        QFETCH(QString, img);
        QFETCH(int, width);
        QFETCH(int, refused);
        QVERIFY(show("<title>pictures</title>" + img, rowTiming())); // loads to its end
        QCOMPARE(evaluate(m_pane, QStringLiteral("document.images[0].naturalWidth")).toInt(), width);
        QCOMPARE(m_pane->refusedFiles(), refused);
        QCOMPARE(m_pane->blockedRequests(), 0);
    }

    void remoteRequests_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<int>("blocked");
        QTest::newRow("image over http") << "<img src=\"http://example.com/a.png\">" << 1;
        QTest::newRow("image over https") << "<img src=\"https://example.com/a.png\">" << 1;
        QTest::newRow("style sheet") << "<link rel=stylesheet href=\"https://example.com/a.css\">"
                                     << 1;
        QTest::newRow("frame") << "<iframe src=\"https://example.org/\"></iframe>" << 1;
        QTest::newRow("protocol-relative, with a local image")
            << "<img src=\"//example.com/a.png\"><img src=\"pic.png\">" << 0;
        QTest::newRow("several") << "<img src=\"http://example.com/1.png\">"
                                    "<img src=\"http://example.com/2.png\">"
                                    "<link rel=stylesheet href=\"http://example.net/s.css\">"
                                 << 3;
    }
    void remoteRequests()
    {
        QFETCH(QString, html);
        QFETCH(int, blocked);
        QVERIFY(show(html));
        QCOMPARE(m_pane->blockedRequests(), blocked);
        if (blocked)
            QVERIFY(m_pane->findChild<QLabel *>(QStringLiteral("PreviewBlocked"))
                        ->text()
                        .contains(QString::number(blocked)));
        // Allowed for this document, nothing more is blocked...
        auto *allow = m_pane->findChild<QPushButton *>(QStringLiteral("LoadRemoteContent"));
        QVERIFY(!allow->isChecked());
        const int loads = m_pane->loadsFinished();
        allow->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_pane->loadsFinished() > loads, kLoadMs);
        QCOMPARE(m_pane->blockedRequests(), blocked);
        // ...and not for the next one.
        EditorBox other;
        other.loadText(html);
        m_pane->setEditor(&other, m_dir.path());
        QVERIFY(!m_pane->remoteContentAllowed());
        QCOMPARE(m_pane->blockedRequests(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_pane->blockedRequests(), blocked, kLoadMs);
        m_pane->setEditor(nullptr, QString());
    }

    // A page's scripts read what a web server holding its folder would give
    // them, and nothing else: no file above the folder, through a link, by a
    // file: address or an encoded "..", no dot-file, nothing but the kinds a
    // page loads. WebRTC sends nothing anywhere and counts as blocked.
    void hostileScripts_data()
    {
        QTest::addColumn<QString>("script"); // sets the title to what it got
        QTest::addColumn<QString>("got");
        const QString fetch = QStringLiteral(
            "fetch('%1').then(r => r.ok ? r.text() : 'refused', () => 'refused')"
            ".then(t => document.title = t)");
        const QString xhr = QStringLiteral(
            "const x = new XMLHttpRequest(); x.open('GET', '%1', false);"
            "try { x.send(); document.title = x.status === 200 ? x.responseText : 'refused'; }"
            "catch (e) { document.title = 'refused'; }");
        const QString top = m_dir.path();
        QTest::newRow("own folder's style sheet") << xhr.arg("style.css") << "in the folder";
        QTest::newRow("own folder's, by file: address")
            << fetch.arg("file://" + top + "/site/style.css") << "in the folder";
        QTest::newRow("module script") << QStringLiteral(
            "import('./js/mod.mjs').then(m => document.title = m.text,"
            "  () => document.title = 'refused')")
                                       << "from a module";
        QTest::newRow("subfolder's script") << xhr.arg("js/app.js") << "in a subfolder";
        QTest::newRow("above the folder") << fetch.arg("../secret.css") << "refused";
        QTest::newRow("above, absolute") << xhr.arg(top + "/secret.css") << "refused";
        QTest::newRow("/etc/passwd, synchronous") << xhr.arg("/etc/passwd") << "refused";
        QTest::newRow("file: address") << fetch.arg("file:///etc/hostname") << "refused";
        QTest::newRow("file: address above") << xhr.arg("file://" + top + "/secret.css")
                                             << "refused";
        QTest::newRow("encoded ..") << fetch.arg("%2e%2e/secret.css") << "refused";
        QTest::newRow("encoded slashes") << fetch.arg("..%2F..%2Fsecret.css") << "refused";
        QTest::newRow("link leaving the folder") << fetch.arg("out.css") << "refused";
        QTest::newRow("dot-file") << fetch.arg(".env.css") << "refused";
        QTest::newRow("dot-folder") << xhr.arg(".git/config.css") << "refused";
        QTest::newRow("not a kind a page loads") << fetch.arg("notes.txt") << "refused";
        // The same, from a long page handed over as a private copy.
        QTest::newRow("long page: own folder's style sheet") << xhr.arg("style.css")
                                                             << "in the folder";
        QTest::newRow("long page: module script") << QStringLiteral(
            "import('./js/mod.mjs').then(m => document.title = m.text,"
            "  () => document.title = 'refused')")
                                                  << "from a module";
        QTest::newRow("long page: above the folder") << fetch.arg("../secret.css") << "refused";
        QTest::newRow("long page: above, synchronous") << xhr.arg("../secret.css") << "refused";
        QTest::newRow("long page: /etc/passwd") << xhr.arg("/etc/passwd") << "refused";
        QTest::newRow("long page: file: address") << xhr.arg("file:///etc/hostname") << "refused";
        QTest::newRow("long page: encoded ..") << xhr.arg("%2e%2e/secret.css") << "refused";
        QTest::newRow("long page: link leaving the folder") << xhr.arg("out.css") << "refused";
        QTest::newRow("long page: dot-file") << xhr.arg(".env.css") << "refused";
        QTest::newRow("WebRTC") << QStringLiteral(
            "try { const c = new RTCPeerConnection({iceServers: [{urls: 'stun:%3:%1'},"
            "  {urls: 'turn:%3:%2?transport=tcp', username: 'u', credential: 'c'}]});"
            "  c.createDataChannel('d'); c.createOffer().then(o => c.setLocalDescription(o));"
            "  document.title = 'made'; } catch (e) { document.title = 'refused'; }")
                                << "refused";
        QTest::newRow("WebRTC from a new frame") << QStringLiteral(
            "const f = document.createElement('iframe'); document.documentElement.appendChild(f);"
            "try { const c = new f.contentWindow.RTCPeerConnection("
            "  {iceServers: [{urls: 'stun:%3:%1'}, {urls: 'turn:%3:%2?transport=tcp',"
            "   username: 'u', credential: 'c'}]});"
            "  c.createDataChannel('d'); c.createOffer().then(o => c.setLocalDescription(o));"
            "  document.title = 'made'; } catch (e) { document.title = 'refused'; }")
                                            << "refused";
        // The same connection from windows reached without their element.
        const QString connect = QStringLiteral(
            "try { const c = new w.RTCPeerConnection("
            "  {iceServers: [{urls: 'stun:%3:%1'}, {urls: 'turn:%3:%2?transport=tcp',"
            "   username: 'u', credential: 'c'}]});"
            "  c.createDataChannel('d'); c.createOffer().then(o => c.setLocalDescription(o));"
            "  document.title = 'made'; } catch (e) { document.title = 'refused'; }");
        QTest::newRow("WebRTC from a new frame, by window.frames")
            << "document.documentElement.innerHTML += '<iframe></iframe>'; const w = frames[0];"
                   + connect
            << "refused";
        QTest::newRow("WebRTC from a frame in a new frame")
            << "document.documentElement.appendChild(document.createElement('iframe'));"
               "const d = frames[0].document;"
               "d.documentElement.appendChild(d.createElement('iframe')); const w = frames[0].frames[0];"
                   + connect
            << "refused";
    }
    void hostileScripts()
    {
        QFETCH(QString, script);
        QFETCH(QString, got);
        const QString site = m_dir.filePath(QStringLiteral("site"));
        const auto write = [](const QString &path, const QByteArray &text) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
        };
        QVERIFY(write(m_dir.filePath(QStringLiteral("secret.css")), "the secret"));
        QVERIFY(write(site + "/style.css", "in the folder"));
        QVERIFY(write(site + "/js/app.js", "in a subfolder"));
        QVERIFY(write(site + "/js/mod.mjs", "export const text = 'from a module';"));
        QVERIFY(write(site + "/.env.css", "dot"));
        QVERIFY(write(site + "/.git/config.css", "dot folder"));
        QVERIFY(write(site + "/notes.txt", "notes"));
        QFile::remove(site + "/out.css");
        QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("secret.css")), site + "/out.css"));
        // Whatever WebRTC tries, nothing may arrive here.
        // On every address, and named by one a public interface has where
        // there is one: loopback alone is not always tried.
        QUdpSocket udp;
        QVERIFY(udp.bind(QHostAddress::AnyIPv4, 0));
        QTcpServer tcp;
        QVERIFY(tcp.listen(QHostAddress::AnyIPv4, 0));
        QString host = QStringLiteral("127.0.0.1");
        for (const QHostAddress &a : QNetworkInterface::allAddresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
                host = a.toString();
        // Only the WebRTC rows name the listeners: the others hold percent-encoding.
        const bool webRtc = script.contains(QLatin1String("RTCPeerConnection"));
        if (webRtc)
            script = script.arg(QString::number(udp.localPort()), QString::number(tcp.serverPort()),
                                host);

        delete m_pane;
        delete m_editor;
        m_editor = new EditorBox;
        m_editor->loadText("<title>waiting</title><script>" + script + "</script>");
        m_pane = new PreviewPane(nullptr, rowTiming());
        m_pane->setScriptsEnabled(true);
        m_pane->setEditor(m_editor, site);
        m_pane->show();
        QTRY_COMPARE_WITH_TIMEOUT(m_pane->page()->title(), got, kLoadMs);
        if (webRtc) {
            QTest::qWait(3000); // the time a connection takes to send its first packets
            QVERIFY(!udp.hasPendingDatagrams());
            QVERIFY(!tcp.hasPendingConnections());
            if (got == QLatin1String("refused"))
                QTRY_VERIFY(m_pane->blockedRequests() >= 1);
        }
    }

    // A page that refreshes itself is shown again once, not without end; one
    // that sends itself elsewhere stays, and the pane says so.
    void pageMovesItself_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("note");
        QTest::newRow("refresh to itself") << "<meta http-equiv=\"refresh\" content=\"0\">"
                                           << "reloads itself";
        QTest::newRow("refresh elsewhere")
            << "<meta http-equiv=\"refresh\" content=\"0; url=other.html\">" << "other.html";
        QTest::newRow("script elsewhere")
            << "<script>setTimeout(() => location.replace('https://example.com/'), 10)</script>"
            << "example.com";
    }
    void pageMovesItself()
    {
        QFETCH(QString, html);
        QFETCH(QString, note);
        show("<title>moving</title>" + html, {}, true);
        auto *label = m_pane->findChild<QLabel *>(QStringLiteral("PreviewMoveRefused"));
        QTRY_VERIFY_WITH_TIMEOUT(label->isVisible(), kLoadMs);
        QVERIFY2(label->text().contains(note), qPrintable(label->text()));
        const int loads = m_pane->loadsFinished();
        QTest::qWait(1500);
        QVERIFY(m_pane->loadsFinished() <= loads + 1);
        QCOMPARE(m_pane->page()->title(), QStringLiteral("moving"));
        QVERIFY(refreshed()); // Refresh shows it again and lets it reload once more
        QTRY_VERIFY_WITH_TIMEOUT(label->isVisible(), kLoadMs);
    }

    // Links the user follows open in the system's browser; nothing else
    // takes the pane away from the page.
    void links_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("script"); // "click": the user clicks the first link
        QTest::addColumn<QString>("opened"); // "" : nothing
        const QString dir = QUrl::fromLocalFile(m_dir.path()).toString();
        QTest::newRow("relative link")
            << "<a href=\"other.html#part\">o</a>" << "click" << dir + "/other.html#part";
        QTest::newRow("long page: relative link")
            << "<a href=\"other.html#part\">o</a>" << "click" << dir + "/other.html#part";
        QTest::newRow("long page: target on the same page")
            << "<a href=\"#down\">o</a><div style=\"height: 3000px\"></div><a name=\"down\">d</a>"
            << "click" << "";
        QTest::newRow("remote link")
            << "<a href=\"https://example.com/x\">o</a>" << "click" << "https://example.com/x";
        QTest::newRow("link with a target")
            << "<a target=\"_blank\" href=\"https://example.com/t\">o</a>" << "click"
            << "https://example.com/t";
        QTest::newRow("target on the same page")
            << "<a href=\"#down\">o</a><div style=\"height: 3000px\"></div><a name=\"down\">d</a>"
            << "click" << "";
        QTest::newRow("script clicks a link")
            << "<a href=\"https://example.com/x\">o</a>" << "document.links[0].click()" << "";
        QTest::newRow("script moves the page") << "<p>x</p>"
                                               << "location.href = 'https://example.com/'" << "";
        QTest::newRow("form sent")
            << "<form action=\"https://example.com/f\"><input name=q></form>"
            << "document.forms[0].submit()" << "";
    }
    void links()
    {
        QFETCH(QString, html);
        QFETCH(QString, script);
        QFETCH(QString, opened);
        QVERIFY(show("<title>links</title>" + html, rowTiming()));
        const QUrl shown = m_pane->page()->url();
        if (script == QLatin1String("click")) {
            const QVariantList at = evaluate(m_pane, QStringLiteral(
                "(r => [r.left + r.width / 2, r.top + r.height / 2])"
                "(document.links[0].getBoundingClientRect())")).toList();
            QCOMPARE(at.size(), 2);
            QWidget *input = m_pane->view()->focusProxy();
            QVERIFY(input);
            QTest::mouseClick(input, Qt::LeftButton, {},
                              QPoint(qRound(at[0].toDouble()), qRound(at[1].toDouble())));
        } else {
            evaluate(m_pane, script);
        }
        if (!opened.isEmpty())
            QTRY_COMPARE(m_ui->urlsOpened, QList<QUrl>{QUrl(opened)});
        else
            QTest::qWait(500);
        QCOMPARE(m_ui->urlsOpened.size(), opened.isEmpty() ? 0 : 1);
        QCOMPARE(m_pane->page()->url().adjusted(QUrl::RemoveFragment), shown);
        QCOMPARE(m_pane->page()->title(), QStringLiteral("links"));
    }
};

QTEST_MAIN(TestPreviewGuard)
#include "tst_previewguard.moc"
