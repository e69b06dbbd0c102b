#include "listmarkup.h"
#include "editorbox.h"
#include "linkmarkup.h"

#include <QTextDocument>

namespace ListMarkup {

QStringList numberStyles()
{
    return {QStringLiteral("Numbered"), QStringLiteral("Lowercase Lettered"),
            QStringLiteral("Uppercase Lettered"), QStringLiteral("Uppercase Roman"),
            QStringLiteral("Lowercase Roman")};
}

Tags tags(bool ordered, const QString &numStyle)
{
    if (!ordered)
        return {QStringLiteral("<UL>       "), QStringLiteral("</UL>")};
    const QString close = QStringLiteral("</OL>");
    if (numStyle == QLatin1String("Lowercase Lettered"))
        return {QStringLiteral("<OL TYPE=a>"), close};
    if (numStyle == QLatin1String("Uppercase Lettered"))
        return {QStringLiteral("<OL TYPE=A>"), close};
    if (numStyle == QLatin1String("Uppercase Roman"))
        return {QStringLiteral("<OL TYPE=I>"), close};
    if (numStyle == QLatin1String("Lowercase Roman"))
        return {QStringLiteral("<OL TYPE=i>"), close};
    // "Numbered" and any typed name: a plain ordered list.
    return {QStringLiteral("<OL>       "), close};
}

QStringList lines(const Tags &tags, const QStringList &items)
{
    QStringList out;
    out.reserve(items.size() + 2);
    out << tags.open;
    for (const QString &item : items)
        out << QStringLiteral("<LI>") + item;
    out << tags.close;
    return out;
}

QString linkItem(const QString &prefix, const QString &location, const QString &text)
{
    const QString p = prefix == LinkMarkup::kDownloadable ? QString() : prefix;
    return QStringLiteral("<A HREF=\"") + p + location + QStringLiteral("\">") + text
        + QStringLiteral("</A>");
}

void writeBelowCaret(EditorBox *editor, const QStringList &listLines)
{
    if (listLines.isEmpty())
        return;
    UndoStep step(editor);
    QTextDocument *doc = editor->document();
    editor->setSelText(QString());
    // The caret's own line, found by position: text that merely looks like
    // list markup elsewhere in the page can never draw the list away.
    int line = editor->caretLine();
    const int before = doc->blockCount();
    editor->insertLine(line + 1, listLines.join(QStringLiteral("\r\n")));
    // Counted from the document, so an item holding a line break still
    // leaves the caret after the closing line.
    int last = line + (doc->blockCount() - before);
    if (editor->line(line).isEmpty()) {
        editor->deleteLine(line);
        --last;
    }
    if (last + 1 < doc->blockCount())
        editor->setCaret(last + 1, 0);
    else
        editor->setCaret(last, int(editor->line(last).size()));
}

} // namespace ListMarkup
