// Hostile settings and table files: huge and negative numbers, missing
// braces, counts beyond the limits, binary data and 100 MB on one line each
// give their message, and memory stays bounded while they are read.
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "startup.h"
#include "tablebuilder.h"
#include "tablefile.h"
#include "testsupport.h"
#include "userstate.h"
#include "workbench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>

namespace {
// The bytes, then NUL bytes up to size (the file's end as one long line).
void writeSized(const QString &path, const QByteArray &bytes, qint64 size)
{
    if (writeBytes(path, bytes) && size > bytes.size())
        QFile::resize(path, size);
}

// Bytes of a literal, NUL bytes included.
template <std::size_t N> QByteArray raw(const char (&s)[N]) { return QByteArray(s, N - 1); }

// Peak resident memory of this process so far, in KiB.
qint64 peakKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Starts counting the peak afresh from what the process holds now.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void startWindows()
{
    isolateRecoveryFolder();
    StartupOptions o;
    o.startupMs = 10;
    o.splashMs = 20;
    createApplicationWindows(o);
    ZediDove->show();
    if (!QTest::qWaitFor([] { return ZediDove->currentDocument() != nullptr; }, 10000))
        qFatal("start-up created no document");
}

// Child: how much more memory the start-up takes, reading the settings file
// of the working directory. Prints the peak growth in KiB.
int peakOfStart(const QString &dir)
{
    QDir::setCurrent(dir);
    ScriptedUi ui;
    resetPeak();
    const qint64 before = peakKiB();
    startWindows();
    std::printf("%lld\n", peakKiB() - before);
    return ui.errors.isEmpty() ? 0 : 1;
}

// Child: how much more memory opening a table file in the table dialog takes.
int peakOfTableOpen(const QString &file)
{
    ScriptedUi ui;
    startWindows();
    Table->show();
    QTest::qWait(0);
    resetPeak();
    const qint64 before = peakKiB();
    ui.fileAnswers << file;
    Table->findChild<QPushButton *>(QStringLiteral("opent"))->click();
    QTest::qWait(0); // let the grids lay out and paint
    std::printf("%lld %d\n", peakKiB() - before, Table->tableLayout().gridRows);
    Table->hide();
    return 0;
}

// Runs a child and returns the first number it prints (-1 on failure);
// `rows` gets the second, where it prints one.
qint64 childPeak(const char *mode, const QString &arg, int *rows = nullptr)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QLatin1String(mode), arg});
    if (!child.waitForFinished(60000))
        return -1;
    bool ok = false;
    const QList<QByteArray> said = child.readAllStandardOutput().trimmed().split(' ');
    const qint64 kib = said.value(0).toLongLong(&ok);
    if (rows)
        *rows = said.value(1).toInt();
    return ok ? kib : -1;
}
} // namespace

