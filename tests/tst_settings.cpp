// The settings file: reading, rewriting, colours and the palette position.
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "settingsfile.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Preferences)

namespace {
void writeIni(const QByteArray &bytes)
{
    QFile f(QStringLiteral("vezezu.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
QByteArray readIni()
{
    QFile f(QStringLiteral("vezezu.ini"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
QColor base(EditorBox *e) { return e->palette().color(QPalette::Base); }
QColor textOf(EditorBox *e) { return e->palette().color(QPalette::Text); }
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_oldDir;
    ScriptedUi *m_ui = nullptr;

private slots:
    void initTestCase()
    {
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldDir); }
    void init()
    {
        QFile::remove(QStringLiteral("vezezu.ini"));
        m_ui = new ScriptedUi;
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        if (ZediDove)
            stopApplication();
        delete m_ui;
        QVERIFY(noDialogLeft);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("back");
        QTest::addColumn<quint32>("fore");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("error");
        QTest::newRow("shipped file") << "text color=black\r\nbackground color=white\r\ntoolbar={103,716}\r\n"
                                      << 0xFFFFFFu << 0u << 103 << 716 << "";
        QTest::newRow("whitesmoke reads as white") << "background color=whitesmoke" << 0xFFFFFFu << 0u << 0 << 0 << "";
        QTest::newRow("red and blue reads as blue") << "text color=red blue" << 0u << 0xFF0000u << 0 << 0 << "";
        QTest::newRow("capital Red ignored") << "text color=Red" << 0u << 0u << 0 << 0 << "";
        QTest::newRow("key anywhere in the line") << "; my text color=green" << 0u << 0x008000u << 0 << 0 << "";
        QTest::newRow("later lines win") << "text color=red\ntext color=yellow" << 0u << 0x00FFFFu << 0 << 0 << "";
        QTest::newRow("lone LF and CR break lines") << "text color=red\rbackground color=blue\ntoolbar={1,2}"
                                                    << 0xFF0000u << 0x0000FFu << 1 << 2 << "";
        QTest::newRow("top first, left second") << "toolbar={-5,40}" << 0u << 0u << -5 << 40 << "";
        QTest::newRow("toolbar without brace ignored") << "toolbar=12,13}" << 0u << 0u << 0 << 0 << "";
        QTest::newRow("bad number stops reading") << "text color=red\ntoolbar={a,2}\ntext color=blue"
                                                  << 0u << 0x0000FFu << 0 << 0 << "'a' is not a valid integer value";
        QTest::newRow("missing numbers") << "toolbar={}" << 0u << 0u << 0 << 0 << "'' is not a valid integer value";
        QTest::newRow("colour tests of the failing line apply") << "toolbar={x,1} text color=green"
                                                                << 0u << 0x008000u << 0 << 0 << "'x' is not a valid integer value";
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(quint32, back);
        QFETCH(quint32, fore);
        QFETCH(int, top);
        QFETCH(int, left);
        QFETCH(QString, error);
        Preferences p;
        QString thrown;
        try {
            parseSettings(settingsLines(text), p);
        } catch (const TagloomError &e) {
            thrown = e.text();
        }
        QCOMPARE(thrown, error);
        QCOMPARE(p.backColor, back);
        QCOMPARE(p.textColor, fore);
        QCOMPARE(p.toolbarTop, top);
        QCOMPARE(p.toolbarLeft, left);
    }

    void rewrite_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<quint32>("fore");
        QTest::addColumn<quint32>("back");
        QTest::addColumn<QString>("after");
        QTest::newRow("three lines rewritten in place")
            << "; comment\r\ntoolbar={1,2}\r\ntext color=red\r\nbackground color=black\r\n"
            << 0x0000FFu << 0x00FFFFu
            << "; comment\r\ntoolbar={30,40}\r\ntext color=red\r\nbackground color=yellow\r\n";
        QTest::newRow("toolbar= without brace rewritten")
            << "toolbar=\r\ntext color=\r\nbackground color=\r\n" << 0u << 0xFFFFFFu
            << "toolbar={30,40}\r\ntext color=black\r\nbackground color=white\r\n";
        QTest::newRow("missing lines appended")
            << "; only a comment\r\n" << 0x008000u << 0xFFFFFFu
            << "; only a comment\r\ntext color=green\r\nbackground color=white\r\ntoolbar={30,40}\r\n";
        QTest::newRow("unknown colour keeps the carried name")
            << "text color=x\r\nbackground color=y\r\ntoolbar={0,0}\r\n" << 0x0000FFu << 0x123456u
            << "text color=red\r\nbackground color=red\r\ntoolbar={30,40}\r\n";
        QTest::newRow("empty file gets all three")
            << "" << 0u << 0xFFFFFFu
            << "text color=black\r\nbackground color=white\r\ntoolbar={30,40}\r\n";
    }
    void rewrite()
    {
        QFETCH(QString, before);
        QFETCH(quint32, fore);
        QFETCH(quint32, back);
        QFETCH(QString, after);
        QStringList lines = settingsLines(before);
        rewriteSettings(lines, fore, back, 30, 40);
        QCOMPARE(joinSettingsLines(lines), after);
    }

    void missingFileGivesWhiteEditorAndMessage()
    {
        startApplication();
        QCOMPARE(m_ui->errors, QStringList{QStringLiteral("Tagloom HTML|Cannot open file vezezu.ini.")});
        QCOMPARE(base(editor()), QColor(Qt::white));
        QCOMPARE(textOf(editor()), QColor(Qt::black));
    }

    void coloursApplyToCurrentThenOnActivation()
    {
        writeIni("text color=blue\r\nbackground color=yellow\r\ntoolbar={100,100}\r\n");
        startApplication();
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(base(editor()), QColor(255, 255, 0));
        QCOMPARE(textOf(editor()), QColor(0, 0, 255));
        THTMLDOC *first = ZediDove->currentDocument();
        ZediDove->New1Click();
        ZediDove->action(QStringLiteral("Red1"))->trigger();
        ZediDove->action(QStringLiteral("Black2"))->trigger();
        QCOMPARE(textOf(editor()), QColor(255, 0, 0));
        QCOMPARE(base(editor()), QColor(0, 0, 0));
        QCOMPARE(textOf(first->editor()), QColor(0, 0, 255)); // not yet
        ZediDove->mdiArea()->setActiveSubWindow(first);
        QCOMPARE(textOf(first->editor()), QColor(255, 0, 0));
        QCOMPARE(base(first->editor()), QColor(0, 0, 0));
    }

    void saveSettingsRoundTrip()
    {
        writeIni("# keep me\r\ntext color=black\r\nbackground color=white\r\ntoolbar={100,120}\r\n");
        startApplication();
        QCOMPARE(ToolBar->pos(), QPoint(120, 100));
        ToolBar->move(150, 130);
        ZediDove->action(QStringLiteral("Green1"))->trigger();
        ZediDove->action(QStringLiteral("Yellow2"))->trigger();
        ZediDove->action(QStringLiteral("SaveSet"))->trigger();
        QCOMPARE(readIni(), QByteArray("# keep me\r\ntext color=green\r\nbackground color=yellow\r\n"
                                       "toolbar={130,150}\r\n"));
        stopApplication();
        startApplication();
        QCOMPARE(ToolBar->pos(), QPoint(150, 130));
        QCOMPARE(textOf(editor()), QColor(0, 128, 0));
    }

    void unreadableSettingsStillStartInOrder()
    {
        // The error box is read for a while: start-up waits for it instead
        // of running inside it, and what the file gave before the bad line
        // still applies.
        writeIni("background color=yellow\r\ntoolbar={x,1}\r\n");
        m_ui->errorBoxOpenMs = 300;
        startApplication();
        QCOMPARE(m_ui->errors, QStringList{QStringLiteral(
                                   "Tagloom HTML|'x' is not a valid integer value.")});
        QCOMPARE(ZediDove->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        QVERIFY(!ZediDove->FirstTimer);
        QVERIFY(ToolBar->isVisible());
        QCOMPARE(base(editor()), QColor(255, 255, 0));
    }

    void paletteOffScreenComesBack_data()
    {
        QTest::addColumn<QPoint>("saved"); // left, top as saved
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QTest::newRow("far outside every screen") << QPoint(50000, -9000);
        QTest::newRow("only a corner showing") << QPoint(area.right() - 5, area.bottom() - 5);
    }
    void paletteOffScreenComesBack()
    {
        QFETCH(QPoint, saved);
        writeIni(QStringLiteral("toolbar={%1,%2}\r\n").arg(saved.y()).arg(saved.x()).toUtf8());
        startApplication();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(area.contains(QRect(ToolBar->pos(), ToolBar->size())));
    }

    void settingsSavedInTheEncodingRead()
    {
        writeIni("# caf\xE9\r\ntext color=red\r\n");
        startApplication();
        ZediDove->action(QStringLiteral("SaveSet"))->trigger();
        QVERIFY(readIni().startsWith("# caf\xE9\r\ntext color=red\r\n"));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
