// The conformance checker's process: what it reports for today's pages,
// the fallback when Java is missing, and a checker that dies or hangs.
#include "editorbox.h"
#include "nuchecker.h"
#include "pagecheckpane.h"
#include "pagecheckservice.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrlQuery>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

Q_DECLARE_METATYPE(NuCheckResult)

namespace {
NuCheckResult checkNow(NuChecker &checker, const QByteArray &page)
{
    QSignalSpy done(&checker, &NuChecker::finished);
    checker.check(page);
    [&] { QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, checkerStartTimeout); }();
    return done.isEmpty() ? NuCheckResult{NuCheckResult::Failed, {}, "no answer"}
                          : done.first().first().value<NuCheckResult>();
}

const QByteArray head = "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"utf-8\">"
                        "<title>t</title></head>\n<body>\n";
} // namespace

class TestNuChecker : public QObject {
    Q_OBJECT
    NuChecker *m_checker = nullptr;
private slots:
    void initTestCase()
    {
        qRegisterMetaType<NuCheckResult>();
        qRegisterMetaType<PageCheckResult>();
        QVERIFY2(QFileInfo::exists(NuChecker::defaultJar()),
                 "vnu.jar is missing: run deps.sh (tagloom_install_checker)");
        m_checker = new NuChecker(this);
    }

