#include "completion.h"

#include "markuptags.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace Completion {
namespace {

struct Element {
    QString name, description;
    QStringList attributes; // its own, in the table's order
    QSet<QString> obsoleteAttributes;
    bool obsolete = false;
};
struct Value {
    QString name, description;
};
struct Reference {
    QString name;
    char32_t code;
};

struct Tables {
    std::vector<Element> elements;
    QHash<QString, int> elementIndex;
    QStringList globals;
    QHash<QString, QString> attributeDescriptions;
    QHash<QString, QList<Value>> values; // "element attribute" or " attribute"
    QSet<QString> booleans;
    std::vector<Reference> references; // sorted by name, case aside
    QHash<QString, char32_t> referenceCodes;

    Tables()
    {
        auto words = [](const char *s) {
            return QString::fromLatin1(s).split(u' ', Qt::SkipEmptyParts);
        };
        auto element = [&](const char *name, const char *description, const char *attributes,
                           bool obsolete) {
            Element e{QString::fromLatin1(name), QString::fromUtf8(description), {}, {}, obsolete};
            for (QString a : words(attributes)) {
                if (a.startsWith(u'!')) {
                    a.remove(0, 1);
                    e.obsoleteAttributes.insert(a);
                }
                e.attributes << a;
            }
            elementIndex.insert(e.name, int(elements.size()));
            elements.push_back(std::move(e));
        };
        auto valuesOf = [&](const char *element, const char *attribute, const char *list) {
            QList<Value> &to =
                values[QString::fromLatin1(element) + u' ' + QString::fromLatin1(attribute)];
            for (const QString &v : QString::fromUtf8(list).split(u';', Qt::SkipEmptyParts)) {
                const qsizetype eq = v.indexOf(u'=');
                to.append(eq < 0 ? Value{v, QString()} : Value{v.left(eq), v.mid(eq + 1)});
            }
        };
        auto reference = [&](const QString &name, char32_t code) {
            references.push_back({name, code});
            referenceCodes.insert(name, code);
        };
#define ELEMENT(n, d, a) element(n, d, a, false);
#define OBSOLETE(n, d) element(n, d, "", true);
#define GLOBAL(a) globals << words(a);
#define ATTRIBUTE(n, d) attributeDescriptions.insert(QStringLiteral(n), QStringLiteral(d));
#define VALUES(e, a, v) valuesOf(e, a, v);
#define BOOLEANS(a)                                                                                \
    for (const QString &b : words(a))                                                              \
        booleans.insert(b);
#define LATIN1(a)                                                                                  \
    {                                                                                              \
        char32_t c = 0xA0;                                                                         \
        for (const QString &r : words(a))                                                          \
            reference(r, c++);                                                                     \
    }
#define REFERENCE(n, c) reference(QStringLiteral(n), c);
#include "htmlelements.inc"
#undef ELEMENT
#undef OBSOLETE
#undef GLOBAL
#undef ATTRIBUTE
#undef VALUES
#undef BOOLEANS
#undef LATIN1
#undef REFERENCE
        std::stable_sort(references.begin(), references.end(),
                         [](const Reference &a, const Reference &b) {
                             return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
                         });
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

bool isAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
}

// Whether names are offered in upper case: when the letters typed are, or
// most tag names read are written so.
bool upperCase(QStringView typed, const QList<Markup::Token> &tokens, QStringView text)
{
    int upper = 0, lower = 0;
    for (const QChar c : typed) {
        if (c.isUpper())
            ++upper;
        else if (c.isLower())
            ++lower;
    }
    if (upper && !lower)
        return true;
    upper = lower = 0;
    for (const Markup::Token &t : tokens) {
        if ((t.kind != Markup::TokenKind::StartTag && t.kind != Markup::TokenKind::EndTag)
            || t.nameLength == 0 || t.end() == text.size()) // not the one being typed
            continue;
        (text[t.nameStart].isUpper() ? upper : lower)++;
    }
    return upper > lower;
}

// Gathers the items that fit what was typed, then ranks them.
class Offer {
public:
    Offer(Result *r, bool upper) : m_r(r), m_upper(upper) {}
    void add(const QString &name, const QString &description, bool obsolete, QString insert = {},
             int caretBack = 0, bool reopens = false)
    {
        if (!name.startsWith(m_r->prefix, Qt::CaseInsensitive) || m_seen.contains(name))
            return;
        m_seen.insert(name);
        const QString shown = m_upper ? name.toUpper() : name;
        if (insert.isNull())
            insert = shown;
        else if (m_upper)
            insert.replace(0, name.size(), shown);
        m_r->items.append({shown, description, insert, caretBack, obsolete, reopens});
    }
    // The obsolete last, and those written as typed (case and all) first.
    void rank()
    {
        QList<Item> &items = m_r->items;
        const QString &typed = m_r->prefix;
        std::stable_sort(items.begin(), items.end(), [&typed](const Item &a, const Item &b) {
            if (a.obsolete != b.obsolete)
                return b.obsolete;
            return a.name.startsWith(typed) && !b.name.startsWith(typed);
        });
        if (items.size() > kMaxItems)
            items.resize(kMaxItems);
    }

private:
    Result *m_r;
    bool m_upper;
    QSet<QString> m_seen;
};

QString lower(QStringView s) { return s.toString().toLower(); }

void elementNames(Result &r, bool upper)
{
    // The elements most pages are made of come first, the rest after them
    // in alphabetical order: "<d" offers DIV before DATA.
    static const char *const common[] = {
        "a",       "p",     "div",    "span",   "img",    "ul",      "ol",     "li",     "table",
        "tr",      "td",    "th",     "h1",     "h2",     "h3",      "br",     "hr",     "strong",
        "em",      "b",     "i",      "body",   "head",   "html",    "title",  "meta",   "link",
        "script",  "style", "form",   "input",  "button", "label",   "select", "option", "textarea",
        "section", "nav",   "header", "footer", "main",   "article", "pre",    "code"};
    const Tables &t = tables();
    Offer offer(&r, upper);
    for (const char *name : common) {
        const Element &e = t.elements[size_t(t.elementIndex.value(QLatin1String(name)))];
        offer.add(e.name, e.description, e.obsolete);
    }
    for (const Element &e : t.elements)
        offer.add(e.name, e.description, e.obsolete);
    offer.rank();
}

void attributeNames(Result &r, bool upper, const QSet<QString> &present)
{
    const Tables &t = tables();
    Offer offer(&r, upper);
    auto add = [&](const QString &a, bool obsolete) {
        if (present.contains(a))
            return;
        const QString description = t.attributeDescriptions.value(a);
        if (a.endsWith(u'-')) // data-: the name goes on
            offer.add(a, description, obsolete);
        else
            offer.add(a, description, obsolete, a + QLatin1String("=\"\""), 1, true);
    };
    const auto e = t.elementIndex.constFind(r.element);
    if (e != t.elementIndex.cend()) {
        const Element &el = t.elements[size_t(*e)];
        for (const QString &a : el.attributes)
            add(a, el.obsoleteAttributes.contains(a));
    }
    for (const QString &a : t.globals)
        add(a, false);
    offer.rank();
}

// Values that are addresses of files beside the page.
void files(Result &r, const PageSource &page, Offer &offer)
{
    const QString &typed = r.prefix;
    if (!page.files || typed.startsWith(u'/') || typed.contains(u'\\'))
        return;
    const qsizetype slash = typed.lastIndexOf(u'/');
    const qsizetype colon = typed.indexOf(u':');
    if (colon >= 0 && (slash < 0 || colon < slash))
        return; // a scheme: not a local file
    const QString folder = typed.left(slash + 1);
    const QString rest = typed.mid(slash + 1);
    r.prefixStart += slash + 1;
    r.prefix = rest;
    for (const QString &entry : page.files(folder)) {
        if (entry.startsWith(u'.') && !rest.startsWith(u'.'))
            continue;
        const bool isFolder = entry.endsWith(u'/');
        offer.add(entry, isFolder ? QStringLiteral("Folder") : QStringLiteral("File"), false, entry,
                  0, isFolder);
    }
}

void attributeValues(Result &r, const PageSource &page)
{
    const Tables &t = tables();
    const QString &a = r.attribute;
    // Lists of words: what is typed is the last word.
    if (a == u"class" || a == u"rel" || a == u"sandbox" || a == u"headers"
        || a.startsWith(QLatin1String("aria-"))) {
        const qsizetype space = r.prefix.lastIndexOf(u' ');
        r.prefixStart += space + 1;
        r.prefix = r.prefix.mid(space + 1);
    } else if (a == u"srcset") {
        const qsizetype comma = r.prefix.lastIndexOf(u',');
        qsizetype from = comma + 1;
        while (from < r.prefix.size() && r.prefix[from].isSpace())
            ++from;
        r.prefixStart += from;
        r.prefix = r.prefix.mid(from);
    }
    Offer offer(&r, false);
    for (const QString &key : {r.element + u' ' + a, u' ' + a})
        for (const Value &v : t.values.value(key))
            offer.add(v.name, v.description, false);
    if (t.booleans.contains(a))
        offer.add(a, t.attributeDescriptions.value(a), false);
    if (a == u"class" && page.classes) {
        for (const QString &c : page.classes())
            offer.add(c, QStringLiteral("Class used in this page"), false);
    } else if ((a == u"href" && r.prefix.startsWith(u'#')) || a == u"usemap") {
        if (page.ids) {
            r.prefixStart += 1;
            r.prefix.remove(0, 1);
            for (const QString &id : page.ids())
                offer.add(id, QStringLiteral("Id in this page"), false);
        }
    } else if (a == u"for" || a == u"list" || a == u"form" || a == u"popovertarget"
               || a == u"headers" || a == u"aria-controls" || a == u"aria-labelledby"
               || a == u"aria-describedby") {
        if (page.ids)
            for (const QString &id : page.ids())
                offer.add(id, QStringLiteral("Id in this page"), false);
    } else if (a == u"href" || a == u"src" || a == u"srcset" || a == u"action" || a == u"poster"
               || a == u"data" || a == u"formaction") {
        files(r, page, offer);
    }
    offer.rank();
}

void references(Result &r)
{
    Offer offer(&r, false);
    for (const Reference &ref : tables().references) {
        const QString c = QString::fromUcs4(&ref.code, 1);
        const QString shown = ref.code < 0x21 ? QString() : c + QLatin1String("  ");
        offer.add(
            ref.name,
            shown + QStringLiteral("U+%1").arg(uint(ref.code), 4, 16, QLatin1Char('0')).toUpper(),
            false, ref.name + u';');
    }
    offer.rank();
}

// After "</": the element still open, in the case it was written in.
void endTag(Result &r, QStringView before, Markup::State start)
{
    const std::optional<TagCompletion> open =
        completeTypedTag(before.left(r.prefixStart), {}, start);
    if (!open)
        return;
    const QString name = open->text.chopped(1); // its '>' off
    Offer offer(&r, false);
    offer.add(name, QStringLiteral("Ends the element opened last"), false, name + u'>');
    offer.rank();
}

// Reads the ids and classes of the tags.
bool cssNameChar(QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_'; }

void addName(QStringList *to, QStringView name, int max)
{
    if (name.isEmpty() || to->size() >= max || name.size() > 200)
        return;
    const QString s = name.toString();
    if (!to->contains(s))
        to->append(s);
}

class NameSink : public Markup::TokenSink {
public:
    NameSink(QStringList *ids, QStringList *classes, int max, QStringList *stylesheets)
        : m_ids(ids), m_classes(classes), m_stylesheets(stylesheets), m_max(max)
    {
        wantsText = false;
        wantsReferences = false;
    }
    void token(QStringView text, const Markup::Token &t) override
    {
        switch (t.kind) {
        case Markup::TokenKind::StartTag:
            m_link = Markup::sameName(text.mid(t.nameStart, t.nameLength), u"link");
            m_rel = false;
            m_href.clear();
            return;
        case Markup::TokenKind::TagEnd:
            if (m_link && m_rel && m_stylesheets && m_stylesheets->size() < 16)
                addName(m_stylesheets, m_href, 16);
            m_link = false;
            return;
        case Markup::TokenKind::RawText:
            if (t.element == Markup::Element::Style)
                cssClassNames(text.mid(t.start, t.length), m_classes, m_max);
            return;
        case Markup::TokenKind::AttributeName: {
            const QStringView name = text.mid(t.start, t.length);
            m_in = Markup::sameName(name, u"id")               ? 1
                   : Markup::sameName(name, u"class")          ? 2
                   : m_link && Markup::sameName(name, u"rel")  ? 3
                   : m_link && Markup::sameName(name, u"href") ? 4
                                                               : 0;
            return;
        }
        default:
            break;
        }
        if (t.kind != Markup::TokenKind::AttributeValue || !m_in)
            return;
        QStringView v = text.mid(t.start, t.length);
        if (!v.isEmpty() && (v.front() == u'"' || v.front() == u'\''))
            v = v.mid(1);
        if (!v.isEmpty() && (v.back() == u'"' || v.back() == u'\''))
            v.chop(1);
        if (m_in == 1) {
            add(m_ids, m_seenIds, v.trimmed());
        } else if (m_in == 2) {
            for (const QStringView c : v.split(u' ', Qt::SkipEmptyParts))
                add(m_classes, m_seenClasses, c);
        } else if (m_in == 3) {
            for (const QStringView r : v.split(u' ', Qt::SkipEmptyParts))
                m_rel = m_rel || Markup::sameName(r, u"stylesheet");
        } else {
            m_href = v.trimmed().toString();
        }
        m_in = 0;
        stop = m_ids->size() >= m_max && m_classes->size() >= m_max && !m_stylesheets;
    }

private:
    void add(QStringList *to, QSet<QString> &seen, QStringView name)
    {
        if (name.isEmpty() || to->size() >= m_max || name.size() > 200)
            return;
        const QString s = name.toString();
        if (!seen.contains(s)) {
            seen.insert(s);
            to->append(s);
        }
    }
    QStringList *m_ids, *m_classes, *m_stylesheets;
    QSet<QString> m_seenIds, m_seenClasses;
    int m_max;
    int m_in = 0; // the value coming: an id's, a class's, a link's rel or href
    bool m_link = false, m_rel = false;
    QString m_href;
};
} // namespace

void collectNames(QStringView text, Markup::State start, QStringList *ids, QStringList *classes,
                  int max, QStringList *stylesheets)
{
    NameSink sink(ids, classes, max, stylesheets);
    Markup::scan(text, start, &sink);
}

void cssClassNames(QStringView css, QStringList *classes, int max)
{
    // Selectors come before '{'; what follows is declarations, except
    // after an at-rule that holds rules (@media, @supports...).
    int skipDepth = 0; // inside a declaration block: its nesting
    qsizetype prelude = 0;
    for (qsizetype i = 0; i < css.size() && classes->size() < max; ++i) {
        const QChar c = css[i];
        if (c == u'/' && i + 1 < css.size() && css[i + 1] == u'*') {
            const qsizetype end = css.indexOf(u"*/", i + 2);
            i = end < 0 ? css.size() : end + 1;
        } else if (c == u'"' || c == u'\'') {
            const qsizetype end = css.indexOf(c, i + 1);
            i = end < 0 ? css.size() : end;
        } else if (c == u'{') {
            if (skipDepth > 0) {
                ++skipDepth;
            } else {
                const QStringView head = css.mid(prelude, i - prelude).trimmed();
                if (!(head.startsWith(u"@media") || head.startsWith(u"@supports")
                      || head.startsWith(u"@layer") || head.startsWith(u"@container")))
                    skipDepth = 1;
            }
            prelude = i + 1;
        } else if (c == u'}') {
            if (skipDepth > 0)
                --skipDepth;
            prelude = i + 1;
        } else if (c == u';' && skipDepth == 0) {
            prelude = i + 1;
        } else if (c == u'.' && skipDepth == 0 && i + 1 < css.size()
                   && (css[i + 1].isLetter() || css[i + 1] == u'_' || css[i + 1] == u'-')) {
            qsizetype end = i + 1;
            while (end < css.size() && cssNameChar(css[end]))
                ++end;
            addName(classes, css.mid(i + 1, end - i - 1), max);
            i = end - 1;
        }
    }
}

QString referenceCharacter(QStringView name)
{
    const auto c = tables().referenceCodes.constFind(name.toString());
    if (c == tables().referenceCodes.cend())
        return QString();
    const char32_t code = *c;
    return QString::fromUcs4(&code, 1);
}

Result complete(QStringView before, Markup::State start, const PageSource &page)
{
    using Markup::Mode;
    using Markup::Phase;
    using Markup::TokenKind;
    Result r;
    const qsizetype n = before.size();
    r.prefixStart = n;
    Markup::State end;
    const QList<Markup::Token> tokens = Markup::tokens(before, start, &end);
    // The tag the caret is in: its start token and the attributes it has.
    qsizetype tag = -1;
    for (qsizetype i = tokens.size() - 1; i >= 0; --i) {
        const TokenKind k = tokens[i].kind;
        if (k == TokenKind::TagEnd)
            break;
        if (k == TokenKind::StartTag || k == TokenKind::EndTag || k == TokenKind::Declaration) {
            tag = i;
            break;
        }
    }
    const Markup::Token *last = tokens.isEmpty() ? nullptr : &tokens.last();
    const bool inValue =
        end.mode == Mode::Tag && (end.phase == Phase::InDouble || end.phase == Phase::InSingle);

    qsizetype w = n;
    while (w > 0 && n - w < 32 && isAsciiAlnum(before[w - 1]))
        --w;
    if (w > 0 && before[w - 1] == u'&'
        && (end.mode == Mode::Text || end.mode == Mode::Title || end.mode == Mode::Textarea
            || inValue)) {
        r.place = Place::Reference;
        r.prefixStart = w;
        r.prefix = before.mid(w).toString();
        references(r);
        return r;
    }

    auto tagElement = [&] {
        if (tag >= 0 && tokens[tag].kind == TokenKind::StartTag)
            r.element = lower(before.mid(tokens[tag].nameStart, tokens[tag].nameLength));
    };
    if (last && last->end() == n
        && (last->kind == TokenKind::StartTag || last->kind == TokenKind::EndTag)
        && last->nameStart + last->nameLength == n) {
        r.prefixStart = last->nameStart;
        r.prefix = before.mid(last->nameStart, last->nameLength).toString();
        if (last->kind == TokenKind::StartTag) {
            r.place = Place::ElementName;
            elementNames(r, upperCase(r.prefix, tokens, before));
        } else {
            r.place = Place::EndTag;
            endTag(r, before, start);
        }
        return r;
    }
    if (end.mode == Mode::Tag && !end.endTag && tag >= 0
        && tokens[tag].kind == TokenKind::StartTag) {
        tagElement();
        if (inValue && last && last->kind == TokenKind::AttributeValue && last->end() == n) {
            r.place = Place::AttributeValue;
            r.prefixStart = last->start + 1; // after the quote
            r.prefix = before.mid(r.prefixStart).toString();
            for (qsizetype i = tokens.size() - 1; i > tag; --i)
                if (tokens[i].kind == TokenKind::AttributeName) {
                    r.attribute = lower(before.mid(tokens[i].start, tokens[i].length));
                    break;
                }
            attributeValues(r, page);
            return r;
        }
        const bool naming = last && last->kind == TokenKind::AttributeName && last->end() == n;
        if (naming
            || ((end.phase == Phase::BetweenAttributes || end.phase == Phase::AfterName) && n > 0
                && before[n - 1].isSpace())) {
            r.place = Place::AttributeName;
            r.prefixStart = naming ? last->start : n;
            r.prefix = before.mid(r.prefixStart).toString();
            QSet<QString> present;
            for (qsizetype i = tag + 1; i < tokens.size(); ++i)
                if (tokens[i].kind == TokenKind::AttributeName && &tokens[i] != last)
                    present.insert(lower(before.mid(tokens[i].start, tokens[i].length)));
            attributeNames(r, upperCase(r.prefix, tokens, before), present);
        }
        return r;
    }
    if (end.mode == Mode::Text && before.endsWith(u"</")) {
        r.place = Place::EndTag;
        r.prefixStart = n;
        endTag(r, before, start);
    } else if (end.mode == Mode::Text && before.endsWith(u'<')) {
        r.place = Place::ElementName;
        r.prefixStart = n;
        elementNames(r, upperCase({}, tokens, before));
    }
    return r;
}

} // namespace Completion
