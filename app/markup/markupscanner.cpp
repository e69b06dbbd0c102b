#include "markupscanner.h"

namespace Markup {

namespace {
bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}
bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return isDigit(c) || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}
bool isNameChar(QChar c)
{
    return isAsciiLetter(c) || isDigit(c) || c == u'-' || c == u'_' || c == u':' || c == u'.';
}
// U+2029, the editor's line break, included.
bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c.isSpace(); }
char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// "<B", "</B", "<!DOCTYPE", "<!--", "<?xml": markup starts here. "a < b" is text.
bool markupStartsAt(QStringView s, qsizetype i)
{
    if (i + 1 >= s.size())
        return false;
    const QChar c = s[i + 1];
    if (isAsciiLetter(c) || c == u'!' || c == u'?')
        return true;
    return c == u'/' && i + 2 < s.size() && isAsciiLetter(s[i + 2]);
}

// Length of "&name;", "&#160;" or "&#xA0;" at i, or 0.
qsizetype referenceLength(QStringView s, qsizetype i)
{
    const qsizetype n = s.size();
    qsizetype k = i + 1;
    if (k < n && s[k] == u'#') {
        ++k;
        const bool hex = k < n && (s[k] == u'x' || s[k] == u'X');
        if (hex)
            ++k;
        const qsizetype digits = k;
        while (k < n && (hex ? isHexDigit(s[k]) : isDigit(s[k])))
            ++k;
        if (k == digits)
            return 0;
    } else {
        if (k >= n || !isAsciiLetter(s[k]))
            return 0;
        while (k < n && (isAsciiLetter(s[k]) || isDigit(s[k])))
            ++k;
    }
    return k < n && s[k] == u';' ? k + 1 - i : 0;
}

QStringView endTagName(Mode m)
{
    switch (m) {
    case Mode::Script:
        return u"script";
    case Mode::Style:
        return u"style";
    case Mode::Textarea:
        return u"textarea";
    default:
        return u"title";
    }
}

Mode contentsMode(Element e)
{
    switch (e) {
    case Element::Script:
        return Mode::Script;
    case Element::Style:
        return Mode::Style;
    case Element::Textarea:
        return Mode::Textarea;
    case Element::Title:
        return Mode::Title;
    default:
        return Mode::Text;
    }
}

Element elementOfMode(Mode m)
{
    switch (m) {
    case Mode::Script:
        return Element::Script;
    case Mode::Style:
        return Element::Style;
    case Mode::Textarea:
        return Element::Textarea;
    case Mode::Title:
        return Element::Title;
    default:
        return Element::Other;
    }
}

class Reader {
public:
    Reader(QStringView s, TokenSink *sink) : s(s), n(s.size()), sink(sink) {}

    State run(State start)
    {
        st = start;
        qsizetype i = 0;
        while (i < n && !(sink && sink->stop)) {
            switch (st.mode) {
            case Mode::Comment:
                i = comment(i, i);
                break;
            case Mode::Tag:
                i = tag(i);
                break;
            case Mode::Text:
                i = text(i);
                break;
            default:
                i = contents(i);
                break;
            }
        }
        return st;
    }

private:
    void put(Token t)
    {
        if (sink && t.length > 0)
            sink->token(s, t);
    }
    void put(TokenKind kind, qsizetype start, qsizetype length)
    {
        Token t;
        t.kind = kind;
        t.start = int(start);
        t.length = int(length);
        put(t);
    }

    void references(qsizetype from, qsizetype to)
    {
        if (!sink || !sink->wantsReferences)
            return;
        // Looked for up to `to` only: on a long line a search to its end for
        // every value would cost the line's length squared.
        const QStringView part = s.first(to);
        for (qsizetype k = part.indexOf(u'&', from); k >= 0; k = part.indexOf(u'&', k + 1)) {
            const qsizetype len = referenceLength(part, k);
            if (len) {
                put(TokenKind::Reference, k, len);
                k += len - 1;
            }
        }
    }

    void textRun(qsizetype from, qsizetype to, Element element)
    {
        if (!sink || to <= from)
            return;
        if (sink->wantsText) {
            Token t;
            t.kind = TokenKind::Text;
            t.start = int(from);
            t.length = int(to - from);
            t.element = element;
            put(t);
        }
        references(from, to);
    }

