#include "abbreviation.h"
#include "abbreviationtree.h"

#include <QHash>
#include <algorithm>
#include <vector>

namespace {
using namespace Abbreviation;

constexpr int kMaxRun = 16384;            // characters read back from the caret
constexpr int kMaxTries = 8;              // runs tried, the longest first
constexpr qsizetype kMaxMarkup = 4 << 20; // characters an expansion may write

// Written on one line with their parent when all their children are too.
bool isInline(QStringView name)
{
    static const char *const kInline[] = {
        "a",      "abbr", "b",      "bdi",      "bdo",  "br",   "button", "cite",  "code",
        "data",   "del",  "dfn",    "em",       "i",    "img",  "input",  "ins",   "kbd",
        "label",  "mark", "output", "q",        "s",    "samp", "select", "small", "span",
        "strong", "sub",  "sup",    "textarea", "time", "u",    "var",    "wbr"};
    return oneOf(name, kInline);
}

QString implicitName(QStringView parent)
{
    static const char *const kList[] = {"ul", "ol"};
    static const char *const kTable[] = {"table", "tbody", "thead", "tfoot"};
    static const char *const kSelect[] = {"select", "optgroup", "datalist"};
    if (oneOf(parent, kList))
        return QStringLiteral("li");
    if (oneOf(parent, kTable))
        return QStringLiteral("tr");
    if (isName(parent, "tr"))
        return QStringLiteral("td");
    if (oneOf(parent, kSelect))
        return QStringLiteral("option");
    if (!parent.isEmpty() && isInline(parent))
        return QStringLiteral("span");
    return QStringLiteral("div");
}

QList<Attr> defaultAttrs(QStringView name)
{
    const auto is = [name](const char *n) { return isName(name, n); };
    const auto empty = [](const char *n) { return Attr{QString::fromLatin1(n), {}, false}; };
    if (is("a"))
        return {empty("href")};
    if (is("img"))
        return {empty("src"), empty("alt")};
    if (is("link"))
        return {Attr{QStringLiteral("rel"), QStringLiteral("stylesheet"), false}, empty("href")};
    if (is("input"))
        return {Attr{QStringLiteral("type"), QStringLiteral("text"), false}};
    if (is("label"))
        return {empty("for")};
    if (is("form"))
        return {empty("action")};
    return {};
}

// Filler words, the same on every expansion; the first five begin the
// customary filler sentence.
const char *const kWords[] = {
    "lorem",  "ipsum",  "dolor",    "sit",     "amet",   "campus",   "silva",  "mare",    "ventus",
    "porta",  "lumen",  "ager",     "nubes",   "flumen", "saxum",    "tempus", "via",     "domus",
    "ignis",  "aqua",   "terra",    "caelum",  "stella", "arbor",    "folium", "murus",   "pons",
    "navis",  "hortus", "fenestra", "liber",   "verbum", "lingua",   "vox",    "manus",   "pes",
    "oculus", "cor",    "mens",     "animus",  "annus",  "hora",     "dies",   "nox",     "lux",
    "umbra",  "color",  "forma",    "numerus", "ordo",   "modus",    "finis",  "initium", "pars",
    "totum",  "signum", "nomen",    "ratio",   "causa",  "effectus", "opus",   "ars",     "usus"};
constexpr int kWordCount = int(sizeof kWords / sizeof *kWords);
// Sentence lengths in words, in turn.
constexpr int kSentences[] = {8, 12, 6, 10, 14, 7, 9, 11};

struct Numbering {
    int index = 0;
    int count = 1;
    bool counted = false; // '$' is left as it is outside any count
};

// '$' runs replaced by the number of the nearest counted node: "$$" pads to
// two digits, "@-" counts down, "@N" starts at N.
QString numbered(const QString &s, Numbering n)
{
    if (!n.counted || !s.contains(u'$'))
        return s;
    QString out;
    for (qsizetype i = 0; i < s.size();) {
        if (s[i] != u'$') {
            out += s[i++];
            continue;
        }
        qsizetype k = i;
        while (k < s.size() && s[k] == u'$')
            ++k;
        const int width = int(k - i);
        bool down = false;
        qint64 base = 1;
        if (k < s.size() && s[k] == u'@') {
            ++k;
            if (k < s.size() && s[k] == u'-') {
                down = true;
                ++k;
            }
            const qsizetype digits = k;
            qint64 v = 0;
            for (; k < s.size() && s[k] >= u'0' && s[k] <= u'9' && k - digits < 9; ++k)
                v = v * 10 + (s[k].unicode() - u'0');
            if (k > digits)
                base = v;
        }
        const qint64 value = base + (down ? n.count - 1 - n.index : n.index);
        out += QString::number(value).rightJustified(width, u'0');
        i = k;
    }
    return out;
}

// One element or text of the expansion.
struct Item {
    QString name; // empty for a text
    QList<Attr> attrs;
    QString text;
    int first = -1, last = -1, next = -1; // its children, in order
    bool voidName = false;
    bool inlineName = false;
    bool oneLine = true;  // its children written on its line
    bool isInline = true; // it goes on its parent's line when its siblings do
};

class Writer {
public:
    Writer(const std::vector<Node> &nodes, const AbbreviationOptions &o) : m_nodes(nodes), m_o(o) {}
    bool build(const QList<int> &top);
    bool write(Expansion *e);
    QString error;

private:
    int addItem(int parent, Item it);
    bool spent(qsizetype characters);
    QString lorem(int words);
    // What an element's name makes of it, looked up once a name.
    struct Kind {
        QList<Attr> attrs; // the usual ones
        bool voidName = false;
        bool inlineName = false;
    };
    const Kind &kindOf(const QString &name);

