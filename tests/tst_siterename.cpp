// Renaming and moving files of a site with every reference kept: what the
// planner changes, and what a rename does to the disk and to open pages.
#include "document.h"
#include "documenttable.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "pagetext.h"
#include "siterename.h"
#include "siterenames.h"
#include "sitefolder.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QTreeWidget>

namespace {
// "rel/path=content" rows written under `root`.
void writeSite(const QString &root, const QStringList &files)
{
    for (const QString &f : files) {
        const qsizetype eq = f.indexOf(u'=');
        const QString path = root + u'/' + f.left(eq);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QVERIFY(writeBytes(path, f.mid(eq + 1).toUtf8()));
    }
}

// The site's texts once the plan's edits are made (lines end in LF here),
// "rel/path=content" for each file they change.
QStringList applied(const RenamePlan &plan, const QString &root)
{
    QStringList out;
    for (const FileEdits &f : renameEdits(plan)) {
        QString oldPath = f.path;
        if (f.path.startsWith(plan.to))
            oldPath = plan.from + f.path.mid(plan.to.size());
        QStringList lines = QString::fromUtf8(readBytes(oldPath)).split(u'\n');
        QList<LineEdit> edits = f.edits;
        std::sort(edits.begin(), edits.end(),
                  [](const LineEdit &a, const LineEdit &b) { return a.column > b.column; });
        for (const LineEdit &e : edits)
            lines[e.line].replace(e.column, e.length, e.replacement);
        out << QDir(root).relativeFilePath(f.path) + u'=' + lines.join(u'\n');
    }
    out.sort();
    return out;
}

QString textOf(const PageDocument *page)
{
    return page->text()->toRawText().replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
}

QByteArray utf16le(const QString &s)
{
    QByteArray out("\xFF\xFE", 2);
    for (const QChar c : s)
        out += QByteArray(reinterpret_cast<const char *>(&c), 2);
    return out;
}

// A site of three pages: the one renamed, one open that links it, and one
// closed that does too.
struct Site {
    QTemporaryDir dir;
    QString root = dir.path();
    QMdiArea area;
    DocumentTable table{&area};
    SiteFolder folder;
    SiteRenames renames{&table, &folder, nullptr};
    PageDocument *linking = nullptr;
    THTMLDOC *renamed = nullptr;

    explicit Site(const QByteArray &closed)
    {
        folder.setPath(root);
        writeBytes(root + "/a.html", "<p>a</p>\n");
        writeBytes(root + "/open.html", "<p>\n<a href=\"a.html\">a</a>\n");
        writeBytes(root + "/closed.html", closed);
        linking = table.openPage(root + "/open.html");
        renamed = table.attachWindow(table.openPage(root + "/a.html"));
    }
    // The window goes before the documents its editor shows.
    ~Site() { delete renamed; }
    // Renames a.html to b.html, answering the list with `button`; whether
    // the rename was done.
    bool rename(const char *button, const std::function<void(QWidget *)> &whileListed = {})
    {
        QSignalSpy done(&renames, &SiteRenames::finished);
        if (button) {
            onDialogNamed("RenameReview", [=](QWidget *dialog) {
                if (whileListed)
                    whileListed(dialog);
                click(dialog, button);
            });
        }
        renames.rename(root + "/a.html", root + "/b.html");
        if (!QTest::qWaitFor([&] { return done.count() == 1; }))
            return false;
        return done.at(0).at(0).toBool();
    }
};
} // namespace

