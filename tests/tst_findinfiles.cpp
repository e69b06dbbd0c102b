// Find and Replace in Files over a temporary site: which files are read,
// lines and columns as the editor counts them in any charset, the find
// bar's options, open pages searched as they stand, Replace All's choice of
// files, files changed meanwhile, and Cancel.
#include "document.h"
#include "documenttable.h"
#include "editorbox.h"
#include "findinfilespane.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "pagetext.h"
#include "sitefolder.h"
#include "testsupport.h"
#include "workbench.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {
const QByteArray kSjisMeta = "<meta charset=\"shift_jis\">\n";

// The site every test starts from: a page in each charset, files that are
// no pages, and files that are passed over.
void writeSite(const QString &root)
{
    QDir(root).mkpath(QStringLiteral("sub"));
    QDir(root).mkpath(QStringLiteral(".git"));
    const QList<std::pair<const char *, QByteArray>> files{
        {"a.html", "<p>Caf\xC3\xA9 cafe</p>\n<p>CAFE</p>\n"},
        {"sub/b.htm", "<meta charset=\"windows-1252\">\r\n<p>caf\xE9 x cafe</p>\r\n"},
        {"c.html", QByteArray("\xFF\xFEx\0\n\0c\0a\0f\0e\0\n\0", 16)},
        {"d.html", kSjisMeta + "\x93\xFA\x96\x7B cafe\n"},
        {".hidden.html", "cafe\n"},
        {".git/e.html", "cafe\n"},
        {"style.css", "cafe {}\n"},
        {"notes.txt", "cafe\n"},
    };
    for (const auto &[name, bytes] : files)
        QVERIFY(writeBytes(root + QLatin1Char('/') + QLatin1String(name), bytes));
}

FindInFilesPane *pane() { return ZediDove->workbench()->findInFiles(); }

void setQuery(const QString &text, bool matchCase, bool words, bool regex,
              const QString &patterns = QString())
{
    pane()->findField()->setText(text);
    pane()->patternField()->setText(patterns);
    pane()->findChild<QCheckBox *>(QStringLiteral("FindInFilesCase"))->setChecked(matchCase);
    pane()->findChild<QCheckBox *>(QStringLiteral("FindInFilesWords"))->setChecked(words);
    pane()->findChild<QCheckBox *>(QStringLiteral("FindInFilesRegex"))->setChecked(regex);
}

// Every listed match as "file:line:column", sorted as text.
QStringList found()
{
    QStringList out;
    QTreeWidget *t = pane()->results();
    for (int i = 0; i < t->topLevelItemCount(); ++i) {
        QTreeWidgetItem *file = t->topLevelItem(i);
        for (int j = 0; j < file->childCount(); ++j) {
            QTreeWidgetItem *row = file->child(j);
            out << QStringLiteral("%1:%2:%3")
                       .arg(QDir::fromNativeSeparators(file->text(1)), row->text(0))
                       .arg(row->data(0, Qt::UserRole + 2).toLongLong());
        }
    }
    out.sort();
    return out;
}

QStringList search()
{
    pane()->find();
    if (!QTest::qWaitFor([] { return !pane()->isSearching(); }, 20000))
        return {QStringLiteral("<timed out>")};
    return found();
}
} // namespace

