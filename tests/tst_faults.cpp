// Failing disks, saves killed part way, impossible targets and the close
// questions: in every case the old file stays whole and no typed text is
// lost unless the user answered No.
#include "actions.h"
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "tablebuilder.h"
#include "tablefile.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// A file size limit makes every write past it fail with EFBIG, as a full
// disk does with ENOSPC; SIGXFSZ is ignored so the write reports instead of
// ending the process.
class DiskFull {
public:
    explicit DiskFull(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_saved;
        small.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~DiskFull()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previous);
    }
    bool ok() const { return m_ok; }

private:
    struct rlimit m_saved;
    void (*m_previous)(int);
    bool m_ok = false;
};


// A page of about 5 MB whose first and last lines name its version, so a
// file made of parts of two saves is told apart from either.
QString bigPage(QChar version)
{
    QString line = QStringLiteral("<P>");
    while (line.size() < 1000)
        line += QStringLiteral("words to make a long page ");
    line += QStringLiteral("</P>\r\n");
    QString text = QStringLiteral("<!-- version %1 -->\r\n").arg(version);
    text += line.repeated(5200);
    text += QStringLiteral("<!-- end of version %1 -->").arg(version);
    return text;
}
QByteArray bigPageBytes(QChar version) { return bigPage(version).toUtf8(); }

