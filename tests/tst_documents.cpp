// The document table, Open/Save/Save As/Close through scripted dialogs, and
// the byte-exact file round trips.
#include "actions.h"
#include "document.h"
#include "documenttable.h"
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "livecheck.h"
#include "mainwindow.h"
#include "tagcommands.h"
#include "testsupport.h"
#include "textreader.h"
#include "toolbar.h"
#include "documentstatus.h"
#include "pagecheckpane.h"
#include "workbench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QAbstractButton>
#include <QTemporaryDir>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTreeWidget>
#include <sys/stat.h>

namespace {
} // namespace

class TestDocuments : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir *m_dir = nullptr;
    QString path(const char *name) const { return m_dir->filePath(QLatin1String(name)); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        m_ui = startWithScriptedUi();
        m_ui->errors.clear();
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        // Nothing more to ask: leave every document unchanged before closing.
        markAllUnchanged();
        stopApplication();
        delete m_ui;
        delete m_dir;
        QVERIFY(noDialogLeft);
    }

    void skeletonWithCaretInBody()
    {
        QCOMPARE(editor()->text(), THTMLDOC::skeleton());
        QCOMPARE(editor()->line(5), QString());
        QCOMPARE(editor()->caretLine(), 5);
        QVERIFY(!editor()->isModified());
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
    }

    void slotsCountUpAndReuseOnlyAfter100()
    {
        ZediDove->New1Click();
        ZediDove->New1Click();
        QCOMPARE(ZediDove->documents()->currentSlot(), 3);
        ZediDove->documents()->document(1)->close();
        ZediDove->New1Click();
        QCOMPARE(ZediDove->documents()->currentSlot(), 4);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 4"));
        while (LastSlot < 100)
            ZediDove->New1Click();
        QCOMPARE(openDocuments(), 99); // slot 1 is free
        ZediDove->New1Click();
        QCOMPARE(ZediDove->documents()->currentSlot(), 1);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        // Every slot is in use now: New refuses with a message, nothing changes.
        ZediDove->action(QStringLiteral("New1"))->trigger();
        QCOMPARE(openDocuments(), 100);
        QCOMPARE(m_ui->errors.size(), 1);
        // After the counter passed 100, a slot in use is skipped, never taken.
        ZediDove->documents()->document(7)->close();
        ZediDove->documents()->document(3)->close();
        ZediDove->New1Click(); // LastSlot was 1: slot 2 is in use, the search goes on to 3
        QCOMPARE(ZediDove->documents()->currentSlot(), 3);
        ZediDove->New1Click();
        QCOMPARE(ZediDove->documents()->currentSlot(), 7);
    }

    void openAndSaveBackWithoutDialog()
    {
        QVERIFY(writeBytes(path("a.htm"), "one\ntwo\rthree\r\nfour"));
        m_ui->fileAnswers << path("a.htm");
        ZediDove->action(QStringLiteral("Open"))->trigger();
        QCOMPARE(m_ui->fileRequests.size(), 1);
        const FileDialogRequest r = m_ui->fileRequests.first();
        QCOMPARE(r.title, QStringLiteral("Open HTML Document"));
        QCOMPARE(r.filter, QStringLiteral("HTML Files|*.htm|Text Files|*.txt"));
        QCOMPARE(r.defaultSuffix, QStringLiteral("htm"));
        QCOMPARE(r.initialName, QStringLiteral("*.htm"));
        THTMLDOC *doc = ZediDove->currentDocument();
        QCOMPARE(doc->windowTitle(), path("a.htm"));
        QVERIFY(doc->HasFileName());
        QCOMPARE(editor()->selStart(), 0);
        QVERIFY(!editor()->isModified());
        QCOMPARE(editor()->text(), QStringLiteral("one\r\ntwo\r\nthree\r\nfour"));
        editor()->setSelText(QStringLiteral("x"));
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QCOMPARE(m_ui->fileRequests.size(), 1); // no dialog
        QCOMPARE(readBytes(path("a.htm")), QByteArray("xone\r\ntwo\r\nthree\r\nfour"));
        QVERIFY(!editor()->isModified());
    }

    void newThenSaveAsksForName()
    {
        m_ui->fileAnswers << path("plain");
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QCOMPARE(m_ui->fileRequests.size(), 1);
        const FileDialogRequest r = m_ui->fileRequests.first();
        QCOMPARE(r.title, QStringLiteral("Save HTML Document"));
        QCOMPARE(r.filter, QStringLiteral("HTML Document|*.htm"));
        QCOMPARE(r.defaultSuffix, QString());
        QVERIFY(r.overwritePrompt);
        QCOMPARE(readBytes(path("plain")), THTMLDOC::skeleton().toUtf8());
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), path("plain"));
        QVERIFY(ZediDove->currentDocument()->HasFileName());
        // The dialog offers the name chosen last.
        ZediDove->action(QStringLiteral("Save1"))->trigger();
        QCOMPARE(m_ui->fileRequests.at(1).initialName, path("plain"));
    }

    void cancelledDialogsChangeNothing()
    {
        ZediDove->action(QStringLiteral("Open"))->trigger();
        QCOMPARE(openDocuments(), 1);
        editor()->setSelText(QStringLiteral("typed"));
        ZediDove->action(QStringLiteral("Save1"))->trigger();
        QVERIFY(editor()->isModified());
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        QVERIFY(!ZediDove->currentDocument()->HasFileName());
    }

    void openMissingFileLeavesNoWindow()
    {
        m_ui->fileAnswers << path("gone.htm");
        ZediDove->action(QStringLiteral("Open"))->trigger();
        QCOMPARE(m_ui->errors,
                 QStringList{QStringLiteral("Tagloom HTML|Cannot open file %1.").arg(path("gone.htm"))});
        QCOMPARE(openDocuments(), 1);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
    }

    void failedSaveKeepsEverything()
    {
        editor()->setSelText(QStringLiteral("typed"));
        m_ui->fileAnswers << m_dir->filePath(QStringLiteral("no/such/dir/x.htm"));
        ZediDove->action(QStringLiteral("Save1"))->trigger();
        QCOMPARE(m_ui->errors.size(), 1);
        QVERIFY(m_ui->errors.first().startsWith(QStringLiteral("Tagloom HTML|Cannot create file ")));
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        QVERIFY(editor()->isModified());
    }

    void closeAsksOnlyAboutChanges_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("saveAnswers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("closed");
        QTest::newRow("untouched closes silently") << false << QList<bool>{} << QStringList{} << 0 << true;
        QTest::newRow("no closes without saving") << true << QList<bool>{false} << QStringList{} << 1 << true;
        QTest::newRow("yes then save closes") << true << QList<bool>{true} << QStringList{"s.htm"} << 1 << true;
        QTest::newRow("yes then cancel keeps it open") << true << QList<bool>{true} << QStringList{} << 1 << false;
    }
    void closeAsksOnlyAboutChanges()
    {
        QFETCH(bool, edit);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, saveAnswers);
        QFETCH(int, questions);
        QFETCH(bool, closed);
        if (edit)
            editor()->setSelText(QStringLiteral("typed"));
        for (bool a : answers)
            m_ui->confirmAnswers << a;
        for (const QString &s : saveAnswers)
            m_ui->fileAnswers << m_dir->filePath(s);
        ZediDove->action(QStringLiteral("Close1"))->trigger();
        QCOMPARE(m_ui->confirms.size(), questions);
        if (questions)
            QCOMPARE(m_ui->confirms.first(), QStringLiteral("Save Changes to HTML 1?"));
        QTRY_COMPARE(openDocuments(), closed ? 0 : 1);
        QCOMPARE(ZediDove->documents()->inUse(1), !closed);
        if (!closed) {
            QVERIFY(editor()->isModified());
            QVERIFY(editor()->text().contains(QStringLiteral("typed")));
        }
        if (!saveAnswers.isEmpty())
            QVERIFY(readBytes(m_dir->filePath(saveAnswers.first())).contains("typed"));
    }

    void yesAlwaysShowsSaveAsEvenWithAFileName()
    {
        QVERIFY(writeBytes(path("f.htm"), "x"));
        m_ui->fileAnswers << path("f.htm");
        ZediDove->OpenClick();
        editor()->setSelText(QStringLiteral("y"));
        m_ui->confirmAnswers << true;
        m_ui->fileAnswers << path("g.htm");
        ZediDove->Close1Click();
        QCOMPARE(m_ui->fileRequests.size(), 2);
        QCOMPARE(m_ui->fileRequests.at(1).title, QStringLiteral("Save HTML Document"));
        QCOMPARE(readBytes(path("g.htm")), QByteArray("yx"));
    }

    void mainWindowCloseStopsAtAKeptDocument()
    {
        ZediDove->New1Click();
        editor()->setSelText(QStringLiteral("keep me"));
        m_ui->confirmAnswers << true; // then the Save As is cancelled
        QVERIFY(!ZediDove->close());
        QCOMPARE(openDocuments(), 1);
        QVERIFY(editor()->text().contains(QStringLiteral("keep me")));
        // Answering No lets everything close, without "Exit Now?".
        m_ui->confirmAnswers << false;
        QVERIFY(ZediDove->close());
        QCOMPARE(openDocuments(), 0);
        QVERIFY(!m_ui->confirms.contains(QStringLiteral("Exit Now?")));
    }

    void realQuestionIsAnsweredOnlyByItsButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << "Yes" << true;
        QTest::newRow("no") << "No" << false;
    }
    void realQuestionIsAnsweredOnlyByItsButtons()
    {
        // Escape or the close box must not count as "No": a No to the
        // close question throws the user's text away.
        QFETCH(QString, button);
        QFETCH(bool, answer);
        bool openAfterEscape = false, openAfterClose = false;
        QString text;
        onNextModal([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            text = box ? box->text() : QString();
            QTest::keyClick(w, Qt::Key_Escape);
            openAfterEscape = w->isVisible();
            w->close();
            openAfterClose = w->isVisible();
            for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
                if (b->text().remove(QLatin1Char('&')) == button)
                    b->click();
            if (w->isVisible())
                w->hide();
        });
        QCOMPARE(platformUi().confirm(QStringLiteral("Save Changes to HTML 1?")), answer);
        QCOMPARE(text, QStringLiteral("Save Changes to HTML 1?"));
        QVERIFY(openAfterEscape);
        QVERIFY(openAfterClose);
    }

    void exitAsksFirst()
    {
        m_ui->confirmAnswers << false;
        ZediDove->action(QStringLiteral("Exit1"))->trigger();
        QCOMPARE(m_ui->confirms, QStringList{QStringLiteral("Exit Now?")});
        QVERIFY(ZediDove->isVisible());
        QCOMPARE(openDocuments(), 1);
    }

    void activatingMakesDocumentCurrent()
    {
        THTMLDOC *first = ZediDove->currentDocument();
        ZediDove->New1Click();
        QCOMPARE(ZediDove->documents()->currentSlot(), 2);
        ZediDove->mdiArea()->setActiveSubWindow(first);
        QCOMPARE(ZediDove->documents()->currentSlot(), 1);
        ZediDove->action(QLatin1String(TagCommand::Bold))->trigger();
        QVERIFY(first->editor()->text().contains(QStringLiteral("<STRONG>")));
        QVERIFY(!ZediDove->documents()->document(2)->editor()->isModified());
    }

    void clipboardActsOnCurrentEditor()
    {
        setEditorText(QStringLiteral("cut me"), 0, 3);
        ZediDove->action(QStringLiteral("Cut"))->trigger();
        QCOMPARE(editor()->text(), QStringLiteral(" me"));
        editor()->setSelStart(3);
        ZediDove->action(QStringLiteral("Paste"))->trigger();
        QCOMPARE(editor()->text(), QStringLiteral(" mecut"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("CR LF unchanged") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("LF becomes CR LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("lone CR becomes CR LF") << QByteArray("a\rb") << QByteArray("a\r\nb");
        QTest::newRow("UTF-8 no-break space kept") << QByteArray("a\xC2\xA0" "b") << QByteArray("a\xC2\xA0" "b");
        QTest::newRow("UTF-8 BOM kept") << QByteArray("\xEF\xBB\xBFh\xC3\xA9") << QByteArray("\xEF\xBB\xBFh\xC3\xA9");
        QByteArray high;
        for (int b = 0x80; b <= 0xFF; ++b)
            high += char(b);
        QTest::newRow("Windows-1252 every high byte") << high << high;
        QTest::newRow("empty file") << QByteArray() << QByteArray();
        QTest::newRow("UTF-8 two, three and four byte forms")
            << QByteArray("\xC3\xA9\r\n\xE2\x82\xAC\r\n\xF0\x9F\x98\x80")
            << QByteArray("\xC3\xA9\r\n\xE2\x82\xAC\r\n\xF0\x9F\x98\x80");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        QVERIFY(writeBytes(path("r.htm"), bytes));
        m_ui->fileAnswers << path("r.htm");
        ZediDove->OpenClick();
        QVERIFY(m_ui->errors.isEmpty());
        {
            // A save is never cut short: asked to cancel, it goes on.
            ProgressScope cancel([](qint64, qint64) { return false; });
            ZediDove->SaveClick();
        }
        QVERIFY(!editor()->isModified());
        QCOMPARE(readBytes(path("r.htm")), saved);
    }

    // A document read, edited and saved with no window writes what the
    // window would, knows the file changed under it, and shows in a window
    // attached later, its encoding in the status bar.
    void documentWithoutWindow_data() { roundTrip_data(); }
    void documentWithoutWindow()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        QVERIFY(writeBytes(path("alone.htm"), bytes));
        QVERIFY(writeBytes(path("shown.htm"), bytes));
        DocumentTable *table = ZediDove->documents();
        const QList<THTMLDOC *> windows = table->documents();
        PageDocument *page = table->openPage(path("alone.htm"));
        QCOMPARE(table->documents(), windows);
        QVERIFY(table->pages().contains(page));
        THTMLDOC *shown = ZediDove->openDocument(path("shown.htm"));
        QCOMPARE(page->encodingText(), shown->encodingText());
        QCOMPARE(page->charset().kept, shown->charset().kept);
        QCOMPARE(page->fileBytes(), saved);
        for (QTextDocument *text : {static_cast<QTextDocument *>(page->text()),
                                    shown->editor()->document()}) {
            QTextCursor c(text);
            c.movePosition(QTextCursor::End);
            c.insertText(QStringLiteral("<P>\u00E9\u20AC\n"));
        }
        QVERIFY(page->isModified());
        QVERIFY(page->saveTo(path("alone.htm")));
        QVERIFY(!page->isModified());
        QVERIFY(shown->save());
        QCOMPARE(readBytes(path("alone.htm")), readBytes(path("shown.htm")));
        QVERIFY(readBytes(path("alone.htm")).startsWith(saved));

        // Another program writes the file: nothing is written over it.
        QVERIFY(writeBytes(path("alone.htm"), "changed by another program"));
        QTextCursor(page->text()).insertText(QStringLiteral("x"));
        QVERIFY(!page->saveTo(path("alone.htm")));
        QCOMPARE(readBytes(path("alone.htm")), QByteArray("changed by another program"));

        THTMLDOC *later = table->attachWindow(page);
        QVERIFY(later);
        QCOMPARE(table->attachWindow(page), nullptr); // one window a document
        QCOMPARE(later->editor()->document(), page->text());
        QCOMPARE(later->windowTitle(), path("alone.htm"));
        QCOMPARE(table->current(), later);
        QCOMPARE(later->editor()->text(), QStringLiteral("x") + shown->editor()->text());
        QVERIFY(later->editor()->isModified());
        DocumentStatus *status = ZediDove->workbench()->status();
        QCOMPARE(status->encodingText(), page->encodingText());
        page->setCharset({TextEncoding::Koi8R, true, {}, {}});
        QCOMPARE(status->encodingText(), QStringLiteral("KOI8-R (guessed)"));
        QCOMPARE(later->toolTip(), page->encodingToolTip());

        // Closing the window closes the document; one never shown closes alone.
        PageDocument *other = table->openPage(path("shown.htm"));
        QSignalSpy closed(table, &DocumentTable::documentClosed);
        table->closePage(other);
        page->setModified(false);
        QVERIFY(later->close());
        QCOMPARE(closed.size(), 2);
        QVERIFY(!table->pages().contains(page));
        QVERIFY(!table->pages().contains(other));
    }

    // Reading cancelled in its progress box: no document stays, its slot is
    // the next one again, the current document is as it was.
    void cancelledOpenOpensNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8, read in pieces") << QByteArray("<P>caf\xC3\xA9</P>\r\n").repeated(9);
        QTest::newRow("Windows-1252, read in pieces") << QByteArray("<P>caf\xE9</P>");
        QTest::newRow("UTF-16, read whole") << QByteArray("\xFF\xFE<\0P\0>\0", 8);
        QTest::newRow("UTF-8, read ahead on a worker")
            << QByteArray("<P>caf\xC3\xA9</P>\r\n").repeated(500000);
    }
    void cancelledOpenOpensNothing()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(writeBytes(path("c.htm"), bytes));
        editor()->setSelText(QStringLiteral("typed"));
        const QString before = editor()->text();
        int reports = 0;
        {
            ProgressScope cancel([&](qint64, qint64) { return ++reports > 1; });
            QVERIFY(!ZediDove->openDocument(path("c.htm")));
        }
        QCOMPARE(reports, 1); // cancelled at the first report
        QTRY_COMPARE(openDocuments(), 1);
        QVERIFY(m_ui->errors.isEmpty() && m_ui->confirms.isEmpty());
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        QCOMPARE(editor()->text(), before);
        ZediDove->New1Click();
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 2"));
    }

    // What is not a plain file is refused before anything is read (a pipe
    // would hold the editor until some program wrote to it), and no window
    // is left captioned with its path.
    void refusedOpenLeavesNoWindow_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe, no writer") << "pipe";
        QTest::newRow("device") << "device";
        QTest::newRow("folder") << "folder";
        QTest::newRow("missing") << "missing";
    }
    void refusedOpenLeavesNoWindow()
    {
        QFETCH(QString, kind);
        QString file = path("x.htm");
        if (kind == QLatin1String("pipe"))
            QVERIFY(mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        else if (kind == QLatin1String("device"))
            file = QStringLiteral("/dev/zero");
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(file));
        THTMLDOC *before = ZediDove->currentDocument();
        ZediDove->openFiles({file});
        QCOMPARE(m_ui->errors, QStringList{QStringLiteral("Tagloom HTML|Cannot open file %1.").arg(file)});
        QCOMPARE(openDocuments(), 1);
        QCOMPARE(ZediDove->currentDocument(), before);
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 1"));
        // The next New takes the slot the refused file would have had.
        ZediDove->New1Click();
        QCOMPARE(ZediDove->currentDocument()->windowTitle(), QStringLiteral("HTML 2"));
    }

    void unencodableCharacterBecomesReference()
    {
        QVERIFY(writeBytes(path("w.htm"), "caf\xE9"));
        m_ui->fileAnswers << path("w.htm");
        ZediDove->OpenClick();
        editor()->setSelText(QStringLiteral("\u4E2D\U0001F600"));
        ZediDove->SaveClick();
        QCOMPARE(readBytes(path("w.htm")), QByteArray("&#20013;&#128512;caf\xE9"));
    }

    void oversizeFileRefusedBeforeReading()
    {
        QVERIFY(writeBytes(path("big.htm"), QByteArray(2048, 'x')));
        bool threw = false;
        try {
            readTextFile(path("big.htm"), 1024);
        } catch (const TagloomError &e) {
            threw = true;
            QCOMPARE(e.text(), QStringLiteral("Text exceeds memo capacity"));
        }
        QVERIFY(threw);
    }

    // What the editor offers beyond the tag commands follows the current
    // document: status, Go to Line, recent files, the browser copy, the check.
    void workbenchFollowsTheCurrentDocument()
    {
        Workbench *bench = ZediDove->workbench();
        auto item = [](const char *name) {
            return ZediDove->findChild<QAction *>(QLatin1String(name));
        };
        item("ClearRecent")->trigger();
        const QString page = path("page.htm");
        QVERIFY(writeBytes(page, "<HTML>\r\n<BODY>\r\n<P>one\r\n</BODY>\r\n</HTML>\r\n"));
        THTMLDOC *doc = ZediDove->openDocument(page);
        QCOMPARE(bench->recentFiles().value(0), QFileInfo(page).absoluteFilePath());
        QCOMPARE(bench->status()->encodingText(), QStringLiteral("UTF-8"));
        QCOMPARE(bench->status()->caretText(), QStringLiteral("Ln 1, Col 1"));
        QVERIFY(!item(ActionId::Undo)->isEnabled());

        // An answer that is not a line asks again, saying why.
        m_ui->inputAnswers << QStringLiteral("abc") << QStringLiteral("3");
        item("EditGoToLine")->trigger();
        QCOMPARE(editor()->caretLine(), 2);
        QCOMPARE(bench->status()->caretText(), QStringLiteral("Ln 3, Col 1"));
        QCOMPARE(m_ui->inputs.size(), 2);
        QVERIFY(m_ui->inputs.at(1).contains(QStringLiteral("\"abc\" is not a line number")));
        QTest::keyClicks(editor(), QStringLiteral("x"));
        QVERIFY(item(ActionId::Undo)->isEnabled());
        QCOMPARE(bench->status()->changedText(), QStringLiteral("Modified"));
        item(ActionId::Undo)->trigger();
        QVERIFY(!editor()->isModified());

        // The browser gets a copy naming the page's folder; the page is untouched.
        item("ViewPreviewInBrowser")->trigger();
        QCOMPARE(m_ui->urlsOpened.size(), 1);
        const QByteArray copy = readBytes(m_ui->urlsOpened.first().toLocalFile());
        const QByteArray folder = QUrl::fromLocalFile(m_dir->path() + '/').toEncoded();
        QCOMPARE(copy, "<HTML><BASE HREF=\"" + folder
                           + "\">\r\n<BODY>\r\n<P>one\r\n</BODY>\r\n</HTML>\r\n");
        QVERIFY(!editor()->isModified());
        m_ui->openUrlAnswer = false;
        item("ViewPreviewInBrowser")->trigger();
        QCOMPARE(m_ui->errors.size(), 1);
        QVERIFY(m_ui->errors.first().contains(QStringLiteral("No web browser")));
        m_ui->errors.clear();

        // A row of the check puts the caret at its place in that page.
        ZediDove->New1Click();
        item("ToolsCheckPage")->trigger();
        item("ToolsCheckPage")->trigger(); // the first check gives way to the second
        PageCheckPane *check = bench->pageCheck();
        QTRY_VERIFY_WITH_TIMEOUT(!check->isChecking(), checkerStartTimeout);
        // The skeleton, judged by the living standard: no doctype, no lang.
        QCOMPARE(check->summary(), QStringLiteral("1 error, 0 warnings, 1 advice"));
        QVERIFY(check->rows()->topLevelItemCount() > 0);
        QTreeWidgetItem *row = check->rows()->topLevelItem(0);
        ZediDove->mdiArea()->setActiveSubWindow(doc);
        emit check->rows()->itemActivated(row, 0);
        QVERIFY(ZediDove->currentDocument() != doc);
        QCOMPARE(editor()->caretLine(), row->text(0).toInt() - 1);
        QTest::keyClicks(editor(), QStringLiteral("x"));
        QTRY_VERIFY(check->summary().contains(QStringLiteral("out of date")));
        // Checked as typed too: the page's count in the status bar, gone
        // when switched off.
        auto *live = editor()->findChild<LiveCheck *>();
        QVERIFY(live);
        live->checkNow();
        QTRY_VERIFY_WITH_TIMEOUT(!live->isChecking(), checkerStartTimeout);
        item("ToolsCheckPage")->trigger(); // the same text
        QTRY_VERIFY_WITH_TIMEOUT(!check->isChecking(), checkerStartTimeout);
        QCOMPARE(bench->status()->pageCheckText(), check->summary());
        item("ToolsCheckAsYouType")->trigger();
        QVERIFY(bench->status()->pageCheckText().isEmpty());
        item("ToolsCheckAsYouType")->trigger();
        QVERIFY(live->isEnabled());

        // A recent file that has gone says so and leaves the list.
        QVERIFY(QFile::remove(page));
        emit bench->recentMenu()->aboutToShow();
        bench->recentMenu()->actions().first()->trigger();
        QCOMPARE(m_ui->errors, QStringList{QStringLiteral("Tagloom HTML|Cannot open file %1.")
                                               .arg(QFileInfo(page).absoluteFilePath())});
        QVERIFY(bench->recentFiles().isEmpty());
    }
};

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
