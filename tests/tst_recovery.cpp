// Saving over a file that another program changed asks first; changed
// documents are copied against a crash and offered again after one.
#include "charset.h"
#include "diskfile.h"
#include "documentstatus.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "nativepath.h"
#include "recovery.h"
#include "startup.h"
#include "testsupport.h"
#include "workbench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString reloadQuestion(const QString &path)
{
    return QStringLiteral("The file %1 was changed by another program. Reload it?").arg(path);
}

// Reading a pipe would wait for a writer.
QByteArray bytesIfFile(const QString &file)
{
    return fileStamp(file).regular ? readBytes(file) : QByteArray("<not a file>");
}

// Does to `file` what another program might; returns what it holds then.
QByteArray changeFile(const QString &file, const QString &change, const QByteArray &original)
{
    const QByteArray path = nativePath(file);
    const QByteArray sameSize = QByteArray(original).replace('i', 'o');
    struct stat was;
    if (::stat(path.constData(), &was) != 0)
        return "<no file>";
    const struct timespec times[2] = {was.st_atim, was.st_mtim};
    if (change == QLatin1String("rewrite")) {
        writeBytes(file, original + "theirs");
    } else if (change == QLatin1String("touch")) {
        writeBytes(file, sameSize);
        const struct timespec t[2] = {{0, 0}, {1'000'000'000, 0}};
        utimensat(AT_FDCWD, path.constData(), t, 0);
    } else if (change == QLatin1String("in place, time put back")) {
        // Until the status time moves on: the clock behind it is coarse.
        const FileStamp before = fileStamp(file);
        while (fileStamp(file).statusNs == before.statusNs) {
            writeBytes(file, sameSize);
            utimensat(AT_FDCWD, path.constData(), times, 0);
        }
    } else if (change == QLatin1String("replace") || change == QLatin1String("same bytes")) {
        const QByteArray tmp = path + ".tmp";
        writeBytes(QFile::decodeName(tmp), change == QLatin1String("replace") ? sameSize : original);
        utimensat(AT_FDCWD, tmp.constData(), times, 0);
        ::rename(tmp.constData(), path.constData());
    } else if (change == QLatin1String("delete")) {
        QFile::remove(file);
    } else if (change == QLatin1String("folder")) {
        QFile::remove(file);
        QDir().mkdir(file);
    } else if (change == QLatin1String("pipe")) {
        QFile::remove(file);
        mkfifo(path.constData(), 0600);
    }
    return bytesIfFile(file);
}

// The main window is activated again, as when coming back from another program.
void activateMainWindow()
{
    QEvent e(QEvent::WindowActivate);
    QApplication::sendEvent(ZediDove, &e);
    QCoreApplication::processEvents();
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
        m_ui = startWithScriptedUi();
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
        QTest::newRow("same size rewritten in place, its time put back")
            << "in place, time put back" << "Save" << false << true << false;
        QTest::newRow("the same bytes put back in a new file: nothing to lose")
            << "same bytes" << "Save" << false << false << true;
        QTest::newRow("Save As onto the same file asks too")
            << "rewrite" << "page.htm" << false << true << false;
        QTest::newRow("Save As onto another file asks nothing")
            << "rewrite" << "other.htm" << false << false << true;
        QTest::newRow("deleted since: nothing to lose") << "delete" << "Save" << false << false << true;
        QTest::newRow("a pipe in its place: not written, not waited on")
            << "pipe" << "Save" << false << false << false;
        QTest::newRow("a folder in its place: not written")
            << "folder" << "Save" << false << false << false;
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
        const QByteArray theirs = changeFile(file, change, original);
        m_ui->confirmAnswers << answer;
        const QString target = command == QStringLiteral("Save") ? file : path(command);
        if (command == QStringLiteral("Save")) {
            ZediDove->action(QStringLiteral("Save"))->trigger();
        } else {
            m_ui->fileAnswers << target;
            ZediDove->action(QStringLiteral("Save1"))->trigger();
        }
        QCOMPARE(m_ui->confirms, asked ? QStringList{changedQuestion(file)} : QStringList{});
        const QString reason = change == QLatin1String("pipe")     ? "Permission denied"
                               : change == QLatin1String("folder") ? "Is a directory"
                                                                   : "";
        const QString error = QStringLiteral("Tagloom HTML|Cannot create file %1: %2.");
        QCOMPARE(m_ui->errors,
                 reason.isEmpty() ? QStringList{} : QStringList{error.arg(file, reason)});
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
            QCOMPARE(bytesIfFile(file), theirs);
            QVERIFY(editor()->isModified());
            QCOMPARE(editor()->text(), QString::fromUtf8(mine));
            QCOMPARE(doc->windowTitle(), file);
            // Coming back to the editor says nothing more of the version just declined.
            doc->checkDisk();
            QCOMPARE(m_ui->confirms.size(), asked ? 1 : 0);
            QVERIFY(m_ui->warnings.isEmpty());
        }
    }

    // Coming back to the editor: each change another program made is told
    // once, as a question, a warning or a changed mark.
    void activationTellsOfChangesOnDisk_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("typed");     // the text was changed here too
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("again");     // changed again while the question shows
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<bool>("reloaded");
        QTest::addColumn<bool>("modified");
        QTest::newRow("rewritten, Yes reloads") << "rewrite" << false << true << false << 1
                                                << false << true << false;
        QTest::newRow("rewritten, No keeps the text")
            << "rewrite" << false << false << false << 1 << false << false << false;
        QTest::newRow("same size in place, its time put back")
            << "in place, time put back" << false << true << false << 1 << false << true << false;
        QTest::newRow("the same bytes put back: nothing to tell")
            << "same bytes" << false << true << false << 0 << false << false << false;
        QTest::newRow("changed here too: a warning")
            << "rewrite" << true << true << false << 0 << true << false << true;
        QTest::newRow("deleted: marked changed") << "delete" << false << true << false << 0
                                                 << false << false << true;
        QTest::newRow("a folder in its place") << "folder" << false << true << false << 0 << false
                                               << false << true;
        QTest::newRow("a pipe in its place") << "pipe" << false << true << false << 0 << false
                                             << false << true;
        QTest::newRow("changed again while asked: asked again after")
            << "rewrite" << false << false << true << 2 << false << false << false;
    }
    void activationTellsOfChangesOnDisk()
    {
        QFETCH(QString, change);
        QFETCH(bool, typed);
        QFETCH(bool, answer);
        QFETCH(bool, again);
        QFETCH(int, asked);
        QFETCH(bool, warned);
        QFETCH(bool, reloaded);
        QFETCH(bool, modified);
        const QString file = path(QStringLiteral("page.htm"));
        const QByteArray original = "<P>mine</P>\r\n<P>line</P>\r\n<P>third</P>";
        writeBytes(file, original);
        THTMLDOC *doc = openFile(file);
        editor()->setSelStart(30); // on the third line
        if (typed)
            editor()->setSelText(QStringLiteral("typed "));
        const QString before = editor()->text();
        activateMainWindow();
        QVERIFY(m_ui->confirms.isEmpty() && m_ui->warnings.isEmpty());

        const QByteArray theirs = changeFile(file, change, original);
        m_ui->confirmAnswers << answer << answer;
        if (again) {
            m_ui->whileAsking = [&] {
                m_ui->whileAsking = nullptr;
                writeBytes(file, "<P>newer</P>");
                activateMainWindow(); // the box activates windows: no second box
                QCOMPARE(m_ui->confirms.size(), 1);
            };
        }
        activateMainWindow();
        activateMainWindow(); // each change is told once
        QCOMPARE(m_ui->confirms.size(), asked);
        for (const QString &q : std::as_const(m_ui->confirms))
            QCOMPARE(q, reloadQuestion(file));
        QCOMPARE(m_ui->warnings,
                 warned ? QStringList{QStringLiteral("The file %1 was changed by another program.")
                                          .arg(file)}
                        : QStringList{});
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(editor()->text(), reloaded ? QString::fromUtf8(theirs) : before);
        QCOMPARE(editor()->isModified(), modified);
        if (reloaded)
            QCOMPARE(editor()->textCursor().blockNumber(), 2);
        QCOMPARE(doc->windowTitle(), file);
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

    // What the read found out of the file's charset comes back whole after
    // a crash: the status bar names it, and Save writes the file's bytes.
    void recoveredCharsetComesBackWhole_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("status");
        QTest::newRow("declared Windows-1251")
            << QByteArray("<meta charset=windows-1251>\xCF\xF0\xE8\xE2\xE5\xF2") << "Windows-1251";
        QByteArray russian;
        appendInCharset(QString::fromUtf8("Москва - столица России, крупнейший по численности "
                                          "населения город страны и её культурный центр."),
                        TextEncoding::Windows1251, russian);
        QTest::newRow("guessed Windows-1251") << russian << "Windows-1251 (guessed)";
        QTest::newRow("Shift_JIS writing a character in its other form")
            << QByteArray("<meta charset=\"sjis\">\x87\x90") << "Shift_JIS";
        QTest::newRow("a declared charset that cannot be read")
            << QByteArray("<meta charset=\"x-no-such-thing\">caf\xE9")
            << "Windows-1252 (X-NO-SUCH-THING cannot be read)";
    }
    void recoveredCharsetComesBackWhole()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        const QString page = path(QStringLiteral("page.htm"));
        QVERIFY(writeBytes(page, file));
        auto shown = [] { return ZediDove->workbench()->status()->encodingText(); };
        openFile(page)->editor()->setSelText(QStringLiteral("x"));
        QCOMPARE(shown(), status);
        ZediDove->recovery()->snapshot();
        // The copies as a crash leaves them: in a folder no editor holds.
        const QString session = ZediDove->recovery()->sessionFolder();
        const QString ended = DocumentRecovery::rootFolder() + QStringLiteral("/ended");
        QVERIFY(QDir().mkpath(ended));
        for (const QString &name : QDir(session).entryList(QDir::Files))
            if (name != QLatin1String("lock"))
                QVERIFY(QFile::copy(session + QLatin1Char('/') + name,
                                    ended + QLatin1Char('/') + name));
        markAllUnchanged();
        stopApplication();
        m_ui->confirmAnswers << true;
        startApplication();
        m_ui->errors.clear(); // no settings file here
        QCOMPARE(m_ui->confirms.size(), 1);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), page);
        QCOMPARE(shown(), status);
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(readBytes(page), "x" + file);
    }

    // Files of an ended session that are no plain files are never opened
    // (a named pipe would hold the start for good).
    void pipesAmongTheCopies_data()
    {
        QTest::addColumn<QString>("pipe");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("caption"); // of the reopened copy; empty: none
        QTest::newRow("the lock") << "lock" << 0 << "";
        QTest::newRow("the caption") << "1.caption" << 1 << "/tmp/x.htm";
        QTest::newRow("the file's path and charset") << "1.info" << 1 << "HTML 2";
    }
    void pipesAmongTheCopies()
    {
        QFETCH(QString, pipe);
        QFETCH(int, asked);
        QFETCH(QString, caption);
        stopApplication();
        const QString ended = DocumentRecovery::rootFolder() + QStringLiteral("/ended");
        QVERIFY(QDir().mkpath(ended));
        QVERIFY(writeBytes(ended + QStringLiteral("/1.htm"), "kept"));
        QVERIFY(writeBytes(ended + QStringLiteral("/1.caption"), "HTML 7"));
        QVERIFY(writeBytes(ended + QStringLiteral("/1.info"), "path=/tmp/x.htm\nencoding=UTF-8\n"));
        QFile::remove(ended + QLatin1Char('/') + pipe);
        QVERIFY(mkfifo(QFile::encodeName(ended + QLatin1Char('/') + pipe).constData(), 0600) == 0);
        m_ui->confirmAnswers << true;
        startApplication();
        m_ui->errors.clear(); // no settings file here
        QCOMPARE(m_ui->confirms.size(), asked);
        QCOMPARE(openDocuments(), caption.isEmpty() ? 1 : 2);
        if (!caption.isEmpty())
            QCOMPARE(ZediDove->currentDocument()->windowTitle(), caption);
        QVERIFY(m_ui->errors.isEmpty());
    }

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
        QTest::addColumn<QString>("since"); // what became of the file since the crash
        QTest::addColumn<bool>("asked");    // whether Save asks before overwriting
        QTest::addColumn<QByteArray>("name");
        const QByteArray page = "page.htm";
        QTest::newRow("Yes reopens the texts") << true << "nothing" << false << page;
        QTest::newRow("No discards them") << false << "nothing" << false << page;
        QTest::newRow("file changed since: Save asks") << true << "rewrite" << true << page;
        QTest::newRow("file gone since: Save writes it again") << true << "delete" << false << page;
        QTest::newRow("copy kept without its path: untitled") << true << "old copy" << false << page;
        QTest::newRow("name not UTF-8: Save writes that name")
            << true << "nothing" << false << QByteArray("p\xE0ge\xFF.htm");
    }
    void killedEditorIsRecoveredAtTheNextStart()
    {
        QFETCH(bool, reopen);
        QFETCH(QString, since);
        QFETCH(bool, asked);
        QFETCH(QByteArray, name);
        stopApplication();
        const QByteArray native = QFile::encodeName(m_dir->path()) + '/' + name;
        const QString file = pathFromNative(native);
        // QTemporaryDir cannot see a name that is not UTF-8 to remove it.
        const auto removeFile = qScopeGuard([&] { ::unlink(native.constData()); });
        const QByteArray original = "<P>caf\xE9</P>"; // Windows-1252
        writeBytes(file, original);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // As a URL: an argument is passed as text, which would lose the name's bytes.
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), QStringLiteral("type-and-wait"),
                     urlOfLocalPath(file).toString(QUrl::FullyEncoded)});
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
        const QByteArray theirs = changeFile(file, since, original);
        if (since == QLatin1String("old copy")) {
            for (const QString &session : sessions()) {
                QDir dir(DocumentRecovery::rootFolder() + QLatin1Char('/') + session);
                for (const QString &info : dir.entryList({QStringLiteral("*.info")}))
                    QVERIFY(dir.remove(info));
            }
        }
        m_ui->confirmAnswers << reopen;
        startApplication();
        QCOMPARE(m_ui->confirms,
                 QStringList{QStringLiteral(
                                 "Tagloom HTML did not close properly last time. The unsaved text "
                                 "of these documents was kept:\n\nHTML 1\n%1\n\n"
                                 "Reopen it as new documents? No discards it.")
                                 .arg(shownPath(file))});
        m_ui->confirms.clear();
        QCOMPARE(openDocuments(), reopen ? 3 : 1);
        QCOMPARE(ZediDove->documents()->document(1)->editor()->text(), THTMLDOC::skeleton());
        if (!reopen) {
            QVERIFY(sessions().isEmpty());
            QCOMPARE(readBytes(file), original);
            return;
        }
        THTMLDOC *first = ZediDove->documents()->document(2);
        THTMLDOC *second = ZediDove->documents()->document(3);
        QCOMPARE(first->windowTitle(), QStringLiteral("HTML 2"));
        QCOMPARE(first->editor()->text(),
                 textAfterTyping(THTMLDOC::skeleton(), 75, "typed before the crash"));
        QCOMPARE(second->editor()->text(), QStringLiteral("edited <P>caf\u00E9</P>"));
        QVERIFY(first->editor()->isModified());
        QVERIFY(second->editor()->isModified());
        QVERIFY(!first->HasFileName());
        // Only this session's copies of the reopened texts remain.
        QCOMPARE(sessions().size(), 1);
        QCOMPARE(allCopies().size(), 2);
        QCOMPARE(bytesIfFile(file), theirs);

        // The titled one is its file's text again: Save writes there, in
        // the file's encoding, asking first if the file moved on.
        const bool titled = since != QLatin1String("old copy");
        QCOMPARE(second->windowTitle(), titled ? file : QStringLiteral("HTML 3"));
        QCOMPARE(second->HasFileName(), titled);
        m_ui->confirmAnswers << true;
        ZediDove->mdiArea()->setActiveSubWindow(second);
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QCOMPARE(m_ui->confirms, asked ? QStringList{changedQuestion(file)} : QStringList{});
        QCOMPARE(m_ui->fileRequests.size(), titled ? 0 : 1);
        QCOMPARE(bytesIfFile(file), titled ? QByteArray("edited " + original) : theirs);
        QCOMPARE(readNative(native), titled ? QByteArray("edited " + original) : theirs);
        QCOMPARE(second->editor()->isModified(), !titled);

        // Asked once per start: a later start finds nothing more.
        markAllUnchanged();
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
        return typeAndWait(localPathOfUrl(QUrl(QString::fromLatin1(argv[3]))));
    TestRecovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
