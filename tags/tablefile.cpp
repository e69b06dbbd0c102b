#include "tablefile.h"
#include "diskfile.h"
#include "errors.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>

namespace {
// Hands out the lines of a text one at a time, so a file of nothing but
// line breaks never becomes a list of millions of strings.
class LineReader {
public:
    explicit LineReader(const QString &text) : m_text(text) {}
    QString next()
    {
        ++m_number;
        const qsizetype n = m_text.size();
        if (m_pos >= n)
            return {};
        qsizetype end = m_pos;
        while (end < n && m_text.at(end) != QLatin1Char('\r')
               && m_text.at(end) != QLatin1Char('\n'))
            ++end;
        if (end - m_pos > TableFile::kMaxTextLength)
            throw TagloomError(QStringLiteral("Line %1 of the table file is longer than %2 "
                                              "characters")
                                   .arg(m_number)
                                   .arg(TableFile::kMaxTextLength));
        const QString line = m_text.mid(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos < n) {
            const bool cr = m_text.at(m_pos) == QLatin1Char('\r');
            ++m_pos;
            if (cr && m_pos < n && m_text.at(m_pos) == QLatin1Char('\n'))
                ++m_pos;
        }
        return line;
    }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
    int m_number = 0;
};

int countLine(LineReader &in, int limit, const char *what)
{
    const QString line = in.next();
    const int value = parseInteger(line);
    if (value > limit)
        throw TagloomError(QStringLiteral("%1 count %2 exceeds the limit of %3")
                               .arg(QLatin1String(what))
                               .arg(value)
                               .arg(limit));
    return qMax(1, value);
}
QString tooLarge(const QString &path)
{
    return QStringLiteral("%1 is too large for a table file (more than %2 MB)")
        .arg(QFileInfo(path).fileName())
        .arg(TableFile::kMaxBytes / (1024 * 1024));
}
} // namespace

QStringList tableFileLines(const TableLayout &t)
{
    QStringList out;
    out.reserve(5 + (t.columns + 1) + t.gridRows * (t.columns + 2));
    out << t.caption << QString::number(t.borderWidth) << t.alignment
        << QString::number(t.gridRows) << QString::number(t.columns);
    for (int i = 0; i <= t.columns; ++i)
        out << t.columnTitles.text(i, 0);
    for (int r = 1; r <= t.gridRows; ++r) {
        out << t.rowTitles.text(0, r - 1);
        for (int i = 0; i <= t.columns; ++i)
            out << t.cells.text(i, r);
    }
    return out;
}

QByteArray tableFileBytes(const TableLayout &t)
{
    QByteArray bytes;
    // The reader drops one BOM at the start of a file; a caption that starts
    // with that character would lose it without a BOM of the file's own.
    if (t.caption.startsWith(QChar(0xFEFF)))
        bytes += "\xEF\xBB\xBF";
    for (const QString &line : tableFileLines(t)) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

QString decodeTableFile(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

void readTableText(const QString &text, TableLayout &t)
{
    LineReader in(text);
    t.caption = in.next();
    t.borderWidth = clampBorder(parseInteger(in.next()));
    t.alignment = in.next();

    const int rows = countLine(in, TableLimits::kMaxGridRows, "Row");
    t.gridRows = rows;
    t.rowTitleCount = qMax(1, rows - 1);

    const int cols = countLine(in, TableLimits::kMaxColumns, "Column");
    t.columns = cols;
    if (t.columnWidths.size() > cols)
        t.columnWidths.resize(cols);
    while (t.columnWidths.size() < cols)
        t.columnWidths << TableLimits::kDefaultColumnWidth;

    for (int i = 0; i <= t.columns; ++i)
        t.columnTitles.setText(i, 0, in.next());
    for (int r = 1; r <= t.gridRows; ++r) {
        t.rowTitles.setText(0, r - 1, in.next());
        for (int i = 0; i <= t.columns; ++i)
            t.cells.setText(i, r, in.next());
    }
}

QString ioErrorText(int systemError)
{
    switch (systemError) {
    case ENOENT:
        return QStringLiteral("File not found");
    case ENAMETOOLONG:
    case ENOTDIR:
    case EINVAL:
    case EILSEQ:
        return QStringLiteral("Invalid filename");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("File access denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("Disk full");
    default:
        return QStringLiteral("I/O error %1").arg(systemError);
    }
}

void saveTableFile(const QString &path, const TableLayout &t)
{
    if (path.contains(QChar(0)))
        throw TagloomError(ioErrorText(EINVAL));
    const QByteArray bytes = tableFileBytes(t);
    // What Open would refuse is not written: every saved layout loads back.
    if (bytes.size() > TableFile::kMaxBytes)
        throw TagloomError(tooLarge(path));
    if (const int e = tryWriteFileAtomically(path, bytes))
        throw TagloomError(ioErrorText(e));
}

void loadTableFile(const QString &path, TableLayout &t)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        throw TagloomError(ioErrorText(EINVAL));
    // Only a plain file: a named pipe would hold the editor until some
    // program wrote to it ("File access denied", as for a folder).
    QByteArray bytes;
    if (const int e = readPlainFile(path, TableFile::kMaxBytes, bytes))
        throw TagloomError(e == EFBIG ? tooLarge(path) : ioErrorText(e));
    readTableText(decodeTableFile(bytes), t);
}
