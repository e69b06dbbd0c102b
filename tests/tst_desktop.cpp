// Opening from outside: files named on the command line and files dropped on
// the main window open as File > Open opens them, a missing one with the
// usual message while the others still open.
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "startup.h"
#include "testsupport.h"
#include "uiseam.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

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
        TZediDove::setInstalledSettingsPath(installed);
        startApplication();
        TZediDove::setInstalledSettingsPath(QString());
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
