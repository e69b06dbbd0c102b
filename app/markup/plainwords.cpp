#include "plainwords.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace {

using Match = QRegularExpressionMatch;

QString lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s.at(0).toLower();
    return s;
}

QString withoutFinalStop(QString s)
{
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

// "Use “del” or “s” element instead." → "use <del> or <s> instead".
QString advice(const QString &tail)
{
    static const QRegularExpression element(QStringLiteral("“([\\w-]+)”(?= or |,| elements?\\b)"));
    static const QRegularExpression elementWord(QStringLiteral(" elements?\\b"));
    QString s = tail;
    if (s.contains(element)) {
        s.replace(element, QStringLiteral("<\\1>"));
        s.remove(elementWord);
    }
    return lowerFirst(withoutFinalStop(s.trimmed()));
}

bool isOneOf(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

const char liOutsideList[] = "<li> must be inside <ul>, <ol> or <menu>";

// Element X where its parent Y does not allow it: say what Y holds, or
// where X belongs, when that is the point.
QString childNotAllowed(const QString &x, const QString &y, bool directly)
{
    if (x == QLatin1String("li") && !isOneOf(y, {"ul", "ol", "menu"}))
        return QLatin1String(liOutsideList);
    if (isOneOf(x, {"dt", "dd"}) && !isOneOf(y, {"dl", "div"}))
        return QStringLiteral("<%1> must be inside <dl>").arg(x);
    if (x == QLatin1String("option") && !isOneOf(y, {"select", "datalist", "optgroup"}))
        return QStringLiteral("<option> must be inside <select>, <datalist> or <optgroup>");
    if (isOneOf(x, {"tr", "td", "th", "tbody", "thead", "tfoot", "caption", "col", "colgroup"})
        && !isOneOf(y, {"table", "tbody", "thead", "tfoot", "tr", "colgroup"}))
        return QStringLiteral("<%1> must be inside <table>").arg(x);
    if (x == QLatin1String("title"))
        return QStringLiteral("<title> must be inside <head>");
    if (isOneOf(y, {"ul", "ol", "menu"}))
        return QStringLiteral("<%1> is not allowed directly inside <%2>: only <li> (and "
                              "script-supporting elements) are")
            .arg(x, y);
    if (y == QLatin1String("dl"))
        return QStringLiteral("<%1> is not allowed directly inside <dl>: only <dt>, <dd> and "
                              "<div> (and script-supporting elements) are")
            .arg(x);
    // Block elements in elements that hold only text and inline elements.
    if (isOneOf(x, {"div",    "p",      "ul",     "ol",       "dl",      "table",   "h1",
                    "h2",     "h3",     "h4",     "h5",       "h6",      "section", "article",
                    "aside",  "nav",    "header", "footer",   "main",    "form",    "blockquote",
                    "pre",    "hr",     "figure", "fieldset", "address", "details", "menu",
                    "search", "hgroup", "dialog"})
        && isOneOf(y, {"span", "b",    "i",    "em",   "strong", "small",  "s",     "cite", "q",
                       "dfn",  "abbr", "code", "var",  "samp",   "kbd",    "sub",   "sup",  "u",
                       "mark", "bdi",  "bdo",  "time", "data",   "label",  "p",     "h1",   "h2",
                       "h3",   "h4",   "h5",   "h6",   "pre",    "button", "output"}))
        return QStringLiteral("<%1> is not allowed inside <%2>: <%2> may hold only text and "
                              "inline elements")
            .arg(x, y);
    return directly ? QStringLiteral("<%1> is not allowed directly inside <%2>").arg(x, y)
                    : QStringLiteral("<%1> is not allowed inside <%2> here").arg(x, y);
}

const char noLang[] = "<html> has no lang attribute: say the page's language, as in "
                      "<html lang=\"en\">";
const char labelForNothing[] = "<label for> names no form control in the page";
const char selfClosed[] = "“/>” does not close this element: it needs an end tag";

struct Rule {
    // The pattern's literal start, tried first: most rules fail on it.
    QString prefix;
    QRegularExpression pattern;
    // Either a form, where %1... stand for the pattern's captures, or a
    // function of the match.
    QString form;
    QString (*words)(const Match &) = nullptr;
};

QString fill(const QString &form, const Match &m)
{
    QString out;
    out.reserve(form.size() + 32);
    for (qsizetype i = 0; i < form.size(); ++i) {
        const QChar c = form.at(i);
        if (c == QLatin1Char('%') && i + 1 < form.size() && form.at(i + 1).isDigit())
            out += m.captured(form.at(++i).digitValue());
        else
            out += c;
    }
    return out;
}

// The checker puts names and values in curly quotes; Tidy puts elements in
// angle brackets and attributes in straight quotes.
#define NAME "“([^”]+)”"
#define VALUE "“(.*)”"
// An element in Tidy's angle brackets.
#define TAG "<([^<>\\s]+)>"

struct RuleText {
    const char *pattern;
    const char *form;
    QString (*words)(const Match &);
};

const RuleText ruleTexts[] = {
    // The conformance checker.
    {"Element " NAME " not allowed as child of element " NAME " in this context\\."
     "(?: \\(Suppressing further errors from this subtree\\.\\))?",
     nullptr, [](const Match &m) { return childNotAllowed(m.captured(1), m.captured(2), false); }},
    {"The element " NAME " must not appear as a descendant of the " NAME " element\\.",
     "<%1> must not be inside <%2>", nullptr},
    {"The element " NAME " with the attribute " NAME " must not appear as a descendant of the " NAME
     " element\\.",
     "<%1 %2> must not be inside <%3>", nullptr},
    {"The value of the “for” attribute of the “label” element must be the ID of a non-hidden "
     "form control\\.",
     labelForNothing, nullptr},
    {"Duplicate ID " VALUE "\\.", "the id “%1” is already used in the page", nullptr},
    {"The first occurrence of ID " VALUE " was here\\.", "the id “%1” is first used here", nullptr},
    {"An “img” element must have an “alt” attribute, except under certain conditions\\..*",
     "<img> has no alt attribute", nullptr},
    {"Attribute " NAME " not allowed on element " NAME " at this point\\.",
     "<%2> cannot have the attribute %1 here", nullptr},
    {"The " NAME " attribute is never allowed on the " NAME " element\\.",
     "<%2> cannot have the attribute %1", nullptr},
    {"Element " NAME " is missing required attribute " NAME "\\.",
     "<%1> must have the attribute %2", nullptr},
    {"Element " NAME " is missing one or more of the following attributes: (.*)\\.",
     "<%1> must have one of the attributes %2", nullptr},
    {"Element “head” is missing a required instance of child element “title”\\.",
     "the page has no <title>", nullptr},
    {"Element " NAME " is missing a required instance of child element " NAME "\\.",
     "<%1> must contain <%2>", nullptr},
    {"Stray end tag " NAME "\\.", "</%1> closes nothing that is open", nullptr},
    {"Stray start tag " NAME "\\.", nullptr,
     [](const Match &m) {
         const QString x = m.captured(1);
         if (isOneOf(x,
                     {"tr", "td", "th", "tbody", "thead", "tfoot", "caption", "col", "colgroup"}))
             return QStringLiteral("<%1> must be inside <table>").arg(x);
         if (isOneOf(x, {"html", "head", "body"}))
             return QStringLiteral("<%1> appears a second time").arg(x);
         return QStringLiteral("<%1> is not allowed here").arg(x);
     }},
    {"End tag (?:for\\s+)?" NAME " seen, but there were (?:open|unclosed) elements\\.",
     "</%1> comes while elements inside it are still open", nullptr},
    {"Unclosed element " NAME "\\.", "<%1> is never closed", nullptr},
    {"End tag " NAME " violates nesting rules\\.",
     "</%1> is misnested: an element opened inside <%1> is still open", nullptr},
    {"No " NAME " element in scope but a " NAME " end tag seen\\.", nullptr,
     [](const Match &m) {
         if (m.captured(2) == QLatin1String("p"))
             return QStringLiteral("</p> closes nothing that is open: a <p> ends by itself where "
                                   "a block such as <div>, <ul> or <h1> begins");
         return QStringLiteral("</%1> closes nothing that is open").arg(m.captured(2));
     }},
    {"End tag " NAME " implied, but there were open elements\\.",
     "<%1> ends while elements inside it are still open", nullptr},
    {"Start tag " NAME " seen but an element of the same type was already open\\.", nullptr,
     [](const Match &m) {
         const QString x = m.captured(1);
         if (isOneOf(x, {"html", "body"}))
             return QStringLiteral("<%1> appears a second time").arg(x);
         return QStringLiteral("<%1> starts while another <%1> is still open").arg(x);
     }},
    {"Saw an? " NAME " start tag, but there was already an active " NAME " element\\..*",
     "<%1> must not be inside another <%2>", nullptr},
    {"End tag “br”\\.", "</br> is not a tag: a line break is <br>", nullptr},
    {"Bad value " VALUE " for attribute " NAME " on element " NAME "(?:: (.*)|\\.)", nullptr,
     [](const Match &m) {
         QString s = QStringLiteral("%1=\"%2\" is not valid on <%3>")
                         .arg(m.captured(2), m.captured(1), m.captured(3));
         const QString detail = advice(m.captured(4));
         if (!detail.isEmpty())
             s += QStringLiteral(": ") + detail;
         return s;
     }},
    {"Duplicate attribute " NAME "\\.", "the %1 attribute is given twice", nullptr},
    {"The " NAME " element is obsolete\\.(.*)", nullptr,
     [](const Match &m) {
         const QString tail = advice(m.captured(2));
         return QStringLiteral("<%1> is obsolete").arg(m.captured(1))
                + (tail.isEmpty() ? QString() : QStringLiteral(": ") + tail);
     }},
    {"The " NAME " attribute on the " NAME " element is obsolete\\.(.*)", nullptr,
     [](const Match &m) {
         const QString tail = advice(m.captured(3));
         return QStringLiteral("the %1 attribute of <%2> is obsolete")
                    .arg(m.captured(1), m.captured(2))
                + (tail.isEmpty() ? QString() : QStringLiteral(": ") + tail);
     }},
    {"The " NAME " element must have an? " NAME " ancestor\\.", "<%1> must be inside <%2>",
     nullptr},
    {"A document must not include more than one visible " NAME " element\\.",
     "the page may have only one visible <%1>", nullptr},
    {".* seen without seeing a doctype first\\. Expected " VALUE "\\.",
     "the page does not start with %1", nullptr},
    {"(?:Obsolete|Almost standards mode|Quirky) doctype\\. Expected " VALUE "\\.",
     "the page should start with %1", nullptr},
    {"Self-closing syntax \\(“/>”\\) used on a non-void HTML element\\..*", selfClosed, nullptr},
    {"Named character reference was not terminated by a semicolon\\..*",
     "a character reference must end with “;” (or write & as &amp;)", nullptr},
    {"“&” did not start a character reference\\..*", "& must be written as &amp; here", nullptr},
    {"Start tag " NAME " seen in “table”\\.", "<%1> is not allowed directly inside <table>",
     nullptr},
    {"“(td|th)” start tag in table body\\.", "<%1> must be inside <tr>", nullptr},
    {"Cannot recover after last error\\. Any further errors will be ignored\\.",
     "the check stops here: faults after this are not reported", nullptr},
    {"End of file inside comment\\.", "a comment is never closed with -->", nullptr},
    {"End of file seen and there were open elements\\.",
     "the page ends while elements are still open", nullptr},
    {"Heading cannot be a child of another heading\\.",
     "a heading cannot be inside another heading", nullptr},
    {"Text not allowed in element " NAME " in this context\\.",
     "text is not allowed directly inside <%1>", nullptr},
    {"Empty heading\\.", "the heading is empty", nullptr},
    {"The heading " NAME " \\(with computed level \\d\\) follows the heading " NAME
     " \\(with computed level \\d\\), skipping \\d+ heading levels?\\.",
     "<%1> follows <%2>: a heading level is skipped", nullptr},
    {"Consider adding a “lang” attribute to the “html” start tag to declare the language of this "
     "document\\.",
     noLang, nullptr},
    {"This document has heading elements but none of them has a computed heading level of 1\\.",
     "the page has headings but none of level 1 (<h1>)", nullptr},
    {"The “type” attribute is unnecessary for JavaScript resources\\.",
     "the type attribute of <script> is not needed for JavaScript", nullptr},
    {"The “type” attribute for the “style” element is not needed and should be omitted\\.",
     "the type attribute of <style> is not needed", nullptr},
    {"The " NAME " role is unnecessary for element " NAME "\\.",
     "role=\"%1\" is not needed on <%2>", nullptr},
    {"The " NAME " element is a completely-unknown element that is not allowed anywhere in any "
     "HTML content\\.",
     "<%1> is not an HTML element (the name of a custom element has a hyphen)", nullptr},
    {"“\"” in an unquoted attribute value\\..*",
     "a quote mark inside an unquoted attribute value: put the value in quotes", nullptr},
    {"Quote “\"” in attribute name\\..*",
     "a quote mark in an attribute name: a closing quote is probably missing earlier", nullptr},

    // Tidy.
    {"missing </([^<>\\s]+)> before (.+)", "<%1> is not closed before %2", nullptr},
    {"missing </([^<>\\s]+)>", "<%1> is never closed", nullptr},
    {"(?:missing|inserting implicit) " TAG, "<%1> is missing here", nullptr},
    {"(?:discarding )?unexpected </([^<>\\s]+)>", "</%1> closes nothing that is open", nullptr},
    {"discarding unexpected " TAG, "<%1> is not allowed here", nullptr},
    {"unexpected </([^<>\\s]+)> in " TAG, "</%1> is out of place inside <%2>", nullptr},
    {TAG " is not recogni[sz]ed!", "<%1> is not a known element", nullptr},
    {TAG " proprietary attribute \"(.*)\"", "%2 is not a standard attribute of <%1>", nullptr},
    {TAG " proprietary attribute value \"(.*)\"",
     "“%2” is not a standard value for an attribute of <%1>", nullptr},
    {TAG " attribute \"([^\"]*)\" (?:has|had) invalid value \"(.*)\"(?: and has been replaced)?",
     "%2=\"%3\" is not valid on <%1>", nullptr},
    {TAG " attribute \"([^\"]*)\", incorrect value \"(.*)\" replaced",
     "%2=\"%3\" is not valid on <%1>", nullptr},
    {TAG " attribute \"(.*)\" lacks value", "the %2 attribute of <%1> has no value", nullptr},
    {TAG " attribute \"([^\"]*)\" not allowed for (.+)",
     "the %2 attribute of <%1> is not allowed in %3", nullptr},
    {TAG " lacks \"([^\"]*)\" attribute", "<%1> has no %2 attribute", nullptr},
    {"<(/?[^<>\\s]+)> isn't allowed in " TAG " elements", nullptr,
     [](const Match &m) { return childNotAllowed(m.captured(1), m.captured(2), true); }},
    {TAG " (?:shouldn't|can't) be nested", "<%1> must not be inside another <%1>", nullptr},
    {TAG " is probably intended as </([^<>\\s]+)>", "<%1> here should probably be </%2>", nullptr},
    {"replacing unexpected <?([^<>\\s]+)>? with </[^<>\\s]+>",
     "</%1> comes while this element, opened inside <%1>, is still open (misnested tags)", nullptr},
    {TAG " anchor \"(.*)\" already defined", "the id “%2” is already used in the page", nullptr},
    {TAG " element not empty or not closed", "<%1> is not closed, or should be empty", nullptr},
    {TAG " element removed from HTML5", "<%1> is obsolete", nullptr},
    {TAG " is not approved by W3C", "<%1> is not standard HTML", nullptr},
    {"The summary attribute on the " TAG " element is obsolete in HTML5",
     "the summary attribute of <%1> is obsolete", nullptr},
    {"trimming empty " TAG, "empty <%1>", nullptr},
    {TAG " (?:escaping malformed URI reference|illegal characters found in URI|improperly "
         "escaped URI reference)",
     "the address in <%1> has characters that must be escaped, such as spaces", nullptr},
    {TAG " (?:URI reference contains backslash\\. Typo\\?|converting backslash in URI to slash)",
     "the address in <%1> contains “\\”: use “/”", nullptr},
    {TAG " discarding (?:whitespace|newline) in URI reference",
     "the address in <%1> contains spaces or line breaks", nullptr},
    {TAG " (?:joining values of|dropping value \"[^\"]*\" for) repeated attribute \"([^\"]*)\"",
     "the %2 attribute is given twice in <%1>", nullptr},
    {"unescaped & or unknown entity \"(.*)\"",
     "“%1” is not a known character reference (write & as &amp;)", nullptr},
    {"unescaped & which should be written as &amp;", "& must be written as &amp; here", nullptr},
    {"entity \"(.*)\" doesn't end in ';'", "“%1” must end with “;”", nullptr},
    {"missing <!DOCTYPE> declaration", "the page has no <!DOCTYPE>", nullptr},
    {"inserting missing 'title' element", "the page has no <title>", nullptr},
    {"content occurs after end of body", "content comes after the end of <body>", nullptr},
    {"the end of the document was reached before the end of the comment",
     "a comment is never closed with -->", nullptr},
    {TAG " missing '>' for end of tag", "<%1> has no closing “>”", nullptr},
    {TAG " unexpected or duplicate quote mark", "a quote mark in <%1> is out of place or doubled",
     nullptr},
    {TAG " attribute with missing trailing quote mark",
     "an attribute value in <%1> has no closing quote mark", nullptr},
    {TAG " end of file while parsing attributes",
     "the page ends inside the attributes of <%1>: a closing quote mark may be missing", nullptr},
    {"nested emphasis " TAG, "<%1> is inside another <%1>", nullptr},
    {TAG " id and name attribute value mismatch", "the id and name of <%1> differ", nullptr},
    {"using <br> in place of (.+)", "%1 is not a tag: a line break is <br>", nullptr},
    {"too many <?([^<>\\s]+?)>? elements(?: in " TAG ")?", "there is more than one <%1>", nullptr},
};

#undef NAME
#undef VALUE
#undef TAG

const std::vector<Rule> &rules()
{
    static const std::vector<Rule> all = [] {
        std::vector<Rule> r;
        for (const RuleText &t : ruleTexts) {
            const QString pattern = QString::fromUtf8(t.pattern);
            QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
            Q_ASSERT_X(re.isValid(), "plainWords", t.pattern);
            re.optimize();
            qsizetype literal = 0;
            while (literal < pattern.size()
                   && !QStringView(u"\\()[].*+?{|^$").contains(pattern.at(literal)))
                ++literal;
            // A quantifier after a character makes that character optional.
            if (literal < pattern.size() && QStringView(u"*+?{").contains(pattern.at(literal)))
                literal = qMax(0, literal - 1);
            r.push_back({pattern.left(literal), re, t.form ? QString::fromUtf8(t.form) : QString(),
                         t.words});
        }
        return r;
    }();
    return all;
}

// The texts foldDuplicates() recognises, as plainWords() writes them.
bool startsElementText(const QString &text, const QString &name)
{
    return text.size() > name.size() + 2 && text.at(0) == QLatin1Char('<')
           && QStringView(text).mid(1, name.size()) == name
           && text.at(name.size() + 1) == QLatin1Char('>');
}

const QRegularExpression &unknownElement()
{
    static const QRegularExpression re(
        QStringLiteral("^<([^<>\\s]+)> is not (?:an HTML|a known) element"));
    return re;
}

QString elementOf(const QString &text, const QRegularExpression &re)
{
    const Match m = re.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

// Whether `other`, at the same place as `first`, only follows from it: an
// unknown element's place, an element Tidy's own repair left empty or put
// in, and then left open (`leftOpen` is set then), an element written
// "<x/>" never closed.
bool followsFrom(const QString &first, const QString &other, bool *leftOpen)
{
    static const QRegularExpression empty(QStringLiteral("^empty <([^<>\\s]+)>$"));
    static const QRegularExpression missing(QStringLiteral("^<([^<>\\s]+)> is missing here$"));
    static const QRegularExpression notInside(
        QStringLiteral("^<[^<>\\s]+> (?:must be inside |is not allowed directly inside )"));
    if (const QString x = elementOf(first, unknownElement()); !x.isEmpty())
        return startsElementText(other, x) && other.contains(QLatin1String(" is not allowed "));
    if (const QString x = elementOf(other, empty); !x.isEmpty())
        return startsElementText(first, x);
    // An element written "<x/>" is then never closed.
    if (first.startsWith(QStringLiteral("“/>” does not close ")))
        return other.endsWith(QLatin1String("> is never closed"));
    if (const QString x = elementOf(first, missing); !x.isEmpty()) {
        *leftOpen = other == QStringLiteral("<%1> is never closed").arg(x);
        return *leftOpen || other.startsWith(QStringLiteral("<%1> is not closed before ").arg(x));
    }
    return missing.match(other).hasMatch() && notInside.match(first).hasMatch();
}

int severity(const QString &kind)
{
    return kind == QLatin1String("Error") ? 2 : kind == QLatin1String("Warning") ? 1 : 0;
}

} // namespace

bool passedOver(const QString &message)
{
    // The checker gets the editor's text as UTF-8 whatever the file's
    // charset, so what it says of the declaration against that is moot.
    // Its guess at the page's language from the text misfires on short or
    // placeholder text, and a valid page is not faulty for it.
    return message.contains(QLatin1String("disagrees with the actual encoding"))
           || message.startsWith(QLatin1String("This document appears to be written in "));
}

QString plainWords(const QString &message)
{
    const QString text = message.trimmed();
    for (const Rule &rule : rules()) {
        if (!text.startsWith(rule.prefix))
            continue;
        const Match m = rule.pattern.match(text);
        if (!m.hasMatch())
            continue;
        return rule.words ? rule.words(m) : fill(rule.form, m);
    }
    return message;
}

QStringView PageSource::range(int line, int column, int lastLine, int lastColumn)
{
    if (m_lineStarts.isEmpty()) {
        m_lineStarts.append(0);
        for (qsizetype i = 0; i < m_page.size(); ++i) {
            const QChar c = m_page.at(i);
            if (c == QLatin1Char('\r') && i + 1 < m_page.size()
                && m_page.at(i + 1) == QLatin1Char('\n'))
                continue; // the LF ends it
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                m_lineStarts.append(i + 1);
        }
    }
    if (line < 1 || column < 1 || lastLine < line || lastLine > m_lineStarts.size())
        return {};
    const qsizetype from = m_lineStarts.at(line - 1) + column - 1;
    const qsizetype to = m_lineStarts.at(lastLine - 1) + lastColumn;
    if (to <= from || to > m_page.size())
        return {};
    return m_page.mid(from, to - from);
}

QString plainWords(const PageMessage &message, PageSource &page)
{
    static const QString slash = QString::fromUtf8(selfClosed);
    const QString words = plainWords(message.text);
    const bool label = words == QLatin1String(labelForNothing);
    if (!label && words != slash)
        return words;
    const QStringView tag =
        page.range(message.line, message.column, message.lastLine, message.lastColumn);
    if (label) {
        static const QRegularExpression forValue(
            QStringLiteral("^<label\\b[^>]*?\\sfor\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
            QRegularExpression::CaseInsensitiveOption);
        const Match m = forValue.match(tag);
        if (!m.hasMatch())
            return words;
        const QString value = m.captured(1) + m.captured(2) + m.captured(3);
        return QStringLiteral("<label for=\"%1\"> names no form control in the page").arg(value);
    }
    static const QRegularExpression name(QStringLiteral("^<([A-Za-z][^\\s/>]*)"));
    const QString element = name.match(tag).captured(1).toLower();
    if (element.isEmpty())
        return words;
    return QStringLiteral("“/>” does not close <%1>: it needs an end tag </%1>").arg(element);
}

void foldDuplicates(QList<PageMessage> *messages)
{
    static const QRegularExpression strayEnd(
        QStringLiteral("^</([^<>\\s]+)> closes nothing that is open$"));
    static const QRegularExpression endWithOpen(
        QStringLiteral("^</[^<>\\s]+> comes while elements inside it are still open$"));
    static const QRegularExpression neverClosed(QStringLiteral("^<[^<>\\s]+> is never closed$"));
    static const QRegularExpression pageEndTags(
        QStringLiteral("^</(?:body|html)> closes nothing that is open$"));
    static const QRegularExpression firstId(QStringLiteral("^the id “(.*)” is first used here$"));
    static const QRegularExpression duplicateId(
        QStringLiteral("^the id “(.*)” is already used in the page$"));
    const QString noAlt = QStringLiteral("<img> has no alt attribute");
    const QString skippedHeading = QStringLiteral(": a heading level is skipped");

    QList<PageMessage> &list = *messages;
    QList<bool> dropped(list.size(), false);

    // Rows at one place: one fault told twice, or one fault and what Tidy
    // did about it. A row folded away may still explain another.
    QList<bool> tidyLeftOpen(list.size(), false); // its own element, open to the end
    for (qsizetype i = 0; i < list.size();) {
        qsizetype end = i + 1;
        while (end < list.size() && list.at(end).line == list.at(i).line
               && list.at(end).column == list.at(i).column)
            ++end;
        for (qsizetype a = i; a < end; ++a) {
            PageMessage &keep = list[a];
            for (qsizetype b = i; b < end; ++b) {
                if (b == a || dropped.at(b))
                    continue;
                const PageMessage &other = list.at(b);
                bool fold = false;
                if (dropped.at(a)) {
                    fold = followsFrom(keep.text, other.text, &tidyLeftOpen[b]);
                } else if (b > a && other.text == keep.text) {
                    fold = true;
                } else if (other.kind == QLatin1String("Advice") && keep.kind != other.kind
                           && ((keep.text == noAlt && other.text.contains(QLatin1String("alt")))
                               || (keep.text.contains(skippedHeading)
                                   && other.text.startsWith(QLatin1String("Heading level"))))) {
                    // The advice says what to write; the checker, how grave.
                    keep.text = other.text;
                    fold = true;
                } else {
                    fold = followsFrom(keep.text, other.text, &tidyLeftOpen[b]);
                }
                if (!fold)
                    continue;
                dropped[b] = true;
                if (dropped.at(a))
                    continue;
                if (severity(other.kind) > severity(keep.kind))
                    keep.kind = other.kind;
                if (keep.lastLine == 0) {
                    keep.lastLine = other.lastLine;
                    keep.lastColumn = other.lastColumn;
                }
            }
        }
        i = end;
    }

    // Rows a little apart.
    QHash<QString, int> unknownOpen; // an end tag for each is no second fault
    QHash<QString, int> firstUse;    // id → line first used
    int lastNeverClosed = -1000;
    bool leftOpen = false;
    for (qsizetype i = 0; i < list.size(); ++i) {
        leftOpen = leftOpen || tidyLeftOpen.at(i);
        const QString &text = list.at(i).text;
        // Cheap looks first: pages with many faults have many rows.
        if (text.endsWith(QLatin1String("> is never closed"))
            && neverClosed.match(text).hasMatch()) // folded away or not
            lastNeverClosed = list.at(i).line;
        if (dropped.at(i))
            continue;
        if (text.endsWith(QLatin1String("> closes nothing that is open"))) {
            if (leftOpen && pageEndTags.match(text).hasMatch()) {
                // Tidy's element, open to the end, took the page's end tags.
                dropped[i] = true;
            } else if (const QString x = elementOf(text, strayEnd);
                       !x.isEmpty() && unknownOpen.value(x) > 0) {
                --unknownOpen[x];
                dropped[i] = true;
            }
        } else if (text.endsWith(QLatin1String(" still open"))) {
            // The checker says both where an element was left open and the
            // end tag that found it so; the first is the fault.
            if (endWithOpen.match(text).hasMatch() && list.at(i).line - lastNeverClosed <= 2)
                dropped[i] = true;
        } else if (const QString x = elementOf(text, unknownElement()); !x.isEmpty()) {
            ++unknownOpen[x];
        }
    }
    // The page's language, missing, told by the checker and the advice:
    // the advice's row, at the <html> tag, as grave as the checker's.
    const auto lang = std::find_if(list.begin(), list.end(), [&](const PageMessage &m) {
        return m.text == QLatin1String(noLang) && m.kind != QLatin1String("Advice");
    });
    if (lang != list.end()) {
        const auto advice = std::find_if(list.begin(), list.end(), [](const PageMessage &m) {
            return m.kind == QLatin1String("Advice") && m.text.contains(QLatin1String("lang"));
        });
        if (advice != list.end()) {
            advice->kind = lang->kind;
            dropped[lang - list.begin()] = true;
        }
    }

    // A duplicate id names the line of the use before it; that row goes.
    QSet<QString> told; // id and line
    const QString idRow = QStringLiteral("the id “");
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (dropped.at(i) || !list.at(i).text.startsWith(idRow))
            continue;
        if (const QString id = elementOf(list.at(i).text, firstId); !id.isEmpty()) {
            firstUse.insert(id, list.at(i).line);
            continue;
        }
        const QString id = elementOf(list.at(i).text, duplicateId);
        if (id.isEmpty() || !firstUse.contains(id))
            continue;
        const int first = firstUse.value(id);
        list[i].text = QStringLiteral("the id “%1” is already used on line %2").arg(id).arg(first);
        told.insert(id + QLatin1Char('\n') + QString::number(first));
    }
    qsizetype out = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (dropped.at(i))
            continue;
        if (!told.isEmpty() && list.at(i).text.startsWith(idRow)) {
            const QString id = elementOf(list.at(i).text, firstId);
            if (!id.isEmpty()
                && told.contains(id + QLatin1Char('\n') + QString::number(list.at(i).line)))
                continue;
        }
        if (out != i)
            list[out] = std::move(list[i]);
        ++out;
    }
    list.resize(out);
}
