#include "linesbelow.h"
#include "editorbox.h"

#include <QTextDocument>

void writeLinesBelowCaret(EditorBox *ed, const QStringList &lines, EmptyLastLine emptyLast)
{
    UndoStep step(ed);
    QTextDocument *doc = ed->document();
    if (ed->selLength() > 0)
        ed->setSelText(QString());
    // The caret's own line, found by position: text elsewhere in the page
    // that merely looks like markup can never draw the lines away.
    const int line = ed->caretLine();
    const bool empty = ed->line(line).isEmpty();
    int first = line + 1;
    int added = 0;
    if (empty && emptyLast == EmptyLastLine::KeptAfter) {
        // Gone first, then written in its place: an empty last line leaves
        // its break after the lines.
        ed->deleteLine(line);
        first = line;
        const int before = doc->blockCount();
        ed->insertLine(first, lines.join(QStringLiteral("\r\n")));
        added = doc->blockCount() - before;
    } else {
        const int before = doc->blockCount();
        ed->insertLine(first, lines.join(QStringLiteral("\r\n")));
        added = doc->blockCount() - before;
        if (empty) {
            ed->deleteLine(line);
            first = line;
        }
    }
    const int last = first + added - 1;
    if (last + 1 < doc->blockCount())
        ed->setCaret(last + 1, 0);
    else
        ed->setCaret(last, int(ed->line(last).size()));
}