    const std::vector<Node> &m_nodes;
    const AbbreviationOptions &m_o;
    std::vector<Item> m_items; // [0]: the top, holding what the abbreviation makes
    QHash<QString, Kind> m_kinds;
    qsizetype m_spent = 0;
    int m_word = 0;
    int m_sentence = 0;
};

int Writer::addItem(int parent, Item it)
{
    m_items.push_back(std::move(it));
    const int i = int(m_items.size()) - 1;
    Item &p = m_items[size_t(parent)];
    (p.last < 0 ? p.first : m_items[size_t(p.last)].next) = i;
    p.last = i;
    return i;
}

const Writer::Kind &Writer::kindOf(const QString &name)
{
    auto k = m_kinds.constFind(name);
    if (k == m_kinds.cend())
        k = m_kinds.insert(name, Kind{defaultAttrs(name), isVoid(name), isInline(name)});
    return *k;
}

bool Writer::spent(qsizetype characters)
{
    m_spent += characters;
    if (m_spent <= kMaxMarkup)
        return true;
    error = QStringLiteral("The abbreviation would make too much markup");
    return false;
}

QString Writer::lorem(int words)
{
    QString out;
    int inSentence = 0;
    for (int w = 0; w < words; ++w) {
        QString word = QString::fromLatin1(kWords[m_word++ % kWordCount]);
        if (inSentence == 0)
            word[0] = word[0].toUpper();
        if (w > 0)
            out += QLatin1Char(' ');
        out += word;
        const int length = kSentences[m_sentence % int(std::size(kSentences))];
        if (++inSentence == length || w == words - 1) {
            out += QLatin1Char('.');
            inSentence = 0;
            ++m_sentence;
        }
    }
    return out;
}

bool Writer::build(const QList<int> &top)
{
    struct Frame {
        int node;
        int parent; // item
        Numbering num;
        bool repeated; // one of its count's instances
    };
    std::vector<Frame> stack;
    const auto push = [&stack](const QList<int> &nodes, int parent, Numbering num) {
        for (auto n = nodes.crbegin(); n != nodes.crend(); ++n)
            stack.push_back({*n, parent, num, false});
    };
    m_items.assign(1, Item{});
    push(top, 0, {});
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        const Node &n = m_nodes[size_t(f.node)];
        if (n.counted && !f.repeated) {
            for (int i = n.count - 1; i >= 0; --i)
                stack.push_back({f.node, f.parent, {i, n.count, true}, true});
            continue;
        }
        Item it;
        switch (n.kind) {
        case Node::Group:
            push(n.children, f.parent, f.num);
            continue;
        case Node::Text:
            it.text = numbered(n.text, f.num);
            break;
        case Node::Lorem:
            it.text = lorem(n.words);
            break;
        case Node::Element: {
            it.name = n.name.isEmpty() ? implicitName(m_items[size_t(f.parent)].name)
                                       : numbered(n.name, f.num);
            const Kind &kind = kindOf(it.name);
            it.attrs = kind.attrs;
            it.voidName = kind.voidName;
            it.inlineName = kind.inlineName;
            for (const Attr &a : n.attrs)
                setAttr(it.attrs, Attr{numbered(a.name, f.num), numbered(a.value, f.num), a.bare});
            if (m_o.upperCase) {
                it.name = it.name.toUpper();
                for (Attr &a : it.attrs)
                    a.name = a.name.toUpper();
            }
            qsizetype size = 2 * it.name.size() + 5;
            for (const Attr &a : std::as_const(it.attrs))
                size += a.name.size() + a.value.size() + 4;
            if (!spent(size))
                return false;
            const int at = addItem(f.parent, std::move(it));
            const QString text = numbered(n.text, f.num);
            if (!text.isEmpty()) {
                Item t;
                t.text = text;
                if (!spent(text.size()))
                    return false;
                addItem(at, std::move(t));
            }
            push(n.children, at, f.num);
            continue;
        }
        }
        if (!it.text.isEmpty() && spent(it.text.size()))
            addItem(f.parent, std::move(it));
        if (!error.isEmpty())
            return false;
    }
    // Children come after their parents: read backwards, each knows its own
    // before its parent asks.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        for (int c = it->first; c >= 0 && it->oneLine; c = m_items[size_t(c)].next)
            it->oneLine = m_items[size_t(c)].isInline;
        it->isInline = it->name.isEmpty() || (it->oneLine && it->inlineName);
    }
    return true;
}