class TestHostile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_oldCwd;
    ScriptedUi *m_ui = nullptr;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldCwd); }
    void init() { m_ui = new ScriptedUi; }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        if (ZediDove)
            stopApplication();
        delete m_ui;
        QFile::remove(path(QStringLiteral("vezezu.ini")));
        QVERIFY(noDialogLeft);
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size"); // grown with NUL bytes to this size
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("left");
        QTest::addColumn<quint32>("back");
        const QString tooLarge =
            QStringLiteral("vezezu.ini is too large for a settings file (more than 1 MB)");
        const quint32 white = 0xFFFFFF, blue = 0xFF0000;
        QTest::newRow("number beyond 32 bits")
            << QByteArray("background color=blue\r\ntoolbar={99999999999,5}\r\n") << qint64(-1)
            << "'99999999999' is not a valid integer value." << 0 << 0 << blue;
        QTest::newRow("smallest 32-bit numbers")
            << QByteArray("toolbar={-2147483648,-2147483648}") << qint64(-1) << ""
            << int(-2147483647 - 1) << int(-2147483647 - 1) << white;
        QTest::newRow("one below the smallest")
            << QByteArray("toolbar={-2147483649,0}") << qint64(-1)
            << "'-2147483649' is not a valid integer value." << 0 << 0 << white;
        QTest::newRow("closing brace missing")
            << QByteArray("toolbar={10,20\r\n") << qint64(-1)
            << "'' is not a valid integer value." << 10 << 0 << white;
        QTest::newRow("comma missing") << QByteArray("toolbar={10}\r\n") << qint64(-1)
                                       << "'' is not a valid integer value." << 0 << 0 << white;
        QTest::newRow("opening brace missing: not a toolbar line")
            << QByteArray("toolbar=10,20}\r\n") << qint64(-1) << "" << 0 << 0 << white;
        QTest::newRow("binary data around a colour line")
            << raw("\x00\xFF\xFE\x01\r\nbackground color=\x00\x80 blue\xFF\r\n\xC0\x00")
            << qint64(-1) << "" << 0 << 0 << blue;
        QTest::newRow("a million line breaks")
            << QByteArray("background color=blue") + QByteArray(1'000'000, '\n') << qint64(-1)
            << "" << 0 << 0 << blue;
        QTest::newRow("exactly 1 MB") << QByteArray("background color=blue\r\n")
                                      << qint64(1024 * 1024) << "" << 0 << 0 << blue;
        QTest::newRow("one byte over 1 MB") << QByteArray("background color=blue\r\n")
                                            << qint64(1024 * 1024 + 1) << tooLarge << 0 << 0 << white;
        QTest::newRow("100 MB on one line")
            << QByteArray("background color=blue") << qint64(100) * 1024 * 1024 << tooLarge << 0
            << 0 << white;
    }
    void settingsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QFETCH(int, top);
        QFETCH(int, left);
        QFETCH(quint32, back);
        writeSized(path(QStringLiteral("vezezu.ini")), bytes, size);
        startApplication();
        QCOMPARE(m_ui->errors,
                 error.isEmpty() ? QStringList{} : QStringList{QStringLiteral("Tagloom HTML|") + error});
        QCOMPARE(ZediDove->ToolbarTop, top);
        QCOMPARE(ZediDove->ToolbarLeft, left);
        QCOMPARE(ZediDove->EditorBackColor, back);
    }

    // A device reports size 0 and may never end; a named pipe would hold
    // the start until something wrote to it. Neither is a plain file: each
    // is refused as a missing file is, unread.
    void settingsFileThatNeverEnds_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a device") << "device";
        QTest::newRow("a named pipe") << "pipe";
    }
    void settingsFileThatNeverEnds()
    {
        QFETCH(QString, kind);
        const QString file = path(QStringLiteral("vezezu.ini"));
        if (kind == QLatin1String("device"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), file));
        else
            QVERIFY(mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        startApplication();
        QCOMPARE(m_ui->errors, QStringList{"Tagloom HTML|Cannot open file vezezu.ini."});
        QCOMPARE(ZediDove->EditorBackColor, quint32(0xFFFFFF));
    }

    // The user's state file, grown far beyond what it holds or replaced by
    // a pipe, is set aside before anything reads it; a usual one is kept.
    void userStateFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("100 MB") << "huge" << true;
        QTest::newRow("a named pipe") << "pipe" << true;
        QTest::newRow("a named pipe put there after start") << "pipe later" << true;
        QTest::newRow("a usual one") << "usual" << false;
    }
    void userStateFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, setAside);
        QCoreApplication::setApplicationName(QStringLiteral("Tagloom HTML")); // as start-up names it
        const QString state = UserState::path();
        QDir().mkpath(QFileInfo(state).absolutePath());
        QFile::remove(state);
        QFile::remove(state + QStringLiteral(".too-large"));
        const QByteArray recent = "[General]\nrecentFiles=/tmp/a.htm\n";
        if (kind == QLatin1String("huge"))
            writeSized(state, recent + "junk=", qint64(100) * 1024 * 1024);
        else if (kind == QLatin1String("pipe"))
            QVERIFY(mkfifo(QFile::encodeName(state).constData(), 0600) == 0);
        else
            writeBytes(state, recent);
        startWindows();
        if (kind == QLatin1String("pipe later")) {
            QVERIFY(QFile::remove(state));
            QVERIFY(mkfifo(QFile::encodeName(state).constData(), 0600) == 0);
        }
        QCOMPARE(ZediDove->workbench()->recentFiles(),
                 setAside ? QStringList{} : QStringList{QStringLiteral("/tmp/a.htm")});
        QCOMPARE(QFileInfo::exists(state + QStringLiteral(".too-large")), setAside);
        QVERIFY(QFileInfo(state).size() < 1024 * 1024);
        QFile::remove(state + QStringLiteral(".too-large"));
    }

    void tableFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("gridRows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("border");
        QTest::newRow("row count beyond 32 bits")
            << QByteArray("cap\r\n2\r\nTOP\r\n99999999999\r\n3\r\n") << qint64(-1)
            << "'99999999999' is not a valid integer value." << 6 << 5 << 2;
        QTest::newRow("row count beyond the limit")
            << QByteArray("cap\r\n2\r\nTOP\r\n5000\r\n3\r\n") << qint64(-1)
            << "Row count 5000 exceeds the limit of 1001." << 6 << 5 << 2;
        QTest::newRow("column count beyond the limit")
            << QByteArray("cap\r\n2\r\nTOP\r\n3\r\n101\r\n") << qint64(-1)
            << "Column count 101 exceeds the limit of 100." << 3 << 5 << 2;
        QTest::newRow("negative counts") << QByteArray("cap\r\n2\r\nTOP\r\n-7\r\n-2147483648\r\n")
                                         << qint64(-1) << "" << 1 << 1 << 2;
        QTest::newRow("smallest border") << QByteArray("cap\r\n-2147483648\r\nTOP\r\n2\r\n2\r\n")
                                         << qint64(-1) << "" << 2 << 2 << 1;
        QTest::newRow("border beyond 32 bits")
            << QByteArray("cap\r\n2147483648\r\nTOP\r\n2\r\n2\r\n") << qint64(-1)
            << "'2147483648' is not a valid integer value." << 6 << 5 << 1;
        QTest::newRow("binary data")
            << raw("\xFF\xFE\x00\x01" "cap\r\n\x01\x02\r\n") << qint64(-1)
            << QStringLiteral("'\x01\x02' is not a valid integer value.") << 6 << 5 << 1;
        QTest::newRow("15 MB on one line")
            << QByteArray("cap") << qint64(15) * 1024 * 1024
            << "Line 1 of the table file is longer than 32767 characters." << 6 << 5 << 1;
        QTest::newRow("100 MB on one line")
            << QByteArray("cap") << qint64(100) * 1024 * 1024
            << "hostile.tbl is too large for a table file (more than 16 MB)" << 6 << 5 << 1;
    }
    void tableFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QFETCH(int, gridRows);
        QFETCH(int, columns);
        QFETCH(int, border);
        const QString file = path(QStringLiteral("hostile.tbl"));
        writeSized(file, bytes, size);
        startApplication();
        m_ui->errors.clear();
        Table->show();
        m_ui->fileAnswers << file;
        Table->findChild<QPushButton *>(QStringLiteral("opent"))->click();
        const TableLayout t = Table->tableLayout();
        const bool open = Table->isVisible();
        Table->hide();
        QVERIFY(open);
        QCOMPARE(m_ui->errors,
                 error.isEmpty() ? QStringList{} : QStringList{QStringLiteral("Tagloom HTML|") + error});
        QCOMPARE(t.gridRows, gridRows);
        QCOMPARE(t.columns, columns);
        QCOMPARE(t.borderWidth, border);
        QFile::remove(file);
    }

    void lineOverTheLimit_data()
    {
        // One line longer than an editor line may be: refused as too large.
        QTest::addColumn<char>("fill");
        QTest::newRow("40 MB of NUL bytes") << '\0';
        QTest::newRow("40 MB of '<'") << '<';
    }
    void lineOverTheLimit()
    {
        QFETCH(char, fill);
        startWindows();
        m_ui->errors.clear();
        const QString file = path(QStringLiteral("page.htm"));
        writeBytes(file, QByteArray(40 * 1024 * 1024, fill));
        ZediDove->openFiles({file});
        QFile::remove(file);
        QCOMPARE(m_ui->errors,
                 QStringList{QStringLiteral("Tagloom HTML|Text exceeds memo capacity.")});
        // Nothing of the refused page is held, and no window is left for it.
        QVERIFY(ZediDove->currentDocument()->editor()->document()->characterCount() < 1000);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
    }

    void memoryStaysBounded()
    {
        // Start-up with an ordinary settings file, then with 100 MB on one line.
        writeBytes(path(QStringLiteral("vezezu.ini")), "background color=white\r\n");
        const qint64 plain = childPeak("peak-start", m_dir.path());
        writeSized(path(QStringLiteral("vezezu.ini")), "background color=white",
                   qint64(100) * 1024 * 1024);
        const qint64 huge = childPeak("peak-start", m_dir.path());
        QFile::remove(path(QStringLiteral("vezezu.ini")));
        QVERIFY(plain >= 0 && huge >= 0);

        // A table file under 1 KB asking for the largest table, with texts.
        QByteArray small = "caption\r\n30\r\nTOP\r\n1001\r\n100\r\n";
        for (int i = 0; small.size() < 1000; ++i)
            small += "cell " + QByteArray::number(i) + "\r\n";
        writeBytes(path(QStringLiteral("small.tbl")), small);
        int rows = 0;
        const qint64 table = childPeak("peak-table", path(QStringLiteral("small.tbl")), &rows);
        QCOMPARE(rows, 1001); // the file was read
        writeSized(path(QStringLiteral("long.tbl")), "cap", qint64(15) * 1024 * 1024);
        const qint64 longLine = childPeak("peak-table", path(QStringLiteral("long.tbl")));
        writeSized(path(QStringLiteral("huge.tbl")), "cap", qint64(100) * 1024 * 1024);
        const qint64 hugeTable = childPeak("peak-table", path(QStringLiteral("huge.tbl")));
        qInfo("peak memory growth: start-up %lld KiB, with a 100 MB settings file %lld KiB; "
              "opening a %lld-byte table file at the count limits %lld KiB, a 15 MB line "
              "%lld KiB, a 100 MB line %lld KiB",
              plain, huge, qint64(small.size()), table, longLine, hugeTable);
        QVERIFY(table >= 0 && longLine >= 0 && hugeTable >= 0);
        QVERIFY(small.size() < 1024);
        QVERIFY2(huge - plain < 8 * 1024, "a refused settings file was read into memory");
        QVERIFY2(table < 50 * 1024, "a small table file took more than 50 MB");
        QVERIFY2(hugeTable < 8 * 1024, "a refused table file was read into memory");
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc >= 4 && qstrcmp(argv[1], "--child") == 0) {
        if (qstrcmp(argv[2], "peak-start") == 0)
            return peakOfStart(QString::fromLocal8Bit(argv[3]));
        if (qstrcmp(argv[2], "peak-table") == 0)
            return peakOfTableOpen(QString::fromLocal8Bit(argv[3]));
    }
    TestHostile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile.moc"
