// Edits across files: a file not open keeps every byte outside the spans
// changed, whatever its charset and line breaks; an open page changes in
// its document, in one undo step; a file changed meanwhile is left alone.
#include "document.h"
#include "documenttable.h"
#include "fileedits.h"
#include "pagetext.h"
#include "testsupport.h"

#include <QDir>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

Q_DECLARE_METATYPE(LineEdit)

namespace {
LineEdit edit(int line, qsizetype column, qsizetype length, const char *with)
{
    return {line, column, length, QString::fromUtf8(with)};
}

FileEdits planned(const QString &path, const QList<LineEdit> &edits)
{
    FileEdits f{path, fileStamp(path), edits};
    f.stamp.hash = fileHash(path);
    return f;
}

QByteArray utf16le(const char16_t *s)
{
    QByteArray out("\xFF\xFE", 2);
    for (; *s; ++s) {
        out += char(*s & 0xFF);
        out += char(*s >> 8);
    }
    return out;
}

const QByteArray kSjisMeta = "<meta charset=\"shift_jis\">\r\n";
const QByteArray kJisMeta = "<meta charset=\"iso-2022-jp\">\n";
} // namespace

class TestFileEdits : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(closeDialogsLeftOpen()); }

    void keepsOtherBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QList<LineEdit>>("edits");
        QTest::addColumn<QByteArray>("after"); // empty: refused, left as it was

        QTest::newRow("utf8 LF breaks stay LF")
            << QByteArray("<p>one</p>\n<p>two</p>\n") << QList{edit(1, 3, 3, "TWO")}
            << QByteArray("<p>one</p>\n<p>TWO</p>\n");
        QTest::newRow("utf8 BOM and CR LF")
            << QByteArray("\xEF\xBB\xBF" "a\r\nb cat\r\n") << QList{edit(1, 2, 3, "dög")}
            << QByteArray("\xEF\xBB\xBF" "a\r\nb d\xC3\xB6g\r\n");
        QTest::newRow("CR only, last line without a break")
            << QByteArray("a\rb\rc") << QList{edit(2, 0, 1, "Z"), edit(0, 1, 0, "+")}
            << QByteArray("a+\rb\rZ");
        QTest::newRow("mixed breaks, two edits on a line")
            << QByteArray("a\r\nbb\ncc dd\re") << QList{edit(2, 3, 2, "DDD"), edit(2, 0, 1, "")}
            << QByteArray("a\r\nbb\nc DDD\re");
        QTest::newRow("windows-1252 with a character it lacks")
            << QByteArray("<meta charset=\"windows-1252\">\ncaf\xE9 bar\n")
            << QList{edit(1, 5, 3, "b\u00e4r \u2192")}
            << QByteArray("<meta charset=\"windows-1252\">\ncaf\xE9 b\xE4r &#8594;\n");
        QTest::newRow("utf16le with BOM") << utf16le(u"x\ny\r\nold\n") << QList{edit(2, 0, 3, "new")}
                                          << utf16le(u"x\ny\r\nnew\n");
        QTest::newRow("shift_jis") << kSjisMeta + "\x93\xFA\x96\x7B x\r\n" << QList{edit(1, 3, 1, "\u8a9e")}
                                   << kSjisMeta + "\x93\xFA\x96\x7B \x8C\xEA\r\n";
        QTest::newRow("iso-2022-jp line that resets its state")
            << kJisMeta + "\x1B$BF|K\\\x1B(B x\n" << QList{edit(1, 3, 1, "\u65e5")}
            << kJisMeta + "\x1B$BF|K\\\x1B(B \x1B$BF|\x1B(B\n";
        // Not read as ISO-2022-JP (it would not be written back the same):
        // changed as the editor shows it.
        QTest::newRow("iso-2022-jp state across a line break")
            << kJisMeta + "\x1B$BF|\nK\\\x1B(B x\n" << QList{edit(2, 2, 1, "y")}
            << kJisMeta + "\x1B$BF|\nK\\y(B x\n";
        QTest::newRow("editor marks in the changed line")
            << QByteArray("a\xE2\x80\xA9" "b\xEF\xB7\x90 c\nz") << QList{edit(0, 5, 1, "C")}
            << QByteArray("a\xE2\x80\xA9" "b\xEF\xB7\x90 C\nz");
        QTest::newRow("overlapping edits: refused")
            << QByteArray("abcdef\n") << QList{edit(0, 0, 3, "x"), edit(0, 2, 2, "y")} << QByteArray();
        QTest::newRow("replacement with a line break: refused")
            << QByteArray("abc\n") << QList{edit(0, 0, 1, "x\ny")} << QByteArray();
        QTest::newRow("past the line's end: refused")
            << QByteArray("abc\ndef") << QList{edit(0, 2, 2, "x")} << QByteArray();
    }
    void keepsOtherBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QList<LineEdit>, edits);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("page.htm"));
        QVERIFY(writeBytes(path, before));
        const FileEditsOutcome out = applyFileEdits(nullptr, {planned(path, edits)});
        QCOMPARE(readBytes(path), after.isEmpty() ? before : after);
        QCOMPARE(out.changed, after.isEmpty() ? QStringList() : QStringList{path});
        QCOMPARE(out.failed.size(), after.isEmpty() ? 1 : 0);
        QVERIFY(out.changedOnDisk.isEmpty());
    }

    void openPageChangesInMemory()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("open.htm"));
        const QByteArray bytes("<p>one</p>\n<p>two one</p>\n");
        QVERIFY(writeBytes(path, bytes));
        QMdiArea area;
        DocumentTable table(&area);
        PageDocument *page = table.openPage(path);
        // Named through another path to the same file.
        const QString other = dir.path() + QStringLiteral("/./open.htm");
        const FileEditsOutcome out = applyFileEdits(
            &table, {FileEdits{other, FileStamp(), {edit(0, 3, 3, "1"), edit(1, 7, 3, "1")}}});
        QCOMPARE(out.changed, QStringList{other});
        QCOMPARE(page->text()->toPlainText(), QStringLiteral("<p>1</p>\n<p>two 1</p>\n"));
        QVERIFY(page->isModified());
        QCOMPARE(readBytes(path), bytes);
        page->text()->undo();
        QCOMPARE(page->text()->toPlainText(), QStringLiteral("<p>one</p>\n<p>two one</p>\n"));
        table.closePage(page);
    }

    void changedMeanwhileIsSkipped_data()
    {
        QTest::addColumn<QByteArray>("rewrite");
        QTest::newRow("grown") << QByteArray("one two three\n");
        QTest::newRow("same size") << QByteArray("uno\n");
        QTest::newRow("removed") << QByteArray();
    }
    void changedMeanwhileIsSkipped()
    {
        QFETCH(QByteArray, rewrite);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.htm"));
        const QString fine = dir.filePath(QStringLiteral("b.htm"));
        QVERIFY(writeBytes(path, "one\n") && writeBytes(fine, "one\n"));
        const QList<FileEdits> plan{planned(path, {edit(0, 0, 3, "1")}),
                                    planned(fine, {edit(0, 0, 3, "1")})};
        if (rewrite.isEmpty())
            QVERIFY(QFile::remove(path));
        else
            QVERIFY(writeBytes(path, rewrite));
        const FileEditsOutcome out = applyFileEdits(nullptr, plan);
        QCOMPARE(out.changedOnDisk, QStringList{path});
        QCOMPARE(out.changed, QStringList{fine});
        QCOMPARE(readBytes(path), rewrite.isEmpty() ? QByteArray("<missing>") : rewrite);
        QCOMPARE(readBytes(fine), QByteArray("1\n"));
    }

    void failedFileLeavesOthers_data()
    {
        QTest::addColumn<bool>("folderInItsPlace");
        QTest::newRow("folder not writable") << false;
        QTest::newRow("a folder where the file was") << true;
    }
    void failedFileLeavesOthers()
    {
        QFETCH(bool, folderInItsPlace);
        if (!folderInItsPlace && geteuid() == 0)
            QSKIP("the superuser writes in any folder");
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
        const QString path = dir.filePath(QStringLiteral("locked/a.htm"));
        const QString fine = dir.filePath(QStringLiteral("b.htm"));
        QVERIFY(writeBytes(path, "one\n") && writeBytes(fine, "one\n"));
        QList<FileEdits> plan{planned(path, {edit(0, 0, 3, "1")}),
                              planned(fine, {edit(0, 0, 3, "1")})};
        if (folderInItsPlace) {
            QVERIFY(QFile::remove(path) && QDir(dir.path()).mkdir(QStringLiteral("locked/a.htm")));
            plan[0].stamp = fileStamp(path);
        } else {
            QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                                  QFile::ReadOwner | QFile::ExeOwner);
        }
        const FileEditsOutcome out = applyFileEdits(nullptr, plan);
        QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(out.failed.size(), 1);
        QVERIFY(out.failed[0].startsWith(path + QStringLiteral(": ")));
        QCOMPARE(out.changed, QStringList{fine});
        if (!folderInItsPlace)
            QCOMPARE(readBytes(path), QByteArray("one\n"));
        QCOMPARE(readBytes(fine), QByteArray("1\n"));
    }
};

QTEST_MAIN(TestFileEdits)
#include "tst_fileedits.moc"