class TestSiteRename : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY(closeDialogsLeftOpen()); }

    void plan_data()
    {
        QTest::addColumn<QStringList>("site");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("expected"); // the files changed, as they become
        QTest::addColumn<int>("leftAlone");
        const QString a = QStringLiteral("a.html=<p>a");
        QTest::newRow("same folder, upper-case markup")
            << QStringList{a, "index.html=<P><A HREF=\"a.html\">x</A>\n<a href=a.html>"}
            << "a.html" << "b.html"
            << QStringList{"index.html=<P><A HREF=\"b.html\">x</A>\n<a href=b.html>"} << 0;
        QTest::newRow("from a sub folder and from its parent")
            << QStringList{"sub/a.html=x", "sub/deep/p.html=<a href=\"../a.html\">",
                           "index.html=<img src=sub/a.html>"}
            << "sub/a.html" << "sub/b.html"
            << QStringList{"index.html=<img src=sub/b.html>",
                           "sub/deep/p.html=<a href=\"../b.html\">"}
            << 0;
        QTest::newRow("under a base href")
            << QStringList{a, "new/x.png=x", "sub/p.html=<base href=\"../\"><a href=\"a.html\">"}
            << "a.html"
            << "new/b.html" << QStringList{"sub/p.html=<base href=\"../\"><a href=\"new/b.html\">"}
            << 0;
        QTest::newRow("query and fragment kept as written")
            << QStringList{a, "i.html=<a href=\"a.html?x=1&amp;y=2#top\">"} << "a.html"
            << "b.html" << QStringList{"i.html=<a href=\"b.html?x=1&amp;y=2#top\">"} << 0;
        QTest::newRow("percent-encoded names and spaces")
            << QStringList{"my page.html=x", "i.html=<a href=\"my%20page.html#t\">"}
            << "my page.html" << "new & 100%.html"
            << QStringList{"i.html=<a href=\"new%20&amp;%20100%25.html#t\">"} << 0;
        QTest::newRow("stylesheet url() and @import")
            << QStringList{"img/a.png=x",
                           "css/s.css=@import \"../img/a.png\";\nb{background:url(../img/a.png)}"}
            << "img/a.png" << "img/b (1).png"
            << QStringList{"css/s.css=@import \"../img/b%20%281%29.png\";\n"
                           "b{background:url(../img/b%20%281%29.png)}"}
            << 0;
        QTest::newRow("moved into a sub folder: its own links follow")
            << QStringList{"a.html=<a href=c.html>c</a><img src=\"./img/x.png\"><a href=#t>",
                           "c.html=<a href=\"a.html\">", "img/x.png=x", "sub/k.html=k"}
            << "a.html" << "sub/a.html"
            << QStringList{"c.html=<a href=\"sub/a.html\">",
                           "sub/a.html=<a href=../c.html>c</a><img src=\"../img/x.png\"><a href=#t>"}
            << 0;
        QTest::newRow("folder renamed: links into it follow, links inside stay")
            << QStringList{"docs/a.html=<a href=\"b.html\"><a href=\"../index.html\">",
                           "docs/b.html=b", "index.html=<a href=docs/a.html><a href=\"docs/\">"}
            << "docs" << "manual"
            << QStringList{"index.html=<a href=manual/a.html><a href=\"manual/\">"} << 0;
        QTest::newRow("root-relative stays root-relative")
            << QStringList{a, "z/x.png=x", "sub/p.html=<a href=\"/a.html\">"} << "a.html"
            << "z/b.html"
            << QStringList{"sub/p.html=<a href=\"/z/b.html\">"} << 0;
        QTest::newRow("external and case-mismatched links untouched")
            << QStringList{a, "i.html=<a href=\"http://example.com/a.html\"><a href=\"A.html\">"}
            << "a.html" << "b.html" << QStringList{} << 1;
    }
    void plan()
    {
        QFETCH(QStringList, site);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QTemporaryDir dir;
        const QString root = dir.path();
        writeSite(root, site);
        const RenamePlan p = planRename(root, root + u'/' + from, root + u'/' + to, {});
        QVERIFY2(p.refusal.isEmpty(), qPrintable(p.refusal));
        QFETCH(QStringList, expected);
        QFETCH(int, leftAlone);
        QCOMPARE(applied(p, root), expected);
        QCOMPARE(int(std::count_if(p.changes.begin(), p.changes.end(),
                                   [](const RenameChange &c) { return c.caseOnly; })),
                 leftAlone);
    }

    void cancelledPlanSaysSo()
    {
        QTemporaryDir dir;
        writeSite(dir.path(), {"a.html=a", "i.html=<a href=a.html>"});
        JobControl control;
        control.cancel();
        const RenamePlan p = planRename(dir.path(), dir.path() + "/a.html",
                                        dir.path() + "/b.html", {}, &control);
        QVERIFY(p.cancelled);
        QVERIFY(renameEdits(p).isEmpty());
    }

    void renames_data()
    {
        QTest::addColumn<QByteArray>("closed");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("closed UTF-8 page, mixed line breaks")
            << QByteArray("<p>caf\xC3\xA9</p>\r\n<a href=a.html>\n<img src=\"a.html#x\">")
            << QByteArray("<p>caf\xC3\xA9</p>\r\n<a href=b.html>\n<img src=\"b.html#x\">");
        QTest::newRow("closed windows-1252 page")
            << QByteArray("<meta charset=windows-1252>\r\n<p>\x93" "caf\xE9\x94" " <a href='a.html'>")
            << QByteArray("<meta charset=windows-1252>\r\n<p>\x93" "caf\xE9\x94" " <a href='b.html'>");
        QTest::newRow("closed UTF-16 page")
            << utf16le(u"<p>\u00e9\u4e2d</p>\n<a href=\"a.html\">"_qs)
            << utf16le(u"<p>\u00e9\u4e2d</p>\n<a href=\"b.html\">"_qs);
    }
    // The progress box's delay ends while the list is open: it stays away.
    void noProgressBoxOverTheList()
    {
        Site site("<a href=\"a.html\">\n");
        bool boxShown = true;
        QVERIFY(site.rename("OkButton", [&](QWidget *) {
            QTest::qWait(1300); // past the box's delay
            boxShown = false;
            for (QWidget *w : QApplication::topLevelWidgets())
                boxShown |= w->objectName() == QLatin1String("RenameProgress") && w->isVisible();
        }));
        QVERIFY(!boxShown);
    }

    void renames()
    {
        QFETCH(QByteArray, closed);
        QFETCH(QByteArray, after);
        ScriptedUi ui;
        Site site(closed);
        QVERIFY(site.rename("OkButton"));
        QCOMPARE(readBytes(site.root + "/closed.html"), after);
        QVERIFY(!QFileInfo::exists(site.root + "/a.html"));
        QCOMPARE(readBytes(site.root + "/b.html"), QByteArray("<p>a</p>\n"));
        // The open page changed in its document, in one undo step.
        QCOMPARE(textOf(site.linking), u"<p>\r\n<a href=\"b.html\">a</a>\r\n"_qs);
        QVERIFY(site.linking->isModified());
        site.linking->text()->undo();
        QCOMPARE(textOf(site.linking), u"<p>\r\n<a href=\"a.html\">a</a>\r\n"_qs);
        // The renamed page's document follows its file.
        QCOMPARE(site.renamed->filePath(), site.root + "/b.html");
        QCOMPARE(site.renamed->windowTitle(), site.root + "/b.html");
        QVERIFY(!site.renamed->changedOnDisk(site.root + "/b.html"));
        QCOMPARE(ui.errors + ui.warnings, QStringList());
    }

    void refused_data()
    {
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<QString>("button"); // empty: no list shown
        QTest::addColumn<bool>("touchWhileListed");
        QTest::addColumn<bool>("untickClosed"); // its file's box in the list
        QTest::addColumn<bool>("renamed");
        QTest::addColumn<QString>("closedAfter");
        QTest::addColumn<int>("boxes"); // errors and warnings shown
        const QString before = QStringLiteral("<a href=a.html>");
        QTest::newRow("the new name exists: nothing done")
            << true << QString() << false << false << false << before << 1;
        QTest::newRow("cancelled from the list: nothing done")
            << false << "CancelButton" << false << false << false << before << 0;
        QTest::newRow("a file unticked in the list keeps its reference")
            << false << "OkButton" << false << true << true << before << 0;
        QTest::newRow("a page changed on disk meanwhile is left and reported")
            << false << "OkButton" << true << false << true << "<a href=a.html>!" << 1;
    }
    void refused()
    {
        QFETCH(bool, targetExists);
        QFETCH(QString, button);
        QFETCH(bool, touchWhileListed);
        QFETCH(bool, untickClosed);
        QFETCH(QString, closedAfter);
        QFETCH(int, boxes);
        ScriptedUi ui;
        Site site("<a href=a.html>");
        if (targetExists)
            writeBytes(site.root + "/b.html", "b");
        const QByteArray name = button.toLatin1();
        const bool renamed =
            site.rename(button.isEmpty() ? nullptr : name.constData(), [&](QWidget *dialog) {
                if (touchWhileListed)
                    writeBytes(site.root + "/closed.html", "<a href=a.html>!");
                if (untickClosed) {
                    const auto rows = child<QTreeWidget>(dialog, "Changes")->findItems(
                        "closed.html", Qt::MatchEndsWith);
                    QCOMPARE(rows.size(), 1);
                    rows.first()->setCheckState(0, Qt::Unchecked);
                }
            });
        QTEST(renamed, "renamed");
        QCOMPARE(QFileInfo::exists(site.root + "/a.html"), !renamed);
        QCOMPARE(readBytes(site.root + "/closed.html"), closedAfter.toUtf8());
        QCOMPARE(textOf(site.linking).contains("b.html"), renamed);
        QCOMPARE(ui.errors.size() + ui.warnings.size(), boxes);
    }
};

QTEST_MAIN(TestSiteRename)
#include "tst_siterename.moc"