// Child: opens the page at `source` and saves it to `target` over and over
// through the editor's own Open and Save, alternating between versions A
// and B, until it is killed.
int saveLoop(const QString &source, const QString &target)
{
    isolateRecoveryFolder();
    ScriptedUi ui; // no settings file here: its message must not block
    ZediDove = new TZediDove(3'600'000);
    THTMLDOC *doc = ZediDove->openDocument(source);
    const int last = doc->editor()->lineCount() - 1;
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 0;; ++i) {
        const QChar v = (i % 2) ? QLatin1Char('B') : QLatin1Char('A');
        doc->editor()->replaceLine(0, QStringLiteral("<!-- version %1 -->").arg(v));
        doc->editor()->replaceLine(last, QStringLiteral("<!-- end of version %1 -->").arg(v));
        doc->saveTo(target);
        std::printf("saved\n");
        std::fflush(stdout);
    }
}
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir *m_dir = nullptr;
    QString m_oldCwd;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    THTMLDOC *openFile(const QString &file, const QByteArray &bytes)
    {
        writeBytes(file, bytes);
        m_ui->fileAnswers << file;
        ZediDove->OpenClick();
        return ZediDove->currentDocument();
    }
    QStringList filesInDir() const { return QDir(m_dir->path()).entryList(QDir::Files); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir->path()); // the settings file lives here
        writeBytes(path(QStringLiteral("vezezu.ini")),
                   "background color=white\r\ntext color=black\r\ntoolbar={10,20}\r\n");
        m_ui = startWithScriptedUi();
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        markAllUnchanged();
        if (ZediDove)
            stopApplication();
        delete m_ui;
        QDir::setCurrent(m_oldCwd);
        delete m_dir;
        QVERIFY(noDialogLeft);
    }

    // ---- disk full ----

    void diskFullSavingADocument_data()
    {
        // Qt buffers small writes and large ones go straight to the file:
        // both must fail whole.
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("room");
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<int>("unit"); // bytes a typed x takes
        const QByteArray page = "<HTML>\r\n<BODY>old</BODY>\r\n</HTML>";
        QByteArray wide("\xFF\xFE");
        for (const char c : page)
            wide += QByteArray(1, c) + '\0';
        QTest::newRow("small page, buffered") << 100 << 40 << page << 1;
        QTest::newRow("large page, written through") << 100'000 << 4096 << page << 1;
        QTest::newRow("UTF-16 page, written through") << 100'000 << 4096 << wide << 2;
        QTest::newRow("KOI8-R page, written through")
            << 100'000 << 4096 << QByteArray("<meta charset=koi8-r>\xF0\xD2") << 1;
    }
    void diskFullSavingADocument()
    {
        QFETCH(int, typed);
        QFETCH(int, room);
        QFETCH(QByteArray, old);
        QFETCH(int, unit);
        const QString file = path(QStringLiteral("page.htm"));
        THTMLDOC *doc = openFile(file, old);
        editor()->setSelText(QString(typed, QLatin1Char('x')));
        {
            DiskFull full{rlim_t(room)};
            QVERIFY(full.ok());
            ZediDove->action(QStringLiteral("Save"))->trigger();
        }
        // The file size limit stands in for a full disk: the system's reason follows.
        QCOMPARE(m_ui->errors,
                 QStringList{QStringLiteral("Tagloom HTML|Cannot create file %1: File too large.")
                                 .arg(file)});
        QCOMPARE(readBytes(file), old);
        QVERIFY(editor()->isModified());
        QCOMPARE(doc->windowTitle(), file);
        QCOMPARE(filesInDir(), QStringList({"page.htm", "vezezu.ini"}));
        // With space again the same Save goes through, asking nothing.
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QCOMPARE(m_ui->errors.size(), 1);
        QVERIFY(m_ui->confirms.isEmpty());
        QVERIFY(!editor()->isModified());
        QCOMPARE(readBytes(file).size(), old.size() + typed * unit);
    }

    void diskFullSavingTheSettings()
    {
        const QString file = path(QStringLiteral("vezezu.ini"));
        const QByteArray old = readBytes(file);
        ZediDove->setTextColour(0x0000FF); // red: the file must change
        {
            DiskFull full(16);
            QVERIFY(full.ok());
            ZediDove->action(QStringLiteral("SaveSet"))->trigger();
        }
        QCOMPARE(m_ui->errors,
                 QStringList{"Tagloom HTML|Cannot create file vezezu.ini: File too large."});
        QCOMPARE(readBytes(file), old);
        QCOMPARE(filesInDir(), QStringList{"vezezu.ini"});
        // The new lines are kept, so the next Save Settings writes them.
        QVERIFY(ZediDove->settingsText().contains(QStringLiteral("text color=red")));
        ZediDove->action(QStringLiteral("SaveSet"))->trigger();
        QVERIFY(readBytes(file).contains("text color=red\r\n"));
    }

    void diskFullSavingATableFile()
    {
        const QString file = path(QStringLiteral("layout.tbl"));
        const QByteArray old = "old table\r\n";
        writeBytes(file, old);
        m_ui->fileAnswers << file;
        Table->show();
        Table->findChild<QLineEdit *>(QStringLiteral("Cap"))->setText(QString(8000, 'c'));
        {
            DiskFull full(4096);
            QVERIFY(full.ok());
            Table->findChild<QPushButton *>(QStringLiteral("SaveTable"))->click();
        }
        const bool stillOpen = Table->isVisible();
        Table->hide();
        QCOMPARE(m_ui->errors, QStringList{"Tagloom HTML|Disk full."});
        QVERIFY(stillOpen);
        QCOMPARE(readBytes(file), old);
        QCOMPARE(filesInDir(), QStringList({"layout.tbl", "vezezu.ini"}));
    }

    // ---- a save killed at a random moment ----

    void killedSaveLeavesOldOrNewFile()
    {
#ifdef __SANITIZE_ADDRESS__
        // Each saving process takes about a second to start under the
        // sanitizers; the kill points are random, and the plain build tries 100.
        constexpr int kKilledSaves = 30;
#else
        constexpr int kKilledSaves = 100;
#endif
        const QString file = path(QStringLiteral("big.htm"));
        const QByteArray a = bigPageBytes(QLatin1Char('A'));
        const QByteArray b = bigPageBytes(QLatin1Char('B'));
        writeBytes(file, bigPageBytes(QLatin1Char('O')));
        QTemporaryDir sourceDir;
        const QString source = sourceDir.filePath(QStringLiteral("source.htm"));
        writeBytes(source, a);
        QVERIFY(a.size() > 5'000'000);
        int keptOld = 0, changed = 0, midLoop = 0, leftovers = 0;
        QElapsedTimer clock;
        clock.start();
        // How long one save takes here, from "ready" to the third "saved",
        // read as they come (a poll every 50 ms saw "ready" and the first
        // "saved" together and took a save for 0 ms): the kills are spread
        // over two.
        qint64 saveMs = 0;
        {
            QProcess probe;
            probe.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QStringLiteral("save-loop"), source, file});
            QByteArray said;
            auto untilSaid = [&](const char *word, int times) {
                while (said.count(word) < times && probe.waitForReadyRead(20000))
                    said += probe.readAllStandardOutput();
                return said.count(word) >= times;
            };
            QVERIFY(untilSaid("ready", 1));
            QElapsedTimer t;
            t.start();
            QVERIFY(untilSaid("saved", 3));
            saveMs = qMax<qint64>(t.elapsed() / 3, 10);
            probe.kill();
            probe.waitForFinished();
        }
        for (int run = 0; run < kKilledSaves; ++run) {
            const QByteArray before = readBytes(file);
            QProcess child;
            child.setProcessChannelMode(QProcess::SeparateChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), QStringLiteral("save-loop"), source, file});
            QVERIFY(child.waitForStarted());
            QVERIFY2(child.waitForReadyRead(20000), "the saving process did not start");
            // Anywhere from before the first save to the end of the second.
            const int delay = int(QRandomGenerator::global()->bounded(2 * saveMs));
            QTimer::singleShot(delay, &child, [&child] { child.kill(); });
            QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 20000);
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            const int saves = int(child.readAllStandardOutput().count("saved"));
            const QByteArray after = readBytes(file);
            QVERIFY2(after == before || after == a || after == b,
                     qPrintable(QStringLiteral("run %1: %2 bytes, neither the old nor a new page")
                                    .arg(run)
                                    .arg(after.size())));
            (after == before ? keptOld : changed)++;
            midLoop += saves > 0;
            // The write goes to a nameless file linked in at the end where
            // the file system allows it; elsewhere a temporary name is left.
            const QStringList files = filesInDir();
            leftovers += int(files.size()) - 2;
            for (const QString &f : files)
                if (f != QStringLiteral("big.htm") && f != QStringLiteral("vezezu.ini"))
                    QFile::remove(path(f));
        }
        qInfo("%d kills in %lld ms (one save took %lld ms): old file kept %d times, "
              "replaced %d times, killed after at least one whole save %d times, "
              "%d temporary files left",
              kKilledSaves, clock.elapsed(), saveMs, keptOld, changed, midLoop, leftovers);
    }

    // ---- targets that cannot be written ----

    // Each says why, after the usual text.
    void impossibleDocumentTarget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder does not exist")
            << QStringLiteral("no/such/folder/x.htm") << "No such file or directory";
        QTest::newRow("target is a folder") << QStringLiteral("afolder") << "Is a directory";
        QTest::newRow("a file stands where a folder should")
            << QStringLiteral("vezezu.ini/x.htm") << "Not a directory";
        QTest::newRow("a read-only folder")
            << QStringLiteral("readonly/x.htm") << "Permission denied";
        // Refused to root as well.
        QTest::newRow("the kernel's read-only folder")
            << QStringLiteral("/sys/tagloom-x.htm") << "Permission denied";
    }
    void impossibleDocumentTarget()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        const bool kernelFolder = target.startsWith(QLatin1Char('/'));
        const QString file = kernelFolder ? target : path(target);
        if (target.startsWith(QLatin1String("readonly/")) && ::geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        if (kernelFolder && !QFileInfo::exists(QStringLiteral("/sys/kernel")))
            QSKIP("no /sys here");
        QDir(m_dir->path()).mkdir(QStringLiteral("afolder"));
        QDir(m_dir->path()).mkdir(QStringLiteral("readonly"));
        QFile::setPermissions(path(QStringLiteral("readonly")),
                              QFile::ReadOwner | QFile::ExeOwner);
        const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        editor()->setSelText(QStringLiteral("typed"));
        m_ui->fileAnswers << file;
        ZediDove->action(QStringLiteral("Save1"))->trigger();
        QCOMPARE(m_ui->errors, QStringList{QStringLiteral("Tagloom HTML|Cannot create file %1: %2.")
                                               .arg(file, reason)});
        THTMLDOC *doc = ZediDove->currentDocument();
        QCOMPARE(doc->windowTitle(), QStringLiteral("HTML 1"));
        QVERIFY(!doc->HasFileName());
        QVERIFY(editor()->isModified());
        QVERIFY(editor()->text().contains(QStringLiteral("typed")));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QVERIFY(QDir(path(QStringLiteral("afolder"))).isEmpty());
    }

    // A page opened through a symbolic link (here a relative one) is saved
    // where the link points: the link stays a link.
    void savingThroughALinkKeepsTheLink()
    {
        const QString real = path(QStringLiteral("real.htm"));
        const QString link = path(QStringLiteral("link.htm"));
        QVERIFY(writeBytes(real, "old"));
        QVERIFY(QFile::link(QStringLiteral("real.htm"), link));
        m_ui->fileAnswers << link;
        ZediDove->OpenClick();
        editor()->setSelText(QStringLiteral("new "));
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(readBytes(real), QByteArray("new old"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), real);
        QCOMPARE(filesInDir(), QStringList({"link.htm", "real.htm", "vezezu.ini"}));
    }

    void settingsFileThatIsAFolder()
    {
        stopApplication();
        QFile::remove(path(QStringLiteral("vezezu.ini")));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("vezezu.ini")));
        m_ui->errors.clear();
        startApplication();
        QCOMPARE(m_ui->errors, QStringList{"Tagloom HTML|Cannot open file vezezu.ini."});
        ZediDove->action(QStringLiteral("SaveSet"))->trigger();
        QCOMPARE(m_ui->errors.last(),
                 QStringLiteral("Tagloom HTML|Cannot create file vezezu.ini: Is a directory."));
        QVERIFY(QFileInfo(path(QStringLiteral("vezezu.ini"))).isDir());
    }

    // A command run when its dialog is gone (the windows closed) does nothing.
    void dialogCommandsWithoutTheirDialog_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *id : {TagCommand::Image, TagCommand::Document, TagCommand::HorizontalRule,
                               TagCommand::Link, TagCommand::Lists, TagCommand::Table})
            QTest::newRow(id) << QString::fromLatin1(id);
    }
    void dialogCommandsWithoutTheirDialog()
    {
        QFETCH(QString, command);
        stopApplication();
        runCommand(command);
        QVERIFY(m_ui->errors.isEmpty());
    }

    // ---- closing everything with unsaved documents ----

    void closingEverythingLosesNothingUnasked_data()
    {
        // Three changed documents, HTML 1 to 3, asked about in that order.
        // outcome per document: saved, discarded (the user said No), open.
        QTest::addColumn<bool>("viaExit");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("saveAs"); // "" cancels, "!" a folder that is missing
        QTest::addColumn<QStringList>("outcome");
        QTest::addColumn<bool>("ended");
        QTest::newRow("No to each") << false << QList<bool>{false, false, false} << QStringList{}
                                    << QStringList{"discarded", "discarded", "discarded"} << true;
        QTest::newRow("Yes and save each")
            << false << QList<bool>{true, true, true} << QStringList{"1.htm", "2.htm", "3.htm"}
            << QStringList{"saved", "saved", "saved"} << true;
        QTest::newRow("Yes then cancel the dialog")
            << false << QList<bool>{true} << QStringList{""}
            << QStringList{"open", "open", "open"} << false;
        QTest::newRow("Yes then the save fails")
            << false << QList<bool>{true} << QStringList{"!"}
            << QStringList{"open", "open", "open"} << false;
        QTest::newRow("No, save, then cancel")
            << false << QList<bool>{false, true, true} << QStringList{"2.htm", ""}
            << QStringList{"discarded", "saved", "open"} << false;
        QTest::newRow("Exit, then No, No, save")
            << true << QList<bool>{true, false, false, true} << QStringList{"3.htm"}
            << QStringList{"discarded", "discarded", "saved"} << true;
    }
    void closingEverythingLosesNothingUnasked()
    {
        QFETCH(bool, viaExit);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, saveAs);
        QFETCH(QStringList, outcome);
        QFETCH(bool, ended);
        QPointer<THTMLDOC> docs[3];
        for (int i = 0; i < 3; ++i) {
            if (i)
                ZediDove->New1Click();
            docs[i] = ZediDove->currentDocument();
            editor()->setSelText(QStringLiteral("text of document %1").arg(i + 1));
        }
        for (bool a : answers)
            m_ui->confirmAnswers << a;
        for (const QString &s : saveAs)
            m_ui->fileAnswers << (s == QStringLiteral("!") ? path(QStringLiteral("none/x.htm"))
                                  : s.isEmpty()            ? QString()
                                                           : path(s));
        if (viaExit)
            ZediDove->action(QStringLiteral("Exit1"))->trigger();
        else
            ZediDove->close();
        QVERIFY(m_ui->confirmAnswers.isEmpty());
        QCOMPARE(openDocuments() == 0, ended);
        int asked = viaExit ? 1 : 0;
        for (int i = 0; i < 3; ++i) {
            const QString mine = QStringLiteral("text of document %1").arg(i + 1);
            const QString question = QStringLiteral("Save Changes to HTML %1?").arg(i + 1);
            if (outcome.at(i) == QStringLiteral("open")) {
                QVERIFY2(docs[i], "an unsaved document was closed");
                QVERIFY(docs[i]->editor()->isModified());
                QVERIFY(docs[i]->editor()->text().contains(mine));
                continue;
            }
            QCOMPARE(m_ui->confirms.value(asked++), question);
            if (outcome.at(i) == QStringLiteral("saved")) {
                const QString file = path(QStringLiteral("%1.htm").arg(i + 1));
                QVERIFY(readBytes(file).contains(mine.toUtf8()));
            }
        }
        QCOMPARE(m_ui->confirms.size(), asked + (ended ? 0 : 1));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc >= 5 && qstrcmp(argv[1], "--child") == 0 && qstrcmp(argv[2], "save-loop") == 0)
        return saveLoop(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
