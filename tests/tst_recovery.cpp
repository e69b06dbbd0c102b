// Saving over a file that another program changed asks first; changed
// documents are copied against a crash and offered again after one.
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "recovery.h"
#include "startup.h"
#include "testsupport.h"
#include "textfile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <utime.h>

namespace {
QString changedQuestion(const QString &path)
{
    return QStringLiteral("The file %1 has changed on disk since it was opened. Overwrite it?")
        .arg(path);
}

// Session folders under the recovery folder, and the copies in them.
QStringList sessions()
{
    return QDir(DocumentRecovery::rootFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}
QStringList allCopies()
{
    QStringList out;
    for (const QString &s : sessions())
        out << QDir(DocumentRecovery::rootFolder() + QLatin1Char('/') + s)
                   .entryList({QStringLiteral("*.htm")}, QDir::Files);
    return out;
}

QString textAfterTyping(const QString &text, int at, const QString &typed)
{
    QString t = text;
    return t.insert(at, typed);
}

// Child: the editor starts, text is typed into the new document and into a
// file opened from `file`; once both are copied it says so and waits to be
// killed.
int typeAndWait(const QString &file)
{
    isolateRecoveryFolder();
    ScriptedUi ui;
    StartupOptions o;
    o.startupMs = 10;
    o.splashMs = 60;
    o.recoveryMs = 50;
    createApplicationWindows(o);
    ZediDove->show();
    if (!QTest::qWaitFor([] { return ZediDove->currentDocument() != nullptr; }, 10000))
        return 2;
    THTMLDOC *untitled = ZediDove->currentDocument();
    QTest::keyClicks(untitled->editor(), QStringLiteral("typed before the crash"));
    ui.fileAnswers << file;
    ZediDove->OpenClick();
    THTMLDOC *titled = ZediDove->currentDocument();
    QTest::keyClicks(titled->editor(), QStringLiteral("edited "));
    const bool copied = QTest::qWaitFor(
        [&] {
            const QString a = ZediDove->recovery()->copyPath(untitled);
            const QString b = ZediDove->recovery()->copyPath(titled);
            return !a.isEmpty() && !b.isEmpty() && readBytes(a).contains("before the crash")
                && readBytes(b).startsWith("edited ");
        },
        10000);
    if (!copied)
        return 3;
    std::printf("copied\n");
    std::fflush(stdout);
    return QApplication::exec();
}
} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir *m_dir = nullptr;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    THTMLDOC *openFile(const QString &file)
    {
        m_ui->fileAnswers << file;
        ZediDove->OpenClick();
        return ZediDove->currentDocument();
    }

private slots:
    void init()
    {
        isolateRecoveryFolder();
        QDir(DocumentRecovery::rootFolder()).removeRecursively();
        m_dir = new QTemporaryDir;
        m_ui = new ScriptedUi;
        startApplication();
        m_ui->errors.clear(); // no settings file here
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        markAllUnchanged();
        if (ZediDove)
            stopApplication();
        delete m_ui;
        delete m_dir;
        QDir(DocumentRecovery::rootFolder()).removeRecursively();
        QVERIFY(noDialogLeft);
    }

    // ---- changed on disk ----

