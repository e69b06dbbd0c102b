// Table definition files: the line layout, reading rules, limits, the
// input/output texts, and the Save and Open buttons of the dialog.
#include "actions.h"
#include "errors.h"
#include "mainwindow.h"
#include "tablebuilder.h"
#include "tablefile.h"
#include "tablewidgets.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
QString readError(const QString &text, TableLayout &t)
{
    try {
        readTableText(text, t);
    } catch (const TagloomError &e) {
        return e.text();
    }
    return {};
}

QString loadError(const QString &path, TableLayout &t)
{
    try {
        loadTableFile(path, t);
    } catch (const TagloomError &e) {
        return e.text();
    }
    return {};
}

QString saveError(const QString &path, const TableLayout &t)
{
    try {
        saveTableFile(path, t);
    } catch (const TagloomError &e) {
        return e.text();
    }
    return {};
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TableLayout filledLayout()
{
    TableLayout t;
    t.caption = QStringLiteral("Prices <2024> & more, \u00e9t\u00e9 \u20ac");
    t.borderWidth = 7;
    t.alignment = QStringLiteral("BOTTOM");
    t.columns = 3;
    t.gridRows = 4;
    t.rowTitleCount = 3;
    t.columnWidths = {64, 130, 12};
    for (int i = 0; i <= 3; ++i)
        t.columnTitles.setText(i, 0, QStringLiteral("title %1").arg(i));
    for (int r = 1; r <= 4; ++r) {
        t.rowTitles.setText(0, r - 1, QStringLiteral("row %1").arg(r));
        for (int i = 0; i <= 3; ++i)
            t.cells.setText(i, r, QStringLiteral(" cell %1,%2 ").arg(i).arg(r));
    }
    return t;
}
} // namespace