    // A comment from `start` (its "<!--", or the line's start), its
    // contents from `body`: the browser's ends, "-->" and "--!>", and the
    // abrupt "<!-->" and "<!--->".
    qsizetype comment(qsizetype start, qsizetype body)
    {
        qsizetype end = -1;
        if (body > start && body < n && s[body] == u'>')
            end = body + 1;
        else if (body > start && s.sliced(body).startsWith(u"->"))
            end = body + 2;
        for (qsizetype k = body; end < 0 && (k = s.indexOf(u"--", k)) >= 0; ++k) {
            if (k + 2 < n && s[k + 2] == u'>')
                end = k + 3;
            else if (k + 3 < n && s[k + 2] == u'!' && s[k + 3] == u'>')
                end = k + 4;
        }
        const qsizetype stop = end < 0 ? n : end;
        put(TokenKind::Comment, start, stop - start);
        st.mode = end < 0 ? Mode::Comment : Mode::Text;
        return stop;
    }

    qsizetype text(qsizetype i)
    {
        for (qsizetype p = s.indexOf(u'<', i); p >= 0; p = s.indexOf(u'<', p + 1)) {
            if (!markupStartsAt(s, p))
                continue;
            textRun(i, p, Element::Other);
            const QChar c = s[p + 1];
            if (c == u'!' && s.sliced(p).startsWith(u"<!--"))
                return comment(p, p + 4);
            st = State();
            st.mode = Mode::Tag;
            Token t;
            t.start = int(p);
            qsizetype k = p + 1;
            if (c == u'!' || c == u'?') {
                // A declaration: its words are read as a tag's.
                t.kind = TokenKind::Declaration;
                st.endTag = true;
                ++k;
                while (k < n && isNameChar(s[k]))
                    ++k;
            } else {
                const bool closing = c == u'/';
                t.kind = closing ? TokenKind::EndTag : TokenKind::StartTag;
                st.endTag = closing;
                if (closing)
                    ++k;
                const qsizetype name = k;
                while (k < n && !isBlank(s[k]) && s[k] != u'/' && s[k] != u'>' && s[k] != u'<')
                    ++k;
                t.nameStart = int(name);
                t.nameLength = int(k - name);
                t.element = elementOf(s.sliced(name, k - name));
                if (!closing)
                    st.element = t.element;
            }
            t.length = int(k - p);
            put(t);
            return k;
        }
        textRun(i, n, Element::Other);
        return n;
    }

    // SCRIPT, STYLE, TEXTAREA or TITLE contents, up to the element's end tag.
    qsizetype contents(qsizetype i)
    {
        const QStringView name = endTagName(st.mode);
        qsizetype end = n;
        for (qsizetype k = s.indexOf(u"</", i); k >= 0; k = s.indexOf(u"</", k + 2)) {
            const qsizetype e = k + 2 + name.size();
            if (e <= n && sameName(s.sliced(k + 2, name.size()), name)
                && (e == n || isBlank(s[e]) || s[e] == u'/' || s[e] == u'>')) {
                end = k;
                break;
            }
        }
        const Element element = elementOfMode(st.mode);
        if (st.mode == Mode::Script || st.mode == Mode::Style) {
            Token t;
            t.kind = TokenKind::RawText;
            t.start = int(i);
            t.length = int(end - i);
            t.element = element;
            put(t);
        } else {
            textRun(i, end, element);
        }
        if (end < n)
            st.mode = Mode::Text;
        return end;
    }

    void endValue()
    {
        st.phase = Phase::BetweenAttributes;
        st.attribute = Attribute::Other;
    }

    qsizetype value(qsizetype from, qsizetype to)
    {
        Token t;
        t.kind = TokenKind::AttributeValue;
        t.start = int(from);
        t.length = int(to - from);
        t.attribute = st.attribute;
        put(t);
        references(from, to);
        return to;
    }

