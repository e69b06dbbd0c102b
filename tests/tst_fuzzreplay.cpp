// Replays every saved fuzz input (the seed corpora and the inputs that once
// broke something) through the fuzz targets' own checks, so the faults they
// found stay fixed in the ordinary build.
#include "fuzzchecks.h"
#include "localpathtourl.h"
#include "tablefile.h"
#include "settingsfile.h"
#include "charsetsniff.h"
#include "editormarks.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestFuzzReplay : public QObject {
    Q_OBJECT
private slots:
    void everyTargetHasSeeds();
    void replay_data();
    void replay();

    // The faults the fuzzers found, each as a plain case.
    void documentSavedUnchanged_data();
    void documentSavedUnchanged();
    void saveSettingsKeepsBytes_data();
    void saveSettingsKeepsBytes();
    void localPathKeepsWholeCharacters_data();
    void localPathKeepsWholeCharacters();
    void tableCaptionStartingWithBom();
};

namespace {
QString fuzzDir() { return QStringLiteral(TAGLOOM_FUZZ_DIR); }
} // namespace

void TestFuzzReplay::everyTargetHasSeeds()
{
    for (int i = 0; i < FuzzChecks::targetCount(); ++i) {
        const QString name = QLatin1String(FuzzChecks::targets()[i].name);
        QVERIFY2(!QDir(fuzzDir() + QStringLiteral("/corpus/") + name)
                      .entryList(QDir::Files)
                      .isEmpty(),
                 qPrintable(name));
    }
}

void TestFuzzReplay::replay_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("crashes")}) {
        for (int i = 0; i < FuzzChecks::targetCount(); ++i) {
            const QString name = QLatin1String(FuzzChecks::targets()[i].name);
            const QDir dir(fuzzDir() + QLatin1Char('/') + kind + QLatin1Char('/') + name);
            for (const QString &file : dir.entryList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(kind + QLatin1Char('/') + name + QLatin1Char('/') + file))
                    << name << dir.filePath(file);
        }
    }
}

void TestFuzzReplay::replay()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
    const FuzzChecks::Target *t = FuzzChecks::findTarget(target.toUtf8().constData());
    QVERIFY(t);
    const QString broken = t->check(f.readAll());
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
}

void TestFuzzReplay::documentSavedUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::newRow("BOM followed by a second BOM")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF<P>") << int(TextEncoding::Utf8Bom);
    QTest::newRow("three BOMs") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF")
                                << int(TextEncoding::Utf8Bom);
    QTest::newRow("zero-width no-break space first, no BOM")
        << QByteArray("x\r\n\xEF\xBB\xBF") << int(TextEncoding::Utf8);
}

void TestFuzzReplay::documentSavedUnchanged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    const DecodedText d = decodeText(bytes);
    QCOMPARE(int(d.encoding), encoding);
    QCOMPARE(encodeText(normalizeLineBreaks(d.text), d.encoding), bytes);
}

void TestFuzzReplay::saveSettingsKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved");
    // Red text, white background, palette at top 10, left 20.
    QTest::newRow("Windows-1252 comment line")
        << QByteArray("; \xE9t\xE9\r\ntext color=blue\r\n")
        << QByteArray("; \xE9t\xE9\r\ntext color=red\r\nbackground color=white\r\n"
                      "toolbar={10,20}\r\n");
    QTest::newRow("BOM kept, line starting with a second BOM kept")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF;\r\ntoolbar={1,2}\r\n")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF;\r\ntoolbar={10,20}\r\ntext color=red\r\n"
                      "background color=white\r\n");
    QTest::newRow("UTF-8 comment line")
        << QByteArray("# caf\xC3\xA9\r\n")
        << QByteArray("# caf\xC3\xA9\r\ntext color=red\r\nbackground color=white\r\n"
                      "toolbar={10,20}\r\n");
}

void TestFuzzReplay::saveSettingsKeepsBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    // As the main window reads the file at start and Save Settings writes it.
    const DecodedText d = decodeText(file);
    QStringList lines = settingsLines(normalizeLineBreaks(d.text));
    rewriteSettings(lines, 0x0000FF, 0xFFFFFF, 10, 20);
    QCOMPARE(settingsFileBytes(lines, d.encoding), saved);
}

void TestFuzzReplay::localPathKeepsWholeCharacters_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("url");
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP
    QTest::newRow("drive letter outside the BMP")
        << face + QStringLiteral(":\\a.gif") << QStringLiteral("file:///") + face + "|/a.gif";
    QTest::newRow("such a character right before the backslash")
        << QStringLiteral("x") + face + QStringLiteral("\\a.gif")
        << QStringLiteral("file:///x|/a.gif");
    QTest::newRow("only such a character before the backslash")
        << face + QStringLiteral("\\a.gif") << face + QStringLiteral("/a.gif");
    QTest::newRow("plain drive path unchanged")
        << QStringLiteral("C:\\pics\\logo.gif") << QStringLiteral("file:///C|/pics/logo.gif");
}

void TestFuzzReplay::localPathKeepsWholeCharacters()
{
    QFETCH(QString, path);
    QFETCH(QString, url);
    QCOMPARE(LocalPathToUrl(path), url);
}

void TestFuzzReplay::tableCaptionStartingWithBom()
{
    TableLayout t;
    t.caption = QChar(0xFEFF) + QStringLiteral("cap");
    TableLayout back;
    readTableText(decodeTableFile(tableFileBytes(t)), back);
    QCOMPARE(back.caption, t.caption);
    // A file with one BOM still reads without it.
    TableLayout plain;
    const QByteArray withBom("\xEF\xBB\xBF"
                             "cap\r\n1\r\nTOP\r\n1\r\n1\r\n");
    readTableText(decodeTableFile(withBom), plain);
    QCOMPARE(plain.caption, QStringLiteral("cap"));
}

QTEST_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