class TestTableFile : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY(closeDialogsLeftOpen()); }

    void defaultFileHas53Lines()
    {
        const QByteArray bytes = tableFileBytes(TableLayout());
        // Caption, border, alignment, T = 6, C = 5, then 6 titles and 6 x 7 empty lines.
        QCOMPARE(bytes,
                 QByteArray("\r\n1\r\nTOP\r\n6\r\n5\r\n") + QByteArray("\r\n").repeated(48));
        QCOMPARE(bytes.count("\r\n"), 53);
    }

    void writerLayout()
    {
        TableLayout t;
        t.caption = QStringLiteral("cap");
        t.columns = 1;
        t.gridRows = 2;
        t.rowTitleCount = 1;
        t.columnTitles.setText(0, 0, QStringLiteral("c0"));
        t.columnTitles.setText(1, 0, QStringLiteral("c1 past the last"));
        t.rowTitles.setText(0, 0, QStringLiteral("r1"));
        t.rowTitles.setText(0, 1, QStringLiteral("r2 past the last"));
        t.cells.setText(0, 0, QStringLiteral("header row is not stored"));
        t.cells.setText(0, 1, QStringLiteral("a"));
        t.cells.setText(1, 2, QStringLiteral("b"));
        QCOMPARE(tableFileLines(t),
                 (QStringList{"cap", "1", "TOP", "2", "1", "c0", "c1 past the last", "r1", "a",
                              "", "r2 past the last", "", "b"}));
        QCOMPARE(tableFileBytes(t).count("\r\n"), 13);
    }

    void roundTrip()
    {
        const TableLayout written = filledLayout();
        TableLayout read;
        read.columnWidths = {64, 130, 12};
        readTableText(decodeTableFile(tableFileBytes(written)), read);
        QCOMPARE(read.caption, written.caption);
        QCOMPARE(read.borderWidth, 7);
        QCOMPARE(read.alignment, written.alignment);
        QCOMPARE(read.columns, 3);
        QCOMPARE(read.gridRows, 4);
        QCOMPARE(read.rowTitleCount, 3);
        QCOMPARE(tableFileLines(read), tableFileLines(written));
        QCOMPARE(read.columnWidths, (QList<int>{64, 130, 12})); // widths are not in the file
    }

    void reading_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("border");
        QTest::addColumn<QString>("alignment");
        QTest::addColumn<int>("gridRows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rowTitles");
        // Values at positions, "col,row=text" in the three stores: t, r, c.
        QTest::addColumn<QStringList>("texts");

        QTest::newRow("row count 1")
            << "cap\r\n3\r\nTOP\r\n1\r\n2\r\nA\r\nB\r\nC\r\nR\r\nx\r\ny\r\nz\r\nEXTRA\r\n" << ""
            << "cap" << 3 << "TOP" << 1 << 2 << 1
            << QStringList{"t0,0=A", "t2,0=C", "r0,0=R", "c0,1=x", "c2,1=z", "c0,2=", "r0,1="};
        QTest::newRow("border 45 loads as 30")
            << "\r\n45\r\nTOP\r\n2\r\n1\r\n" << "" << "" << 30 << "TOP" << 2 << 1 << 1
            << QStringList();
        QTest::newRow("border 0 loads as 1")
            << "\r\n0\r\n\r\n2\r\n1\r\n" << "" << "" << 1 << "" << 2 << 1 << 1 << QStringList();
        QTest::newRow("column count 0 loads as 1")
            << "\r\n1\r\nTOP\r\n2\r\n0\r\nt0\r\nt1\r\nr1\r\na\r\nb\r\nr2\r\nc\r\nd\r\n" << ""
            << "" << 1 << "TOP" << 2 << 1 << 1
            << QStringList{"t0,0=t0", "t1,0=t1", "r0,0=r1", "c0,1=a", "c1,1=b", "r0,1=r2",
                           "c0,2=c", "c1,2=d"};
        QTest::newRow("negative row count loads as 1")
            << "\r\n1\r\nTOP\r\n-5\r\n1\r\n" << "" << "" << 1 << "TOP" << 1 << 1 << 1
            << QStringList();
        QTest::newRow("word in line 4 stops after three fields")
            << "cap\r\n7\r\nBOTTOM\r\nfive\r\n1\r\n" << "'five' is not a valid integer value"
            << "cap" << 7 << "BOTTOM" << 6 << 5 << 5 << QStringList{"c1,1=kept"};
        QTest::newRow("word in line 2 keeps only the caption")
            << "cap\r\nwide\r\n" << "'wide' is not a valid integer value" << "cap" << 1
            << "old" << 6 << 5 << 5 << QStringList();
        QTest::newRow("file ending before line 5")
            << "cap\r\n2\r\nTOP\r\n3" << "'' is not a valid integer value" << "cap" << 2 << "TOP"
            << 3 << 5 << 2 << QStringList{"c1,1=kept"};
        QTest::newRow("short file leaves the rest empty")
            << "cap\r\n2\r\nTOP\r\n3\r\n2\r\nA" << "" << "cap" << 2 << "TOP" << 3 << 2 << 2
            << QStringList{"t0,0=A", "c1,1=", "c9,9=far"};
        QTest::newRow("too many rows refused")
            << "cap\r\n2\r\nTOP\r\n1002\r\n2\r\n" << "Row count 1002 exceeds the limit of 1001"
            << "cap" << 2 << "TOP" << 6 << 5 << 5 << QStringList{"c1,1=kept"};
        QTest::newRow("huge row count refused")
            << "cap\r\n2\r\nTOP\r\n2147483647\r\n2\r\n"
            << "Row count 2147483647 exceeds the limit of 1001" << "cap" << 2 << "TOP" << 6 << 5
            << 5 << QStringList();
        QTest::newRow("too many columns refused")
            << "cap\r\n2\r\nTOP\r\n9\r\n101\r\n" << "Column count 101 exceeds the limit of 100"
            << "cap" << 2 << "TOP" << 9 << 5 << 8 << QStringList{"c1,1=kept"};
        QTest::newRow("counts at the limits accepted")
            << "cap\r\n2\r\nTOP\r\n1001\r\n100\r\n" << "" << "cap" << 2 << "TOP" << 1001 << 100
            << 1000 << QStringList{"c1,1="};
        QTest::newRow("LF and CR line breaks")
            << "cap\n2\rTOP\n2\n1\nt0\nt1\nr\na\n" << "" << "cap" << 2 << "TOP" << 2 << 1 << 1
            << QStringList{"t0,0=t0", "t1,0=t1", "r0,0=r", "c0,1=a"};
        QTest::newRow("empty file")
            << "" << "'' is not a valid integer value" << "" << 1 << "old" << 6 << 5 << 5
            << QStringList();
    }
    void reading()
    {
        QFETCH(QString, file);
        QFETCH(QString, error);
        QFETCH(QString, caption);
        QFETCH(int, border);
        QFETCH(QString, alignment);
        QFETCH(int, gridRows);
        QFETCH(int, columns);
        QFETCH(int, rowTitles);
        QFETCH(QStringList, texts);

        TableLayout t;
        t.caption = QStringLiteral("old");
        t.alignment = QStringLiteral("old");
        t.cells.setText(1, 1, QStringLiteral("kept"));
        t.cells.setText(9, 9, QStringLiteral("far"));
        QCOMPARE(readError(file, t), error);
        QCOMPARE(t.caption, caption);
        QCOMPARE(t.borderWidth, border);
        QCOMPARE(t.alignment, alignment);
        QCOMPARE(t.gridRows, gridRows);
        QCOMPARE(t.columns, columns);
        QCOMPARE(t.rowTitleCount, rowTitles);
        QCOMPARE(t.columnWidths.size(), columns);
        for (const QString &entry : texts) {
            const StoredTexts &store = entry.at(0) == 't' ? t.columnTitles
                                       : entry.at(0) == 'r' ? t.rowTitles
                                                           : t.cells;
            const int eq = int(entry.indexOf('='));
            const QStringList pos = entry.mid(1, eq - 1).split(',');
            QCOMPARE(store.text(pos.at(0).toInt(), pos.at(1).toInt()), entry.mid(eq + 1));
        }
        QVERIFY(!t.cells.text(0, 0).contains(QStringLiteral("EXTRA")));
    }

    void hostileFileStaysSmall()
    {
        // Millions of line breaks and a count far beyond the limit: refused
        // before anything is allocated for it.
        TableLayout t;
        QString text = QStringLiteral("cap\r\n1\r\nTOP\r\n999999999\r\n99999\r\n");
        text += QString(4'000'000, QLatin1Char('\n'));
        QCOMPARE(readError(text, t),
                 QStringLiteral("Row count 999999999 exceeds the limit of 1001"));
        QCOMPARE(t.cells.storedCount(), 0);
        // At the limits the file holds a bounded number of texts of bounded length.
        TableLayout big;
        QString full = QStringLiteral("\r\n1\r\nTOP\r\n1001\r\n100\r\n");
        full += QString(TableFile::kMaxTextLength, QLatin1Char('x')) + QStringLiteral("\r\n");
        full += QStringLiteral("y\r\n").repeated(200'000);
        QCOMPARE(readError(full, big), QString());
        QCOMPARE(big.columnTitles.text(0, 0).size(), TableFile::kMaxTextLength);
        QCOMPARE(big.cells.storedCount(), 1001 * 101);
        // One character more and the line is refused, the fields before it kept.
        TableLayout longLine;
        QString tooLong = QStringLiteral("cap\r\n2\r\nTOP\r\n2\r\n1\r\nA\r\n");
        tooLong += QString(TableFile::kMaxTextLength + 1, QLatin1Char('x'));
        QCOMPARE(readError(tooLong, longLine),
                 QStringLiteral("Line 7 of the table file is longer than 32767 characters"));
        QCOMPARE(longLine.columnTitles.text(0, 0), QStringLiteral("A"));
        QCOMPARE(longLine.gridRows, 2);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8")
            << QByteArray("\xc3\xa9t\xc3\xa9 \xe2\x82\xac") << "\u00e9t\u00e9 \u20ac";
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf" "cap") << "cap";
        QTest::newRow("Latin-1 when not UTF-8")
            << QByteArray("caf\xe9 \x80\xff") << QString::fromLatin1("caf\xe9 \x80\xff");
    }
    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeTableFile(bytes), text);
    }

    void ioErrorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("missing") << ENOENT << "File not found";
        QTest::newRow("name too long") << ENAMETOOLONG << "Invalid filename";
        QTest::newRow("part of the path is a file") << ENOTDIR << "Invalid filename";
        QTest::newRow("too many open files") << EMFILE << "Too many open files";
        QTest::newRow("permission") << EACCES << "File access denied";
        QTest::newRow("read-only file system") << EROFS << "File access denied";
        QTest::newRow("a directory") << EISDIR << "File access denied";
        QTest::newRow("no space") << ENOSPC << "Disk full";
        QTest::newRow("file size limit") << EFBIG << "Disk full";
        QTest::newRow("any other") << EXDEV << QStringLiteral("I/O error %1").arg(EXDEV);
    }
    void ioErrorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(ioErrorText(code), text);
    }

    void fileErrors()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString plain = dir.filePath(QStringLiteral("plain.tbl"));
        writeBytes(plain, "x");
        TableLayout t;
        QCOMPARE(loadError(dir.filePath(QStringLiteral("none.tbl")), t),
                 QStringLiteral("File not found"));
        QCOMPARE(loadError(dir.path(), t), QStringLiteral("File access denied"));
        QCOMPARE(saveError(dir.filePath(QStringLiteral("no/such/dir.tbl")), t),
                 QStringLiteral("File not found"));
        QCOMPARE(saveError(plain + QStringLiteral("/inside.tbl"), t),
                 QStringLiteral("Invalid filename"));
        QCOMPARE(saveError(dir.filePath(QString(300, QLatin1Char('n'))), t),
                 QStringLiteral("Invalid filename"));
        QCOMPARE(saveError(dir.path(), t), QStringLiteral("File access denied"));
        QCOMPARE(fileBytes(plain), QByteArray("x"));
        // A named pipe is refused as a folder is, never opened (that would
        // wait for a writer).
        const QString pipe = dir.filePath(QStringLiteral("pipe.tbl"));
        QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QCOMPARE(loadError(pipe, t), QStringLiteral("File access denied"));
        QCOMPARE(saveError(pipe, t), QStringLiteral("File access denied"));
    }

    void oversizeFileRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.tbl"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(TableFile::kMaxBytes + 1));
        f.close();
        TableLayout t;
        t.caption = QStringLiteral("unchanged");
        QCOMPARE(loadError(path, t),
                 QStringLiteral("big.tbl is too large for a table file (more than 16 MB)"));
        QCOMPARE(t.caption, QStringLiteral("unchanged"));
    }

    void layoutTooLargeToLoadIsNotSaved()
    {
        // The largest grid the buttons allow, every cell long: Open would
        // refuse the file, so Save refuses it first and keeps the old one.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("full.tbl"));
        TableLayout t;
        t.columns = TableLimits::kMaxColumns;
        t.gridRows = TableLimits::kMaxGridRows;
        t.rowTitleCount = TableLimits::kMaxTableRows;
        t.columnWidths = QList<int>(t.columns, 64);
        const QString cell(200, QLatin1Char('x'));
        for (int c = 0; c < t.columns; ++c)
            for (int r = 0; r < t.gridRows; ++r)
                t.cells.setText(c, r, cell);
        QString error;
        try {
            saveTableFile(path, t);
        } catch (const TagloomError &e) {
            error = e.text();
        }
        QCOMPARE(error, QStringLiteral("full.tbl is too large for a table file (more than 16 MB)"));
        QVERIFY(!QFileInfo::exists(path));
    }

    void failedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.tbl"));
        const QByteArray old = tableFileBytes(TableLayout());
        writeBytes(path, old);
        TableLayout large = filledLayout();
        large.caption = QString(100'000, QLatin1Char('c'));
        // A file size limit makes the write fail part way, as a full disk does.
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit small = saved;
        small.rlim_cur = 4096;
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString error = saveError(path, large);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(error, QStringLiteral("Disk full"));
        QCOMPARE(fileBytes(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.tbl"});
    }

    // ---- the dialog's Save and Open ----

    void initTestCase()
    {
        m_ui = startWithScriptedUi();
    }
    void cleanupTestCase()
    {
        stopApplication();
        delete m_ui;
    }

    void saveAndOpenThroughTheDialog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("layout")); // typed without extension
        m_ui->fileRequests.clear();
        m_ui->errors.clear();
        m_ui->fileAnswers.enqueue(path);
        TableLayout saved, loaded;
        onNextModal([&](QWidget *dlg) {
            QTest::keyClicks(child<QLineEdit>(dlg, "Cap"), QStringLiteral("Menu "));
            child<QLineEdit>(dlg, "Cap")->insert(QStringLiteral("\u00e9"));
            child<QComboBox>(dlg, "Align")->setCurrentText(QStringLiteral("BOTTOM"));
            child<QSpinBox>(dlg, "BorderW")->setValue(4);
            click(dlg, "ColInc");
            click(dlg, "RowDec");
            child<StringGrid>(dlg, "ColTitle")->setCell(5, 0, QStringLiteral("sixth"));
            child<StringGrid>(dlg, "tablegrid")->setCell(2, 4, QStringLiteral("cell"));
            click(dlg, "SaveTable");
            saved = Table->tableLayout();
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(m_ui->fileRequests.size(), 1);
        QCOMPARE(m_ui->fileRequests.at(0).filter, QStringLiteral("ZEDI Dove Table|*.tbl"));
        QVERIFY(m_ui->fileRequests.at(0).overwritePrompt);
        QCOMPARE(m_ui->fileRequests.at(0).defaultSuffix, QString());
        QCOMPARE(fileBytes(path), tableFileBytes(saved));
        QVERIFY(!QFile::exists(path + QStringLiteral(".tbl")));
        QVERIFY(m_ui->errors.isEmpty());

        // A fresh opening, then Open: the dialog holds what was saved.
        m_ui->fileAnswers.enqueue(path);
        onNextModal([&](QWidget *dlg) {
            child<QComboBox>(dlg, "Align")->setCurrentText(QStringLiteral("TOP"));
            click(dlg, "opent");
            loaded = Table->tableLayout();
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(m_ui->fileRequests.size(), 2);
        QCOMPARE(m_ui->fileRequests.at(1).filter, QStringLiteral("ZEDI Dove Table|*.tbl"));
        QCOMPARE(m_ui->fileRequests.at(1).defaultSuffix, QStringLiteral("tbl"));
        QCOMPARE(loaded.caption, QStringLiteral("Menu \u00e9"));
        QCOMPARE(loaded.alignment, QStringLiteral("BOTTOM"));
        QCOMPARE(loaded.borderWidth, 4);
        QCOMPARE(loaded.columns, 6);
        QCOMPARE(loaded.gridRows, 5);
        QCOMPARE(loaded.rowTitleCount, 4);
        QCOMPARE(tableFileLines(loaded), tableFileLines(saved));
        QVERIFY(m_ui->errors.isEmpty());
    }

    void openErrorKeepsEarlierFields()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.tbl"));
        writeBytes(path, "From file\r\n12\r\nBOTTOM\r\nmany\r\n3\r\n");
        m_ui->errors.clear();
        m_ui->fileAnswers.enqueue(path);
        TableLayout after;
        bool open = false;
        onNextModal([&](QWidget *dlg) {
            click(dlg, "opent");
            open = dlg->isVisible();
            after = Table->tableLayout();
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QVERIFY(open);
        QCOMPARE(m_ui->errors,
                 QStringList{"Tagloom HTML|'many' is not a valid integer value."});
        QCOMPARE(after.caption, QStringLiteral("From file"));
        QCOMPARE(after.borderWidth, 12);
        QCOMPARE(after.alignment, QStringLiteral("BOTTOM"));
        QCOMPARE(after.gridRows, 6);
        QCOMPARE(after.columns, 5);
    }

    void missingFileAndCancelledDialogs()
    {
        QTemporaryDir dir;
        m_ui->errors.clear();
        m_ui->fileAnswers.enqueue(dir.filePath(QStringLiteral("gone.tbl")));
        TableLayout before, after;
        onNextModal([&](QWidget *dlg) {
            click(dlg, "opent");          // missing file
            before = Table->tableLayout();
            click(dlg, "opent");          // dialog cancelled
            click(dlg, "SaveTable");      // dialog cancelled
            after = Table->tableLayout();
            click(dlg, "Button2");
        });
        runCommand(TagCommand::Table);
        QCOMPARE(m_ui->errors, QStringList{"Tagloom HTML|File not found."});
        QCOMPARE(tableFileLines(after), tableFileLines(before));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

private:
    ScriptedUi *m_ui = nullptr;
};

QTEST_MAIN(TestTableFile)
#include "tst_tablefile.moc"
