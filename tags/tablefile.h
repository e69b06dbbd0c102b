#pragma once
// Table definition files: one value per line, CR LF breaks, UTF-8.
#include "tablemarkup.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TableFile {
inline QString filter() { return QStringLiteral("ZEDI Dove Table|*.tbl"); }
// A layout at the count limits with generous texts stays far below this;
// anything larger is refused before it is read.
constexpr qint64 kMaxBytes = qint64(16) * 1024 * 1024;
// The longest text a field takes when typed; a longer line would only make
// the edit fields crawl, so a file holding one is refused.
constexpr int kMaxTextLength = 32767;
} // namespace TableFile

// The values of the file in order: caption, border, alignment, T, C, the
// C + 1 column titles, then per data row r (1..T) the row title at r - 1 and
// the cells at columns 0..C.
QStringList tableFileLines(const TableLayout &t);
QByteArray tableFileBytes(const TableLayout &t);

// UTF-8 when the bytes are valid UTF-8 (a BOM is dropped), otherwise Latin-1.
QString decodeTableFile(const QByteArray &bytes);

// Reads the values into `t` in file order. Throws TagloomError on a line that
// is not a whole number, a count beyond the limits or a line longer than
// kMaxTextLength; what was read before
// stays in `t`. Lines past the end read as empty; lines past those the
// counts call for are not read. A line ends at CR LF, CR or LF.
void readTableText(const QString &text, TableLayout &t);

// The input/output text for a system error number.
QString ioErrorText(int systemError);

// Both throw TagloomError with the input/output text on a failure; saving
// is atomic, so a failed save leaves an existing file whole.
void saveTableFile(const QString &path, const TableLayout &t);
void loadTableFile(const QString &path, TableLayout &t);
