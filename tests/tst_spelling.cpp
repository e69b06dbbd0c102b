// Spelling: which words of a page are read and which of them are misspelt
// (with the small ISO 8859-1 dictionary in tests/spelling), the page's
// language, and the check in a real editor: underlines, the context menu,
// the personal word list, a lang without a dictionary, no dictionary at all.
#include "actions.h"
#include "diskfile.h"
#include "documentstatus.h"
#include "editorbox.h"
#include "mainwindow.h"
#include "spellcheck.h"
#include "spelling.h"
#include "spellwords.h"
#include "testsupport.h"
#include "userstate.h"
#include "workbench.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <sys/stat.h>

namespace {
const QString kDictionaries = QStringLiteral(TAGLOOM_SPELLING_DIR);

SpellDictionary &testDictionary() {
    static SpellDictionary d(kDictionaries + QStringLiteral("/en_TEST.aff"),
                             kDictionaries + QStringLiteral("/en_TEST.dic"));
    return d;
}

// "word@offset" for each misspelt word of a page, read line by line.
QStringList misspelt(const QString &page) {
    QStringList out;
    Markup::State state;
    qsizetype offset = 0;
    for (const QString &line : page.split(QLatin1Char('\n'))) {
        const SpellLine words = spellWords(line, state, 0, -1);
        if (Markup::scan(line, state) != words.endState)
            out << QStringLiteral("end states differ in ") + line;
        for (const SpellWord &w : words.words)
            if (!testDictionary().isCorrect(w.text))
                out << line.mid(w.start, w.length) + QLatin1Char('@') + QString::number(offset + w.start);
        state = words.endState;
        offset += line.size() + 1;
    }
    return out;
}

// The same, written in the page: «word» marks a misspelt one.
QStringList marked(QString page) {
    QStringList out;
    for (qsizetype open = page.indexOf(u'«'); open >= 0; open = page.indexOf(u'«', open)) {
        page.remove(open, 1);
        const qsizetype close = page.indexOf(u'»', open);
        page.remove(close, 1);
        out << page.mid(open, close - open) + QLatin1Char('@') + QString::number(open);
    }
    return out;
}

QString unmarked(QString page) {
    page.remove(u'«');
    page.remove(u'»');
    return page;
}

void waitForCheck(EditorBox *e) {
    QTRY_VERIFY(e->spelling()->isComplete() &&
                (e->spelling()->dictionaryName().isEmpty() ||
                 Spelling::instance()->dictionary(e->spelling()->dictionaryName())));
    e->spelling()->update();
}

QStringList underlinedWords(EditorBox *e) {
    QStringList out;
    for (const auto &[at, length] : e->spelling()->underlined()) {
        QTextCursor c(e->document());
        c.setPosition(at);
        c.setPosition(at + length, QTextCursor::KeepAnchor);
        out << c.selectedText();
    }
    return out;
}
} // namespace

