// A corpus of small files, each opened and saved unchanged through the
// editor's own Open and Save: the bytes come back exactly, except that lone
// CR and lone LF breaks become CR LF.
#include "diskfile.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "mainwindow.h"
#include "pageload.h"
#include "readahead.h"
#include "testsupport.h"
#include "textreader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTest>

#include <sys/stat.h>

namespace {
// Every byte the file kept, with each lone CR or LF made CR LF.
QByteArray crlf(const QByteArray &in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c == '\r' && i + 1 < in.size() && in.at(i + 1) == '\n') {
            out += "\r\n";
            ++i;
        } else if (c == '\r' || c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// The text in UTF-16 of either byte order, with its BOM.
QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray b(bigEndian ? "\xFE\xFF" : "\xFF\xFE");
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        b += bigEndian ? hi : lo;
        b += bigEndian ? lo : hi;
    }
    return b;
}

// Pads a page so that `declaration` starts at byte `at`.
QByteArray declaredAt(qsizetype at, const QByteArray &declaration, const QByteArray &rest)
{
    return "<P>" + QByteArray(at - 3, 'x') + declaration + rest;
}

QByteArray highBytes()
{
    QByteArray b;
    for (int c = 0x80; c <= 0xFF; ++c)
        b += char(c);
    return b;
}
} // namespace