bool Writer::write(Expansion *e)
{
    QString &out = e->markup;
    out.reserve(std::min(kMaxMarkup, m_spent + m_spent / 2));
    const auto closeTag = [&out](const QString &name) {
        out += QLatin1String("</");
        out += name;
        out += QLatin1Char('>');
    };
    // The elements open (the top first, at depth -1), each with the next
    // child to write: children are indented a level deeper than their
    // parent, unless they are written on its line.
    struct Open {
        int item;
        int child;
        int depth;
    };
    std::vector<Open> open{{0, m_items[0].first, -1}};
    while (!open.empty()) {
        Open &o = open.back();
        const Item &parent = m_items[size_t(o.item)];
        const int depth = o.depth;
        const int c = o.child;
        if (!parent.oneLine && (o.item > 0 || (c >= 0 && c != parent.first))) {
            out += m_o.lineBreak;
            out += m_o.lineIndent;
            for (int d = c >= 0 ? depth + 1 : depth; d > 0; --d)
                out += m_o.indentUnit;
        }
        if (c < 0) {
            if (o.item > 0)
                closeTag(parent.name);
            open.pop_back();
            continue;
        }
        const Item &it = m_items[size_t(c)];
        o.child = it.next;
        if (it.name.isEmpty()) {
            out += it.text;
            continue;
        }
        out += QLatin1Char('<');
        out += it.name;
        for (const Attr &a : it.attrs) {
            out += QLatin1Char(' ');
            out += a.name;
            if (a.bare)
                continue;
            out += QLatin1String("=\"");
            if (a.value.isEmpty())
                e->emptySpots << int(out.size());
            if (a.value.contains(QLatin1Char('"')))
                out += QString(a.value).replace(QLatin1Char('"'), QLatin1String("&quot;"));
            else
                out += a.value;
            out += QLatin1Char('"');
        }
        out += QLatin1Char('>');
        if (it.first >= 0) {
            open.push_back({c, it.first, depth + 1});
        } else if (!it.voidName) {
            e->emptySpots << int(out.size());
            closeTag(it.name);
        }
        if (out.size() > kMaxMarkup) {
            error = QStringLiteral("The abbreviation would make too much markup");
            return false;
        }
    }
    return true;
}

// Where the bracket or brace closed at `close` opens, reading back no
// further than `limit`; -1 when it does not.
qsizetype opener(QStringView line, qsizetype close, qsizetype limit)
{
    if (line[close] == u'}') {
        int depth = 0;
        for (qsizetype j = close; j >= limit; --j) {
            if (line[j] == u'}')
                ++depth;
            else if (line[j] == u'{' && --depth == 0)
                return j;
        }
        return -1;
    }
    for (qsizetype j = close - 1; j >= limit; --j) {
        const QChar c = line[j];
        if (c == u'[')
            return j;
        if (c == u'"' || c == u'\'') {
            // A quoted value is passed over; a lone quote is a value's own ("it's").
            qsizetype k = j - 1;
            while (k >= limit && line[k] != c)
                --k;
            if (k >= limit)
                j = k;
        }
    }
    return -1;
}

// Whether `pos` is inside a tag: a '<' opening one comes before it, with no
// '>' between.
bool inTag(QStringView line, qsizetype pos, qsizetype limit)
{
    for (qsizetype j = pos - 1; j >= limit; --j) {
        if (line[j] == u'>')
            return false;
        if (line[j] == u'<' && j + 1 < line.size()
            && (line[j + 1].isLetter() || line[j + 1] == u'/' || line[j + 1] == u'!'))
            return true;
    }
    return false;
}

