#include "tablemarkup.h"
#include "clampedspinbox.h"
#include "editorbox.h"
#include "linesbelow.h"

#include <QRegularExpression>
#include <QTextCursor>

int clampBorder(int value)
{
    return qBound(TableLimits::kMinBorder, value, TableLimits::kMaxBorder);
}

int borderFromText(const QString &text)
{
    return clampSpinText(text, TableLimits::kMinBorder, TableLimits::kMaxBorder);
}

QStringList tableLines(const TableLayout &t)
{
    QStringList lines;
    lines.reserve(4 + t.rowTitleCount);

    QString head = QStringLiteral("<TABLE COLSPEC=\"");
    for (int i = 0; i < t.columns; ++i)
        head += QStringLiteral("L%1 ").arg(t.columnWidth(i) / 13);
    head += QStringLiteral("\" BORDER=%1>").arg(t.borderWidth);
    lines << head;

    lines << QStringLiteral("<CAPTION ALIGN=") + t.alignment + QLatin1Char('>') + t.caption
                 + QStringLiteral("</CAPTION>");

    QString titles = QStringLiteral("<TR><TH></TH>");
    for (int i = 0; i < t.columns; ++i)
        titles += QStringLiteral("<TH>") + t.columnTitles.text(i, 0) + QStringLiteral("</TH>");
    lines << titles + QStringLiteral("</TR>");

    for (int j = 1; j <= t.rowTitleCount; ++j) {
        QString row = QStringLiteral("<TR><TH>") + t.rowTitles.text(0, j - 1)
                      + QStringLiteral("</TH>");
        for (int i = 0; i < t.columns; ++i)
            row += QStringLiteral("<TD>") + t.cells.text(i, j) + QStringLiteral("</TD>");
        lines << row + QStringLiteral("</TR>");
    }
    lines << QStringLiteral("</TABLE>");
    return lines;
}

void insertLinesBelowCaret(EditorBox *ed, const QStringList &lines)
{
    writeLinesBelowCaret(ed, lines, EmptyLastLine::KeptAfter);
}
