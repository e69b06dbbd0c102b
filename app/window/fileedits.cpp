#include "fileedits.h"
#include "charsetsniff.h"
#include "document.h"
#include "documenttable.h"
#include "editormarks.h"
#include "pagetext.h"
#include "textreader.h"

#include <QFileInfo>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {
QString sameFileKey(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

PageDocument *openDocumentOf(DocumentTable *docs, const QString &path)
{
    if (!docs)
        return nullptr;
    const QString key = sameFileKey(path);
    for (PageDocument *page : docs->pages()) {
        if (!page->filePath().isEmpty() && sameFileKey(page->filePath()) == key)
            return page;
    }
    return nullptr;
}

QString cannotChangeAlone(const QString &path)
{
    return path + QStringLiteral(": cannot be changed without changing other bytes");
}

// A replacement holding a line break (or a character the editor takes as
// one) would join or split lines, which line-based edits never do.
bool holdsBreak(const QString &s)
{
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            return true;
    }
    return false;
}

// The edits sorted by line and column; false when one overlaps the next,
// or holds a line break.
bool sortedEdits(QList<LineEdit> &edits)
{
    std::sort(edits.begin(), edits.end(), [](const LineEdit &a, const LineEdit &b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const LineEdit &e = edits[i];
        if (e.line < 0 || e.column < 0 || e.length < 0 || holdsBreak(e.replacement))
            return false;
        if (i > 0 && edits[i - 1].line == e.line
            && edits[i - 1].column + edits[i - 1].length > e.column)
            return false;
    }
    return true;
}

// The line with its edits (all of one line, in column order) made, or
// nothing when one reaches past its end.
std::optional<QString> editedLine(QString line, const LineEdit *first, const LineEdit *end)
{
    for (const LineEdit *e = end; e != first;) {
        --e;
        if (e->column + e->length > line.size())
            return std::nullopt;
        line.replace(e->column, e->length, e->replacement);
    }
    return line;
}

// ---- A file open in the editor: its document changes, one undo step ----

QString editDocument(PageDocument *page, QList<LineEdit> edits)
{
    const QString path = page->filePath();
    if (page->isBusy())
        return path + QStringLiteral(": is being read or written");
    PageText *text = page->text();
    if (!sortedEdits(edits))
        return path + QStringLiteral(": the changes overlap or would break lines");
    for (const LineEdit &e : edits) {
        const QTextBlock b = text->findBlockByNumber(e.line);
        if (!b.isValid() || e.column + e.length > b.length() - 1)
            return path + QStringLiteral(": the page has changed since it was searched");
    }
    QTextCursor c(text);
    c.beginEditBlock();
    // Last first: the positions of those before stay where they were.
    for (auto e = edits.crbegin(); e != edits.crend(); ++e) {
        const int at = text->findBlockByNumber(e->line).position() + int(e->column);
        c.setPosition(at);
        c.setPosition(at + int(e->length), QTextCursor::KeepAnchor);
        c.insertText(e->replacement);
    }
    c.endEditBlock();
    page->setModified(true);
    return QString();
}

// ---- Any other file: its bytes, changed only where its lines changed ----

// Where a file's lines lie in its bytes: line i is
// [starts[i], ends[i]), its break up to starts[i + 1].
struct ByteLines {
    QList<qsizetype> starts;
    QList<qsizetype> ends;
};

// Breaks as the reader counts them (CR LF, lone CR, lone LF), read in the
// encoding's code units: bytes in charsets that keep ASCII's, 16 or 32 bits
// in UTF-16 and UTF-32. Nothing when the bytes do not divide into units.
std::optional<ByteLines> byteLines(const QByteArray &bytes, qsizetype from, TextEncoding encoding)
{
    int unit = 1;
    bool big = false;
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16LeBom:
        unit = 2;
        break;
    case TextEncoding::Utf16Be:
    case TextEncoding::Utf16BeBom:
        unit = 2;
        big = true;
        break;
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32LeBom:
        unit = 4;
        break;
    case TextEncoding::Utf32Be:
    case TextEncoding::Utf32BeBom:
        unit = 4;
        big = true;
        break;
    default:
        break;
    }
    const qsizetype n = bytes.size();
    if ((n - from) % unit)
        return std::nullopt;
    const auto *d = reinterpret_cast<const uchar *>(bytes.constData());
    auto at = [&](qsizetype i) {
        quint32 v = 0;
        for (int k = 0; k < unit; ++k)
            v |= quint32(d[i + k]) << (8 * (big ? unit - 1 - k : k));
        return v;
    };
    ByteLines lines;
    lines.starts.append(from);
    for (qsizetype i = from; i < n; i += unit) {
        const quint32 c = at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.ends.append(i);
        if (c == '\r' && i + unit < n && at(i + unit) == '\n')
            i += unit;
        lines.starts.append(i + unit);
    }
    lines.ends.append(n);
    return lines;
}

struct ReadFileText {
    QByteArray bytes;
    QString text; // as the editor reads it: CR LF breaks, marks hidden
    TextEncoding encoding = TextEncoding::Utf8;
    KeptForms kept;
    MarkStandIns standIns;
};

// The text the editor would read from `bytes`, when they decode whole in
// `encoding` (a BOM it has first); with the marks hidden by `standIns`.
std::optional<QString> decodedAsEditorReads(QByteArrayView bytes, TextEncoding encoding,
                                            const MarkStandIns &standIns)
{
    KeptForms kept;
    std::optional<QString> t = decodeAs(bytes, encoding, &kept);
    if (!t)
        return std::nullopt;
    QString text = normalizeLineBreaks(*t);
    if (standIns.inUse())
        replaceMarks(text, standIns);
    return text;
}

enum class FileResult { Changed, ChangedOnDisk, Failed };

