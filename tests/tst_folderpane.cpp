// The folder pane: File > Open Folder and the folder named on the command
// line, the tree and its filter, files opened from it, recent folders, the
// state kept for the next start, and its rename and move requests.
#include "document.h"
#include "documenttable.h"
#include "folderpane.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "renamerequests.h"
#include "sitefolder.h"
#include "testsupport.h"
#include "workbench.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {
QAction *item(const char *name) { return ZediDove->findChild<QAction *>(QLatin1String(name)); }
Workbench *bench() { return ZediDove->workbench(); }
FolderPane *pane() { return bench()->folderPane(); }
QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}
} // namespace

class TestFolderPane : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir *m_dir = nullptr;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A small site: pages, a stylesheet, a script, an image, hidden files
    // and the folders of three version-control systems.
    void makeSite()
    {
        for (const char *name :
             {"index.html", "about.htm", "notes.txt", "css/site.css", "css/index.html", "js/app.js", "img/logo.png",
              "sub/page.html", "sub/.secret", ".hidden", ".git/config", ".svn/entries", "CVS/Root",
              "node_modules/lib.js"}) {
            QDir().mkpath(QFileInfo(path(QLatin1String(name))).path());
            QVERIFY(writeBytes(path(QLatin1String(name)), "<p>x</p>\r\n"));
        }
    }
    void openFolder(const QString &folder)
    {
        m_ui->folderAnswers << folder;
        item("FileOpenFolder")->trigger();
        QCOMPARE(bench()->siteFolder()->path(), folder);
    }