class TestCorpus : public QObject {
    Q_OBJECT
    ScriptedUi *m_ui = nullptr;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        m_ui = startWithScriptedUi();
    }
    void cleanupTestCase()
    {
        stopApplication();
        delete m_ui;
    }
    void cleanup()
    {
        const bool noDialogLeft = closeDialogsLeftOpen();
        // One document at a time, so the 100 slots never run out: closed,
        // not deleted, so that each gives its slot back.
        for (QMdiSubWindow *w : ZediDove->mdiArea()->subWindowList()) {
            static_cast<THTMLDOC *>(w)->page()->setModified(false);
            w->close();
        }
        QVERIFY(noDialogLeft);
    }

    void openAndSaveUnchanged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("encoding"); // as the document's tool tip names it
        auto same = [](const char *name, const QByteArray &b, const QString &enc = QString()) {
            QTest::newRow(name) << b << b << enc;
        };
        auto breaks = [](const char *name, const QByteArray &b, const char *enc = "") {
            QTest::newRow(name) << b << crlf(b) << QString::fromLatin1(enc);
        };
        const QByteArray bom("\xEF\xBB\xBF");
        same("empty file", QByteArray());
        same("UTF-8 BOM only", bom);
        breaks("UTF-8 BOM and a lone LF", bom + "\n");
        same("ASCII with CR LF", "<HTML>\r\n<BODY>\r\n</BODY>\r\n</HTML>\r\n");
        same("no final line break", "<HTML>\r\n</HTML>");
        same("only CR LF breaks", "\r\n\r\n\r\n");
        breaks("only LF breaks", "\n\n\n");
        breaks("LF breaks", "<HTML>\n<BODY>\n</BODY>\n</HTML>\n");
        breaks("lone CR breaks", "<HTML>\r<BODY>\r</BODY>\r</HTML>\r");
        breaks("mixed breaks", "a\r\nb\nc\rd\r\n");
        breaks("CR CR LF is two breaks", "a\r\r\nb");
        breaks("LF CR is two breaks", "a\n\rb");
        breaks("lone CR at the very end", "a\r");
        same("UTF-8 without BOM", "caf\xC3\xA9 \xE2\x82\xAC \xC3\xB1\r\n");
        same("UTF-8 with BOM", bom + "caf\xC3\xA9\r\n\xE2\x82\xAC");
        breaks("UTF-8 with BOM and LF breaks", bom + "caf\xC3\xA9\n\xE2\x82\xAC\n");
        same("UTF-8 four-byte characters", "\xF0\x9F\x98\x80 \xF0\x90\x8D\x88\r\n");
        same("UTF-8 byte order mark inside the text", "a\xEF\xBB\xBF" "b");
        same("UTF-8 no-break space", "a\xC2\xA0" "b&nbsp;\xC2\xA0\r\n");
        same("UTF-8 line separator U+2028", "one\xE2\x80\xA8two\r\n");
        same("UTF-8 next line U+0085", "one\xC2\x85two");
        same("UTF-8 paragraph separator U+2029", "one\xE2\x80\xA9two\r\n");
        same("UTF-8 noncharacters U+FDD0 U+FDD1 U+FFFE U+FFFF",
             "a\xEF\xB7\x90" "b\xEF\xB7\x91" "c\xEF\xBF\xBE" "d\xEF\xBF\xBF" "e");
        same("UTF-8 noncharacter U+FDD2 alone", "a\xEF\xB7\x92" "b");
        same("Windows-1252 every byte 0x80 to 0xFF", highBytes());
        breaks("Windows-1252 with LF breaks", "caf\xE9\n\x80\x85\x99\n");
        same("Windows-1252 no-break space", "a\xA0" "b");
        same("Windows-1252 unassigned bytes", "\x81\x8D\x8F\x90\x9D");
        same("NUL bytes among text", QByteArray("a\0b\0\r\n\0c", 9));
        same("nothing but NUL bytes", QByteArray(1000, '\0'));
        same("tab, vertical tab and form feed", "a\tb\x0B" "c\x0C" "d\r\n");
        same("other control characters", QByteArray("\x01\x02\x1B[0m\x1F\x7F", 9));
        same("invalid UTF-8: overlong form", "a\xC0\xAF" "b");
        same("invalid UTF-8: cut off at the end", "abc\xE2\x82");
        same("invalid UTF-8: encoded surrogate", "\xED\xA0\x80" "x");
        same("invalid UTF-8: stray continuation byte", "x\x80y\r\n");

        // UTF-16: the breaks of the text are made CR LF, never bytes.
        const QString page = QStringLiteral("<HTML>\r\n<P>caf\u00E9 \u20AC \u0A0D\u0D0A")
                             + QString::fromUtf8("\xF0\x9F\x98\x80</P>\r\n</HTML>");
        same("UTF-16LE with BOM", utf16(page, false), "UTF-16LE with BOM");
        same("UTF-16BE with BOM", utf16(page, true), "UTF-16BE with BOM");
        QTest::newRow("UTF-16LE with LF breaks")
            << utf16(QStringLiteral("a\nb\rc\r\n"), false)
            << utf16(QStringLiteral("a\r\nb\r\nc\r\n"), false) << "UTF-16LE with BOM";
        same("UTF-16BE BOM only", "\xFE\xFF", "UTF-16BE with BOM");
        same("UTF-16LE holding the editor's marks and their stand-ins",
             utf16(QStringLiteral("a\u2029b\uFDD0c\uFDD1d\uFDD2e\uFDD3f\uFDD4g"), false),
             "UTF-16LE with BOM");
        same("UTF-16LE odd number of bytes", QByteArray("\xFF\xFE<\0H\0>", 7), "Windows-1252");
        same("UTF-16LE unpaired high surrogate", QByteArray("\xFF\xFEx\0\x3D\xD8y\0", 8),
             "Windows-1252");
        same("UTF-16BE unpaired low surrogate", QByteArray("\xFE\xFF\xDC\x00\0x", 6),
             "Windows-1252");
        same("UTF-16LE high surrogate last", QByteArray("\xFF\xFEx\0\x3D\xD8", 6),
             "Windows-1252");
        // UTF-32LE's mark starts with UTF-16LE's; UTF-32BE's holds UTF-16BE's.
        same("UTF-32LE BOM only", QByteArray("\xFF\xFE\0\0", 4), "UTF-32LE with BOM");
        same("UTF-32BE BOM only", QByteArray("\0\0\xFE\xFF", 4), "UTF-32BE with BOM");
        same("UTF-16LE starting with a NUL, not whole UTF-32",
             QByteArray("\xFF\xFE\0\0<\0P\0>\0", 10), "UTF-16LE with BOM");
        same("UTF-32LE BOM, then a surrogate", QByteArray("\xFF\xFE\0\0\x3D\xD8\0\0", 8),
             "Windows-1252");
        same("UTF-32BE BOM, then a code point beyond U+10FFFF",
             QByteArray("\0\0\xFE\xFF\0\x11\0\0", 8), "Windows-1252");

        // Declared charsets.
        same("ISO-8859-2 meta charset",
             "<HTML><HEAD><meta charset=\"iso-8859-2\"></HEAD>\r\n\xB1\xE6\xEA\xA9\r\n",
             "ISO-8859-2");
        same("windows-1251 http-equiv",
             "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">"
             "\r\n\xCF\xF0\xE8\xE2\xE5\xF2",
             "Windows-1251");
        same("Shift_JIS unquoted", "<meta charset=Shift_JIS>\x93\xFA\x96\x7B\x8C\xEA\\~",
             "Shift_JIS");
        same("KOI8-R content type, no space",
             "<meta http-equiv='content-type' content='text/html;charset=koi8-r'>"
             "\xF0\xD2\xC9\xD7\xC5\xD4",
             "KOI8-R");
        same("XML declaration ISO-8859-7",
             "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\r\n<html>\xE1\xE2\xE3</html>",
             "ISO-8859-7");
        same("GB18030 four-byte sequence", "<meta charset=\"gb18030\">\x81\x30\x81\x30\xD6\xD0",
             "GB18030");
        same("Big5", "<meta charset=big5><P>\xA4\xA4\xA4\xE5</P>", "Big5");
        same("EUC-JP", "<meta charset=\"EUC-JP\">\xC6\xFC\xCB\xDC", "EUC-JP");
        breaks("ISO-8859-2 with LF breaks", "<meta charset=\"latin2\">\n\xB1\n\xE6\r",
               "ISO-8859-2");
        same("ASCII page declaring KOI8-R", "<meta charset=\"koi8-r\"><P>x</P>\r\n", "KOI8-R");
        same("ASCII page declaring ISO-8859-1", "<meta charset=\"ISO-8859-1\">", "Windows-1252");
        same("first meta wins",
             "<meta charset=\"koi8-r\"><meta charset=\"iso-8859-5\">\xF0\xD2", "KOI8-R");
        same("declaration at byte 1,000", declaredAt(1000, "<meta charset=koi8-r>", "\xF0\xD2"),
             "KOI8-R");
        same("declaration ending at byte 1,024",
             declaredAt(1024 - 23, "<meta charset=\"koi8-r\">", "\xF0\xD2"), "KOI8-R");
        same("declaration at byte 1,023 cut in half",
             declaredAt(1005, "<meta charset=\"koi8-r\">", "\xF0\xD2"), "Windows-1252");
        same("declaration beyond byte 1,024",
             declaredAt(1030, "<meta charset=\"koi8-r\">", "\xF0\xD2"), "Windows-1252");
        same("declaration in a comment", "<!-- <meta charset=\"koi8-r\"> -->\xF0\xD2",
             "Windows-1252");
        same("declaration in another tag's attribute",
             "<P title='<meta charset=koi8-r>'>\xF0\xD2", "Windows-1252");
        same("charset=utf-16 in an 8-bit file", "<meta charset=\"utf-16\">caf\xE9",
             "Windows-1252");
        same("charset=utf-16 in an ASCII file", "<meta charset=\"utf-16\">cafe", "UTF-8");
        same("UTF-8 declared, bytes invalid", "<meta charset=\"utf-8\">caf\xE9", "Windows-1252");
        auto unreadable = [](const char *label, const QString &shownAs) {
            return QStringLiteral("%2. The page declares %1, which this editor cannot "
                                  "read: its bytes are shown as %2 and saved as they "
                                  "were.").arg(QLatin1String(label), shownAs);
        };
        same("unknown charset", "<meta charset=\"x-no-such-thing\">caf\xE9",
             unreadable("X-NO-SUCH-THING", "Windows-1252"));
        same("stateful ISO-2022-KR, not read",
             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-2022-KR\">"
             "\x1B$)C\x0E\x30\x21\x0F\r\n",
             unreadable("ISO-2022-KR", "UTF-8"));
        same("Shift_JIS cut off at the end", "<meta charset=\"shift_jis\">\x93\xFA\x93",
             "Windows-1252");
        same("Shift_JIS with a byte it does not define", "<meta charset=\"shift_jis\">\x85\x40",
             "Windows-1252");
        same("Shift_JIS with a character written two ways", "<meta charset=\"sjis\">\x87\x90",
             "Shift_JIS");
        same("Shift_JIS with a character written both ways",
             "<meta charset=\"sjis\">\x87\x90\x81\xE0", "Windows-1252");
        same("windows-1251 with its unassigned byte", "<meta charset=\"cp1251\">\xCF\xF0\x98",
             "Windows-1252");
        same("valid UTF-8 declaring KOI8-R", "<meta charset=\"koi8-r\">caf\xC3\xA9", "UTF-8");

        // Stand-ins for the editor's marks already in the file.
        same("UTF-8 marks with their usual stand-ins",
             "a\xE2\x80\xA9" "b\xEF\xB7\x92" "c\xEF\xB7\x93" "d\xEF\xB7\x94" "e\xEF\xB7\x90"
             "f\xEF\xB7\x91" "g\r\n",
             "UTF-8");
        QByteArray allNonchars("\xE2\x80\xA9");
        for (char32_t c = 0xFDD0; c <= 0xFDEF; ++c)
            allNonchars += QString::fromUcs4(&c, 1).toUtf8();
        same("UTF-8 marks with every noncharacter of the BMP",
             allNonchars + "\xEF\xBF\xBE\xEF\xBF\xBF\xEE\x80\x80", "UTF-8");
        same("100,000 short lines", QByteArray("<P>x</P>\r\n").repeated(100'000));
        same("10 MB on one line", QByteArray("<P>\xC3\xA9").repeated(2'000'000).left(10'000'000));
        // Pages from today's web: shown wrapped, saved as they were.
        same("minified page with a script, one line",
             "<!doctype html><ul>"
                 + QByteArray("<li class=\"c\"><a href=\"/p\">Item</a></li>").repeated(30'000)
                 + "<script>if(a<b&&c>d){s='<p>';}</script></ul>");
        breaks("generated documentation, lines of 40,000 characters",
               QByteArray("<div class=\"d\"><span><a href=\"#x\">x</a></span></div>")
                       .repeated(800)
                       .append('\n')
                       .repeated(5));
        same("NUL bytes in a 1 MB line", QByteArray("nnnnn\0nnnn", 10).repeated(100'000));
        same("100,000 unclosed div", QByteArray("<div class=\"n\">\r\n").repeated(100'000));
        same("a comment over 2 MB", "<!--\r\n" + QByteArray(98, 'c').append("\r\n").repeated(20'000)
                                          + "-->\r\n");
    }
    void openAndSaveUnchanged()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        QFETCH(QString, encoding);
        const QString path = m_dir.filePath(QStringLiteral("page.htm"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(file), file.size());
        }
        m_ui->errors.clear();
        m_ui->confirms.clear();
        m_ui->fileAnswers << path;
        ZediDove->action(QStringLiteral("Open"))->trigger();
        QVERIFY(m_ui->errors.isEmpty());
        QVERIFY(!editor()->isModified());
        if (!encoding.isEmpty())
            QCOMPARE(ZediDove->currentDocument()->toolTip(), "Encoding: " + encoding);
        ZediDove->action(QStringLiteral("Save"))->trigger();
        QVERIFY(m_ui->errors.isEmpty());
        QVERIFY(m_ui->confirms.isEmpty());
        const QByteArray written = readBytes(path);
        if (written != saved) {
            // Show where they part rather than two megabytes of bytes.
            qsizetype i = 0;
            while (i < written.size() && i < saved.size() && written.at(i) == saved.at(i))
                ++i;
            QFAIL(qPrintable(QStringLiteral("differs at byte %1 of %2 (expected %3 bytes): %4 "
                                            "instead of %5")
                                 .arg(i)
                                 .arg(written.size())
                                 .arg(saved.size())
                                 .arg(QString::fromLatin1(written.mid(i, 8).toHex(' ')),
                                      QString::fromLatin1(saved.mid(i, 8).toHex(' ')))));
        }
    }

    // What is typed into a page is saved in the page's encoding; what that
    // cannot hold goes out as a character reference, never as a look-alike.
    void typedTextSavedInThePageEncoding_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("typed"); // at the start of the page
        QTest::addColumn<QByteArray>("saved");
        const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("KOI8-R") << QByteArray("<meta charset=koi8-r>\xF0\r\nx")
                                << QString::fromUtf8("\xD0\x96\xE2\x82\xAC") + face + "\n"
                                << QByteArray("\xF6&#8364;&#128512;\r\n<meta charset=koi8-r>"
                                              "\xF0\r\nx");
        QTest::newRow("Shift_JIS yen and overline")
            << QByteArray("<meta charset=shift_jis>\x93\xFA")
            << QString::fromUtf8("\xE6\x97\xA5\xC2\xA5\xE2\x80\xBE\\")
            << QByteArray("\x93\xFA&#165;&#8254;\\<meta charset=shift_jis>\x93\xFA");
        QTest::newRow("UTF-16BE")
            << QByteArray("\xFE\xFF\0x", 4) << QStringLiteral("\u00E9\n") + face
            << QByteArray("\xFE\xFF\0\xE9\0\r\0\n\xD8\x3D\xDE\x00\0x", 14);
        // Each byte order mark that starts another: the text typed is saved
        // in the file's own encoding, behind its own mark.
        QTest::newRow("UTF-32LE with BOM")
            << QByteArray("\xFF\xFE\0\0x\0\0\0", 8) << QStringLiteral("\u00E9")
            << QByteArray("\xFF\xFE\0\0\xE9\0\0\0x\0\0\0", 12);
        QTest::newRow("UTF-32BE with BOM")
            << QByteArray("\0\0\xFE\xFF\0\0\0x", 8) << QStringLiteral("\u00E9")
            << QByteArray("\0\0\xFE\xFF\0\0\0\xE9\0\0\0x", 12);
        QTest::newRow("UTF-16LE with BOM starting with a NUL")
            << QByteArray("\xFF\xFE\0\0x\0", 6) << QStringLiteral("\u00E9")
            << QByteArray("\xFF\xFE\xE9\0\0\0x\0", 8);
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBFx") << QStringLiteral("\u00E9")
            << QByteArray("\xEF\xBB\xBF\xC3\xA9x");
        QTest::newRow("ASCII page declaring ISO-8859-1")
            << QByteArray("<meta charset=iso-8859-1>")
            << QString::fromUtf8("\xE2\x82\xAC\xC3\xA9\xC4\x80")
            << QByteArray("\x80\xE9&#256;<meta charset=iso-8859-1>");
    }
    void typedTextSavedInThePageEncoding()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        const QString path = m_dir.filePath(QStringLiteral("typed.htm"));
        QVERIFY(writeBytes(path, file));
        m_ui->errors.clear();
        THTMLDOC *doc = ZediDove->openDocument(path);
        QTextCursor c(doc->editor()->document());
        c.insertText(typed);
        QVERIFY(doc->saveTo(path));
        QVERIFY(m_ui->errors.isEmpty());
        QCOMPARE(readBytes(path), saved);
    }

    // File > Reopen with Encoding and Save with Encoding, as the menu runs
    // them: the text shown, the status bar, the bytes written or the refusal.
    void chosenEncoding_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("typedFirst"); // an "x" typed before the choice
        QTest::addColumn<QString>("reopenAs");  // empty: none
        QTest::addColumn<QString>("saveAs");    // empty: none
        QTest::addColumn<QString>("status");    // the status bar's encoding after
        QTest::addColumn<QByteArray>("saved");  // empty: unchanged on disk
        QTest::addColumn<QString>("told");      // the start of a warning, if any
        const QByteArray russian = QByteArray::fromHex("cff0e8e2e5f2"); // "Привет" in 1251
        QTest::newRow("reopen a guessed page as KOI8-R, save unchanged")
            << russian << false << "KOI8-R" << "" << "KOI8-R" << QByteArray() << "";
        QTest::newRow("reopen a changed page: asked, declined")
            << russian << true << "KOI8-R" << "" << "Windows-1252" << QByteArray() << "";
        QTest::newRow("reopen in a charset lacking a byte")
            << QByteArray("caf\x98") << false << "Windows-1251" << "" << "Windows-1252"
            << QByteArray() << "cannot be read as Windows-1251";
        QTest::newRow("save a Windows-1252 page as UTF-8")
            << QByteArray("caf\xE9\r\n") << false << "" << "UTF-8" << "UTF-8"
            << QByteArray("caf\xC3\xA9\r\n") << "";
        QTest::newRow("save as UTF-16LE with BOM")
            << QByteArray("a\r\n") << false << "" << "UTF-16LE with BOM" << "UTF-16LE with BOM"
            << QByteArray("\xFF\xFE" "a\0\r\0\n\0", 8) << "";
        QTest::newRow("save as KOI8-R refuses a character it lacks")
            << QByteArray("<p>caf\xC3\xA9</p>\r\n\xE6\x97\xA5") << false << "" << "KOI8-R"
            << "UTF-8" << QByteArray()
            << QString::fromUtf8("KOI8-R cannot hold the character \xE2\x80\x9C\xC3\xA9\xE2\x80\x9D"
                                 " (U+00E9) on line 1, column 7.");
        QTest::newRow("save as ISO-2022-JP")
            << QByteArray("\xE6\x97\xA5\r\n") << false << "" << "ISO-2022-JP" << "ISO-2022-JP"
            << QByteArray("\x1B$BF|\x1B(B\r\n") << "";
    }
    void chosenEncoding()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, typedFirst);
        QFETCH(QString, reopenAs);
        QFETCH(QString, saveAs);
        QFETCH(QString, status);
        QFETCH(QByteArray, saved);
        QFETCH(QString, told);
        const QString path = m_dir.filePath(QStringLiteral("chosen.htm"));
        QVERIFY(writeBytes(path, file));
        m_ui->warnings.clear();
        m_ui->errors.clear();
        m_ui->confirms.clear();
        THTMLDOC *doc = ZediDove->openDocument(path);
        if (typedFirst) {
            QTextCursor(doc->editor()->document()).insertText(QStringLiteral("x"));
            m_ui->confirmAnswers << false;
        }
        auto choose = [&](const char *menu, const QString &name) {
            QMenu *m = ZediDove->findChild<QMenu *>(QLatin1String(menu));
            QVERIFY(m);
            emit m->aboutToShow();
            QAction *chosen = nullptr;
            for (QMenu *sub : m->findChildren<QMenu *>())
                for (QAction *a : sub->actions())
                    if (a->text() == name)
                        chosen = a;
            QVERIFY2(chosen, qPrintable(name));
            chosen->trigger();
        };
        if (!reopenAs.isEmpty())
            choose("FileReopenEncoding", reopenAs);
        if (!saveAs.isEmpty())
            choose("FileSaveEncoding", saveAs);
        QCOMPARE(m_ui->confirms.size(), typedFirst ? 1 : 0);
        QCOMPARE(ZediDove->findChild<QLabel *>(QStringLiteral("Encoding"))->text(), status);
        QCOMPARE(readBytes(path), saved.isEmpty() ? file : saved);
        // Refusals come as a warning (saving) or an error (reading).
        const QString shown = (m_ui->warnings + m_ui->errors).join(QLatin1Char('\n'));
        if (told.isEmpty())
            QVERIFY2(shown.isEmpty(), qPrintable(shown));
        else
            QVERIFY2(shown.contains(told), qPrintable(shown));
        doc->page()->setModified(false);
    }

    // Reading a page piece by piece gives what reading it whole gives, for
    // every file of the corpus and wherever the pieces are cut.
    void streamedReadMatchesWholeRead_data() { openAndSaveUnchanged_data(); }
    void streamedReadMatchesWholeRead()
    {
        QFETCH(QByteArray, file);
        const QString path = m_dir.filePath(QStringLiteral("stream.htm"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(file), file.size());
        }
        DecodedText whole = readTextFile(path);
        const MarkStandIns standIns = hideEditorMarks(whole.text);
        const QList<qsizetype> chunks = file.size() > 65536 ? QList<qsizetype>{4093, 1 << 20}
                                                            : QList<qsizetype>{1, 2, 3, 5, 64, 1 << 20};
        // Read on this thread, and on a worker ahead of this thread.
        for (const auto stream : {&streamTextFile, &streamTextFileAhead})
        for (const qsizetype chunk : chunks) {
            QString joined;
            const std::optional<StreamedText> got = stream(
                path, [&](const QString &piece) { joined += piece; }, kMaxTextFileBytes,
                QString(), chunk);
            QVERIFY2(got.has_value(), qPrintable(QString::number(chunk)));
            QVERIFY2(joined == whole.text, qPrintable(QString::number(chunk)));
            QCOMPARE(int(got->encoding), int(whole.encoding));
            QCOMPARE(got->standIns, standIns);
            // Hashed as a later look at the file hashes it, however it was read.
            QCOMPARE(got->hash, fileHash(path));
        }
    }

    void fileChangedWhileStreamedIsReadAgain_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("grew") << QByteArray("a\r\nb\r\n").repeated(20000)
                              << QByteArray("a\r\nb\r\n").repeated(20001);
        QTest::newRow("no longer UTF-8") << QByteArray("caf\xC3\xA9\r\n").repeated(20000)
                                         << QByteArray("cafe\xE9\r\n").repeated(20000);
        QTest::newRow("a paragraph separator appeared")
            << QByteArray("abcdefg\r\n").repeated(20000)
            << QByteArray("abcd\xE2\x80\xA9\r\n").repeated(20000);
    }
    void fileChangedWhileStreamedIsReadAgain()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QCOMPARE(before.size() == after.size(), QByteArray(QTest::currentDataTag()) != "grew");
        const QString path = m_dir.filePath(QStringLiteral("changing.htm"));
        auto write = [&](const QByteArray &b) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(b);
        };
        for (const auto stream : {&streamTextFile, &streamTextFileAhead}) {
            write(before);
            bool rewritten = false;
            const std::optional<StreamedText> got = stream(
                path,
                [&](const QString &) {
                    if (!rewritten)
                        write(after); // another program, between the two reads
                    rewritten = true;
                },
                kMaxTextFileBytes, QString(), 16);
            QVERIFY(rewritten);
            QVERIFY(!got.has_value());
        }
    }

    // The lines holding a named anchor are found in the pieces too, also
    // where a piece cuts an anchor in two; only those lines carry a mark.
    void anchorLinesFoundAcrossPieces()
    {
        QString page;
        QStringList expected;
        for (int i = 0; i < 200; ++i) {
            // Anchors at many places in lines long enough to be cut.
            QString line = QString(i * 37 % 211, QLatin1Char('x'));
            if (i % 4 != 1)
                line += QStringLiteral("<A NAME=\"t%1\"></A>").arg(i);
            if (i % 7 == 0)
                line += QString(150, QLatin1Char('y')) + QStringLiteral("<A NAME=\"u\">");
            if (line.contains(EditorBox::kAnchorNameOpen))
                expected << line;
            page += line + (i % 5 == 0 ? QStringLiteral("\n") : QStringLiteral("\r\n"));
        }
        const QString path = m_dir.filePath(QStringLiteral("anchors.htm"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(page.toUtf8());
        }
        for (const qsizetype chunk : {1, 3, 5, 9, 16, 1 << 20}) {
            EditorBox ed;
            loadPage(*ed.pageText(), path, chunk);
            QCOMPARE(ed.linesHoldingAnchorName(), expected);
            int marked = 0;
            for (QTextBlock b = ed.document()->begin(); b.isValid(); b = b.next())
                marked += b.userData() ? 1 : 0;
            QCOMPARE(marked, expected.size());
        }
    }
};

QTEST_MAIN(TestCorpus)
#include "tst_corpus.moc"
