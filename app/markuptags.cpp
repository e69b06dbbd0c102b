#include "markuptags.h"
#include "markuphighlighter.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
enum Flag : unsigned {
    Void = 1,        // no closing tag
    OptionalEnd = 2, // closed by what follows when its own is left out
    RawText = 4,     // its contents hold no tags
    ClosesP = 8,     // opening it closes an open P
};

struct Element {
    const char *name; // lower case
    unsigned flags;
};
// Sorted by name, for the binary search.
constexpr Element kElements[] = {
    {"address", ClosesP},   {"area", Void},          {"article", ClosesP},
    {"aside", ClosesP},     {"base", Void},          {"blockquote", ClosesP},
    {"body", OptionalEnd},  {"br", Void},            {"col", Void},
    {"colgroup", OptionalEnd}, {"dd", OptionalEnd | ClosesP}, {"details", ClosesP},
    {"div", ClosesP},       {"dl", ClosesP},         {"dt", OptionalEnd | ClosesP},
    {"embed", Void},        {"fieldset", ClosesP},   {"figcaption", ClosesP},
    {"figure", ClosesP},    {"footer", ClosesP},     {"form", ClosesP},
    {"h1", ClosesP},        {"h2", ClosesP},         {"h3", ClosesP},
    {"h4", ClosesP},        {"h5", ClosesP},         {"h6", ClosesP},
    {"head", OptionalEnd},  {"header", ClosesP},     {"hr", Void | ClosesP},
    {"html", OptionalEnd},  {"img", Void},           {"input", Void},
    {"li", OptionalEnd | ClosesP}, {"link", Void},   {"main", ClosesP},
    {"menu", ClosesP},      {"meta", Void},          {"nav", ClosesP},
    {"ol", ClosesP},        {"optgroup", OptionalEnd}, {"option", OptionalEnd},
    {"p", OptionalEnd | ClosesP}, {"param", Void},   {"pre", ClosesP},
    {"rp", OptionalEnd},    {"rt", OptionalEnd},     {"script", RawText},
    {"section", ClosesP},   {"source", Void},        {"style", RawText},
    {"table", ClosesP},     {"tbody", OptionalEnd},  {"td", OptionalEnd},
    {"textarea", RawText},  {"tfoot", OptionalEnd},  {"th", OptionalEnd},
    {"thead", OptionalEnd}, {"title", RawText},      {"tr", OptionalEnd},
    {"track", Void},        {"ul", ClosesP},         {"wbr", Void},
};

char lowerAscii(char16_t c) { return char(c >= u'A' && c <= u'Z' ? c + 32 : c); }
bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}
bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return isAsciiLetter(c) || (u >= u'0' && u <= u'9') || u == u'-' || u == u'_' || u == u':'
        || u == u'.';
}
bool isBlank(QChar c) { return c.isSpace(); } // U+2029, the editor's line break, included

// Tag names compare without regard to ASCII case.
bool sameName(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i].unicode()) != lowerAscii(b[i].unicode()))
            return false;
    return true;
}
bool is(QStringView name, const char *lower)
{
    const qsizetype n = qsizetype(std::strlen(lower));
    if (name.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (lowerAscii(name[i].unicode()) != lower[i])
            return false;
    return true;
}

unsigned flagsOf(QStringView name)
{
    char low[12];
    if (name.size() >= qsizetype(sizeof low))
        return 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i].unicode() > 127)
            return 0;
        low[i] = lowerAscii(name[i].unicode());
    }
    low[name.size()] = 0;
    const auto *end = std::end(kElements);
    const auto *e = std::lower_bound(std::begin(kElements), end, low,
                                     [](const Element &a, const char *b) {
                                         return std::strcmp(a.name, b) < 0;
                                     });
    return e != end && std::strcmp(e->name, low) == 0 ? e->flags : 0;
}