class TestFindInFiles : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_ui = startWithScriptedUi();
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = m_dir->path();
        writeSite(m_root);
        ZediDove->workbench()->siteFolder()->setPath(m_root);
    }
    void cleanup()
    {
        markAllUnchanged();
        QVERIFY(stopWithScriptedUi(m_ui));
        m_dir.reset();
    }

    void findsAsTheEditorCounts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("words");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<QString>("patterns");
        QTest::addColumn<QStringList>("matches"); // "file:line:column", lines from 1

        QTest::newRow("any case, every charset, pages only")
            << "cafe" << false << false << false << QString()
            << QStringList{"a.html:1:8", "a.html:2:3", "c.html:2:0", "d.html:2:3", "sub/b.htm:2:10"};
        QTest::newRow("match case") << "CAFE" << true << false << false << QString()
                                    << QStringList{"a.html:2:3"};
        QTest::newRow("whole words") << "caf\u00e9" << false << true << false << QString()
                                     << QStringList{"a.html:1:3", "sub/b.htm:2:3"};
        QTest::newRow("part of a word is not a whole word")
            << "caf" << false << true << false << QString() << QStringList();
        QTest::newRow("regex") << "c.f[e\u00e9]\\b" << true << false << true << QString()
                               << QStringList{"a.html:1:8", "c.html:2:0", "d.html:2:3",
                                              "sub/b.htm:2:10", "sub/b.htm:2:3"};
        QTest::newRow("other files by pattern")
            << "cafe" << true << false << false << "*.css"
            << QStringList{"a.html:1:8", "c.html:2:0", "d.html:2:3", "style.css:1:0",
                           "sub/b.htm:2:10"};
    }
    void findsAsTheEditorCounts()
    {
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(bool, words);
        QFETCH(bool, regex);
        QFETCH(QString, patterns);
        QFETCH(QStringList, matches);
        setQuery(text, matchCase, words, regex, patterns);
        QCOMPARE(search(), matches);
        QCOMPARE(pane()->matchCount(), matches.size());
    }

    void tooCostlyIsSaid()
    {
        QVERIFY(writeBytes(m_root + QStringLiteral("/long.html"), QByteArray(1000000, 'a')));
        setQuery(QStringLiteral("(.*a){25}"), false, false, true);
        QCOMPARE(search(), QStringList());
        QVERIFY2(pane()->summary().contains(QStringLiteral("too costly to search 1")),
                 qPrintable(pane()->summary()));
    }

    void openPageSearchedAsItStands()
    {
        THTMLDOC *doc = openInNewDocument(ZediDove->documents(), m_root + QStringLiteral("/a.html"));
        QVERIFY(doc);
        doc->editor()->selectAll();
        doc->editor()->insertPlainText(QStringLiteral("x\nyy cafe"));
        setQuery(QStringLiteral("cafe"), true, false, false);
        QCOMPARE(search(), (QStringList{"a.html:2:3", "c.html:2:0", "d.html:2:3", "sub/b.htm:2:10"}));
        // A row chosen selects its match in the page.
        QTreeWidgetItem *row = pane()->results()->topLevelItem(0)->child(0);
        emit pane()->results()->itemActivated(row, 0);
        QCOMPARE(doc->editor()->textCursor().selectedText(), QStringLiteral("cafe"));
    }

    void chosenRowOpensThePage()
    {
        setQuery(QStringLiteral("CAFE"), true, false, false);
        QCOMPARE(search(), QStringList{"a.html:2:3"});
        emit pane()->results()->itemActivated(pane()->results()->topLevelItem(0)->child(0), 0);
        THTMLDOC *doc = ZediDove->documents()->current();
        QVERIFY(doc);
        QCOMPARE(doc->filePath(), QFileInfo(m_root + QStringLiteral("/a.html")).absoluteFilePath());
        QCOMPARE(doc->editor()->textCursor().blockNumber(), 1);
        QCOMPARE(doc->editor()->textCursor().selectedText(), QStringLiteral("CAFE"));
    }

    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("regex");
        QTest::addColumn<QString>("with");
        QTest::addColumn<bool>("changeMeanwhile"); // b.htm rewritten while the dialog is open
        QTest::addColumn<bool>("confirmed");       // Replace clicked, not Cancel
        QTest::addColumn<QByteArray>("b");         // sub/b.htm after
        QTest::addColumn<QString>("open");         // a.html's text in the editor after

        QTest::newRow("plain, only checked files, open page in memory")
            << "cafe" << false << "tea" << false << true
            << QByteArray("<meta charset=\"windows-1252\">\r\n<p>caf\xE9 x tea</p>\r\n")
            << QStringLiteral("<p>Caf\u00e9 tea</p>\n<p>tea</p>\n");
        QTest::newRow("regex captures")
            << "(c)af(e|\u00e9)" << true << "\\2\\1" << false << true
            << QByteArray("<meta charset=\"windows-1252\">\r\n<p>\xE9" "c x ec</p>\r\n")
            << QStringLiteral("<p>\u00e9C ec</p>\n<p>EC</p>\n");
        QTest::newRow("file changed meanwhile is skipped")
            << "cafe" << false << "tea" << true << true << QByteArray("cafe cafe\n")
            << QStringLiteral("<p>Caf\u00e9 tea</p>\n<p>tea</p>\n");
        QTest::newRow("dialog cancelled: every file whole")
            << "cafe" << false << "tea" << false << false
            << QByteArray("<meta charset=\"windows-1252\">\r\n<p>caf\xE9 x cafe</p>\r\n")
            << QStringLiteral("<p>Caf\u00e9 cafe</p>\n<p>CAFE</p>\n");
    }
    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(bool, regex);
        QFETCH(QString, with);
        QFETCH(bool, changeMeanwhile);
        QFETCH(bool, confirmed);
        QFETCH(QByteArray, b);
        QFETCH(QString, open);
        const QString a = m_root + QStringLiteral("/a.html");
        const QString c = m_root + QStringLiteral("/c.html");
        const QString bPath = m_root + QStringLiteral("/sub/b.htm");
        const QByteArray aBefore = readBytes(a), cBefore = readBytes(c);
        THTMLDOC *doc = openInNewDocument(ZediDove->documents(), a);
        QVERIFY(doc);
        const QString before = doc->page()->text()->toPlainText();
        setQuery(text, false, false, regex);
        pane()->replaceField()->setText(with);
        bool asked = false;
        onNextModal([&](QWidget *dialog) {
            asked = true;
            auto *list = child<QTreeWidget>(dialog, "ReplaceFiles");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (list->topLevelItem(i)->text(0) == QStringLiteral("c.html"))
                    list->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
            if (changeMeanwhile)
                writeBytes(bPath, "cafe cafe\n");
            click(dialog, confirmed ? "Replace" : "Cancel");
        });
        pane()->replaceAll();
        QTRY_VERIFY(asked);
        QCOMPARE(doc->page()->text()->toPlainText(), open);
        QCOMPARE(readBytes(bPath), b);
        QCOMPARE(readBytes(c), cBefore);
        QCOMPARE(readBytes(a), aBefore);
        QCOMPARE(m_ui->warnings.size(), changeMeanwhile ? 1 : 0);
        if (changeMeanwhile)
            QVERIFY(m_ui->warnings[0].contains(bPath));
        QCOMPARE(doc->page()->isModified(), confirmed);
        doc->page()->text()->undo();
        QCOMPARE(doc->page()->text()->toPlainText(), before);
    }

    void cancelStopsAtOnce_data()
    {
        QTest::addColumn<bool>("replacing");
        QTest::newRow("search") << false;
        QTest::newRow("replace all: nothing changed, nothing asked") << true;
    }
    void cancelStopsAtOnce()
    {
        QFETCH(bool, replacing);
        for (int i = 0; i < 300; ++i)
            QVERIFY(writeBytes(m_root + QStringLiteral("/p%1.html").arg(i),
                               QByteArray("<p>cafe</p>\n").repeated(200)));
        setQuery(QStringLiteral("cafe"), false, false, false);
        pane()->replaceField()->setText(QStringLiteral("tea"));
        replacing ? pane()->replaceAll() : pane()->find();
        QVERIFY(pane()->isSearching());
        pane()->cancel();
        QVERIFY(!pane()->isSearching());
        const int rows = pane()->results()->topLevelItemCount();
        QVERIFY(pane()->summary().startsWith(QStringLiteral("Cancelled")));
        // Nothing more comes in, no dialog opens.
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCOMPARE(pane()->results()->topLevelItemCount(), rows);
        QCOMPARE(readBytes(m_root + QStringLiteral("/p0.html")), QByteArray("<p>cafe</p>\n").repeated(200));
    }

private:
    ScriptedUi *m_ui = nullptr;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
};

QTEST_MAIN(TestFindInFiles)
#include "tst_findinfiles.moc"