private slots:
    void init()
    {
        if (runsWithoutWindows({"nameMatches"}))
            return;
        m_dir = new QTemporaryDir;
        makeSite();
        m_ui = startWithScriptedUi();
        m_ui->errors.clear(); // no settings file where the tests run
    }
    void cleanup()
    {
        if (m_ui && ZediDove) {
            bench()->siteFolder()->setPath({}); // none open at the next start
            pane()->setFilterText({});
            markAllUnchanged();
            QVERIFY2(m_ui->errors.isEmpty() || QTest::currentTestFailed(),
                     qPrintable(m_ui->errors.join('\n')));
        }
        if (m_ui)
            QVERIFY(stopWithScriptedUi(m_ui));
        delete std::exchange(m_dir, nullptr);
    }

    void nameMatches_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("shown");
        QTest::newRow("no filter") << "x.bin" << "" << true;
        QTest::newRow("part of the name, any case") << "About.HTML" << "out.h" << true;
        QTest::newRow("part missing") << "site.css" << "index" << false;
        QTest::newRow("wildcard") << "site.css" << "*.css" << true;
        QTest::newRow("wildcard is the whole name") << "site.css.bak" << "*.css" << false;
        QTest::newRow("wildcard, any case") << "LOGO.PNG" << "*.png" << true;
        QTest::newRow("one of two wildcards") << "app.js" << "*.css; *.js" << true;
        QTest::newRow("question mark") << "a1.htm" << "a?.htm" << true;
        QTest::newRow("spaces around") << "site.css" << "  site " << true;
    }
    void nameMatches()
    {
        QFETCH(QString, name);
        QFETCH(QString, filter);
        QFETCH(bool, shown);
        QCOMPARE(FolderPane::nameMatches(name, filter), shown);
    }

    void treeShows_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("names");
        const QStringList folders{"css", "img", "js", "node_modules", "sub"};
        QTest::newRow("top: no hidden files, no VCS folders")
            << "" << "" << folders + QStringList{"about.htm", "index.html", "notes.txt"};
        QTest::newRow("a folder's hidden file left out") << "sub" << "" << QStringList{"page.html"};
        QTest::newRow("filter keeps the folders")
            << "" << "htm" << folders + QStringList{"about.htm", "index.html"};
        QTest::newRow("wildcard in a folder") << "css" << "*.css" << QStringList{"site.css"};
        QTest::newRow("wildcard hides the rest") << "js" << "*.css" << QStringList{};
    }
    void treeShows()
    {
        QFETCH(QString, folder);
        QFETCH(QString, filter);
        QFETCH(QStringList, names);
        QVERIFY(!pane()->isVisible());
        openFolder(m_dir->path());
        QVERIFY(pane()->isVisible());
        pane()->setFilterText(filter);
        const QString shown = folder.isEmpty() ? m_dir->path() : path(folder);
        QTRY_COMPARE(sorted(pane()->shownNames(shown)), sorted(names));
        // Closed: no folder, no pane, nothing read any more.
        item("FileCloseFolder")->trigger();
        QVERIFY(bench()->siteFolder()->path().isEmpty());
        QVERIFY(!pane()->isVisible());
        QVERIFY(!pane()->model());
    }

    void followsTheDisk()
    {
        openFolder(m_dir->path());
        QTRY_VERIFY(pane()->shownNames(path("sub")).contains("page.html"));
        QVERIFY(writeBytes(path("sub/new.css"), "p{}"));
        QVERIFY(writeBytes(path("sub/.new"), "x"));
        QTRY_COMPARE(pane()->shownNames(path("sub")), (QStringList{"new.css", "page.html"}));
        QVERIFY(QFile::remove(path("sub/page.html")));
        QTRY_COMPARE(pane()->shownNames(path("sub")), QStringList{"new.css"});
    }

    void opensFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<bool>("inEditor");
        QTest::newRow("Enter on a page") << "index.html" << false << true;
        QTest::newRow("double-click on a page") << "about.htm" << true << true;
        QTest::newRow("a stylesheet in a folder") << "css/site.css" << false << true;
        QTest::newRow("an image: the desktop's program") << "img/logo.png" << true << false;
    }
    void opensFiles()
    {
        QFETCH(QString, file);
        QFETCH(bool, doubleClick);
        QFETCH(bool, inEditor);
        openFolder(m_dir->path());
        QTreeView *tree = pane()->tree();
        const QString full = path(file);
        const QString folder = QFileInfo(full).path();
        if (folder != m_dir->path()) { // Enter on a folder opens it in the tree
            QTRY_VERIFY(pane()->indexOf(folder).isValid());
            tree->setCurrentIndex(pane()->indexOf(folder));
            QTest::keyClick(tree, Qt::Key_Return);
            QVERIFY(tree->isExpanded(pane()->indexOf(folder)));
        }
        QTRY_VERIFY(pane()->indexOf(full).isValid());
        const int before = openDocuments();
        for (int time = 0; time < 2; ++time) {
            ZediDove->New1Click(); // another page is current
            const QModelIndex at = pane()->indexOf(full);
            tree->scrollTo(at);
            tree->setCurrentIndex(at);
            if (doubleClick) {
                const QPoint centre = tree->visualRect(at).center();
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centre);
                QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, centre);
            } else {
                QTest::keyClick(tree, Qt::Key_Return);
            }
            if (!inEditor)
                continue;
            // Opened once; the second time it is made current again.
            QCOMPARE(ZediDove->currentDocument()->filePath(), full);
            QCOMPARE(openDocuments(), before + 1 + (time + 1));
        }
        if (!inEditor)
            QCOMPARE(m_ui->urlsOpened, QList<QUrl>(2, QUrl::fromLocalFile(full)));
    }

    void recentFolders()
    {
        QTemporaryDir other;
        item("ClearRecent")->trigger();
        openFolder(m_dir->path());
        openFolder(other.path());
        QCOMPARE(bench()->recentFolders(), (QStringList{other.path(), m_dir->path()}));
        // Listed after the files, "/" at the end; chosen, it opens.
        emit bench()->recentMenu()->aboutToShow();
        QList<QAction *> rows = bench()->recentMenu()->actions();
        QCOMPARE(rows.at(rows.size() - 3)->text(), m_dir->path() + '/');
        rows.at(rows.size() - 3)->trigger();
        QCOMPARE(bench()->siteFolder()->path(), m_dir->path());
        QCOMPARE(bench()->recentFolders().value(0), m_dir->path());
        // A folder gone since says so and leaves the list.
        const QString gone = other.path();
        other.remove();
        emit bench()->recentMenu()->aboutToShow();
        rows = bench()->recentMenu()->actions();
        rows.at(rows.size() - 3)->trigger();
        QCOMPARE(m_ui->errors, QStringList{"Tagloom HTML|Cannot open folder " + gone + '.'});
        m_ui->errors.clear();
        QCOMPARE(bench()->recentFolders(), QStringList{m_dir->path()});
        QCOMPARE(bench()->siteFolder()->path(), m_dir->path());
        // Cancelled: the folder open stays.
        item("FileOpenFolder")->trigger();
        QCOMPARE(m_ui->folderRequests.last(), "Open Folder|" + m_dir->path());
        QCOMPARE(bench()->siteFolder()->path(), m_dir->path());
    }

    void stateKept_data()
    {
        QTest::addColumn<QString>("hide"); // how the user hid the pane
        QTest::addColumn<bool>("removeFolder");
        QTest::newRow("folder, pane and filter back") << "" << false;
        QTest::newRow("hidden from the View menu, stays hidden") << "menu" << false;
        QTest::newRow("closed by its close box, stays hidden") << "close box" << false;
        QTest::newRow("a folder gone is not reopened") << "" << true;
    }
    void stateKept()
    {
        QFETCH(QString, hide);
        QFETCH(bool, removeFolder);
        const bool hidePane = !hide.isEmpty();
        QTemporaryDir site;
        openFolder(site.path());
        pane()->setFilterText("*.css");
        if (hide == "menu")
            item("ViewFolder")->trigger();
        else if (hide == "close box")
            pane()->close();
        QCOMPARE(pane()->isVisible(), !hidePane);
        stopApplication();
        if (removeFolder)
            site.remove();
        startApplication();
        m_ui->errors.clear();
        QCOMPARE(bench()->siteFolder()->path(), removeFolder ? QString() : site.path());
        QCOMPARE(pane()->isVisible(), !hidePane && !removeFolder);
        QCOMPARE(item("ViewFolder")->isChecked(), !hidePane && !removeFolder);
        QCOMPARE(pane()->filterText(), QStringLiteral("*.css"));
        pane()->setFilterText({});
    }

    void commandLineFolder()
    {
        stopApplication();
        startApplication({path("sub/page.html"), m_dir->path()});
        m_ui->errors.clear();
        QCOMPARE(bench()->siteFolder()->path(), m_dir->path());
        QVERIFY(pane()->isVisible());
        QCOMPARE(openDocuments(), 1);
        QCOMPARE(ZediDove->currentDocument()->filePath(), path("sub/page.html"));
        QTRY_VERIFY(pane()->shownNames(m_dir->path()).contains("index.html"));
    }

    void renames_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("answer"); // the name typed, or the folder chosen
        QTest::addColumn<QString>("to");     // empty: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("rename") << false << "index.html" << "home.html" << "home.html" << "";
        QTest::newRow("rename over a file refused")
            << false << "index.html" << "about.htm" << "" << "about.htm already exists";
        QTest::newRow("rename a folder") << false << "sub" << "pages" << "pages/page.html" << "";
        QTest::newRow("move into a folder") << true << "index.html" << "sub" << "sub/index.html" << "";
        QTest::newRow("move over a file refused")
            << true << "index.html" << "css" << "" << "index.html already exists";
        QTest::newRow("move a folder into itself refused")
            << true << "sub" << "sub" << "" << "cannot be moved into itself";
        QTest::newRow("a name with a slash refused")
            << false << "index.html" << "a/b.html" << "" << "is not a name";
        QTest::newRow("same name: nothing") << false << "index.html" << "index.html" << "" << "";
    }
    void renames()
    {
        QFETCH(bool, move);
        QFETCH(QString, from);
        QFETCH(QString, answer);
        QFETCH(QString, to);
        QFETCH(QString, error);
        openFolder(m_dir->path());
        // The page open follows its file.
        THTMLDOC *doc = ZediDove->openDocument(path(QFileInfo(from).suffix().isEmpty()
                                                        ? from + "/page.html"
                                                        : from));
        const QString opened = doc->filePath();
        // A rename goes through the list of the references it changes.
        if (!to.isEmpty())
            onDialogNamed("RenameReview", [](QWidget *list) { click(list, "OkButton"); });
        if (move) {
            m_ui->folderAnswers << QDir::cleanPath(path(answer));
            emit pane()->moveAsked(path(from));
        } else {
            m_ui->inputAnswers << answer;
            emit pane()->renameAsked(path(from));
        }
        if (!error.isEmpty()) {
            QCOMPARE(m_ui->errors.size(), 1);
            QVERIFY2(m_ui->errors.first().contains(error), qPrintable(m_ui->errors.first()));
            m_ui->errors.clear();
        }
        if (to.isEmpty()) {
            QVERIFY(QFileInfo::exists(path(from)));
            QCOMPARE(doc->filePath(), opened);
            return;
        }
        QTRY_VERIFY(!QFileInfo::exists(path(from)));
        QVERIFY(QFileInfo::exists(path(to)));
        QCOMPARE(doc->path(), path(to));
        QCOMPARE(doc->windowTitle(), path(to));
    }

    // With a taker of the request, nothing is renamed here.
    void renameHandedOn()
    {
        QSignalSpy asked(bench()->renameRequests(), &RenameRequests::renameRequested);
        m_ui->inputAnswers << "home.html";
        emit pane()->renameAsked(path("index.html"));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first(), (QVariantList{path("index.html"), path("home.html")}));
        QVERIFY(QFileInfo::exists(path("index.html")));
    }
};

QTEST_MAIN(TestFolderPane)
#include "tst_folderpane.moc"
