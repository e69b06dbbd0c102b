#include "pageadvice.h"
#include "markupscanner.h"

#include <QSet>
#include <algorithm>
#include <tuple>
#include <vector>

const QList<AdviceSwitch> &adviceSwitches()
{
    static const QList<AdviceSwitch> switches = {
        {AdviceKind::ImageAlt, "check/advice/imageAlt", "Images without alt text"},
        {AdviceKind::EmptyLink, "check/advice/emptyLink", "Links and buttons without text"},
        {AdviceKind::UnlabelledControl, "check/advice/unlabelled", "Form controls without a label"},
        {AdviceKind::SkippedHeading, "check/advice/headings", "Skipped heading levels"},
        {AdviceKind::PageLanguage, "check/advice/lang", "Page without a language"},
        {AdviceKind::TableHeaders, "check/advice/tableHeaders", "Data tables without header cells"},
    };
    return switches;
}

namespace {
using Markup::Token;
using Markup::TokenKind;

// The elements the advice looks at; every other is Other.
enum class Tag : quint8 {
    Other,
    A,
    Button,
    Img,
    Input,
    Select,
    Textarea,
    Label,
    Heading,
    Html,
    Table,
    Section, // thead, tbody, tfoot: a row before them has ended
    Tr,
    Td,
    Th,
};

Tag tagOf(QStringView name, int *level)
{
    static const std::pair<QStringView, Tag> known[] = {
        {u"a", Tag::A},           {u"button", Tag::Button}, {u"img", Tag::Img},
        {u"input", Tag::Input},   {u"select", Tag::Select}, {u"textarea", Tag::Textarea},
        {u"label", Tag::Label},   {u"html", Tag::Html},     {u"table", Tag::Table},
        {u"thead", Tag::Section}, {u"tbody", Tag::Section}, {u"tfoot", Tag::Section},
        {u"tr", Tag::Tr},         {u"td", Tag::Td},         {u"th", Tag::Th},
    };
    if (name.size() == 2 && (name[0] == u'h' || name[0] == u'H') && name[1] >= u'1'
        && name[1] <= u'6') {
        *level = name[1].unicode() - u'0';
        return Tag::Heading;
    }
    if (name.size() > 8)
        return Tag::Other;
    for (const auto &[n, t] : known)
        if (Markup::sameName(name, n))
            return t;
    return Tag::Other;
}

// The attributes the advice looks at.
enum Attr : quint8 {
    NoAttr,
    Alt,
    Href,
    AriaLabel,
    AriaLabelledby,
    TitleAttr,
    Lang,
    XmlLang,
    Type,
    Id,
    For,
    Role,
    AttrCount
};

Attr attrOf(QStringView name, Markup::Attribute known)
{
    switch (known) {
    case Markup::Attribute::Alt:
        return Alt;
    case Markup::Attribute::Href:
        return Href;
    case Markup::Attribute::Title:
        return TitleAttr;
    case Markup::Attribute::Lang:
        return Lang;
    case Markup::Attribute::XmlLang:
        return XmlLang;
    default:
        break;
    }
    static const std::pair<QStringView, Attr> other[] = {
        {u"aria-label", AriaLabel},
        {u"aria-labelledby", AriaLabelledby},
        {u"type", Type},
        {u"id", Id},
        {u"for", For},
        {u"role", Role},
    };
    for (const auto &[n, a] : other)
        if (Markup::sameName(name, n))
            return a;
    return NoAttr;
}

bool blank(QStringView s)
{
    for (QChar c : s)
        if (!c.isSpace())
            return false;
    return true;
}

QStringView firstWord(QStringView s)
{
    s = s.trimmed();
    qsizetype k = 0;
    while (k < s.size() && !s[k].isSpace())
        ++k;
    return s.first(k);
}

// Line and column of offsets asked for in increasing order, counted once
// over the text: lines end at CR LF, LF or CR; columns in UTF-16 units.
class LineCounter {
public:
    explicit LineCounter(QStringView s) : s(s) {}
    std::pair<int, int> at(qsizetype offset)
    {
        for (; pos < offset; ++pos) {
            const QChar c = s[pos];
            if (c == u'\n' || (c == u'\r' && (pos + 1 == s.size() || s[pos + 1] != u'\n'))) {
                ++line;
                lineStart = pos + 1;
            }
        }
        return {line, int(offset - lineStart) + 1};
    }

private:
    QStringView s;
    qsizetype pos = 0;
    qsizetype lineStart = 0;
    int line = 1;
};

struct Range {
    int line = 0, column = 0, lastLine = 0, lastColumn = 0;
};

struct Clickable { // a link or button, open
    Tag tag;
    bool judged; // a link with href, or a button: needs a name
    bool named;  // it has text, or a name given otherwise
    Range range;
};

struct TableSeen {
    Range range;
    bool layout = false;
    bool hasHeader = false;
    bool wide = false; // some row has two cells or more
    bool inRow = false;
    int rows = 0;
    int cells = 0; // in the current row
};

struct PendingControl { // has an id a <label for> may name, later or earlier
    QStringView id;
    Tag tag;
    Range range;
};

// Tables nested deeper than this are not judged (their tags still count to
// match end tags), so a hostile page of open tables keeps memory bounded.
constexpr int kMaxTables = 256;

// Reads the page once, in order: each start tag is judged when its '>' is
// read (or the next tag ends it); links, buttons and tables when they end;
// controls with an id once the whole page has shown its <label for>s.
class AdviceReader : public Markup::TokenSink {
public:
    AdviceReader(QStringView s, unsigned enabled, const std::atomic<bool> *cancel)
        : s(s), lines(s), enabled(enabled), cancel(cancel)
    {
        wantsText = wantsReferences = false;
    }

