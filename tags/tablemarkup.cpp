#include "tablemarkup.h"
#include "editorbox.h"

#include <QRegularExpression>
#include <QTextCursor>

int clampBorder(int value)
{
    return qBound(TableLimits::kMinBorder, value, TableLimits::kMaxBorder);
}

int borderFromText(const QString &text)
{
    const QString t = text.trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    if (!number.match(t).hasMatch())
        return 1;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok) // too long for any integer: still a number, beyond a bound
        return t.startsWith(QLatin1Char('-')) ? TableLimits::kMinBorder : TableLimits::kMaxBorder;
    return int(qBound(qlonglong(TableLimits::kMinBorder), v, qlonglong(TableLimits::kMaxBorder)));
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
    UndoStep step(ed);
    if (ed->selLength() > 0)
        ed->setSelText(QString());
    // The caret's own line, found by position: asterisks or other text
    // elsewhere in the page cannot move the table.
    const int m = ed->caretLine();
    int n = m + 1;
    if (ed->line(m).isEmpty()) {
        ed->deleteLine(m);
        n = m;
    }
    ed->insertLine(n, lines.join(QStringLiteral("\r\n")));
    const int after = n + int(lines.size());
    if (after < ed->document()->blockCount()) {
        ed->setCaret(after, 0);
    } else {
        QTextCursor c = ed->textCursor();
        c.movePosition(QTextCursor::End);
        ed->setTextCursor(c);
    }
}
