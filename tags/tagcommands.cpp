#include "tagcommands.h"
#include "bodymarkup.h"
#include "actions.h"
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
// answered: the one they started with is not kept across it. Without their
// dialog (before the windows are made, or after they are gone) they do
// nothing.

void ImageClick(EditorBox *current)
{
    if (!current || !ImageInfo)
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
    if (!current || !DocInfo)
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
    if (!current || !HRInfo)
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
    if (!LinkInf)
        return;
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
    if (!ListBoxes)
        return;
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
    namespace id = TagCommand;
    const QKeySequence none;
    auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };
    auto ctrlShift = [](int key) { return QKeySequence(Qt::CTRL | Qt::SHIFT | key); };
    auto command = [](const char *menu, const char *id, const char *caption,
                      const QKeySequence &key, std::function<void(EditorBox *)> f) {
        return itemRow(menu, id, QString::fromUtf8(caption), [f] { f(ActiveEditor()); }).key(key);
    };
    const char *const fonts = ActionId::AppearanceMenu;
    const char *const tools = ActionId::ToolsMenu;
    // Menu order; the bar's and palette's places are their own.
    addCommands({
        command(fonts, id::Bold, "&Bold          <STRONG>", ctrl(Qt::Key_B),
                wrap("<STRONG>", "</STRONG>"))
            .onBar({"BoldDock", 96, 25, "B", nullptr, 16, true, false, false, "Bold"}),
        command(fonts, id::Italic, "&Italic          <EM>", ctrl(Qt::Key_I), wrap("<EM>", "</EM>"))
            .onBar({"SpeedButton1", 120, 25, "I", nullptr, 16, true, true, false, "Italics"}),
        command(fonts, id::Underline, "&Underline  <U>", ctrl(Qt::Key_U), wrap("<U>", "</U>"))
            .onBar({"SpeedButton2", 144, 25, "U", nullptr, 13, true, false, true, "Underline"}),
        command(fonts, id::Blinking, "B&linking     <BLINK>", none, wrap("<BLINK>", "</BLINK>"))
            .onBar({"SpeedButton4", 168, 41, "Blink", nullptr, 0, false, false, false,
                    "Blinking text"}),
        command(fonts, id::Center, "&Center       <CENTER>", ctrl(Qt::Key_E),
                wrap("<CENTER>", "</CENTER>"))
            .onBar({"CenterDock", 216, 25, nullptr, "center", 0, false, false, false,
                    "Center text"}),
        command(fonts, id::Preformatted, "&Preformatted Text <PRE>", none, wrap("<PRE>", "</PRE>"))
            .onBar({"PreDock", 288, 25, "Pre", nullptr, 0, false, false, false,
                    "Preformatted text"}),
        separatorRow(fonts, "N3"),
        command(fonts, id::H1, "Heading &1 <H1>", none, wrap("<H1>", "</H1>"))
            .onPalette({"H1", 0, 1, "H1", nullptr, "Heading 1"}),
        command(fonts, id::H2, "Heading &2 <H2>", none, wrap("<H2>", "</H2>"))
            .onPalette({"H2", 0, 2, "H2", nullptr, "Heading 2"}),
        command(fonts, id::H4, "Heading &4 <H4>", none, wrap("<H4>", "</H4>"))
            .onPalette({"H4", 0, 4, "H4", nullptr, "Heading 4"}),
        command(fonts, id::H3, "Heading &3 <H3>", none, wrap("<H3>", "</H3>"))
            .onPalette({"H3", 0, 3, "H3", nullptr, "Heading 3"}),
        command(fonts, id::H5, "Heading &5 <H5>", none, wrap("<H5>", "</H5>"))
            .onPalette({"H5", 0, 5, "H5", nullptr, "Heading 5"}),
        command(fonts, id::H6, "Heading &6 <H6>", none, wrap("<H6>", "</H6>"))
            .onPalette({"H6", 0, 6, "H6", nullptr, "Heading 6"}),

        command(tools, id::Document, "&Document Info", none, DocClick)
            .onBar({"DocDock", 412, 101, "Document Info.", nullptr, 0, false, false, false,
                    "Document information (text color, background, etc.)"}),
        command(tools, id::Link, "&Add a Link", ctrl(Qt::Key_L), LinkClick)
            .onBar({"LnkDock", 320, 29, nullptr, "link", 0, false, false, false, "Add a link"})
            .onPalette({"Link", 1, 1, nullptr, "link", "Insert a link"}),
        command(tools, id::Image, "&Image Insertion", ctrl(Qt::Key_M), ImageClick)
            .onBar({"ImageDock", 348, 29, nullptr, "image", 0, false, false, false,
                    "Insert image"})
            .onPalette({"Image", 1, 0, nullptr, "image", "Insert image"}),
        command(tools, id::Lists, "&Lists", ctrlShift(Qt::Key_L), ListsClick)
            .onPalette({"Lists", 1, 2, "List", nullptr, "Ordered/Unordered lists"}),
        command(tools, id::Table, "&Table", ctrl(Qt::Key_A), TableButClick)
            .onBar({"TableDock", 376, 29, nullptr, "table", 0, false, false, false,
                    "Create a table"})
            .onPalette({"TableBut", 1, 3, nullptr, "table", "Create Tables"}),
        command(tools, id::Target, "Tar&get", ctrlShift(Qt::Key_T), TargetClick)
            .onPalette({"Target", 1, 4, nullptr, "target", "Target"}),
        separatorRow(tools, "N4"),
        command(tools, id::Paragraph, "&Paragraph          <P>", ctrl(Qt::Key_P), wrap("<P>", "</P>"))
            .onBar({"ParaDock", 240, 25, nullptr, "para", 0, false, false, false, "Paragraph"})
            .onPalette({"Para", 1, 6, nullptr, "para", "Paragraph"}),
        command(tools, id::HorizontalRule, "&Horizontal Rule <HR>", ctrl(Qt::Key_H), HorizRuleClick)
            .onPalette({"HorizRule", 0, 0, "HR", nullptr, "Horizontal rule"}),
        command(tools, id::LineBreak, "Line &Break         <BR>", ctrlShift(Qt::Key_B), BreakButClick)
            .onBar({"BreakDock", 264, 25, nullptr, "break", 0, false, false, false, "Break"})
            .onPalette({"BreakBut", 1, 5, nullptr, "break", "Break"}),
    });
}