    QList<PageMessage> read()
    {
        Markup::scan(s, Markup::State(), this);
        if (cancelled)
            return {};
        endTag();
        while (!clickables.empty())
            closeClickable();
        while (!tables.empty())
            closeTable();
        for (const PendingControl &c : pending)
            if (!labelFor.contains(c.id))
                unlabelled(c.tag, c.range);
        if (!seenHtml && anyMarkup)
            add(AdviceKind::PageLanguage, {1, 1, 0, 0},
                QStringLiteral("The page has no <html lang=\"...\">: say its language, as in "
                               "<html lang=\"en\">, so that screen readers pronounce it right"));
        std::stable_sort(messages.begin(), messages.end(),
                         [](const PageMessage &a, const PageMessage &b) {
                             return a.line != b.line ? a.line < b.line : a.column < b.column;
                         });
        return messages;
    }

    void token(QStringView, const Token &t) override
    {
        if (cancel && ++tokensRead % 4096 == 0 && cancel->load(std::memory_order_relaxed)) {
            cancelled = stop = true;
            return;
        }
        switch (t.kind) {
        case TokenKind::StartTag:
        case TokenKind::EndTag:
        case TokenKind::Declaration:
            endTag();
            anyMarkup = true;
            if (t.kind == TokenKind::Declaration)
                break;
            tag = tagOf(s.sliced(t.nameStart, t.nameLength), &level);
            if (tag == Tag::Other)
                break;
            if (t.kind == TokenKind::EndTag) {
                closed(tag);
                tag = Tag::Other;
                break;
            }
            tagStart = t.start;
            tagLast = t.end() - 1;
            std::fill(std::begin(values), std::end(values), QStringView());
            std::fill(std::begin(present), std::end(present), false);
            attr = NoAttr;
            break;
        case TokenKind::AttributeName:
            if (tag == Tag::Other)
                break;
            tagLast = t.end() - 1;
            attr = attrOf(s.sliced(t.start, t.length), t.attribute);
            if (present[attr])
                attr = NoAttr; // the first of a repeated attribute counts
            present[attr] = true;
            break;
        case TokenKind::AttributeValue:
            if (tag == Tag::Other)
                break;
            tagLast = t.end() - 1;
            if (attr != NoAttr && afterEquals(t.start))
                values[attr] = unquoted(s.sliced(t.start, t.length));
            attr = NoAttr;
            break;
        case TokenKind::TagEnd:
            if (tag == Tag::Other)
                break;
            tagLast = t.end() - 1;
            endTag(t.selfClosing);
            break;
        case TokenKind::Text:
            if (!clickables.empty() && !blank(s.sliced(t.start, t.length)))
                clickables.back().named = true;
            break;
        default:
            break;
        }
    }

private:
    bool wanted(AdviceKind k) const { return enabled & unsigned(k); }

    void add(AdviceKind k, const Range &r, const QString &text)
    {
        if (!wanted(k))
            return;
        PageMessage m;
        m.line = r.line;
        m.column = r.column;
        m.lastLine = r.lastLine;
        m.lastColumn = r.lastColumn;
        m.kind = QStringLiteral("Advice");
        m.text = text;
        messages.append(m);
    }

