// Simple tag commands, the editor's CR LF line API, and shortcuts reaching
// the menu while the editor has the focus.
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "toolbar.h"

#include <QApplication>
#include <QMdiArea>
#include <QTest>
#include <QToolButton>

class TestWrapping : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
private slots:
    void init()
    {
        m_ui = startWithScriptedUi();
        m_ui->errors.clear(); // no vezezu.ini where the tests run
    }
    void cleanup()
    {
        QVERIFY(stopWithScriptedUi(m_ui));
    }

    void simpleCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caret");
        const QString abc = QStringLiteral("one word here");
        QTest::newRow("bold word") << TagCommand::Bold << abc << 4 << 4
                                   << "one <STRONG>word</STRONG> here" << 16;
        QTest::newRow("italic word")
            << TagCommand::Italic << abc << 4 << 4 << "one <EM>word</EM> here" << 12;
        QTest::newRow("underline word") << TagCommand::Underline << abc << 4 << 4
                                        << "one <U>word</U> here" << 11;
        QTest::newRow("h2 empty selection") << TagCommand::H2 << abc << 4 << 0
                                            << "one <H2></H2>word here" << 8;
        const char *const headings[] = {TagCommand::H1, TagCommand::H2, TagCommand::H3,
                                        TagCommand::H4, TagCommand::H5, TagCommand::H6};
        for (int h = 1; h <= 6; ++h) {
            QTest::newRow(qPrintable(QStringLiteral("h%1 word").arg(h)))
                << headings[h - 1] << abc << 4 << 4
                << QStringLiteral("one <H%1>word</H%1> here").arg(h) << 12;
        }
        QTest::newRow("paragraph wraps, no lone P") << TagCommand::Paragraph << abc << 0 << 3
                                                    << "<P>one</P> word here" << 6;
        QTest::newRow("pre keeps the line break") << TagCommand::Preformatted << "ab\r\ncd" << 1
                                                  << 4 << "a<PRE>b\r\nc</PRE>d" << 10;
        QTest::newRow("blink back by 8") << TagCommand::Blinking << abc << 0 << 0
                                         << "<BLINK></BLINK>one word here" << 7;
        QTest::newRow("center back by 9") << TagCommand::Center << abc << 0 << 0
                                          << "<CENTER></CENTER>one word here" << 8;
        QTest::newRow("break after the selection") << TagCommand::LineBreak << abc << 4 << 4
                                                   << "one word<BR> here" << 12;
        QTest::newRow("break at the caret") << TagCommand::LineBreak << "ab\r\ncd" << 4 << 0
                                            << "ab\r\n<BR>cd" << 8;
        QTest::newRow("bold over two lines") << TagCommand::Bold << "x\r\ny\r\nz" << 0 << 4
                                             << "<STRONG>x\r\ny</STRONG>\r\nz" << 12;
        QTest::newRow("no-break space kept")
            << TagCommand::Bold << QStringLiteral("a\u00A0b") << 0 << 3
            << QStringLiteral("<STRONG>a\u00A0b</STRONG>") << 11;
    }
    void simpleCommand()
    {
        QFETCH(QString, command);
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(QString, expected);
        QFETCH(int, caret);
        setEditorText(text, selStart, selLength);
        ZediDove->action(command)->trigger();
        QCOMPARE(editor()->text(), expected);
        QCOMPARE(editor()->selStart(), caret);
        QCOMPARE(editor()->selLength(), 0);
        QVERIFY(editor()->isModified());
        // Undone, the text and the caret are back where the command found them.
        editor()->undo();
        QCOMPARE(editor()->text(), text);
        QCOMPARE(editor()->selStart(), selStart + selLength);
    }

    void sameTextFromPaletteBarAndMenu_data()
    {
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<QString>("paletteButton");
        QTest::addColumn<QString>("barButton");
        QTest::newRow("heading 1") << TagCommand::H1 << "H1" << "";
        QTest::newRow("paragraph") << TagCommand::Paragraph << "Para" << "ParaDock";
        QTest::newRow("break") << TagCommand::LineBreak << "BreakBut" << "BreakDock";
        QTest::newRow("bold") << TagCommand::Bold << "" << "BoldDock";
        QTest::newRow("italic") << TagCommand::Italic << "" << "SpeedButton1";
        QTest::newRow("underline") << TagCommand::Underline << "" << "SpeedButton2";
        QTest::newRow("blink") << TagCommand::Blinking << "" << "SpeedButton4";
        QTest::newRow("center") << TagCommand::Center << "" << "CenterDock";
        QTest::newRow("pre") << TagCommand::Preformatted << "" << "PreDock";
    }
    void sameTextFromPaletteBarAndMenu()
    {
        QFETCH(QString, menuItem);
        QFETCH(QString, paletteButton);
        QFETCH(QString, barButton);
        setEditorText(QStringLiteral("abc"), 1, 1);
        ZediDove->action(menuItem)->trigger();
        const QString expected = editor()->text();
        for (const QString &name : {paletteButton, barButton}) {
            if (name.isEmpty())
                continue;
            setEditorText(QStringLiteral("abc"), 1, 1);
            QToolButton *b = ToolBar->button(name);
            if (!b)
                b = ZediDove->dockedBar()->findChild<QToolButton *>(name);
            QVERIFY2(b, qPrintable(name));
            b->click();
            QCOMPARE(editor()->text(), expected);
        }
    }

    void commandIsOneUndoStep()
    {
        setEditorText(QStringLiteral("word"), 0, 4);
        ZediDove->action(QLatin1String(TagCommand::Bold))->trigger();
        editor()->undo();
        QCOMPARE(editor()->text(), QStringLiteral("word"));
    }

    void mainWindowActiveAfterPaletteCommand()
    {
        ToolBar->show();
        ToolBar->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(ToolBar));
        ToolBar->button(QStringLiteral("H3"))->click();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(ZediDove));
    }

    void commandsWithoutDocumentDoNothing()
    {
        ZediDove->currentDocument()->close();
        QTRY_VERIFY(ZediDove->mdiArea()->subWindowList().isEmpty());
        QVERIFY(!ActiveEditor());
        for (const char *name :
             {TagCommand::Bold, TagCommand::LineBreak, TagCommand::H6, "Cut", "CopyMenu", "Paste",
              "Save", "Save1", "Close1", "Red1", "White2", TagCommand::Table, TagCommand::Link,
              TagCommand::Lists, TagCommand::Document, TagCommand::Image}) {
            // Dialog commands may open their dialog; close whatever opens.
            onNextModal([](QWidget *w) { w->close(); });
            ZediDove->action(QLatin1String(name))->trigger();
        }
        QVERIFY(m_ui->fileRequests.isEmpty());
        QVERIFY2(m_ui->errors.isEmpty(), qPrintable(m_ui->errors.join(QLatin1Char('\n'))));
    }

    void menuShortcutsWinOverEditorKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ctrl+i is italic, not the editor's") << int(Qt::Key_I) << "<EM></EM>";
        QTest::newRow("ctrl+b is bold") << int(Qt::Key_B) << "<STRONG></STRONG>";
        QTest::newRow("ctrl+p is paragraph") << int(Qt::Key_P) << "<P></P>";
    }
    void menuShortcutsWinOverEditorKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, expected);
        setEditorText(QString(), 0, 0);
        ZediDove->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(ZediDove));
        editor()->setFocus();
        QTRY_VERIFY(editor()->hasFocus());
        QTest::keyClick(editor(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(editor()->text(), expected);
    }

    void ctrlAReachesTheTableCommand()
    {
        setEditorText(QStringLiteral("abc"), 1, 0);
        ZediDove->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(ZediDove));
        editor()->setFocus();
        bool fired = false;
        connect(ZediDove->action(QLatin1String(TagCommand::Table)), &QAction::triggered, this,
                [&] { fired = true; });
        onNextModal([](QWidget *w) { w->close(); });
        QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(fired);
        QCOMPARE(editor()->selLength(), 0); // not select-all
    }

    void lineApi_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected");
        QTest::newRow("insert before first") << "a\r\nb" << "insert" << 0 << "X\r\na\r\nb";
        QTest::newRow("append without final break") << "a\r\nb" << "insert" << 2 << "a\r\nb\r\nX";
        QTest::newRow("append after final break") << "a\r\nb\r\n" << "insert" << 2
                                                  << "a\r\nb\r\nX\r\n";
        QTest::newRow("replace middle") << "a\r\nb\r\nc" << "replace" << 1 << "a\r\nX\r\nc";
        QTest::newRow("delete middle") << "a\r\nb\r\nc" << "delete" << 1 << "a\r\nc";
        QTest::newRow("delete last line") << "a\r\nb" << "delete" << 1 << "a\r\n";
        QTest::newRow("delete first") << "a\r\nb" << "delete" << 0 << "b";
    }
    void lineApi()
    {
        QFETCH(QString, text);
        QFETCH(QString, op);
        QFETCH(int, index);
        QFETCH(QString, expected);
        setEditorText(text);
        EditorBox *ed = editor();
        if (op == QLatin1String("insert"))
            ed->insertLine(index, QStringLiteral("X"));
        else if (op == QLatin1String("replace"))
            ed->replaceLine(index, QStringLiteral("X"));
        else
            ed->deleteLine(index);
        QCOMPARE(ed->text(), expected);
    }

    void lineCountAndOffsets()
    {
        setEditorText(QStringLiteral("ab\r\ncd\r\n"));
        QCOMPARE(editor()->lineCount(), 2);
        QCOMPARE(editor()->line(1), QStringLiteral("cd"));
        QCOMPARE(editor()->lineOffset(1), 4);
        editor()->setSelStart(5);
        QCOMPARE(editor()->caretLine(), 1);
        QCOMPARE(editor()->selStart(), 5);
        setEditorText(QString());
        QCOMPARE(editor()->lineCount(), 0);
    }
};

QTEST_MAIN(TestWrapping)
#include "tst_wrapping.moc"
