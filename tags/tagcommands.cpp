#include "tagcommands.h"
#include "bodymarkup.h"
#include "commands.h"
#include "currentdocument.h"
#include "docinfo.h"
#include "editorbox.h"
#include "hrinfo.h"
#include "hrmarkup.h"
#include "imageinfo.h"
#include "imagemarkup.h"
#include "linkinf.h"
#include "linkmarkup.h"
#include "listboxes.h"
#include "listmarkup.h"
#include "tablebuilder.h"
#include "tablemarkup.h"
#include "uiseam.h"

#include <optional>

void WrapSelection(EditorBox *ed, const QString &open, const QString &close)
{
    if (!ed)
        return;
    {
        // One insertion, then the caret steps back over the closing tag:
        // the same text and caret as inserting the three pieces in turn,
        // at a third of the cost on a huge page.
        UndoStep step(ed);
        ed->setSelText(open + ed->selText() + close);
        ed->moveCaretLeft(int(close.size()));
    }
    BringMainToFront();
}

namespace {
std::function<void(EditorBox *)> wrap(const char *open, const char *close)
{
    return [open, close](EditorBox *ed) {
        WrapSelection(ed, QLatin1String(open), QLatin1String(close));
    };
}

void BreakButClick(EditorBox *ed)
{
    if (!ed)
        return;
    {
        UndoStep step(ed);
        // The selection stays as it was, "<BR>" follows it, the caret ends
        // after "<BR>".
        ed->setSelText(ed->selText() + QStringLiteral("<BR>"));
    }
    BringMainToFront();
}

// The dialog commands read the current editor again once their dialog is
// answered: the one they started with is not kept across it.

void ImageClick(EditorBox *current)
{
    if (!current)
        return;
    auto fields = TImageInfo::Fields::Cleared;
    while (const std::optional<ImageFields> image = ImageInfo->ask(fields)) {
        const QString markup = ImageMarkup(*image);
        if (markup.isEmpty()) {
            ui().errorBox(QStringLiteral("Please Enter Image Location"), QStringLiteral("Error"));
            fields = TImageInfo::Fields::AsLeft;
            continue;
        }
        if (EditorBox *ed = ActiveEditor()) {
            UndoStep step(ed);
            ed->setSelText(markup);
        }
        break;
    }
    BringMainToFront();
}

void DocClick(EditorBox *current)
{
    if (!current)
        return;
    const std::optional<BodyAttributes> body = DocInfo->ask();
    if (!body)
        return;
    EditorBox *ed = ActiveEditor();
    if (!ed)
        return;
    WriteBodyAttributes(ed, *body);
    BringMainToFront();
}

void HorizRuleClick(EditorBox *current)
{
    if (!current)
        return;
    if (const std::optional<HorizRuleFields> rule = HRInfo->ask()) {
        if (EditorBox *ed = ActiveEditor()) {
            UndoStep step(ed);
            ed->setSelText(HorizRuleTag(rule->width, rule->percent, rule->size, rule->align,
                                        rule->shaded));
        }
    }
    BringMainToFront();
}

// Asks its question even without a document.
void LinkClick(EditorBox *)
{
    const std::optional<LinkMarkup::Fields> link = LinkInf->ask();
    if (!link)
        return;
    EditorBox *ed = ActiveEditor();
    if (!ed)
        return;
    {
        UndoStep step(ed);
        const QString selected = ed->selText();
        ed->setSelText(LinkMarkup::link(link->protocol, link->address, link->description,
                                        link->target, selected));
    }
    BringMainToFront();
}

// Asks its question even without a document.
void TargetClick(EditorBox *)
{
    const QString name = ui().inputBox(QStringLiteral("Target Name"),
                                       QStringLiteral("Enter a name for your target:"),
                                       QString());
    EditorBox *ed = ActiveEditor();
    if (!ed)
        return;
    if (!name.isEmpty()) {
        UndoStep step(ed);
        ed->setSelText(LinkMarkup::target(name));
    }
    BringMainToFront();
}

// Asks its question even without a document.
void ListsClick(EditorBox *)
{
    const std::optional<ListMarkup::Fields> list = ListBoxes->ask();
    if (!list)
        return;
    EditorBox *ed = ActiveEditor();
    if (!ed)
        return;
    const ListMarkup::Tags tags = ListMarkup::tags(list->ordered, list->numStyle);
    ListMarkup::writeBelowCaret(ed, ListMarkup::lines(tags, list->items));
    BringMainToFront();
}

void TableButClick(EditorBox *current)
{
    if (!current || !Table)
        return;
    if (const std::optional<TableLayout> table = Table->ask()) {
        if (EditorBox *ed = ActiveEditor())
            insertLinesBelowCaret(ed, tableLines(*table));
    }
    BringMainToFront();
}

} // namespace

void addTagCommands()
{
    const QKeySequence none;
    auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };
    auto ctrlShift = [](int key) { return QKeySequence(Qt::CTRL | Qt::SHIFT | key); };
    addCommands({
        // Appearance
        {"Bold1", "&Bold          <STRONG>", ctrl(Qt::Key_B), wrap("<STRONG>", "</STRONG>")},
        {"Italic1", "&Italic          <EM>", ctrl(Qt::Key_I), wrap("<EM>", "</EM>")},
        {"Underline1", "&Underline  <U>", ctrl(Qt::Key_U), wrap("<U>", "</U>")},
        {"BlinkingBLINK1", "B&linking     <BLINK>", none, wrap("<BLINK>", "</BLINK>")},
        {"CenterCENTER1", "&Center       <CENTER>", ctrl(Qt::Key_E),
         wrap("<CENTER>", "</CENTER>")},
        {"PreformattedTextPRE1", "&Preformatted Text <PRE>", none, wrap("<PRE>", "</PRE>")},
        {"Heading1", "Heading &1 <H1>", none, wrap("<H1>", "</H1>")},
        {"Heading21", "Heading &2 <H2>", none, wrap("<H2>", "</H2>")},
        {"Heading31", "Heading &3 <H3>", none, wrap("<H3>", "</H3>")},
        {"Heading41", "Heading &4 <H4>", none, wrap("<H4>", "</H4>")},
        {"Heading51", "Heading &5 <H5>", none, wrap("<H5>", "</H5>")},
        {"Heading61", "Heading &6 <H6>", none, wrap("<H6>", "</H6>")},
        // Tools
        {"Document1", "&Document Info", none, DocClick},
        {"lnkadd", "&Add a Link", ctrl(Qt::Key_L), LinkClick},
        {"ImageInsertion1", "&Image Insertion", ctrl(Qt::Key_M), ImageClick},
        {"Lists1", "&Lists", ctrlShift(Qt::Key_L), ListsClick},
        {"Table1", "&Table", ctrl(Qt::Key_A), TableButClick},
        {"Target1", "Tar&get", ctrlShift(Qt::Key_T), TargetClick},
        {"Paragraph1", "&Paragraph          <P>", ctrl(Qt::Key_P), wrap("<P>", "</P>")},
        {"HorizontalLineHR1", "&Horizontal Rule <HR>", ctrl(Qt::Key_H), HorizRuleClick},
        {"LineBreak1", "Line &Break         <BR>", ctrlShift(Qt::Key_B), BreakButClick},
    });
}