// Whether opening `next` closes the open element `open` (whose end tag is
// optional): a new item closes the one before, a block closes a paragraph.
bool closedBy(QStringView open, QStringView next, unsigned nextFlags)
{
    if (is(open, "p"))
        return nextFlags & ClosesP;
    if (is(open, "li"))
        return is(next, "li");
    if (is(open, "dt") || is(open, "dd"))
        return is(next, "dt") || is(next, "dd");
    if (is(open, "option"))
        return is(next, "option") || is(next, "optgroup");
    if (is(open, "optgroup"))
        return is(next, "optgroup");
    if (is(open, "rt") || is(open, "rp"))
        return is(next, "rt") || is(next, "rp");
    const bool section = is(next, "tbody") || is(next, "thead") || is(next, "tfoot");
    if (is(open, "td") || is(open, "th"))
        return is(next, "td") || is(next, "th") || is(next, "tr") || section;
    if (is(open, "tr"))
        return is(next, "tr") || section;
    if (is(open, "thead") || is(open, "tbody"))
        return is(next, "tbody") || is(next, "tfoot");
    if (is(open, "head"))
        return is(next, "body");
    return false;
}

struct Token {
    enum Kind { Open, Close, SelfClosed } kind = Open;
    qsizetype start = 0, end = 0;
    QStringView name;
};

// The tags of a text in order, skipping comments, declarations and the
// contents of raw-text elements. ended() says where the text stopped:
// in text, a comment, an unfinished tag, or the contents of a raw-text
// element.
class TagReader {
public:
    enum Ended { Text, Comment, Tag, Raw };

    TagReader(QStringView s, int startState) : s(s), n(s.size())
    {
        if (startState == InScriptContent) {
            raw = u"script";
        } else if (startState == InStyleContent) {
            raw = u"style";
        } else if (startState == InComment) {
            const qsizetype e = s.indexOf(u"-->");
            i = e < 0 ? n : e + 3;
            if (e < 0)
                m_ended = Comment;
        } else if (startState == InTag) {
            qsizetype restart = -1;
            const qsizetype e = tagEnd(0, restart);
            i = e >= 0 ? e : restart >= 0 ? restart : n;
            if (e < 0 && restart < 0)
                m_ended = Tag;
        }
    }

    bool next(Token &t)
    {
        if (!raw.isEmpty()) {
            const qsizetype close = rawEnd();
            if (close < 0)
                return stop(Raw);
            i = close;
            raw = {};
        }
        while (i < n) {
            const qsizetype p = s.indexOf(u'<', i);
            if (p < 0 || p + 1 >= n)
                return stop(Text);
            const QChar c = s[p + 1];
            if (c == u'!' && s.sliced(p).startsWith(u"<!--")) {
                const qsizetype e = s.indexOf(u"-->", p + 4);
                if (e < 0)
                    return stop(Comment);
                i = e + 3;
                continue;
            }
            const bool closing = c == u'/';
            const qsizetype q = p + 1 + (closing ? 1 : 0);
            const bool declaration = c == u'!' || c == u'?';
            if (!declaration && (q >= n || !isAsciiLetter(s[q]))) {
                i = p + 1; // "a < b": text
                continue;
            }
            qsizetype k = q;
            while (k < n && isNameChar(s[k]))
                ++k;
            qsizetype restart = -1;
            const qsizetype e = tagEnd(k, restart);
            if (e < 0) {
                if (restart < 0)
                    return stop(Tag);
                i = restart; // left open, and another tag begins: that one counts
                continue;
            }
            i = e;
            if (declaration)
                continue;
            t.kind = closing                ? Token::Close
                   : s[e - 2] == u'/' ? Token::SelfClosed
                                            : Token::Open;
            t.start = p;
            t.end = e;
            t.name = s.sliced(q, k - q);
            if (t.kind == Token::Open && (flagsOf(t.name) & RawText))
                raw = t.name;
            return true;
        }
        return stop(m_ended);
    }
    Ended ended() const { return m_ended; }
    // SCRIPT or STYLE: contents whose "</" and '>' belong to the code.
    bool inCode() const
    {
        return m_ended == Raw && (is(raw, "script") || is(raw, "style"));
    }

private:
    bool stop(Ended how)
    {
        i = n;
        m_ended = how;
        return false;
    }

    // After the name of a tag starting before k: the end of the tag (after
    // its '>'), or -1 when the text ends first; `restart` is set where a
    // new tag begins before this one has ended.
    qsizetype tagEnd(qsizetype k, qsizetype &restart) const
    {
        while (k < n) {
            const QChar c = s[k];
            if (c == u'>')
                return k + 1;
            if (c == u'"' || c == u'\'') {
                const qsizetype close = s.indexOf(c, k + 1);
                if (close < 0)
                    return -1;
                k = close + 1;
            } else if (c == u'<' && k + 1 < n
                       && (isAsciiLetter(s[k + 1]) || s[k + 1] == u'/' || s[k + 1] == u'!')) {
                restart = k;
                return -1;
            } else {
                ++k;
            }
        }
        return -1;
    }