    bool afterEquals(qsizetype at) const
    {
        while (at > 0 && s[at - 1].isSpace())
            --at;
        return at > 0 && s[at - 1] == u'=';
    }

    static QStringView unquoted(QStringView v)
    {
        if (!v.isEmpty() && (v.front() == u'"' || v.front() == u'\'')) {
            const QChar q = v.front();
            v = v.sliced(1);
            if (!v.isEmpty() && v.back() == q)
                v.chop(1);
        }
        return v;
    }

    bool has(Attr a) const { return !blank(values[a]); }
    // A name given by attributes rather than by text or a label.
    bool namedByAttributes() const
    {
        return has(AriaLabel) || has(AriaLabelledby) || has(TitleAttr);
    }

    // The start tag being read has ended: at its '>', by another tag, or by
    // the end of the page. `closes`: "<x/>", closed at once.
    void endTag(bool closes = false)
    {
        if (tag == Tag::Other)
            return;
        const Tag t = tag;
        tag = Tag::Other;
        Range r;
        std::tie(r.line, r.column) = lines.at(tagStart);
        std::tie(r.lastLine, r.lastColumn) = lines.at(tagLast);
        switch (t) {
        case Tag::A:
        case Tag::Button:
            // Links do not nest, nor buttons: a new one ends the one open,
            // as a browser reads it. So the stack holds at most two.
            closed(t);
            clickables.push_back({t, t == Tag::Button || present[Href], namedByAttributes(), r});
            wantsText = wanted(AdviceKind::EmptyLink);
            if (closes)
                closed(t);
            break;
        case Tag::Img:
            if (!present[Alt])
                add(AdviceKind::ImageAlt, r,
                    QStringLiteral("Image without alt text: say what it shows in alt=\"...\", or "
                                   "write alt=\"\" when it is only decoration"));
            if (has(Alt) && !clickables.empty())
                clickables.back().named = true;
            break;
        case Tag::Input: {
            const QStringView type = values[Type].trimmed();
            auto is = [&](QStringView v) { return Markup::sameName(type, v); };
            if (is(u"hidden"))
                break;
            if (is(u"image")) { // named by its alt: an empty one leaves it unnamed
                if (!has(Alt) && !namedByAttributes())
                    add(AdviceKind::ImageAlt, r,
                        QStringLiteral("Image button without alt text: say what it does in "
                                       "alt=\"...\""));
                break;
            }
            // A button of the form has a caption of its own (its value, or
            // the browser's "Submit").
            if (is(u"submit") || is(u"reset") || is(u"button"))
                break;
            control(t, r);
            break;
        }
        case Tag::Select:
        case Tag::Textarea:
            control(t, r);
            break;
        case Tag::Label:
            if (!values[For].isEmpty())
                labelFor.insert(values[For]);
            label = {!closes, present[For], false};
            break;
        case Tag::Heading:
            if (lastLevel > 0 && level > lastLevel + 1) {
                QString &text = headingTexts[level - 1][lastLevel - 1];
                if (text.isEmpty())
                    text =
                        QStringLiteral("Heading level skipped: <h%1> follows <h%2> with no <h%3> "
                                       "between; screen reader users find their way by the "
                                       "levels")
                            .arg(level)
                            .arg(lastLevel)
                            .arg(lastLevel + 1);
                add(AdviceKind::SkippedHeading, r, text);
            }
            lastLevel = level;
            break;
        case Tag::Html:
            if (seenHtml)
                break;
            seenHtml = true;
            if (!has(Lang) && !has(XmlLang))
                add(AdviceKind::PageLanguage, r,
                    QStringLiteral("<html> without lang: say the page's language, as in "
                                   "lang=\"en\", so that screen readers pronounce it right"));
            break;
        case Tag::Table:
            if (closes)
                break;
            if (tables.size() >= kMaxTables) {
                ++deepTables;
                break;
            }
            tables.emplace_back();
            tables.back().range = r;
            {
                const QStringView role = firstWord(values[Role]);
                tables.back().layout =
                    Markup::sameName(role, u"presentation") || Markup::sameName(role, u"none");
            }
            break;
        case Tag::Section:
        case Tag::Tr:
            if (deepTables > 0 || tables.empty())
                break;
            tables.back().inRow = t == Tag::Tr;
            if (t == Tag::Tr) {
                ++tables.back().rows;
                tables.back().cells = 0;
            }
            break;
        case Tag::Td:
        case Tag::Th:
            if (deepTables > 0 || tables.empty())
                break;
            {
                TableSeen &table = tables.back();
                if (!table.inRow) { // a cell with no <tr> starts a row
                    table.inRow = true;
                    ++table.rows;
                    table.cells = 0;
                }
                table.wide = table.wide || ++table.cells >= 2;
                table.hasHeader = table.hasHeader || t == Tag::Th;
            }
            break;
        case Tag::Other:
            break;
        }
    }

