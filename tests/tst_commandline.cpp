// The program's command line: how the arguments are read, and the page
// check for scripts (tagloom-html --check) run as a user's script runs it,
// with no display.
#include "commandline.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void readsArguments_data()
    {
        QTest::addColumn<QByteArrayList>("args");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArrayList>("files");
        QTest::addColumn<QString>("error");
        using L = QByteArrayList;
        QTest::newRow("files") << L{"a.html", "-x", "b"} << int(CommandLine::Open)
                               << L{"a.html", "-x", "b"} << "";
        QTest::newRow("after --, options are files")
            << L{"--", "--check", "-h", "--"} << int(CommandLine::Open)
            << L{"--check", "-h", "--"} << "";
        QTest::newRow("check, anywhere before --")
            << L{"a", "--check", "b", "--", "--help"} << int(CommandLine::Check)
            << L{"a", "b", "--help"} << "";
        QTest::newRow("check without a page") << L{"--check"} << int(CommandLine::Check) << L{}
                                              << "needs at least one page";
        QTest::newRow("unknown option") << L{"a", "--bogus"} << int(CommandLine::Open) << L{"a"}
                                        << "unknown option --bogus";
        QTest::newRow("help wins") << L{"--bogus", "--check", "-h"} << int(CommandLine::Help)
                                   << L{} << "unknown option";
    }
    void readsArguments()
    {
        QFETCH(QByteArrayList, args);
        QFETCH(int, mode);
        QFETCH(QByteArrayList, files);
        QFETCH(QString, error);
        args.prepend("tagloom-html");
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        const CommandLine line = parseCommandLine(int(argv.size()), argv.data());
        QCOMPARE(int(line.mode), mode);
        QCOMPARE(line.files, files);
        QVERIFY2(error.isEmpty() ? line.error.isEmpty() : line.error.contains(error),
                 qPrintable(line.error));
    }

    // Each row runs the built program on pages written here; its output and
    // error output must match the patterns whole.
    void checksPages_data()
    {
        const QByteArray head = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                                "<title>t</title></head>\n<body>\n";
        const QByteArray end = "</body></html>\n";
        const QDir dir(m_dir.path());
        QVERIFY(m_dir.isValid() && dir.mkdir(QStringLiteral("folder")));
        for (const auto &[name, bytes] :
             {std::pair{"valid.html", head + "<p>Fine.</p>\n" + end},
              std::pair{"one.html", head + "<li>a</li>\n" + end},
              std::pair{"img.html", head + "<img src=\"a.png\">\n" + end},
              std::pair{"-warn.html", head + "<script type=\"text/javascript\"></script>\n" + end},
              // "€" is three bytes in UTF-8 and the others two: columns count characters.
              std::pair{"latin.html",
                        QByteArray(head).replace("utf-8", "windows-1252")
                            + "<p>Cr\xe8me br\xfbl\xe9" "e \x80 5</p><li>a</li>\n" + end},
              std::pair{"old.html", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
                                    "<html lang=\"en\"><head><title>t</title></head>\n<body>\n"
                                    "<p><img src=\"a.png\"></p>\n"
                                    + end}})
            QVERIFY(writeBytes(dir.filePath(QLatin1String(name)), bytes));

        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("java");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("full"); // the results go to a full disk
        const QString line = QStringLiteral("[^\n]+\n"), rest = QStringLiteral("[^\n]*\n"),
                      any = QStringLiteral("[\\s\\S]*");
        QTest::newRow("valid page") << QStringList{"--check", "valid.html"} << true << "" << ""
                                    << 0 << false;
        QTest::newRow("one error") << QStringList{"--check", "one.html"} << true
                                   << "one\\.html:4:1: error: [^\n]*\\bli\\b" + rest << ""
                                   << 1 << false;
        QTest::newRow("warnings only, a name after --")
            << QStringList{"--check", "--", "-warn.html"} << true
            << "-warn\\.html:4:1: warning: " + line << "" << 0 << false;
        QTest::newRow("Latin-1 page, column in characters")
            << QStringList{"--check", "latin.html"} << true
            << "(latin\\.html:\\d+:\\d+: " + line + ")*latin\\.html:4:24: error: [^\n]*\\bli\\b" + rest
            << "" << 1 << false;
        QTest::newRow("unreadable pages, the others checked")
            << QStringList{"--check", "missing.html", "folder", "old.html"} << true
            << "old\\.html:4:4: warning: " + line
            << "missing\\.html: cannot be read: No such file or directory\n"
               "folder: cannot be read: Is a directory\n"
            << 2 << false;
        QTest::newRow("no Java: Tidy, said once")
            << QStringList{"--check", "one.html", "img.html", "img.html"} << false
            << "(img\\.html:4:1: warning: " + line + "){2}" << "[^\n]*default-jre-headless" + line
            << 0 << false;
        QTest::newRow("help") << QStringList{"-h"} << true << "Usage: " + any + "--check PAGE" + any
                              << "" << 0 << false;
        QTest::newRow("unknown option") << QStringList{"--check", "--bogus", "one.html"} << true
                                        << "" << any + "unknown option --bogus" + any << 2 << false;
        QTest::newRow("results not written")
            << QStringList{"--check", "old.html"} << true << "" << "[^\n]*not be written" + line
            << 2 << true;
    }
    void checksPages()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, java);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, status);
        QFETCH(bool, full);
        QProcess p;
        if (full)
            p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.setWorkingDirectory(m_dir.path());
        // No display at all: a widget, or Qt's GUI, would stop the program.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        if (!java)
            env.insert(QStringLiteral("PATH"), m_dir.filePath(QStringLiteral("folder")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TAGLOOM_HTML_BINARY), args);
        QVERIFY(p.waitForFinished(checkerStartTimeout));
        const QString gotOut = QString::fromUtf8(p.readAllStandardOutput());
        const QString gotErr = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(out)).match(gotOut).hasMatch(),
                 qPrintable(gotOut));
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(err)).match(gotErr).hasMatch(),
                 qPrintable(gotErr));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