    // Where the raw-text element's closing tag begins, or -1.
    qsizetype rawEnd() const
    {
        for (qsizetype p = s.indexOf(u"</", i); p >= 0; p = s.indexOf(u"</", p + 2)) {
            const qsizetype e = p + 2 + raw.size();
            if (e <= n && sameName(s.sliced(p + 2, raw.size()), raw)
                && (e == n || !isNameChar(s[e])))
                return p;
        }
        return -1;
    }

    QStringView s;
    qsizetype n;
    qsizetype i = 0;
    QStringView raw; // inside this raw-text element's contents
    Ended m_ended = Text;
};

struct OpenElement {
    TagRange range;
    QStringView name;
    unsigned flags = 0;
};

// A closing tag is looked for at most this far down the open elements: a
// hostile page of thousands of open elements would otherwise make every
// stray closing tag walk them all.
constexpr int kMaxWalk = 64;

// The open element a closing tag closes, its index in `open`; -1: none
// (a stray closing tag, ignored). Like a browser, it closes the elements
// above it too; of those, the ones whose end tag may not be left out were
// crossed (<b><i></b>), and where the markup meant them to end is a guess.
qsizetype closedElement(const std::vector<OpenElement> &open, QStringView name)
{
    const qsizetype floor = std::max<qsizetype>(0, qsizetype(open.size()) - kMaxWalk);
    for (qsizetype k = qsizetype(open.size()) - 1; k >= floor; --k)
        if (sameName(open[k].name, name))
            return k;
    return -1;
}

// Elements an opening tag closes by being opened: the new size of `open`.
qsizetype afterImpliedEnds(const std::vector<OpenElement> &open, QStringView name, unsigned flags)
{
    qsizetype k = qsizetype(open.size());
    while (k > 0 && (open[k - 1].flags & OptionalEnd)
           && closedBy(open[k - 1].name, name, flags))
        --k;
    return k;
}

QStringView skipBlanks(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.sliced(i);
}

enum class Want { Partner, Element };

// The one walk behind matchingTags and enclosingElement.
std::optional<TagPair> findPair(QStringView text, qsizetype from, qsizetype to, int startState,
                                Want want)
{
    TagReader reader(text, startState);
    std::vector<OpenElement> open;
    qsizetype target = -1;  // index in `open` of the caret's own opening tag
    qsizetype outside = -1; // for Element: elements open around the range
    Token t;
    while (reader.next(t)) {
        const bool atCaret = from == to && t.start <= from && from < t.end;
        if (want == Want::Partner && target < 0 && !atCaret && t.start > from)
            return std::nullopt; // past the caret, which is in no tag
        if (want == Want::Element && outside < 0 && (atCaret || t.start >= from))
            outside = qsizetype(open.size());
        if (t.kind == Token::Close) {
            const qsizetype k = closedElement(open, t.name);
            if (atCaret)
                return k < 0 ? std::nullopt
                             : std::optional<TagPair>(TagPair{open[k].range, {t.start, t.end}});
            if (k < 0)
                continue;
            // A crossed pair inside the element looked for closes only
            // elements above it, which leaves the element's own end sure.
            if (target >= 0) {
                if (k == target)
                    return TagPair{open[k].range, {t.start, t.end}};
                if (k < target) { // closed without its own closing tag (or crossed)
                    if (want == Want::Partner)
                        return std::nullopt;
                    target = -1;
                }
            }
            if (target < 0 && outside >= 0 && k < outside) {
                // The innermost element around the range with a closing
                // tag of its own (those above it were closed implicitly).
                if (open[k].range.start <= from && t.end >= to
                    && !(open[k].range.start == from && t.end == to))
                    return TagPair{open[k].range, {t.start, t.end}};
                outside = k;
            }
            open.resize(size_t(k));
            continue;
        }
        const unsigned flags = flagsOf(t.name);
        const qsizetype kept = afterImpliedEnds(open, t.name, flags);
        if (target >= kept) {
            if (want == Want::Partner)
                return std::nullopt;
            target = -1;
        }
        if (outside > kept)
            outside = kept;
        open.resize(size_t(kept));
        if (t.kind == Token::SelfClosed || (flags & Void)) {
            if (atCaret && want == Want::Partner)
                return std::nullopt;
            continue;
        }
        open.push_back({{t.start, t.end}, t.name, flags});
        if (atCaret)
            target = qsizetype(open.size()) - 1;
    }
    return std::nullopt;
}