    void changedOnDiskAsksFirst_data()
    {
        QTest::addColumn<QString>("change");  // what another program did
        QTest::addColumn<QString>("command"); // Save, or Save As with the name
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("written");
        QTest::newRow("rewritten, No keeps both") << "rewrite" << "Save" << false << true << false;
        QTest::newRow("rewritten, Yes overwrites") << "rewrite" << "Save" << true << true << true;
        QTest::newRow("same size, only its time changed")
            << "touch" << "Save" << false << true << false;
        QTest::newRow("replaced by another editor's atomic save")
            << "replace" << "Save" << false << true << false;
        QTest::newRow("Save As onto the same file asks too")
            << "rewrite" << "page.htm" << false << true << false;
        QTest::newRow("Save As onto another file asks nothing")
            << "rewrite" << "other.htm" << false << false << true;
        QTest::newRow("deleted since: nothing to lose") << "delete" << "Save" << false << false << true;
        QTest::newRow("unchanged asks nothing") << "none" << "Save" << false << false << true;
    }
    void changedOnDiskAsksFirst()
    {
        QFETCH(QString, change);
        QFETCH(QString, command);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(bool, written);
        const QString file = path(QStringLiteral("page.htm"));
        const QByteArray original = "<P>mine</P>";
        writeBytes(file, original);
        THTMLDOC *doc = openFile(file);
        editor()->setSelText(QStringLiteral("typed "));
        const QByteArray theirs = change == QStringLiteral("touch") ? QByteArray("<P>your</P>")
                                                                    : QByteArray("theirs");
        if (change == QStringLiteral("rewrite")) {
            writeBytes(file, theirs);
        } else if (change == QStringLiteral("touch")) {
            const FileStamp before = fileStamp(file);
            writeBytes(file, theirs); // same size
            struct utimbuf t = {0, 1'000'000'000};
            QCOMPARE(utime(QFile::encodeName(file).constData(), &t), 0);
            QVERIFY(fileStamp(file) != before);
        } else if (change == QStringLiteral("replace")) {
            writeBytes(path(QStringLiteral("tmp")), theirs);
            QVERIFY(::rename(QFile::encodeName(path(QStringLiteral("tmp"))).constData(),
                             QFile::encodeName(file).constData())
                    == 0);
        } else if (change == QStringLiteral("delete")) {
            QVERIFY(QFile::remove(file));
        }
        m_ui->confirmAnswers << answer;
        const QString target = command == QStringLiteral("Save") ? file : path(command);
        if (command == QStringLiteral("Save")) {
            ZediDove->action(QStringLiteral("Save"))->trigger();
        } else {
            m_ui->fileAnswers << target;
            ZediDove->action(QStringLiteral("Save1"))->trigger();
        }
        QCOMPARE(m_ui->confirms, asked ? QStringList{changedQuestion(file)} : QStringList{});
        QVERIFY(m_ui->errors.isEmpty());
        const QByteArray mine = "typed " + original;
        if (written) {
            QCOMPARE(readBytes(target), mine);
            QVERIFY(!editor()->isModified());
            QCOMPARE(doc->windowTitle(), target);
            // From now on the file is the one this document wrote.
            m_ui->confirms.clear();
            editor()->setSelText(QStringLiteral("more "));
            ZediDove->action(QStringLiteral("Save"))->trigger();
            QVERIFY(m_ui->confirms.isEmpty());
            QCOMPARE(readBytes(target), QByteArray("typed more <P>mine</P>"));
        } else {
            QCOMPARE(readBytes(file), theirs);
            QVERIFY(editor()->isModified());
            QCOMPARE(editor()->text(), QString::fromUtf8(mine));
            QCOMPARE(doc->windowTitle(), file);
        }
    }

    void declinedOverwriteInTheCloseQuestionKeepsTheDocument()
    {
        const QString file = path(QStringLiteral("page.htm"));
        writeBytes(file, "x");
        openFile(file);
        editor()->setSelText(QStringLiteral("typed "));
        writeBytes(file, "theirs");
        m_ui->confirmAnswers << true << false; // save the changes? yes; overwrite? no
        m_ui->fileAnswers << file;
        ZediDove->Close1Click();
        QCOMPARE(m_ui->confirms,
                 QStringList({QStringLiteral("Save Changes to %1?").arg(file), changedQuestion(file)}));
        QCOMPARE(openDocuments(), 2);
        QCOMPARE(editor()->text(), QStringLiteral("typed x"));
        QCOMPARE(readBytes(file), QByteArray("theirs"));
    }

    // ---- recovery copies ----

    void copiesFollowTheChanges()
    {
        auto *rec = ZediDove->recovery();
        THTMLDOC *untitled = ZediDove->currentDocument();
        const QString file = path(QStringLiteral("page.htm"));
        writeBytes(file, "<P>file</P>");
        THTMLDOC *titled = openFile(file);
        rec->snapshot();
        QVERIFY(allCopies().isEmpty()); // nothing changed yet, nothing written

        untitled->editor()->setSelText(QStringLiteral("one"));
        titled->editor()->setSelText(QStringLiteral("two"));
        rec->snapshot();
        QCOMPARE(allCopies().size(), 2);
        const QString a = rec->copyPath(untitled);
        const QString b = rec->copyPath(titled);
        QCOMPARE(readBytes(a), textAfterTyping(THTMLDOC::skeleton(), 75, "one").toUtf8());
        QCOMPARE(readBytes(b), QByteArray("two<P>file</P>"));

        // Unchanged since the last copy: the copy is not written again.
        const FileStamp stamp = fileStamp(a);
        rec->snapshot();
        QCOMPARE(fileStamp(a), stamp);
        untitled->editor()->setSelText(QStringLiteral("!"));
        rec->snapshot();
        QVERIFY(readBytes(a).contains("one!"));
        QVERIFY(fileStamp(a) != stamp);

        // Saved: its copy goes at the next copy; closed: at once.
        ZediDove->mdiArea()->setActiveSubWindow(titled);
        ZediDove->action(QStringLiteral("Save"))->trigger();
        rec->snapshot();
        QVERIFY(!QFile::exists(b));
        m_ui->confirmAnswers << false; // do not save HTML 1
        ZediDove->mdiArea()->setActiveSubWindow(untitled);
        ZediDove->Close1Click();
        QVERIFY(!QFile::exists(a));
        QVERIFY(m_ui->errors.isEmpty());
    }

    void copiesAreMadeOnTheTimerAndGoOnCleanExit()
    {
        ZediDove->recovery()->setInterval(20);
        THTMLDOC *doc = ZediDove->currentDocument();
        editor()->setSelText(QStringLiteral("kept"));
        QTRY_VERIFY(QFile::exists(ZediDove->recovery()->copyPath(doc)));
        QCOMPARE(sessions().size(), 1);
        m_ui->confirmAnswers << false;
        QVERIFY(ZediDove->close());
        QVERIFY(sessions().isEmpty());
    }

    void killedEditorIsRecoveredAtTheNextStart_data()
    {
        QTest::addColumn<bool>("reopen");
        QTest::newRow("Yes reopens the texts") << true;
        QTest::newRow("No discards them") << false;
    }
    void killedEditorIsRecoveredAtTheNextStart()
    {
        QFETCH(bool, reopen);
        stopApplication();
        const QString file = path(QStringLiteral("page.htm"));
        writeBytes(file, "<P>file</P>");
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), QStringLiteral("type-and-wait"), file});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("copied")
                                     || child.state() == QProcess::NotRunning,
                                 20000);
        QCOMPARE(child.state(), QProcess::Running);

        // While that editor runs its copies are its own: nothing is offered.
        startApplication();
        QVERIFY(m_ui->confirms.isEmpty());
        stopApplication();
        QCOMPARE(allCopies().size(), 2);

        child.kill();
        QVERIFY(child.waitForFinished());
        m_ui->confirmAnswers << reopen;
        startApplication();
        QCOMPARE(m_ui->confirms,
                 QStringList{QStringLiteral(
                                 "Tagloom HTML did not close properly last time. The unsaved text "
                                 "of these documents was kept:\n\nHTML 1\n%1\n\n"
                                 "Reopen it as new documents? No discards it.")
                                 .arg(file)});
        QCOMPARE(openDocuments(), reopen ? 3 : 1);
        QCOMPARE(ZediDove->documents()->Docs[1]->editor()->text(), THTMLDOC::skeleton());
        if (reopen) {
            THTMLDOC *first = ZediDove->documents()->Docs[2];
            THTMLDOC *second = ZediDove->documents()->Docs[3];
            QCOMPARE(first->windowTitle(), QStringLiteral("HTML 2"));
            QCOMPARE(second->windowTitle(), QStringLiteral("HTML 3"));
            QCOMPARE(first->editor()->text(),
                     textAfterTyping(THTMLDOC::skeleton(), 75, "typed before the crash"));
            QCOMPARE(second->editor()->text(), QStringLiteral("edited <P>file</P>"));
            QVERIFY(first->editor()->isModified());
            QVERIFY(second->editor()->isModified());
            QVERIFY(!first->HasFileName());
            // Only this session's copies of the reopened texts remain.
            QCOMPARE(sessions().size(), 1);
            QCOMPARE(allCopies().size(), 2);
        } else {
            QVERIFY(sessions().isEmpty());
        }
        QCOMPARE(readBytes(file), QByteArray("<P>file</P>"));
        // Asked once per start: a later start finds nothing more.
        stopApplication();
        m_ui->confirms.clear();
        startApplication();
        QVERIFY(m_ui->confirms.isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagloom HTML"));
    if (argc >= 4 && qstrcmp(argv[1], "--child") == 0 && qstrcmp(argv[2], "type-and-wait") == 0)
        return typeAndWait(QString::fromLocal8Bit(argv[3]));
    TestRecovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