    void reportsFaultsByLine_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("line"); // of the one error; 0: no error or warning
        QTest::addColumn<QString>("words");
        QTest::newRow("valid page of today's HTML")
            << QByteArray("<search><form method=\"dialog\"><input name=q minlength=2 "
                          "inputmode=search enterkeyhint=search aria-label=\"Find\"></form>"
                          "</search>\n<p><data value=\"7\">seven</data> <my-card>x</my-card></p>\n"
                          "<template><tr><td>x</td></tr></template>\n"
                          "<nav><a href=\"/\" aria-current=\"page\">Home</a></nav>\n"
                          "<img src=\"a.png\" alt=\"A\" loading=\"lazy\" decoding=\"async\">\n"
                          "<button popovertarget=\"m\">Menu</button><div id=\"m\" popover>m</div>\n"
                          "<video src=\"v.mp4\" playsinline></video>\n</body></html>\n")
            << 0 << "";
        QTest::newRow("li outside a list")
            << QByteArray("<p>x</p>\n<li>a</li>\n</body></html>\n") << 6 << "“li” not allowed";
        QTest::newRow("div directly in ul")
            << QByteArray("<ul>\n<div>a</div>\n</ul>\n</body></html>\n") << 6
            << "“div” not allowed";
        QTest::newRow("button inside a link")
            << QByteArray("<a href=\"/\">\n<button>go</button></a>\n</body></html>\n") << 6
            << "“button” must not appear as a descendant of the “a”";
        QTest::newRow("fault at the end of a 9 MB page")
            << QByteArray("<p>One more line of plain English text.</p>\n").repeated(220000)
                   + "<li>a</li>\n</body></html>\n"
            << 220005 << "“li” not allowed";
        QTest::newRow("label for naming no control")
            << QByteArray("<label for=\"nope\">Name</label>\n</body></html>\n") << 5 << "“for”";
    }
    void reportsFaultsByLine()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, line);
        QFETCH(QString, words);
        const NuCheckResult result = checkNow(*m_checker, head + body);
        QCOMPARE(result.outcome, NuCheckResult::Checked);
        QList<NuMessage> problems;
        for (const NuMessage &m : result.messages)
            if (m.severity != NuMessage::Info)
                problems.append(m);
        if (problems.size() != (line == 0 ? 0 : 1))
            for (const NuMessage &m : problems)
                qWarning() << m.line << m.text;
        if (line == 0) {
            QVERIFY(problems.isEmpty());
            return;
        }
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.first().severity, NuMessage::Error);
        QCOMPARE(problems.first().line, line);
        QVERIFY2(problems.first().text.contains(words), qPrintable(problems.first().text));
    }

    // Any program on the machine can ask the checker's service to check a
    // page by its address: it must fetch nothing, nor look a name up.
    void fetchesNothing_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("an address") << "http://192.0.2.1/page.html";
        QTest::newRow("a name") << "https://example.invalid/page.html";
    }
    void fetchesNothing()
    {
        QFETCH(QString, address);
        if (!m_checker->port())
            QCOMPARE(checkNow(*m_checker, head).outcome, NuCheckResult::Checked);
        QNetworkAccessManager network;
        QUrl url(QStringLiteral("http://127.0.0.1:%1/").arg(m_checker->port()));
        url.setQuery(QUrlQuery({{"out", "json"}, {"doc", address}}));
        QNetworkRequest request(url);
        request.setTransferTimeout(30000);
        QNetworkReply *reply = network.get(request);
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 40000);
        const QByteArray answer = reply->readAll();
        QVERIFY2(answer.contains("access denied"), answer.constData());
        delete reply;
    }

    void missingJavaFallsBack()
    {
        NuChecker checker;
        checker.setJava(QStringLiteral("/nonexistent/bin/java"));
        const NuCheckResult result = checkNow(checker, head);
        QCOMPARE(result.outcome, NuCheckResult::NoJava);
        QVERIFY(result.detail.contains("default-jre-headless"));
        QVERIFY(!checker.isRunning());
    }

    // The pane sends pages of today's HTML to the checker and those of an
    // older doctype to Tidy, and says which; without Java it says once
    // what to install, and Tidy checks every page.
    void paneNamesTheStandard_data()
    {
        QTest::addColumn<QString>("java");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("again");
        QTest::addColumn<QString>("summary");
        const QByteArray fault = "<li>a</li>\n</body></html>\n";
        QTest::newRow("today's HTML") << QString() << head + fault << "living standard"
                                      << "living standard"
                                      << "1 error, 0 warnings";
        QTest::newRow("no lang: told once, as advice")
            << QString() << QByteArray("<!DOCTYPE html>\n<title>t</title>\n<p>x</p>\n")
            << "living standard"
            << "living standard"
            << "0 errors, 0 warnings, 1 advice";
        QTest::newRow("HTML 4.01")
            << QString()
            << "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<title>t</title>\n" + fault
            << "Tidy against HTML 4.01"
            << "Tidy against HTML 4.01" << QString();
        QTest::newRow("no Java") << "/nonexistent/bin/java" << head + fault
                                 << "default-jre-headless"
                                 << "(no Java runtime)" << QString();
    }
    void paneNamesTheStandard()
    {
        QFETCH(QString, java);
        QFETCH(QByteArray, page);
        QFETCH(QString, first);
        QFETCH(QString, again);
        QFETCH(QString, summary);
        NuChecker noJava;
        noJava.setJava(java);
        PageCheckPane pane;
        PageCheckService service(java.isEmpty() ? m_checker : &noJava);
        pane.setService(&service);
        EditorBox editor;
        editor.loadText(QString::fromUtf8(page));
        for (const QString &standard : {first, again}) {
            pane.check(&editor);
            QTRY_VERIFY_WITH_TIMEOUT(!pane.isChecking(), checkerStartTimeout);
            QVERIFY2(pane.standard().contains(standard), qPrintable(pane.standard()));
            if (!summary.isEmpty())
                QCOMPARE(pane.summary(), summary);
        }
        QVERIFY(!pane.standard().contains("default-jre-headless"));
    }

    // What the user sees of a page: through the one service, in plain words,
    // each fault on its line once, advice added.
    void serviceTellsEachFaultOnce_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("rows"); // line:kind:start of the text
        QTest::newRow("valid page of today's HTML")
            << QByteArray("<h1>Shop</h1>\n<h2>Offers</h2>\n<search><form method=\"dialog\">"
                          "<input name=q aria-label=\"Find\" enterkeyhint=search></form></search>\n"
                          "<nav><a href=\"/\" aria-current=\"page\">Home</a></nav>\n"
                          "<img src=\"a.png\" alt=\"A\" loading=\"lazy\">\n</body></html>\n")
            << QStringList();
        QTest::newRow("common hand-written faults")
            << QByteArray("<h1>Shop</h1>\n<h3>Offers</h3>\n<ul>\n<div>a</div>\n</ul>\n"
                          "<li>loose</li>\n<a href=\"/\"><button>go</button></a>\n"
                          "<label for=\"nope\">Name</label>\n<input type=\"text\" name=\"q\">\n"
                          "<img src=\"a.png\">\n<p><b>bold</p>\n</body></html>\n")
            << QStringList{"6:Error:Heading level skipped: <h3> follows <h1>",
                           "8:Error:<div> is not allowed directly inside <ul>",
                           "10:Error:<li> must be inside <ul>, <ol> or <menu>",
                           "11:Error:<button> must not be inside <a>",
                           "12:Error:<label for=\"nope\"> names no form control",
                           "13:Advice:<input> without a label",
                           "14:Error:Image without alt text",
                           "15:Error:<b> is never closed"};
    }
    void serviceTellsEachFaultOnce()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, rows);
        PageCheckService service(m_checker);
        QSignalSpy done(&service, &PageCheckService::finished);
        service.check(QString::fromUtf8(head + body));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, checkerStartTimeout);
        const auto result = done.first().at(1).value<PageCheckResult>();
        QStringList seen;
        for (const PageMessage &m : result.messages)
            seen << QStringLiteral("%1:%2:%3").arg(m.line).arg(m.kind, m.text);
        QCOMPARE(seen.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QVERIFY2(seen.at(i).startsWith(rows.at(i)), qPrintable(seen.join(u'\n')));
    }

    // The checker stops reading a page at its thousandth message and closes
    // the connection: megabytes still to send after that lost the answer.
    void manyFaultsEarlyOnALargePage()
    {
        PageCheckService service(m_checker);
        QSignalSpy done(&service, &PageCheckService::finished);
        QSignalSpy restarted(m_checker, &NuChecker::restarted);
        service.check(QString::fromUtf8(
            head + QByteArray("<ul><div>x</div></ul>\n").repeated(2000)
            + QByteArray("<p>One more line of plain English text.</p>\n").repeated(200000)));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, checkerStartTimeout);
        const auto result = done.first().at(1).value<PageCheckResult>();
        QVERIFY2(result.standard.contains("living standard"), qPrintable(result.standard));
        QVERIFY(result.errors >= 999);
        QCOMPARE(restarted.count(), 0);
    }

    // A checker that was killed, or stops answering, is replaced and the
    // page is still checked; each time it is reported.
    void deadCheckerIsRestarted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("why");
        QTest::newRow("killed") << int(SIGKILL) << "stopped";
        QTest::newRow("hung") << int(SIGSTOP) << "did not answer";
    }
    void deadCheckerIsRestarted()
    {
        QFETCH(int, signal);
        QFETCH(QString, why);
        checkNow(*m_checker, head); // running now, whichever row came before
        const qint64 pid = m_checker->processId();
        QVERIFY(pid > 0);
        m_checker->setTimeouts(checkerStartTimeout, 3000);
        QSignalSpy restarted(m_checker, &NuChecker::restarted);
        QCOMPARE(::kill(pid_t(pid), signal), 0);
        if (signal == SIGKILL)
            QTRY_VERIFY(!m_checker->isRunning());
        const NuCheckResult result =
            checkNow(*m_checker, head + "<ul><div>a</div></ul>\n</body></html>\n");
        m_checker->setTimeouts(checkerStartTimeout, 60000);
        QCOMPARE(result.outcome, NuCheckResult::Checked);
        QCOMPARE(result.messages.size(), 1);
        QCOMPARE(restarted.count(), 1);
        QVERIFY2(restarted.first().first().toString().contains(why),
                 qPrintable(restarted.first().first().toString()));
        QVERIFY(m_checker->processId() != pid);
    }

    // What the pane lists for a page of hand-written faults: each on its
    // line, in plain words, once.
    void faultsInPlainWords()
    {
        PageCheckService service(m_checker);
        service.setAdvice(0);
        QSignalSpy done(&service, &PageCheckService::finished);
        service.check(QString::fromUtf8(
            head + "<p>Some <span>text</p>\r\n<ul><div>a</div></ul>\n"
                   "<label for=\"nope\">N</label>\n<div/>\n<p id=\"a\">x</p><p id=\"a\">y</p>\n</body></html>\n"));
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, checkerStartTimeout);
        QStringList rows;
        for (const PageMessage &m : done.first().at(1).value<PageCheckResult>().messages)
            rows << QStringLiteral("%1:%2:%3").arg(m.line).arg(m.kind, m.text);
        QCOMPARE(rows, QString::fromUtf8("5:Error:<span> is never closed\n"
                                         "6:Error:<div> is not allowed directly inside <ul>: only "
                                         "<li> (and script-supporting elements) are\n"
                                         "7:Error:<label for=\"nope\"> names no form control in "
                                         "the page\n"
                                         "8:Error:“/>” does not close <div>: it needs an end tag "
                                         "</div>\n"
                                         "9:Error:the id “a” is already used on line 9")
                           .split('\n'));
    }
};

QTEST_MAIN(TestNuChecker)
#include "tst_nuchecker.moc"