FileResult editFile(const FileEdits &file, QString &why)
{
    const QString &path = file.path;
    if (fileStamp(path) != file.stamp)
        return FileResult::ChangedOnDisk;
    ReadFileText f;
    if (const int e = readPlainFile(path, kMaxTextFileBytes, f.bytes)) {
        why = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(e));
        return FileResult::Failed;
    }
    ByteHasher hasher;
    hasher.add(f.bytes);
    // Changed while it was read, or since the edits were worked out with
    // the same size and times (the hash alone tells).
    if (fileStamp(path) != file.stamp || (file.stamp.hash && hasher.result() != file.stamp.hash))
        return FileResult::ChangedOnDisk;

    // Read as the editor reads it, so lines and columns are the editor's.
    {
        DecodedText d = decodeText(f.bytes);
        f.text = normalizeLineBreaks(d.text);
        f.encoding = d.encoding;
        f.kept = d.kept;
        f.standIns = hideEditorMarks(f.text);
    }
    const QList<QStringView> lines = QStringView(f.text).split(u"\r\n");
    const QByteArray bom = byteOrderMark(f.encoding);
    const qsizetype from = f.bytes.startsWith(bom) ? bom.size() : 0;
    const std::optional<ByteLines> spans = byteLines(f.bytes, from, f.encoding);
    if (!spans || spans->starts.size() != lines.size()) {
        why = cannotChangeAlone(path);
        return FileResult::Failed;
    }

    QList<LineEdit> edits = file.edits;
    if (!sortedEdits(edits) || (!edits.isEmpty() && edits.last().line >= lines.size())) {
        why = path + QStringLiteral(": the changes overlap or lie outside the file");
        return FileResult::Failed;
    }

    // Every unchanged line's bytes are copied as they are. A changed line is
    // encoded anew, once encoding its old text is known to give its old
    // bytes exactly (a stateful charset may not); the editor's text as it
    // will read the result is gathered to check the bytes before they go.
    QByteArray out;
    out.reserve(f.bytes.size() + 1024);
    out += QByteArrayView(f.bytes.constData(), from);
    QString expected;
    expected.reserve(f.text.size() + 1024);
    qsizetype done = 0; // lines copied so far
    QByteArray encoded;
    for (qsizetype i = 0; i < edits.size();) {
        const int line = edits[i].line;
        qsizetype j = i;
        while (j < edits.size() && edits[j].line == line)
            ++j;
        const qsizetype start = spans->starts[line];
        const qsizetype end = spans->ends[line];
        // The lines before it, whole with their breaks.
        out +=
            QByteArrayView(f.bytes.constData() + spans->starts[done], start - spans->starts[done]);
        for (qsizetype k = done; k < line; ++k) {
            expected += lines[k];
            expected += u"\r\n";
        }
        encoded.resize(0);
        appendEncoded(lines[line], f.encoding, f.standIns, encoded, f.kept);
        const std::optional<QString> now =
            editedLine(lines[line].toString(), edits.constData() + i, edits.constData() + j);
        if (encoded != QByteArrayView(f.bytes.constData() + start, end - start) || !now) {
            why = now ? cannotChangeAlone(path)
                      : path + QStringLiteral(": the changes overlap or lie outside the file");
            return FileResult::Failed;
        }
        encoded.resize(0);
        appendEncoded(*now, f.encoding, f.standIns, encoded, f.kept);
        // What the editor will read of the new line by itself: a character
        // the charset lacks is written as a reference.
        const std::optional<QString> reread =
            decodedAsEditorReads(bom + encoded, f.encoding, f.standIns);
        if (!reread) {
            why = cannotChangeAlone(path);
            return FileResult::Failed;
        }
        out += encoded;
        expected += *reread;
        if (line + 1 < lines.size())
            expected += u"\r\n";
        done = line + 1;
        // Its own break, as it was.
        const qsizetype next = done < lines.size() ? spans->starts[done] : f.bytes.size();
        out += QByteArrayView(f.bytes.constData() + end, next - end);
        i = j;
    }
    if (done < lines.size()) {
        out += QByteArrayView(f.bytes.constData() + spans->starts[done],
                              f.bytes.size() - spans->starts[done]);
        for (qsizetype k = done; k < lines.size(); ++k) {
            expected += lines[k];
            if (k + 1 < lines.size())
                expected += u"\r\n";
        }
    }
    // The last check: the bytes read back as a whole give the edited text.
    const std::optional<QString> check = decodedAsEditorReads(out, f.encoding, f.standIns);
    if (!check || *check != expected) {
        why = cannotChangeAlone(path);
        return FileResult::Failed;
    }
    if (const int e = tryWriteFileAtomically(path, out)) {
        why = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(e));
        return FileResult::Failed;
    }
    return FileResult::Changed;
}
} // namespace

FileEditsOutcome applyFileEdits(DocumentTable *docs, const QList<FileEdits> &files)
{
    FileEditsOutcome outcome;
    for (const FileEdits &file : files) {
        if (file.edits.isEmpty())
            continue;
        if (PageDocument *page = openDocumentOf(docs, file.path)) {
            const QString why = editDocument(page, file.edits);
            if (why.isEmpty())
                outcome.changed.append(file.path);
            else
                outcome.failed.append(why);
            continue;
        }
        QString why;
        try {
            switch (editFile(file, why)) {
            case FileResult::Changed:
                outcome.changed.append(file.path);
                break;
            case FileResult::ChangedOnDisk:
                outcome.changedOnDisk.append(file.path);
                break;
            case FileResult::Failed:
                outcome.failed.append(why);
                break;
            }
        } catch (const std::bad_alloc &) {
            outcome.failed.append(file.path + QStringLiteral(": not enough memory"));
        }
    }
    return outcome;
}
