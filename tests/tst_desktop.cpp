// Opening from outside: files named on the command line and files dropped on
// the main window open as File > Open opens them, a missing one with the
// usual message while the others still open.
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "startup.h"
#include "testsupport.h"
#include "nativepath.h"
#include "uiseam.h"
#include "userstate.h"
#include "workbench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace {
QStringList captions() {
    QStringList out;
    for (QMdiSubWindow *w : ZediDove->mdiArea()->subWindowList())
        out << w->windowTitle();
    return out;
}

THTMLDOC *document(const QString &caption) {
    for (QMdiSubWindow *w : ZediDove->mdiArea()->subWindowList())
        if (w->windowTitle() == caption)
            return static_cast<THTMLDOC *>(w);
    return nullptr;
}

QMimeData *filesMime(const QList<QUrl> &urls) {
    auto *mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}
} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir *m_dir = nullptr;
    QString m_page, m_other, m_missing, m_oldDir;

private slots:
    void init() {
        m_dir = new QTemporaryDir;
        m_ui = new ScriptedUi;
        m_page = m_dir->filePath(QStringLiteral("page.htm"));
        m_other = m_dir->filePath(QStringLiteral("other.htm"));
        m_missing = m_dir->filePath(QStringLiteral("gone.htm"));
        // A settings file where the program looks, so the only messages are
        // those of the files opened.
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        QFile ini(QStringLiteral("vezezu.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("text color=black\r\nbackground color=white\r\ntoolbar={0,0}\r\n");
        ini.close();
        for (const auto &[path, bytes] : {std::pair{m_page, QByteArray("<P>one\nline two")},
                                          std::pair{m_other, QByteArray("<B>other</B>\r\n")}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }
    void cleanup() {
        const bool noDialogLeft = closeDialogsLeftOpen();
        markAllUnchanged();
        stopApplication();
        QDir::setCurrent(m_oldDir);
        delete m_ui;
        delete m_dir;
        QVERIFY(noDialogLeft);
    }

    // The page goes to the desktop's opener; when that command fails (no
    // browser set, a browser that cannot start) the user is told, not left
    // waiting for a window that never comes.
    void browserCommandThatFailsIsTold_data() {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("told");
        QTest::newRow("the browser opens") << 0 << false;
        QTest::newRow("the command fails") << 3 << true;
        QTest::newRow("no handler for the page") << 4 << true;
    }
    void browserCommandThatFailsIsTold() {
        QFETCH(int, exitCode);
        QFETCH(bool, told);
        const QString bin = m_dir->filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        const QString asked = m_dir->filePath(QStringLiteral("asked"));
        QVERIFY(writeBytes(bin + QStringLiteral("/xdg-open"),
                           QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                               .arg(asked).arg(exitCode).toUtf8()));
        QFile::setPermissions(bin + QStringLiteral("/xdg-open"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + oldPath);
        const bool started = platformUi().openUrl(QUrl::fromLocalFile(m_page));
        qputenv("PATH", oldPath);
        QVERIFY(started);
        QTRY_COMPARE(readBytes(asked), QFile::encodeName(m_page));
        const QStringList error{QCoreApplication::applicationName()
                                + QStringLiteral("|No web browser could be started to show %1.")
                                      .arg(m_page)};
        if (told)
            QTRY_COMPARE(m_ui->errors, error);
        else
            QTest::qWait(300); // the command's end arrives: nothing to tell
        QCOMPARE(m_ui->errors, told ? error : QStringList{});
    }

    void commandLinePath_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("path");
        QTest::newRow("relative, from the working directory") << "pages/a.htm"
                                                              << "pages/a.htm";
        QTest::newRow("absolute") << "/srv/www/index.htm"
                                  << "/srv/www/index.htm";
        QTest::newRow("dots cleaned") << "/srv/www/../x/./b.htm"
                                      << "/srv/x/b.htm";
        QTest::newRow("file URL with an escaped space") << "file:///tmp/my%20page.htm"
                                                        << "/tmp/my page.htm";
        // A name that is not UTF-8 keeps its bytes (U+DC00 + the byte).
        QTest::newRow("file URL with an escaped Latin-1 byte")
            << "file:///tmp/caf%E9.htm" << QStringLiteral("/tmp/caf\xDCE9.htm");
        QTest::newRow("file URL with the byte unescaped")
            << pathFromNative("file:///tmp/caf\xE9 x.htm") << QStringLiteral("/tmp/caf\xDCE9 x.htm");
        QTest::newRow("file URL with escaped UTF-8") << "file:///tmp/caf%C3%A9.htm"
                                                     << QStringLiteral("/tmp/caf\u00E9.htm");
        QTest::newRow("relative, a byte kept") << pathFromNative("p\xFF/../a\xFE.htm")
                                               << QStringLiteral("a\xDCFE.htm");
    }

    // Names are bytes: every one survives the way to a path and back, to
    // the system and through a file: URL; a name in UTF-8 is what Qt makes
    // of it.
    void namesKeepEveryByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("path");
        const auto kept = [](uchar b) { return QChar(char16_t(0xDC00 + b)); };
        for (int b = 0x80; b <= 0xFF; ++b)
            QTest::addRow("lone byte %02X", b)
                << QByteArray("/a").append(char(b)).append(".htm")
                << QStringLiteral("/a") + kept(uchar(b)) + QStringLiteral(".htm");
        const QString valid = QStringLiteral("/caf\u00E9/\u20AC \U0001F600.htm");
        QTest::newRow("valid UTF-8, two to four bytes") << valid.toUtf8() << valid;
        QTest::newRow("overlong slash") << QByteArray("/x\xC0\xAFy")
                                        << QStringLiteral("/x") + kept(0xC0) + kept(0xAF) + "y";
        QTest::newRow("overlong three bytes")
            << QByteArray("/\xE0\x80\xAF") << QStringLiteral("/") + kept(0xE0) + kept(0x80) + kept(0xAF);
        QTest::newRow("encoded surrogate")
            << QByteArray("/\xED\xA0\x80") << QStringLiteral("/") + kept(0xED) + kept(0xA0) + kept(0x80);
        QTest::newRow("encoded kept byte itself")
            << QByteArray("/\xED\xB3\xA9") << QStringLiteral("/") + kept(0xED) + kept(0xB3) + kept(0xA9);
        QTest::newRow("past U+10FFFF") << QByteArray("/\xF4\x90\x80\x80")
                                       << QStringLiteral("/") + kept(0xF4) + kept(0x90) + kept(0x80)
                                              + kept(0x80);
        QTest::newRow("two bytes cut at the end") << QByteArray("/a\xC3")
                                                  << QStringLiteral("/a") + kept(0xC3);
        QTest::newRow("three bytes cut at the end") << QByteArray("/a\xE2\x82")
                                                    << QStringLiteral("/a") + kept(0xE2) + kept(0x82);
        QTest::newRow("four bytes cut at the end")
            << QByteArray("/a\xF0\x9F\x98") << QStringLiteral("/a") + kept(0xF0) + kept(0x9F) + kept(0x98);
        QTest::newRow("cut sequence before ASCII") << QByteArray("/\xE2\x82" "a")
                                                   << QStringLiteral("/") + kept(0xE2) + kept(0x82) + "a";
        QTest::newRow("pair whose second half looks kept, then a kept byte")
            << QByteArray("/\xF0\x90\x82\x80\x80")
            << QStringLiteral("/\U00010080") + kept(0x80);
    }
    void namesKeepEveryByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, path);
        QCOMPARE(pathFromNative(bytes), path);
        QCOMPARE(nativePath(path), bytes);
        QCOMPARE(localPathOfUrl(urlOfLocalPath(path)), path);
        const QUrl dropped(QString::fromLatin1("file://" + bytes.toPercentEncoding("/")));
        QCOMPARE(localPathOfUrl(dropped), path);
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            QCOMPARE(nativePath(path), QFile::encodeName(path));
            QCOMPARE(shownPath(path), path);
        } else {
            QVERIFY(shownPath(path).contains(QChar(QChar::ReplacementCharacter)));
        }
    }

    // A file whose name is not UTF-8, opened from the command line or
    // dropped, is saved, checked on disk and reloaded under its own name.
    void fileNamedInOtherBytesIsItsOwn_data() {
        QTest::addColumn<QByteArray>("folder"); // under the test folder
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("route");
        const struct {
            const char *what;
            QByteArray folder, name;
        } names[] = {
            {"Latin-1 byte", "pages", "caf\xE9.htm"},
            {"no UTF-8 at all", "pages", "\xFF\xFE.htm"},
            {"folder not UTF-8", "d\xE9j\xE0", "page.htm"},
            {"UTF-8 name", "pages", "caf\xC3\xA9 \xE2\x82\xAC.htm"},
        };
        for (const char *route : {"argument", "file URL", "drop"})
            for (const auto &n : names)
                QTest::addRow("%s, %s", route, n.what) << n.folder << n.name << QString(route);
    }
    void fileNamedInOtherBytesIsItsOwn() {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, name);
        QFETCH(QString, route);
        const QByteArray top = QFile::encodeName(m_dir->path());
        const QByteArray dir = top + '/' + folder;
        const QByteArray file = dir + '/' + name;
        QCOMPARE(::mkdir(dir.constData(), 0755), 0);
        // QTemporaryDir cannot see a name that is not UTF-8 to remove it.
        const auto removeAll = qScopeGuard([&] {
            for (const QByteArray &n : namesInFolder(dir))
                ::unlink((dir + '/' + n).constData());
            ::rmdir(dir.constData());
        });
        QVERIFY(writeNative(file, "<P>old"));
        QCOMPARE(::chmod(file.constData(), 0640), 0);
        const QString path = pathFromNative(file);
        QFile::remove(UserState::path()); // no recent files of the rows before
        if (route == QLatin1String("drop")) {
            startApplication();
            // As a file manager sends it: the name's bytes percent-encoded.
            QMimeData mime;
            mime.setData(QStringLiteral("text/uri-list"),
                         "file://" + file.toPercentEncoding("/") + "\r\n");
            QWidget *on = editor()->viewport();
            const QPoint at = on->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(on, &enter);
            QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(on, &drop);
            QVERIFY(drop.isAccepted());
            QTRY_COMPARE(captions().size(), 2);
        } else if (route == QLatin1String("file URL")) {
            startApplication({::commandLinePath(
                QString::fromLatin1("file://" + file.toPercentEncoding("/")))});
        } else {
            // Named from inside its folder, as argv gives it.
            QCOMPARE(::chdir(dir.constData()), 0);
            const QString argument = ::commandLinePath(pathFromNative(name));
            QCOMPARE(::chdir(top.constData()), 0);
            startApplication({argument});
        }
        QVERIFY(m_ui->errors.isEmpty());
        THTMLDOC *doc = ZediDove->currentDocument();
        QCOMPARE(doc->windowTitle(), path);
        QCOMPARE(doc->filePath(), path);
        QCOMPARE(editor()->text(), QStringLiteral("<P>old"));

        editor()->setSelText(QStringLiteral("new "));
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(readNative(file), QByteArray("new <P>old"));
        QCOMPARE(namesInFolder(dir), QList<QByteArray>{name});
        struct stat st;
        QCOMPARE(::stat(file.constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
        // The recent list keeps the name's bytes in the user's state file.
        QCOMPARE(ZediDove->workbench()->recentFiles().value(0), path);
        QVERIFY(!readBytes(UserState::path()).contains("\xEF\xBF\xBD"));

        // Another program rewrites it: noticed, and reloaded from that name.
        QVERIFY(writeNative(file, "<P>theirs, longer"));
        m_ui->confirmAnswers << true;
        doc->checkDisk();
        QCOMPARE(m_ui->confirms.size(), 1);
        QCOMPARE(editor()->text(), QStringLiteral("<P>theirs, longer"));
        QVERIFY(!editor()->isModified());
        QCOMPARE(namesInFolder(dir), QList<QByteArray>{name});
    }
    void commandLinePath() {
        QFETCH(QString, argument);
        QFETCH(QString, path);
        if (!path.startsWith(QLatin1Char('/')))
            path = QDir::currentPath() + QLatin1Char('/') + path;
        QCOMPARE(::commandLinePath(argument), path);
    }

    void commandLineFilesOpenInPlaceOfTheFirstNewDocument() {
        startApplication({m_page, m_missing, m_other});
        // Each file takes a slot of its own, from slot 1; no "HTML 1". The
        // file that could not be read leaves no window and no slot behind.
        QCOMPARE(captions(), (QStringList{m_page, m_other}));
        QCOMPARE(LastSlot, 2);
        QCOMPARE(m_ui->errors,
                 QStringList{QStringLiteral("Tagloom HTML|Cannot open file %1.").arg(m_missing)});

        THTMLDOC *page = document(m_page);
        QCOMPARE(page->editor()->text(), QStringLiteral("<P>one\r\nline two"));
        QVERIFY(page->HasFileName());
        QVERIFY(!page->editor()->isModified());
        QCOMPARE(page->editor()->selStart(), 0);
        // The last file opened is the current document.
        QCOMPARE(ZediDove->currentDocument(), document(m_other));
    }

    void onlyFilesThatCannotBeOpenedStartWithTheFirstNewDocument() {
        startApplication({m_missing});
        QCOMPARE(captions(), QStringList{QStringLiteral("HTML 1")});
        QCOMPARE(m_ui->errors,
                 QStringList{QStringLiteral("Tagloom HTML|Cannot open file %1.").arg(m_missing)});
    }

    void withoutFilesTheStartIsUnchanged() {
        startApplication({});
        QCOMPARE(captions(), QStringList{QStringLiteral("HTML 1")});
        QVERIFY(m_ui->errors.isEmpty());
    }

    void droppedFilesOpenAsDocuments() {
        startApplication();
        EditorBox *first = editor();
        const QString before = first->text();
        std::unique_ptr<QMimeData> mime(filesMime(
            {QUrl::fromLocalFile(m_page), QUrl::fromLocalFile(m_missing),
             QUrl(QStringLiteral("http://example.com/remote.htm")), QUrl::fromLocalFile(m_other)}));

        // Dragged over an editor and dropped there: the editor leaves the
        // files to the main window, which opens them.
        const QPoint at = first->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(first->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(first->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(captions().size(), 3);
        QCOMPARE(captions(), (QStringList{"HTML 1", m_page, m_other}));
        QCOMPARE(m_ui->errors,
                 QStringList{QStringLiteral("Tagloom HTML|Cannot open file %1.").arg(m_missing)});
        QCOMPARE(document(m_other)->editor()->text(), QStringLiteral("<B>other</B>\r\n"));
        QVERIFY(document(m_other)->HasFileName());
        QCOMPARE(first->text(), before);
    }

    void installedDefaultSettingsServeWhereThereAreNone() {
        QFile::remove(QStringLiteral("vezezu.ini"));
        // A prefix of its own, so tests running side by side see none of it.
        const QString installed =
            m_dir->filePath(QStringLiteral("usr/share/tagloom-html/vezezu.ini"));
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
        {
            QFile f(installed);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("text color=white\r\nbackground color=blue\r\ntoolbar={5,6}\r\n");
        }
        setInstalledSettingsPath(installed);
        startApplication();
        setInstalledSettingsPath(QString());
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(ZediDove->EditorBackColor, ColourValue(0xFF0000));
        QCOMPARE(ZediDove->EditorTextColor, ColourValue(0xFFFFFF));
        // Saving writes the working directory's file, the default stays.
        ZediDove->action(QStringLiteral("SaveSet"))->trigger();
        QVERIFY(m_ui->errors.isEmpty());
        QFile saved(QStringLiteral("vezezu.ini"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("text color=white\r\nbackground color=blue\r\n"));
        QFile original(installed);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QVERIFY(original.readAll().startsWith("text color=white\r\n"));
    }

    void dragsWithoutFilesAreNotTaken() {
        startApplication();
        QMimeData text;
        text.setText(QStringLiteral("<B>"));
        QDragEnterEvent enter(QPoint(10, 60), Qt::CopyAction, &text, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(ZediDove, &enter);
        QVERIFY(!enter.isAccepted());
        std::unique_ptr<QMimeData> remote(
            filesMime({QUrl(QStringLiteral("http://example.com/a.htm"))}));
        QDropEvent drop(QPointF(10, 60), Qt::CopyAction, remote.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(ZediDove, &drop);
        QVERIFY(!drop.isAccepted());
        QCOMPARE(captions(), QStringList{QStringLiteral("HTML 1")});
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