class TestSpelling : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
private slots:
    void initTestCase() {
        QVERIFY(testDictionary().isValid());
        Spelling::setSearchPath({kDictionaries});

    }
    void init() {
        if (runsWithoutWindows({"misspeltWords", "partOfALine", "pageLanguage", "resolve", "encoding"}))
            return;
        m_ui = new ScriptedUi;
        startApplication();
        // A word added by an earlier run, before the list is first read
        // (the path holds the application's name, set by the start-up).
        static const bool cleared = QFile::remove(Spelling::personalWordsPath()) || true;
        Q_UNUSED(cleared);
    }
    void cleanup() {
        if (!m_ui)
            return;
        const bool noDialogLeft = closeDialogsLeftOpen();
        markAllUnchanged();
        stopApplication();
        delete m_ui;
        m_ui = nullptr;
        Spelling::setSearchPath({kDictionaries});
        QVERIFY(noDialogLeft);
    }

    void misspeltWords_data() {
        QTest::addColumn<QString>("page");
        QTest::newRow("text between tags") << "<p>The «kat» sat on <b>the</b> «matt»</p>";
        QTest::newRow("tag names, other attributes")
            << "<blockquote class=\"wrongg\" id=foobar data-x='zzz'>the cat</blockquote>";
        QTest::newRow("alt, title, placeholder")
            << "<img src=\"dogg.png\" alt=\"A «pictur» of a dog\" TITLE='«Helo» world'>"
               "<input placeholder=«Tipe» name=zzz>";
        QTest::newRow("a stray quote is no value") << "<img \"wrongg\" alt=\"the\">";
        QTest::newRow("references") << "the&nbsp;cat &amp; «dgo» &#233; &lt;«teh»&gt;";
        QTest::newRow("a word holding a reference")
            << "caf&eacute; caf&#233; caf&#xE9; «kaf&eacute;» na&iuml;ve";
        QTest::newRow("an unknown reference leaves its word alone") << "foo&alpha;bar the";
        QTest::newRow("script and style")
            << "<script>var teh = 'wrongg';</script><style>.wrongg{}</style>the «kat»"
               "<SCRIPT type=x>if (a</b) teh();</SCRIPT >«dgo»";
        QTest::newRow("comments") << "<!-- teh wrongg --> the «kat» <!-- zzz -->";
        QTest::newRow("addresses")
            << "see http://exampel.com/teh and www.exampel.org or mail me@exampel.com, "
               "mailto:zzz index.htm ../imgs/teh «kat»";
        QTest::newRow("apostrophes")
            << "don't «dont» ‘the’ don’t 'cat' «kat's» the'";
        QTest::newRow("letters beyond ASCII")
            << "naïve café «cafée» «naïf» λόγος Ελληνικά 日本語";
        QTest::newRow("digits, capitals, single letters")
            << "mp3 h2o my_var HTML NASA x y «kat»";
        QTest::newRow("a lone <") << "a < b the «kat» <3";
        QTest::newRow("a tag over lines")
            << "<img alt=\"A\n«pictur» of\" src=x\nclass=wrongg\n>\nthe «kat»";
        QTest::newRow("a name and its value on different lines")
            << "<img alt\n=\n'«pictur»' src=\ndogg>";
        QTest::newRow("a comment over lines") << "<!-- teh\nwrongg\n--> «kat»";
        QTest::newRow("a script over lines") << "<script>\nvar teh;\n</script>\n«kat»";
        QTest::newRow("a self-closed script holds nothing") << "<script/>«kat»";
        QTest::newRow("a long word") << QString(QStringLiteral("the ") + QString(200, u'z'));
    }
    void misspeltWords() {
        QFETCH(QString, page);
        QCOMPARE(misspelt(unmarked(page)), marked(page));
    }

    // The words of a long line's part: only those starting in it, an
    // address cut by its start still judged whole.
    void partOfALine() {
        const QString line = QStringLiteral("kat http://exampel.com/a/teh dgo kat");
        const SpellLine part = spellWords(line, Markup::State(), 10, 32);
        QCOMPARE(part.words.size(), 1);
        QCOMPARE(part.words[0].text, QStringLiteral("dgo"));
        QVERIFY(part.endState == Markup::scan(line, Markup::State()));
    }

    void pageLanguage_data() {
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("language");
        // Where the answer is settled: no change after it can alter it.
        QTest::addColumn<int>("decidedAt");
        QTest::newRow("quoted") << "<!doctype html>\n<html lang=\"de-DE\"><head>" << "de-DE" << 34;
        QTest::newRow("capitals, unquoted") << "<HTML LANG=fr>" << "fr" << 13;
        QTest::newRow("over lines") << "<html\n  class=x\u2029lang = 'en' >" << "en" << 27;
        QTest::newRow("lang before xml:lang") << "<html xml:lang=\"en\" lang=\"fr\">" << "fr" << 29;
        QTest::newRow("xml:lang alone") << "<html xml:lang=\"en\">" << "en" << 19;
        QTest::newRow("none") << "<html><body lang=fr>" << "" << 5;
        QTest::newRow("another element") << "<htmlx lang=en><html lang=de>" << "de" << 28;
        QTest::newRow("unclosed value") << "<html lang=\"en" << "" << -1;
        QTest::newRow("unclosed tag") << "<html class=x" << "" << -1;
        QTest::newRow("no html tag") << "<p lang=en>text" << "" << -1;
    }
    void pageLanguage() {
        QFETCH(QString, head);
        QFETCH(QString, language);
        QFETCH(int, decidedAt);
        qsizetype decided = -2;
        QCOMPARE(::pageLanguage(head, &decided), language);
        QCOMPARE(int(decided), decidedAt);
    }

    void resolve_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("dictionary");
        QTest::newRow("its name") << "en_TEST" << "en_TEST";
        QTest::newRow("language only") << "en" << "en_TEST";
        QTest::newRow("another region") << "EN-gb" << "en_TEST";
        QTest::newRow("none installed") << "fr" << "";
        QTest::newRow("empty") << "" << "";
    }
    void resolve() {
        QFETCH(QString, language);
        QFETCH(QString, dictionary);
        QCOMPARE(Spelling::instance()->resolve(language), dictionary);
    }

    // Words and suggestions pass through the dictionary's own character set.
    void encoding() {
        SpellDictionary &d = testDictionary();
        QVERIFY(d.isCorrect(QStringLiteral("café")));
        QVERIFY(!d.isCorrect(QStringLiteral("cafe")));
        QVERIFY(d.isCorrect(QStringLiteral("Ωμέγα"))); // not in its set: nothing said
        QVERIFY(d.suggestions(QStringLiteral("cafe"), 8).contains(QStringLiteral("café")));
        QVERIFY(d.suggestions(QStringLiteral("Ωμέγα"), 8).isEmpty());
        QCOMPARE(d.suggestions(QStringLiteral("kat"), 1).size(), 1);
    }

    void underlinesFollowTheText() {
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<html lang=\"en\">\r\n<p>the kat sat\r\n<script>teh</script>"
                                     " on the matt</p>"));
        waitForCheck(e);
        QCOMPARE(e->spelling()->dictionaryName(), QStringLiteral("en_TEST"));
        QCOMPARE(underlinedWords(e), (QStringList{"kat", "matt"}));
        // Before the line is read again, underlines after a change move
        // with the text and one the change touches goes.
        QTextCursor c(e->document());
        c.setPosition(int(e->toPlainText().indexOf(QLatin1String("the kat"))));
        c.insertText(QStringLiteral("on "));
        QCOMPARE(underlinedWords(e), (QStringList{"kat", "matt"}));
        c.setPosition(int(e->toPlainText().indexOf(QLatin1String("matt"))) + 2);
        c.insertText(QStringLiteral("x"));
        QCOMPARE(underlinedWords(e), (QStringList{"kat"}));
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"kat", "maxtt"}));
        // Typed into: the line is read again.
        c.setPosition(int(e->toPlainText().indexOf(QLatin1String("kat"))));
        c.deleteChar();
        c.insertText(QStringLiteral("c"));
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"maxtt"}));
        // A comment opened above hides the lines below it.
        QTextCursor(e->document()).insertText(QStringLiteral("<!--"));
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), QStringList());
    }

    // Line states are read only as far as the screen needs: a jump far
    // down reads on from there, and a change above the lines read holds.
    void farLinesAfterAJump() {
        EditorBox *e = editor();
        QString page = QStringLiteral("<html lang=\"en\"><!--\r\n");
        for (int i = 0; i < 3000; ++i)
            page += i == 2500 ? QStringLiteral("teh kat\r\n") : QStringLiteral("<p></p>\r\n");
        setEditorText(page);
        waitForCheck(e);
        e->setCaret(2502, 1);
        e->centerCursor();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), QStringList()); // in the comment
        QTextCursor c(e->document());
        c.setPosition(int(page.indexOf(QLatin1String("<!--"))));
        c.setPosition(c.position() + 4, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        e->centerCursor();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"teh", "kat"}));
        c.insertText(QStringLiteral("\r\n\r\n<!--"));
        e->centerCursor();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), QStringList());
    }

    void contextMenu() {
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<html lang=en><p>the kat and the dgo and the dgo"));
        waitForCheck(e);
        const int kat = int(e->toPlainText().indexOf(QLatin1String("kat")));
        const QString before = e->toPlainText();
        {
            QMenu menu;
            menu.addAction(QStringLiteral("Copy"));
            e->spelling()->addToMenu(&menu, kat + 1);
            const QList<QAction *> items = menu.actions();
            QVERIFY(items.size() > 4);
            QCOMPARE(items.last()->text(), QStringLiteral("Copy")); // the usual items after
            QAction *cat = nullptr;
            for (QAction *a : items)
                if (a->text() == QLatin1String("cat"))
                    cat = a;
            QVERIFY(cat);
            cat->trigger();
        }
        QVERIFY(e->toPlainText().contains(QLatin1String("the cat and")));
        e->undo(); // one step gives the word back
        QCOMPARE(e->toPlainText(), before);
        // Outside a misspelt word the menu is the usual one.
        QMenu plain;
        e->spelling()->addToMenu(&plain, 1);
        QVERIFY(plain.actions().isEmpty());
        // Ignored: every "dgo" of the session, no file written.
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"kat", "dgo", "dgo"}));
        QMenu m;
        e->spelling()->addToMenu(&m, int(e->toPlainText().indexOf(QLatin1String("dgo"))));
        m.findChild<QAction *>(QStringLiteral("SpellingIgnore"))->trigger();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"kat"}));
        QCOMPARE(readBytes(Spelling::personalWordsPath()).contains("dgo"), false);
    }

    // The word goes on a line of its own, the list written whole; a list
    // that cannot be kept says so and the word stays underlined. A pipe in
    // the list's place is never opened (it would hold the editor).
    void addToDictionary_data() {
        QTest::addColumn<QString>("list"); // "none", "pipe", "read-only" or its text
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("no list yet")
            << "none" << QByteArray("Tagloom\n") << "" << QStringList{"zyxw"};
        QTest::newRow("last line without a break")
            << "zyxw" << QByteArray("zyxw\nTagloom\n") << "" << QStringList{};
        // Refused to root as well.
        QTest::newRow("a read-only place")
            << "read-only" << QByteArray() << "Cannot create file %1: Permission denied."
            << QStringList{"Tagloom", "zyxw"};
        QTest::newRow("a named pipe") << "pipe" << QByteArray() << "Cannot open file %1."
                                      << QStringList{"Tagloom", "zyxw"};
    }
    void addToDictionary() {
        QFETCH(QString, list);
        QFETCH(QByteArray, saved);
        QFETCH(QString, error);
        QFETCH(QStringList, after);
        const QString path = Spelling::personalWordsPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        const auto removeList = qScopeGuard([&] { QFile::remove(path); });
        if (list == QLatin1String("pipe"))
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else if (list == QLatin1String("read-only"))
            QVERIFY(QFile::link(QStringLiteral("/sys/tagloom-words.txt"), path));
        else if (list != QLatin1String("none"))
            QVERIFY(writeBytes(path, list.toUtf8()));
        Spelling::setSearchPath({kDictionaries}); // the list is read again
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<html lang=en><p>the Tagloom and the zyxw"));
        waitForCheck(e);
        const QStringList before = list == QLatin1String("zyxw") ? QStringList{"Tagloom"}
                                                                 : QStringList{"Tagloom", "zyxw"};
        QCOMPARE(underlinedWords(e), before);
        m_ui->errors.clear(); // no settings file here
        QMenu m;
        e->spelling()->addToMenu(&m, int(e->toPlainText().indexOf(QLatin1String("Tagl"))));
        m.findChild<QAction *>(QStringLiteral("SpellingAdd"))->trigger();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), after);
        QCOMPARE(m_ui->errors, error.isEmpty() ? QStringList{}
                                               : QStringList{"Tagloom HTML|" + error.arg(path)});
        if (!saved.isEmpty())
            QCOMPARE(readBytes(path), saved);
        else if (list == QLatin1String("pipe"))
            QVERIFY(fileStamp(path).exists && !fileStamp(path).regular);
        else
            QVERIFY(QFileInfo(path).isSymLink() && !QFileInfo::exists(path));
    }

    // The page's lang names a language with no dictionary: not checked,
    // and the status bar says so; the menu's choice does not override it.
    void languageWithoutDictionary() {
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<html lang=\"fr-CA\"><p>le kat"));
        waitForCheck(e);
        QCOMPARE(e->spelling()->dictionaryName(), QString());
        QCOMPARE(underlinedWords(e), QStringList());
        DocumentStatus *status = ZediDove->workbench()->status();
        QVERIFY(status->spellingText().contains(QLatin1String("fr-CA")));
        // Edited to a language that has one.
        QTextCursor c(e->document());
        c.setPosition(12);
        c.setPosition(17, QTextCursor::KeepAnchor);
        c.insertText(QStringLiteral("en"));
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"le", "kat"}));
        QCOMPARE(status->spellingText(), QString());
    }

    void menuSwitchesAndLanguages() {
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<p>the kat"));
        QAction *check = ZediDove->action(QStringLiteral("ToolsCheckSpelling"));
        QVERIFY(check->isChecked());
        QMenu *languages = ZediDove->actions()->menu(QStringLiteral("ToolsSpellingLanguage"));
        emit languages->aboutToShow();
        QStringList captions;
        for (QAction *a : languages->actions())
            captions << a->text();
        QCOMPARE(captions.last(), QStringLiteral("English (en_TEST)"));
        languages->actions().last()->trigger();
        QCOMPARE(Spelling::instance()->chosen(), QStringLiteral("en_TEST"));
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"kat"}));
        check->trigger();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), QStringList());
        QSettings state(UserState::path(), QSettings::IniFormat);
        QCOMPARE(state.value(QStringLiteral("spelling/check")).toBool(), false);
        QCOMPARE(state.value(QStringLiteral("spelling/language")).toString(),
                 QStringLiteral("en_TEST"));
        check->trigger();
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"kat"}));
        languages->actions().first()->trigger(); // the system's again
    }

    // Turned off in a view scrolled to the right, the waves go from the
    // screen, not only from the list.
    void wavesGoFromAScrolledView() {
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<html lang=en><p>") + QStringLiteral("the ").repeated(200)
                      + QStringLiteral("kat"));
        QVERIFY(QTest::qWaitForWindowExposed(ZediDove));
        e->horizontalScrollBar()->setValue(e->horizontalScrollBar()->maximum());
        QVERIFY(e->horizontalScrollBar()->value() > e->viewport()->width());
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), (QStringList{"kat"}));
        // Red pixels of the view as last drawn on the screen.
        const auto waves = [e] {
            const QRect view(e->viewport()->mapTo(ZediDove, QPoint(0, 0)), e->viewport()->size());
            const QImage shown =
                ZediDove->screen()->grabWindow(ZediDove->winId()).toImage().copy(view);
            int red = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    red += shown.pixelColor(x, y) == QColor(Qt::red);
            return red;
        };
        QTRY_VERIFY(waves() > 0);
        QAction *check = ZediDove->action(QStringLiteral("ToolsCheckSpelling"));
        check->trigger();
        const auto checkAgain = qScopeGuard([check] { check->trigger(); });
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), QStringList());
        QTRY_COMPARE(waves(), 0);
    }

    void noDictionaryInstalled() {
        QTemporaryDir empty;
        Spelling::setSearchPath({empty.path()});
        EditorBox *e = editor();
        setEditorText(QStringLiteral("<html lang=en><p>the kat"));
        waitForCheck(e);
        QCOMPARE(underlinedWords(e), QStringList());
        QMenu menu;
        e->spelling()->addToMenu(&menu, 20);
        QVERIFY(menu.actions().isEmpty());
        QMenu *languages = ZediDove->actions()->menu(QStringLiteral("ToolsSpellingLanguage"));
        emit languages->aboutToShow();
        QCOMPARE(languages->actions().size(), 1);
        QCOMPARE(languages->actions().first()->text(), QStringLiteral("No Dictionary Installed"));
        QVERIFY(!languages->actions().first()->isEnabled());
    }
};

QTEST_MAIN(TestSpelling)
#include "tst_spelling.moc"
