#include "abbreviationtree.h"

#include <QLocale>
#include <algorithm>

namespace Abbreviation {
namespace {
constexpr int kMaxDepth = 100; // levels of nesting

// Written bare when given without a value ("[disabled]").
bool isBoolean(QStringView name)
{
    static const char *const kBoolean[] = {
        "async",    "autofocus",  "checked", "controls", "defer",    "disabled", "hidden",
        "multiple", "novalidate", "open",    "readonly", "required", "reversed", "selected"};
    return oneOf(name, kBoolean);
}

class Parser {
public:
    Parser(QStringView s, int maxElements) : m_s(s), m_max(maxElements) {}
    bool parse();
    std::vector<Node> nodes;
    QList<int> top;
    QString error;
    bool refused = false; // too large rather than no abbreviation

private:
    bool fail(const QString &e)
    {
        error = e;
        return false;
    }
    bool unexpected()
    {
        if (m_pos >= m_s.size())
            return fail(QStringLiteral("Nothing follows \"%1\" in the abbreviation")
                            .arg(m_pos > 0 ? m_s[m_pos - 1] : QChar(u' ')));
        return fail(QStringLiteral("Unexpected \"%1\" in the abbreviation").arg(m_s[m_pos]));
    }
    bool refuse(const QString &e)
    {
        refused = true;
        return fail(e);
    }
    bool tooMany(const char *what = "elements")
    {
        return refuse(QStringLiteral("The abbreviation would make more than %1 %2")
                          .arg(QLocale(QLocale::English).toString(m_max), QLatin1String(what)));
    }
    bool at(char16_t c) const { return m_pos < m_s.size() && m_s[m_pos] == c; }
    QString name();
    bool element(Node &n);
    bool attributes(Node &n);
    bool text(Node &n);
    bool count(int *n);
    int add(Node n, int parent);
    bool counted(qint64 instances);

