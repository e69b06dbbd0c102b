#include "markuptags.h"

#include "markupscanner.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {
enum Flag : unsigned {
    Void = 1,        // no closing tag
    OptionalEnd = 2, // closed by what follows when its own is left out
    ClosesP = 4,     // opening it closes an open P
};

struct Element {
    const char *name; // lower case
    unsigned flags;
};
// Sorted by name, for the binary search.
constexpr Element kElements[] = {
    {"address", ClosesP},
    {"area", Void},
    {"article", ClosesP},
    {"aside", ClosesP},
    {"base", Void},
    {"blockquote", ClosesP},
    {"body", OptionalEnd},
    {"br", Void},
    {"col", Void},
    {"colgroup", OptionalEnd},
    {"dd", OptionalEnd | ClosesP},
    {"details", ClosesP},
    {"div", ClosesP},
    {"dl", ClosesP},
    {"dt", OptionalEnd | ClosesP},
    {"embed", Void},
    {"fieldset", ClosesP},
    {"figcaption", ClosesP},
    {"figure", ClosesP},
    {"footer", ClosesP},
    {"form", ClosesP},
    {"h1", ClosesP},
    {"h2", ClosesP},
    {"h3", ClosesP},
    {"h4", ClosesP},
    {"h5", ClosesP},
    {"h6", ClosesP},
    {"head", OptionalEnd},
    {"header", ClosesP},
    {"hr", Void | ClosesP},
    {"html", OptionalEnd},
    {"img", Void},
    {"input", Void},
    {"li", OptionalEnd | ClosesP},
    {"link", Void},
    {"main", ClosesP},
    {"menu", ClosesP},
    {"meta", Void},
    {"nav", ClosesP},
    {"ol", ClosesP},
    {"optgroup", OptionalEnd},
    {"option", OptionalEnd},
    {"p", OptionalEnd | ClosesP},
    {"param", Void},
    {"pre", ClosesP},
    {"rp", OptionalEnd},
    {"rt", OptionalEnd},
    {"section", ClosesP},
    {"source", Void},
    {"table", ClosesP},
    {"tbody", OptionalEnd},
    {"td", OptionalEnd},
    {"tfoot", OptionalEnd},
    {"th", OptionalEnd},
    {"thead", OptionalEnd},
    {"tr", OptionalEnd},
    {"track", Void},
    {"ul", ClosesP},
    {"wbr", Void},
};

char lowerAscii(char16_t c) { return char(c >= u'A' && c <= u'Z' ? c + 32 : c); }
bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
           || u == u'-' || u == u'_' || u == u':' || u == u'.';
}
bool isBlank(QChar c) { return c.isSpace(); } // U+2029, the editor's line break, included

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

// The tags of a text in order, as the markup scanner reads them (comments,
// declarations and the contents of raw-text elements hold none), each told
// to `onTag` until it returns false. ended() says where the text stopped:
// in text, a comment, an unfinished tag, or the contents of a raw-text
// element.
class TagReader : public Markup::TokenSink {
public:
    enum Ended { Text, Comment, Tag, Raw };

    template <class OnTag>
    TagReader(QStringView s, Markup::State startState, OnTag onTag) : m_onTag(onTag)
    {
        wantsText = wantsReferences = false;
        m_end = Markup::scan(s, startState, this);
    }

    Ended ended() const
    {
        switch (m_end.mode) {
        case Markup::Mode::Text:
            return Text;
        case Markup::Mode::Comment:
            return Comment;
        case Markup::Mode::Tag:
            return Tag;
        default:
            return Raw;
        }
    }
    // SCRIPT or STYLE: contents whose "</" and '>' belong to the code.
    bool inCode() const
    {
        return m_end.mode == Markup::Mode::Script || m_end.mode == Markup::Mode::Style;
    }