// false with e->error when it is not one; `refused` tells one too large.
bool expand(QStringView abbreviation, const AbbreviationOptions &o, Expansion *e, bool *refused)
{
    const Tree t = read(abbreviation, o.maxElements);
    if (!t.error.isEmpty()) {
        e->error = t.error;
        *refused = t.refused;
        return false;
    }
    Writer w(t.nodes, o);
    if (w.build(t.top) && w.write(e)) {
        if (!e->markup.isEmpty())
            return true;
        e->error = QStringLiteral("The abbreviation makes nothing");
        return false;
    }
    e->error = w.error;
    *refused = true;
    return false;
}

// '!': a page in the page's charset.
bool skeleton(const AbbreviationOptions &o, Expansion *e)
{
    QString charset = o.charset;
    charset.remove(QLatin1Char('"'));
    if (charset.isEmpty())
        charset = QStringLiteral("UTF-8");
    const QString page =
        QStringLiteral("html[lang=en]>(head>meta[charset=\"%1\"]+meta[name=viewport "
                       "content=\"width=device-width, initial-scale=1.0\"]+title)+body")
            .arg(charset);
    bool refused = false;
    if (!expand(page, o, e, &refused))
        return false;
    const QString doctype = QStringLiteral("<!DOCTYPE html>") + o.lineBreak + o.lineIndent;
    e->markup.prepend(doctype);
    for (int &spot : e->emptySpots)
        spot += int(doctype.size());
    return true;
}
} // namespace

Expansion expandAbbreviation(QStringView line, const AbbreviationOptions &o)
{
    // Where an abbreviation may start, the shortest first: where the run
    // back from the caret ends at a space or the line's start, and after a
    // '>' that ends a tag ("<p>ul" is no "p>ul", "<p hidden>ul" no "hidden>ul").
    QList<qsizetype> starts;
    QString unbalanced;
    const qsizetype end = line.size();
    const qsizetype limit = std::max<qsizetype>(0, end - kMaxRun);
    qsizetype i = end;
    bool atSpace = false;
    while (i > limit) {
        const QChar c = line[i - 1];
        if (c == u'}' || c == u']') {
            const qsizetype open = opener(line, i - 1, limit);
            if (open < 0) {
                unbalanced = QStringLiteral("Unbalanced %1 in the abbreviation")
                                 .arg(QLatin1String(c == u'}' ? "brace" : "bracket"));
                break;
            }
            i = open;
            continue;
        }
        if (c.isSpace()) {
            atSpace = true;
            break;
        }
        if (c == u'>') {
            if (i < end && inTag(line, i - 1, limit))
                starts << i;
        } else if (!isNameChar(c) && !QStringView(u"#.*+^()!").contains(c)) {
            break;
        }
        --i;
    }
    if ((atSpace || i == 0) && i < end && unbalanced.isEmpty() && !inTag(line, i, limit))
        starts << i;
    // Reading back stops at an opening one's inside ("a[title=x"): say so.
    for (qsizetype j = end - 1; starts.isEmpty() && unbalanced.isEmpty() && j >= limit; --j) {
        if (line[j].isSpace() || line[j] == u']' || line[j] == u'}')
            break;
        if (line[j] == u'[' || line[j] == u'{')
            unbalanced = QStringLiteral("Unbalanced %1 in the abbreviation")
                             .arg(QLatin1String(line[j] == u'{' ? "brace" : "bracket"));
    }

    Expansion e;
    if (starts.isEmpty()) {
        e.error = !unbalanced.isEmpty() ? unbalanced
                  : i == limit && i > 0 ? QStringLiteral("The abbreviation is too long")
                                        : QStringLiteral("Nothing to expand before the caret");
        e.nothing = unbalanced.isEmpty() && !(i == limit && i > 0);
        return e;
    }
    QString firstError;
    for (qsizetype k = starts.size() - 1; k >= 0 && k >= starts.size() - kMaxTries; --k) {
        Expansion tried;
        const QStringView abbreviation = line.sliced(starts[k]);
        bool refused = false;
        if (abbreviation == u"!" ? skeleton(o, &tried)
                                 : expand(abbreviation, o, &tried, &refused)) {
            tried.abbreviationStart = int(starts[k]);
            return tried;
        }
        // One too large is refused, not cut down to a shorter one.
        if (refused)
            return Expansion{-1, {}, {}, tried.error};
        if (firstError.isEmpty())
            firstError = tried.error;
    }
    e.error = firstError;
    return e;
}