    qsizetype tag(qsizetype i)
    {
        while (i < n && !(sink && sink->stop)) {
            if (st.phase == Phase::InDouble || st.phase == Phase::InSingle) {
                const qsizetype close = s.indexOf(st.phase == Phase::InDouble ? u'"' : u'\'', i);
                if (close < 0)
                    return value(i, n); // the value goes on to the next line
                value(i, close + 1);
                endValue();
                i = close + 1;
                continue;
            }
            const QChar c = s[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == u'>' || ((c == u'/' || c == u'?') && i + 1 < n && s[i + 1] == u'>')) {
                Token t;
                t.kind = TokenKind::TagEnd;
                t.start = int(i);
                t.length = c == u'>' ? 1 : 2;
                t.selfClosing = c == u'/';
                put(t);
                // "<script/>" holds no script.
                st.mode = st.endTag || t.selfClosing ? Mode::Text : contentsMode(st.element);
                st.phase = Phase::BetweenAttributes;
                st.element = Element::Other;
                st.endTag = false;
                st.attribute = Attribute::Other;
                return i + t.length;
            } else if (c == u'"' || c == u'\'') {
                if (st.phase != Phase::AfterEquals)
                    st.attribute = Attribute::Other; // a stray quote: its value is nobody's
                st.phase = c == u'"' ? Phase::InDouble : Phase::InSingle;
                const qsizetype close = s.indexOf(c, i + 1);
                if (close < 0)
                    return value(i, n);
                value(i, close + 1);
                endValue();
                i = close + 1;
            } else if (c == u'/' && st.phase != Phase::AfterEquals) {
                ++i; // "<a / b>", "<meta/charset=x>": between attributes, as blank
                st.phase = Phase::BetweenAttributes;
            } else if (c == u'=') {
                if (st.phase != Phase::AfterName)
                    st.attribute = Attribute::Other;
                st.phase = Phase::AfterEquals;
                ++i;
            } else if (c == u'<' && markupStartsAt(s, i)) {
                // An unclosed tag followed by another: the new one wins.
                st = State();
                return i;
            } else if (st.phase == Phase::AfterEquals) {
                qsizetype k = i;
                while (k < n && !isBlank(s[k]) && s[k] != u'>')
                    ++k;
                value(i, k);
                endValue();
                i = k;
            } else {
                qsizetype k = i;
                while (k < n && !isBlank(s[k]) && s[k] != u'=' && s[k] != u'>' && s[k] != u'"'
                       && s[k] != u'\'' && s[k] != u'<' && s[k] != u'/')
                    ++k;
                if (k == i) {
                    ++i; // a stray character
                    continue;
                }
                const QStringView name = s.sliced(i, k - i);
                st.attribute = attributeOf(name);
                st.phase = Phase::AfterName;
                Token t;
                t.kind = TokenKind::AttributeName;
                t.start = int(i);
                t.length = int(k - i);
                t.attribute = st.attribute;
                put(t);
                i = k;
            }
        }
        return n;
    }

    QStringView s;
    qsizetype n;
    TokenSink *sink;
    State st;
};

class ListSink : public TokenSink {
public:
    void token(QStringView, const Token &t) override { list.append(t); }
    QList<Token> list;
};
} // namespace

int State::pack() const
{
    return int(mode) | int(phase) << 3 | int(element) << 6 | int(endTag) << 9
           | int(attribute) << 10;
}

State State::unpack(int v)
{
    State s;
    if (v < 0 || v >= 1 << kStateBits)
        return s;
    const int mode = v & 7, phase = v >> 3 & 7, element = v >> 6 & 7, attribute = v >> 10 & 15;
    if (mode > int(Mode::Title) || phase > int(Phase::InSingle) || element > int(Element::Title)
        || attribute > int(Attribute::HttpEquiv))
        return s;
    s.mode = Mode(mode);
    s.phase = Phase(phase);
    s.element = Element(element);
    s.endTag = v >> 9 & 1;
    s.attribute = Attribute(attribute);
    return s;
}

State scan(QStringView text, State start, TokenSink *sink) { return Reader(text, sink).run(start); }

QList<Token> tokens(QStringView text, State start, State *end)
{
    ListSink sink;
    const State after = scan(text, start, &sink);
    if (end)
        *end = after;
    return sink.list;
}

Context contextAt(QStringView line, State start, qsizetype offset)
{
    Context c;
    offset = qBound<qsizetype>(0, offset, line.size());
    c.state = scan(line.first(offset), start);
    for (const Token &t : tokens(line, start))
        if (t.start <= offset && offset < t.end()) {
            c.inToken = true;
            c.token = t; // a later one holding it lies inside the earlier
        }
    return c;
}

bool sameName(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i].unicode()) != lowerAscii(b[i].unicode()))
            return false;
    return true;
}

Element elementOf(QStringView name)
{
    static const std::pair<QStringView, Element> known[] = {{u"script", Element::Script},
                                                            {u"style", Element::Style},
                                                            {u"textarea", Element::Textarea},
                                                            {u"title", Element::Title}};
    for (const auto &[n, e] : known)
        if (sameName(name, n))
            return e;
    return Element::Other;
}

Attribute attributeOf(QStringView name)
{
    if (name.size() < 3 || name.size() > 11)
        return Attribute::Other;
    static const std::pair<QStringView, Attribute> known[] = {
        {u"alt", Attribute::Alt},
        {u"title", Attribute::Title},
        {u"placeholder", Attribute::Placeholder},
        {u"lang", Attribute::Lang},
        {u"xml:lang", Attribute::XmlLang},
        {u"href", Attribute::Href},
        {u"src", Attribute::Src},
        {u"charset", Attribute::Charset},
        {u"content", Attribute::Content},
        {u"http-equiv", Attribute::HttpEquiv}};
    for (const auto &[n, a] : known)
        if (sameName(name, n))
            return a;
    return Attribute::Other;
}

} // namespace Markup