    QStringView m_s;
    qsizetype m_pos = 0;
    int m_max;
    // The groups open, each with the instances of what it holds so far.
    struct Open {
        int group;
        qint64 inner;
    };
    std::vector<Open> m_open;
    qint64 m_total = 0;
};

QString Parser::name()
{
    const qsizetype from = m_pos;
    while (m_pos < m_s.size() && isNameChar(m_s[m_pos]))
        ++m_pos;
    return m_s.sliced(from, m_pos - from).toString();
}

bool Parser::count(int *n)
{
    if (!at(u'*'))
        return true;
    ++m_pos;
    qint64 v = 0;
    const qsizetype from = m_pos;
    while (m_pos < m_s.size() && m_s[m_pos].isDigit() && m_s[m_pos].unicode() < 128) {
        v = std::min<qint64>(v * 10 + (m_s[m_pos].unicode() - u'0'), qint64(m_max) + 1);
        ++m_pos;
    }
    if (m_pos == from)
        return fail(QStringLiteral("A number must follow \"*\" in the abbreviation"));
    if (v == 0)
        return fail(QStringLiteral("\"*0\" makes nothing"));
    if (v > m_max)
        return tooMany();
    *n = int(v);
    return true;
}

bool Parser::attributes(Node &n)
{
    ++m_pos; // '['
    for (;;) {
        while (m_pos < m_s.size() && m_s[m_pos].isSpace())
            ++m_pos;
        if (m_pos >= m_s.size())
            return fail(QStringLiteral("Unbalanced bracket in the abbreviation"));
        if (at(u']')) {
            ++m_pos;
            return true;
        }
        Attr a;
        const qsizetype from = m_pos;
        while (m_pos < m_s.size() && !m_s[m_pos].isSpace() && !at(u'=') && !at(u']') && !at(u'"')
               && !at(u'\''))
            ++m_pos;
        a.name = m_s.sliced(from, m_pos - from).toString();
        if (a.name.isEmpty())
            return unexpected();
        if (!at(u'=')) {
            a.bare = isBoolean(a.name);
            setAttr(n.attrs, a);
            continue;
        }
        ++m_pos;
        if (at(u'"') || at(u'\'')) {
            const QChar q = m_s[m_pos];
            const qsizetype end = m_s.indexOf(q, m_pos + 1);
            if (end < 0)
                return fail(QStringLiteral("Unclosed quote in the abbreviation"));
            a.value = m_s.sliced(m_pos + 1, end - m_pos - 1).toString();
            m_pos = end + 1;
        } else {
            const qsizetype v = m_pos;
            while (m_pos < m_s.size() && !m_s[m_pos].isSpace() && !at(u']'))
                ++m_pos;
            a.value = m_s.sliced(v, m_pos - v).toString();
        }
        setAttr(n.attrs, a);
    }
}

bool Parser::text(Node &n)
{
    int depth = 0;
    const qsizetype from = m_pos + 1;
    for (qsizetype i = m_pos; i < m_s.size(); ++i) {
        if (m_s[i] == u'{')
            ++depth;
        else if (m_s[i] == u'}' && --depth == 0) {
            n.text += m_s.sliced(from, i - from);
            n.hasText = true;
            m_pos = i + 1;
            return true;
        }
    }
    return fail(QStringLiteral("Unbalanced brace in the abbreviation"));
}

bool Parser::element(Node &n)
{
    const qsizetype from = m_pos;
    if (m_pos < m_s.size() && isNameChar(m_s[m_pos]) && !m_s[m_pos].isLetter())
        return unexpected(); // "$", "2x": no element's name
    n.name = name();
    for (;;) {
        if (at(u'#') || at(u'.')) {
            const bool id = at(u'#');
            ++m_pos;
            const QString v = name();
            if (v.isEmpty())
                return fail(QStringLiteral("A name must follow \"%1\" in the abbreviation")
                                .arg(QLatin1Char(id ? '#' : '.')));
            setAttr(n.attrs, Attr{QString::fromLatin1(id ? "id" : "class"), v, false});
        } else if (at(u'[')) {
            if (!attributes(n))
                return false;
        } else if (at(u'{')) {
            if (!text(n))
                return false;
        } else {
            break;
        }
    }
    if (m_pos == from)
        return unexpected();
    const auto lorem = [](QStringView s, int *words) {
        const QStringView digits = s.sliced(std::min<qsizetype>(5, s.size()));
        if (!s.startsWith(u"lorem", Qt::CaseInsensitive) || digits.size() > 5)
            return false;
        for (const QChar c : digits)
            if (c < u'0' || c > u'9')
                return false;
        *words = digits.isEmpty() ? 30 : digits.toInt();
        return true;
    };
    if (n.name.isEmpty() && n.attrs.isEmpty())
        n.kind = Node::Text;
    else if (n.attrs.isEmpty() && !n.hasText && lorem(n.name, &n.words))
        n.kind = Node::Lorem;
    if (n.kind == Node::Lorem && n.words > m_max)
        return tooMany("words");
    if (n.hasText && isVoid(n.name))
        return fail(QStringLiteral("<%1> takes no content").arg(n.name));
    const qsizetype before = m_pos;
    if (!count(&n.count))
        return false;
    n.counted = m_pos > before;
    return true;
}

int Parser::add(Node n, int parent)
{
    n.parent = parent;
    n.depth = parent < 0 ? 1 : nodes[size_t(parent)].depth + 1;
    n.factor = (parent < 0 ? 1 : nodes[size_t(parent)].factor) * n.count;
    nodes.push_back(std::move(n));
    const int i = int(nodes.size()) - 1;
    (parent < 0 ? top : nodes[size_t(parent)].children) << i;
    return i;
}

// Instances of a node (an element, a text or a closed group) added to what
// holds it: the innermost open group's count is not known yet.
bool Parser::counted(qint64 instances)
{
    qint64 &sum = m_open.empty() ? m_total : m_open.back().inner;
    sum += instances;
    return sum <= m_max || tooMany();
}

bool Parser::parse()
{
    int parent = -1;
    int last = -1;
    for (;;) {
        const int depth = parent < 0 ? 1 : nodes[size_t(parent)].depth + 1;
        if (depth > kMaxDepth)
            return refuse(
                QStringLiteral("The abbreviation nests more than %1 levels deep").arg(kMaxDepth));
        if (at(u'(')) {
            ++m_pos;
            Node g;
            g.kind = Node::Group;
            parent = add(std::move(g), parent);
            m_open.push_back({parent, 0});
            continue;
        }
        Node n;
        if (!element(n))
            return false;
        last = add(std::move(n), parent);
        if (!counted(nodes[size_t(last)].factor))
            return false;
        while (at(u')')) {
            if (m_open.empty())
                return fail(QStringLiteral("Unbalanced parenthesis in the abbreviation"));
            const Open o = m_open.back();
            m_open.pop_back();
            ++m_pos;
            Node &g = nodes[size_t(o.group)];
            const qsizetype before = m_pos;
            if (!count(&g.count))
                return false;
            g.counted = m_pos > before;
            g.factor *= g.count;
            if (!counted(o.inner * g.count))
                return false;
            last = o.group;
            parent = g.parent;
        }
        if (m_pos >= m_s.size())
            break;
        if (at(u'>')) {
            const Node &l = nodes[size_t(last)];
            if (l.kind == Node::Text || l.kind == Node::Lorem)
                return fail(QStringLiteral("Text holds no elements"));
            if (l.kind == Node::Element && isVoid(l.name))
                return fail(QStringLiteral("<%1> takes no content").arg(l.name));
            parent = last;
            ++m_pos;
        } else if (at(u'+')) {
            ++m_pos;
        } else if (at(u'^')) {
            // Up one level a '^', never out of the group it is in.
            const int floor = m_open.empty() ? -1 : m_open.back().group;
            for (; at(u'^'); ++m_pos)
                if (parent != floor)
                    parent = nodes[size_t(parent)].parent;
        } else {
            return unexpected();
        }
        if (m_pos >= m_s.size())
            return unexpected();
    }
    if (!m_open.empty())
        return fail(QStringLiteral("Unbalanced parenthesis in the abbreviation"));
    return true;
}

} // namespace

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'$' || c == u'@';
}

bool isName(QStringView name, const char *lower)
{
    qsizetype i = 0;
    for (; lower[i]; ++i) {
        if (i == name.size())
            return false;
        char16_t c = name[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != char16_t(lower[i]))
            return false;
    }
    return i == name.size();
}

bool isVoid(QStringView name)
{
    static const char *const kVoid[] = {"area",  "base", "br",   "col",    "embed", "hr", "img",
                                        "input", "link", "meta", "source", "track", "wbr"};
    return oneOf(name, kVoid);
}

void setAttr(QList<Attr> &attrs, const Attr &a)
{
    for (Attr &e : attrs) {
        if (e.name.compare(a.name, Qt::CaseInsensitive) != 0)
            continue;
        if (e.name.compare(u"class", Qt::CaseInsensitive) == 0 && !e.value.isEmpty()
            && !a.value.isEmpty())
            e.value += QLatin1Char(' ') + a.value;
        else
            e = a;
        return;
    }
    attrs << a;
}

Tree read(QStringView abbreviation, int maxElements)
{
    Parser p(abbreviation, maxElements);
    Tree t;
    if (!p.parse()) {
        t.error = p.error;
        t.refused = p.refused;
        return t;
    }
    t.nodes = std::move(p.nodes);
    t.top = std::move(p.top);
    return t;
}

} // namespace Abbreviation