    // An end tag, or a start tag that ends an element of its own name.
    void closed(Tag t)
    {
        switch (t) {
        case Tag::A:
        case Tag::Button: {
            const auto it = std::find_if(clickables.begin(), clickables.end(),
                                         [t](const Clickable &c) { return c.tag == t; });
            const size_t at = size_t(it - clickables.begin());
            while (clickables.size() > at)
                closeClickable(); // and what is open inside it
            break;
        }
        case Tag::Label:
            label.open = false;
            break;
        case Tag::Table:
            if (deepTables > 0)
                --deepTables;
            else if (!tables.empty())
                closeTable();
            break;
        case Tag::Section:
        case Tag::Tr:
            if (deepTables == 0 && !tables.empty())
                tables.back().inRow = false;
            break;
        default:
            break;
        }
    }

    void closeClickable()
    {
        const Clickable c = clickables.back();
        clickables.pop_back();
        if (c.named && !clickables.empty())
            clickables.back().named = true;
        else if (c.judged && !c.named)
            add(AdviceKind::EmptyLink, c.range,
                c.tag == Tag::A ? QStringLiteral("Link without text: screen readers have nothing "
                                                 "to read for it; give it text, an image with alt "
                                                 "text, or aria-label")
                                : QStringLiteral("Button without text: give it text, an image "
                                                 "with alt text, or aria-label"));
        wantsText = !clickables.empty() && wanted(AdviceKind::EmptyLink);
    }

    void closeTable()
    {
        const TableSeen t = tables.back();
        tables.pop_back();
        if (!t.layout && !t.hasHeader && t.rows >= 2 && t.wide)
            add(AdviceKind::TableHeaders, t.range,
                QStringLiteral("Table without header cells: mark the cells that head its rows or "
                               "columns with <th>, or give it role=\"presentation\" when it only "
                               "lays out the page"));
    }

    void control(Tag t, const Range &r)
    {
        // A <label> with no "for" labels the first control inside it.
        const bool wrapped = label.open && !label.hasFor && !label.used;
        if (wrapped)
            label.used = true;
        if (wrapped || namedByAttributes() || !wanted(AdviceKind::UnlabelledControl))
            return;
        if (!values[Id].isEmpty())
            pending.push_back({values[Id], t, r});
        else
            unlabelled(t, r);
    }

    void unlabelled(Tag t, const Range &r)
    {
        QString &text = t == Tag::Input ? inputText : t == Tag::Select ? selectText : textareaText;
        if (text.isEmpty())
            text = QStringLiteral("<%1> without a label: name it with <label for=\"its id\">, a "
                                  "<label> around it, aria-label or title")
                       .arg(t == Tag::Input    ? u"input"
                            : t == Tag::Select ? u"select"
                                               : u"textarea");
        add(AdviceKind::UnlabelledControl, r, text);
    }

    QStringView s;
    LineCounter lines;
    const unsigned enabled;
    const std::atomic<bool> *cancel;
    bool cancelled = false;
    quint32 tokensRead = 0;
    QList<PageMessage> messages;

    // The start tag being read, when it is one the advice looks at.
    Tag tag = Tag::Other;
    int level = 0; // of a heading
    qsizetype tagStart = 0, tagLast = 0;
    Attr attr = NoAttr; // whose value may come next
    bool present[AttrCount] = {};
    QStringView values[AttrCount];

    bool anyMarkup = false;
    bool seenHtml = false;
    int lastLevel = 0;
    std::vector<Clickable> clickables;
    std::vector<TableSeen> tables;
    int deepTables = 0;
    struct {
        bool open = false, hasFor = false, used = false;
    } label;
    QSet<QStringView> labelFor;
    std::vector<PendingControl> pending;
    // Texts made once, shared by all their messages.
    QString inputText, selectText, textareaText;
    QString headingTexts[6][6];
};
} // namespace

QList<PageMessage> accessibilityAdvice(QStringView text, unsigned enabled,
                                       const std::atomic<bool> *cancel)
{
    if (!(enabled & kAllAdvice))
        return {};
    return AdviceReader(text, enabled, cancel).read();
}