// The tag `before` ends with, if it ends with one.
std::optional<Token> endingTag(QStringView before, int startState)
{
    if (!before.endsWith(u'>'))
        return std::nullopt;
    TagReader reader(before, startState);
    Token t, last;
    bool any = false;
    while (reader.next(t)) {
        last = t;
        any = true;
    }
    if (!any || last.end != before.size())
        return std::nullopt;
    return last;
}
} // namespace

int rawStartState(QStringView before)
{
    // Back from the end, to the last tag of either element.
    const std::pair<const char *, int> elements[] = {{"script", InScriptContent},
                                                     {"style", InStyleContent}};
    for (qsizetype p = before.lastIndexOf(u'<'); p >= 0;
         p = p > 0 ? before.lastIndexOf(u'<', p - 1) : -1) {
        const bool closing = p + 1 < before.size() && before[p + 1] == u'/';
        const qsizetype k = p + 1 + (closing ? 1 : 0);
        for (const auto &[name, inside] : elements) {
            const qsizetype e = k + qsizetype(std::strlen(name));
            if (e > before.size() || !is(before.sliced(k, e - k), name)
                || (e < before.size() && isNameChar(before[e])))
                continue;
            // A tag in a comment (a script commented out) says nothing.
            const qsizetype comment = p > 0 ? before.lastIndexOf(u"<!--", p - 1) : -1;
            if (comment >= 0 && comment > before.lastIndexOf(u"-->", p - 1)) {
                p = comment;
                break;
            }
            return closing ? -1 : inside;
        }
    }
    return -1;
}

QStringView typedClosingTag(QStringView before, int startState)
{
    const std::optional<Token> last = endingTag(before, startState);
    return last && last->kind == Token::Close ? last->name : QStringView();
}

std::optional<TagCompletion> completeTypedTag(QStringView before, QStringView after,
                                              int startState)
{
    if (before.endsWith(u'>')) {
        // The typed '>' must end an opening tag that is neither void nor
        // self-closed.
        const std::optional<Token> last = endingTag(before, startState);
        if (!last || last->kind != Token::Open || (flagsOf(last->name) & Void))
            return std::nullopt;
        const QString closing = QLatin1String("</") + last->name.toString() + QLatin1Char('>');
        if (skipBlanks(after).startsWith(closing, Qt::CaseInsensitive))
            return std::nullopt;
        return TagCompletion{closing, false};
    }
    if (before.endsWith(u"</")) {
        // Editing a closing tag that is already there.
        if (!after.isEmpty() && (isNameChar(after[0]) || after[0] == u'>'))
            return std::nullopt;
        TagReader reader(before.chopped(2), startState);
        std::vector<OpenElement> open;
        Token t;
        while (reader.next(t)) {
            if (t.kind == Token::Close) {
                const qsizetype k = closedElement(open, t.name);
                if (k >= 0)
                    open.resize(size_t(k));
                continue;
            }
            const unsigned flags = flagsOf(t.name);
            open.resize(size_t(afterImpliedEnds(open, t.name, flags)));
            if (t.kind == Token::Open && !(flags & Void))
                open.push_back({{t.start, t.end}, t.name, flags});
        }
        if (open.empty() || reader.inCode()
            || (reader.ended() != TagReader::Text && reader.ended() != TagReader::Raw))
            return std::nullopt;
        return TagCompletion{open.back().name.toString() + QLatin1Char('>'), true};
    }
    return std::nullopt;
}

std::optional<TagPair> matchingTags(QStringView text, qsizetype caret, int startState)
{
    return findPair(text, caret, caret, startState, Want::Partner);
}

std::optional<TagPair> enclosingElement(QStringView text, qsizetype from, qsizetype to,
                                        int startState)
{
    return findPair(text, from, to, startState, Want::Element);
}