    void token(QStringView s, const Markup::Token &t) override
    {
        switch (t.kind) {
        case Markup::TokenKind::StartTag:
        case Markup::TokenKind::EndTag:
            m_open = true;
            m_tag.kind = t.kind == Markup::TokenKind::EndTag ? Token::Close : Token::Open;
            m_tag.start = t.start;
            m_tag.name = s.sliced(t.nameStart, t.nameLength);
            break;
        case Markup::TokenKind::Declaration:
            m_open = false;
            break;
        case Markup::TokenKind::TagEnd:
            if (m_open) {
                m_open = false;
                m_tag.end = t.end();
                if (m_tag.kind == Token::Open && t.selfClosing)
                    m_tag.kind = Token::SelfClosed;
                stop = !m_onTag(m_tag);
            }
            break;
        default:
            break;
        }
    }

private:
    std::function<bool(const Token &)> m_onTag;
    Token m_tag;
    bool m_open = false; // m_tag's '<' read, its '>' not yet
    Markup::State m_end;
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
        if (Markup::sameName(open[k].name, name))
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
std::optional<TagPair> findPair(QStringView text, qsizetype from, qsizetype to,
                                Markup::State startState, Want want)
{
    std::vector<OpenElement> open;
    qsizetype target = -1;  // index in `open` of the caret's own opening tag
    qsizetype outside = -1; // for Element: elements open around the range
    std::optional<TagPair> found;
    // Each tag in turn; false once the answer (or that there is none) is known.
    auto onTag = [&](const Token &t) {
        const bool atCaret = from == to && t.start <= from && from < t.end;
        if (want == Want::Partner && target < 0 && !atCaret && t.start > from)
            return false; // past the caret, which is in no tag
        if (want == Want::Element && outside < 0 && (atCaret || t.start >= from))
            outside = qsizetype(open.size());
        if (t.kind == Token::Close) {
            const qsizetype k = closedElement(open, t.name);
            if (atCaret) {
                if (k >= 0)
                    found = TagPair{open[k].range, {t.start, t.end}};
                return false;
            }
            if (k < 0)
                return true;
            // A crossed pair inside the element looked for closes only
            // elements above it, which leaves the element's own end sure.
            if (target >= 0) {
                if (k == target) {
                    found = TagPair{open[k].range, {t.start, t.end}};
                    return false;
                }
                if (k < target) { // closed without its own closing tag (or crossed)
                    if (want == Want::Partner)
                        return false;
                    target = -1;
                }
            }
            if (target < 0 && outside >= 0 && k < outside) {
                // The innermost element around the range with a closing
                // tag of its own (those above it were closed implicitly).
                if (open[k].range.start <= from && t.end >= to
                    && !(open[k].range.start == from && t.end == to)) {
                    found = TagPair{open[k].range, {t.start, t.end}};
                    return false;
                }
                outside = k;
            }
            open.resize(size_t(k));
            return true;
        }
        const unsigned flags = flagsOf(t.name);
        const qsizetype kept = afterImpliedEnds(open, t.name, flags);
        if (target >= kept) {
            if (want == Want::Partner)
                return false;
            target = -1;
        }
        if (outside > kept)
            outside = kept;
        open.resize(size_t(kept));
        if (t.kind == Token::SelfClosed || (flags & Void))
            return !(atCaret && want == Want::Partner);
        open.push_back({{t.start, t.end}, t.name, flags});
        if (atCaret)
            target = qsizetype(open.size()) - 1;
        return true;
    };
    const TagReader reader(text, startState, onTag);
    return found;
}

// The tag `before` ends with, if it ends with one.
std::optional<Token> endingTag(QStringView before, Markup::State startState)
{
    if (!before.endsWith(u'>'))
        return std::nullopt;
    std::optional<Token> last;
    const TagReader reader(before, startState, [&last](const Token &t) {
        last = t;
        return true;
    });
    if (!last || last->end != before.size())
        return std::nullopt;
    return last;
}
} // namespace

QStringView typedClosingTag(QStringView before, Markup::State startState)
{
    const std::optional<Token> last = endingTag(before, startState);
    return last && last->kind == Token::Close ? last->name : QStringView();
}

std::optional<TagCompletion> completeTypedTag(QStringView before, QStringView after,
                                              Markup::State startState)
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
        std::vector<OpenElement> open;
        const TagReader reader(before.chopped(2), startState, [&open](const Token &t) {
            if (t.kind == Token::Close) {
                const qsizetype k = closedElement(open, t.name);
                if (k >= 0)
                    open.resize(size_t(k));
                return true;
            }
            const unsigned flags = flagsOf(t.name);
            open.resize(size_t(afterImpliedEnds(open, t.name, flags)));
            if (t.kind == Token::Open && !(flags & Void))
                open.push_back({{t.start, t.end}, t.name, flags});
            return true;
        });
        if (open.empty() || reader.inCode()
            || (reader.ended() != TagReader::Text && reader.ended() != TagReader::Raw))
            return std::nullopt;
        return TagCompletion{open.back().name.toString() + QLatin1Char('>'), true};
    }
    return std::nullopt;
}

std::optional<TagPair> matchingTags(QStringView text, qsizetype caret, Markup::State startState)
{
    return findPair(text, caret, caret, startState, Want::Partner);
}

std::optional<TagPair> enclosingElement(QStringView text, qsizetype from, qsizetype to,
                                        Markup::State startState)
{
    return findPair(text, from, to, startState, Want::Element);
}
