#include "fileedits.h"
#include "document.h"
#include "documenttable.h"
#include "errors.h"
#include "pagetext.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <memory>

namespace {
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

// ---- Any other file: read into a document without a window, changed
// there as an open one is, and saved keeping every other byte ----

enum class FileResult { Changed, ChangedOnDisk, Failed };

FileResult editFile(DocumentTable *docs, const FileEdits &file, QString &why)
{
    const QString &path = file.path;
    if (fileStamp(path) != file.stamp)
        return FileResult::ChangedOnDisk;
    // Without a table (no editor), a document of its own.
    std::unique_ptr<PageDocument> own;
    PageDocument *page = nullptr;
    try {
        if (docs) {
            page = docs->openPage(path);
        } else {
            own = std::make_unique<PageDocument>();
            own->load(path);
            page = own.get();
        }
    } catch (const TagloomError &e) {
        why = path + QStringLiteral(": ") + e.text();
        return FileResult::Failed;
    }
    auto close = qScopeGuard([&] {
        if (docs)
            docs->closePage(page);
    });
    // Changed since the edits were worked out, with the same size and
    // times: the hash alone tells.
    const FileStamp read = page->diskStamp();
    if (read != file.stamp || (file.stamp.hash && read.hash && read.hash != file.stamp.hash))
        return FileResult::ChangedOnDisk;
    why = editDocument(page, file.edits);
    if (!why.isEmpty())
        return FileResult::Failed;
    QString refused;
    switch (page->saveKeepingBytes(&refused)) {
    case PageDocument::KeptSave::Saved:
        return FileResult::Changed;
    case PageDocument::KeptSave::ChangedOnDisk:
        return FileResult::ChangedOnDisk;
    case PageDocument::KeptSave::Refused:
        break;
    }
    why = path + QStringLiteral(": ") + refused;
    return FileResult::Failed;
}
} // namespace

FileEditsOutcome applyFileEdits(DocumentTable *docs, const QList<FileEdits> &files)
{
    FileEditsOutcome outcome;
    for (const FileEdits &file : files) {
        if (file.edits.isEmpty())
            continue;
        if (PageDocument *page = docs ? docs->pageOf(file.path) : nullptr) {
            const QString why = editDocument(page, file.edits);
            if (why.isEmpty())
                outcome.changed.append(file.path);
            else
                outcome.failed.append(why);
            continue;
        }
        QString why;
        try {
            switch (editFile(docs, file, why)) {
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
