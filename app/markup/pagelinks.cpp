#include "pagelinks.h"
#include "completion.h"
#include "markupscanner.h"

#include <QDir>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace {

bool isCssSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_'; }

bool startsWithNoCase(QStringView s, qsizetype at, QStringView word)
{
    return at + word.size() <= s.size() && Markup::sameName(s.sliced(at, word.size()), word);
}

// A URL found in CSS: where it is written (offsets in `css`), and how.
using CssFound = std::function<void(qsizetype start, qsizetype length, QStringView attribute)>;

// The end of a CSS string opened at `at`, past its closing quote.
qsizetype skipCssString(QStringView css, qsizetype at)
{
    const QChar quote = css[at];
    qsizetype k = at + 1;
    while (k < css.size() && css[k] != quote && css[k] != u'\n') {
        if (css[k] == u'\\')
            ++k;
        ++k;
    }
    return std::min(k + 1, css.size());
}

// url(...) at `at` (after its name and '('): tells it, returns its end.
qsizetype readCssUrl(QStringView css, qsizetype at, QStringView attribute, const CssFound &found)
{
    qsizetype k = at;
    while (k < css.size() && isCssSpace(css[k]))
        ++k;
    if (k < css.size() && (css[k] == u'"' || css[k] == u'\'')) {
        const qsizetype end = skipCssString(css, k);
        const bool closed = end > k + 1 && css[end - 1] == css[k];
        found(k + 1, end - k - 1 - (closed ? 1 : 0), attribute);
        k = end;
    } else {
        const qsizetype start = k;
        while (k < css.size() && css[k] != u')' && css[k] != u'\n')
            ++k;
        qsizetype last = k;
        while (last > start && isCssSpace(css[last - 1]))
            --last;
        found(start, last - start, attribute);
    }
    const qsizetype close = css.indexOf(u')', k);
    return close < 0 ? css.size() : close + 1;
}

// The url() and @import of a piece of CSS; comments skipped, strings kept
// apart (a "url(" inside one is text).
void scanCss(QStringView css, const CssFound &found)
{
    for (qsizetype i = 0; i < css.size(); ++i) {
        const QChar c = css[i];
        if (c == u'/' && i + 1 < css.size() && css[i + 1] == u'*') {
            const qsizetype end = css.indexOf(u"*/", i + 2);
            i = end < 0 ? css.size() : end + 1;
        } else if (c == u'"' || c == u'\'') {
            i = skipCssString(css, i) - 1;
        } else if (c == u'@' && startsWithNoCase(css, i + 1, u"import")
                   && (i + 7 == css.size() || !isIdentChar(css[i + 7]))) {
            qsizetype k = i + 7;
            while (k < css.size() && isCssSpace(css[k]))
                ++k;
            if (k < css.size() && (css[k] == u'"' || css[k] == u'\'')) {
                const qsizetype end = skipCssString(css, k);
                const bool closed = end > k + 1 && css[end - 1] == css[k];
                found(k + 1, end - k - 1 - (closed ? 1 : 0), u"@import");
                i = end - 1;
            } else if (startsWithNoCase(css, k, u"url(")) {
                i = readCssUrl(css, k + 4, u"@import", found) - 1;
            } else {
                i = k - 1;
            }
        } else if ((c == u'u' || c == u'U') && startsWithNoCase(css, i, u"url(")
                   && (i == 0 || !isIdentChar(css[i - 1]))) {
            i = readCssUrl(css, i + 4, u"url", found) - 1;
        }
    }
}

// `text` with its character references decoded; `map`, when given, is
// where in `text` each character of the result comes from, and the end.
QString decodeMapped(QStringView text, std::vector<qsizetype> *map)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0) {
            out += text.sliced(i);
            if (map)
                for (qsizetype k = i; k < text.size(); ++k)
                    map->push_back(k);
            break;
        }
        out += text.sliced(i, amp - i);
        if (map)
            for (qsizetype k = i; k < amp; ++k)
                map->push_back(k);
        i = amp + 1;
        if (i < text.size() && text[i] == u'#') {
            const bool hex = i + 1 < text.size() && (text[i + 1] == u'x' || text[i + 1] == u'X');
            qsizetype k = i + (hex ? 2 : 1);
            char32_t code = 0;
            const qsizetype digits = k;
            for (; k < text.size(); ++k) {
                const int d = QChar::fromUcs2(text[k].unicode()).digitValue();
                const char16_t c = text[k].unicode() | 0x20;
                const int v = d >= 0 && d <= 9 && text[k].unicode() < 128 ? d
                              : hex && c >= u'a' && c <= u'f'             ? c - u'a' + 10
                                                                          : -1;
                if (v < 0)
                    break;
                if (code <= 0x10FFFF)
                    code = code * (hex ? 16 : 10) + char32_t(v);
            }
            if (k == digits) {
                out += u'&';
                if (map)
                    map->push_back(amp);
                continue;
            }
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = 0xFFFD;
            out += QString::fromUcs4(&code, 1);
            if (map)
                map->resize(out.size(), amp);
            i = k < text.size() && text[k] == u';' ? k + 1 : k;
            continue;
        }
        qsizetype k = i;
        while (k < text.size() && k - i < 32 && text[k].isLetterOrNumber()
               && text[k].unicode() < 128)
            ++k;
        const QString c = k < text.size() && text[k] == u';' && k > i
                              ? Completion::referenceCharacter(text.sliced(i, k - i))
                              : QString();
        if (c.isEmpty()) {
            out += u'&';
            if (map)
                map->push_back(amp);
            continue;
        }
        out += c;
        if (map)
            map->resize(out.size(), amp);
        i = k + 1;
    }
    if (map)
        map->push_back(text.size());
    return out;
}

// Lines start after each LF (the text's lines end in CR LF) and each lone CR.
class LineTable {
public:
    explicit LineTable(QStringView s)
    {
        starts.push_back(0);
        for (qsizetype i = 0; i < s.size(); ++i)
            if (s[i] == u'\n' || (s[i] == u'\r' && (i + 1 == s.size() || s[i + 1] != u'\n')))
                starts.push_back(i + 1);
    }
    std::pair<int, qsizetype> at(qsizetype offset) const
    {
        const auto it = std::upper_bound(starts.begin(), starts.end(), offset) - 1;
        return {int(it - starts.begin()), offset - *it};
    }

private:
    std::vector<qsizetype> starts;
};

// Which attributes of which elements hold one address.
bool holdsAddress(QStringView element, QStringView attribute)
{
    struct Pair {
        QStringView attribute;
        std::initializer_list<QStringView> elements;
    };
    static const Pair pairs[] = {
        {u"href", {u"a", u"area", u"link"}},
        {u"src",
         {u"img", u"script", u"iframe", u"frame", u"embed", u"audio", u"video", u"source", u"track",
          u"input"}},
        {u"action", {u"form"}},
        {u"formaction", {u"button", u"input"}},
        {u"poster", {u"video"}},
        {u"data", {u"object"}},
        {u"cite", {u"blockquote", u"q", u"del", u"ins"}},
        {u"background", {u"body", u"table", u"td", u"th"}},
    };
    for (const Pair &p : pairs)
        if (p.attribute == attribute)
            return std::find(p.elements.begin(), p.elements.end(), element) != p.elements.end();
    return false;
}

struct Attr {
    QString name;    // lower case
    qsizetype start; // of the value without its quotes
    qsizetype length;
};

class LinkReader : public Markup::TokenSink {
public:
    LinkReader(QStringView s, const JobControl *control) : s(s), lines(s), control(control)
    {
        wantsText = wantsReferences = false;
    }

    PageLinks read()
    {
        Markup::scan(s, Markup::State(), this);
        endTag();
        return std::move(result);
    }

    void token(QStringView, const Markup::Token &t) override
    {
        using Markup::TokenKind;
        if (control && ++tokensRead % 4096 == 0 && control->isCancelled()) {
            stop = true;
            return;
        }
        if (result.links.size() >= kMaxPageLinks || result.anchors.size() >= kMaxPageLinks) {
            result.truncated = stop = true;
            return;
        }
        switch (t.kind) {
        case TokenKind::StartTag:
        case TokenKind::EndTag:
        case TokenKind::Declaration:
            endTag();
            inStartTag = t.kind == TokenKind::StartTag;
            if (inStartTag)
                element = s.sliced(t.nameStart, t.nameLength).toString().toLower();
            break;
        case TokenKind::AttributeName:
            if (!inStartTag)
                break;
            attrs.append({s.sliced(t.start, t.length).toString().toLower(), t.end(), 0});
            owned = true;
            break;
        case TokenKind::AttributeValue: {
            if (!inStartTag || !owned || !afterEquals(t.start))
                break;
            qsizetype start = t.start, end = t.end();
            const QChar first = s[start];
            if (first == u'"' || first == u'\'') {
                ++start;
                if (end > start && s[end - 1] == first)
                    --end;
            }
            attrs.last().start = start;
            attrs.last().length = end - start;
            owned = false;
            break;
        }
        case TokenKind::TagEnd:
            endTag();
            break;
        case TokenKind::RawText:
            if (t.element == Markup::Element::Style)
                css(t.start, s.sliced(t.start, t.length), false);
            break;
        default:
            break;
        }
    }

private:
    bool afterEquals(qsizetype at) const
    {
        while (at > 0 && s[at - 1].isSpace())
            --at;
        return at > 0 && s[at - 1] == u'=';
    }

    const Attr *find(QStringView name) const
    {
        for (const Attr &a : attrs)
            if (a.name == name)
                return &a;
        return nullptr;
    }

    void add(qsizetype start, qsizetype length, const QString &attribute, bool decode = true)
    {
        const QStringView raw = s.sliced(start, length);
        PageLink l;
        std::tie(l.line, l.column) = lines.at(start);
        l.length = length;
        l.written = raw.toString();
        l.reference = decode ? decodeReferences(raw).trimmed() : l.written.trimmed();
        l.element = element;
        l.attribute = attribute;
        result.links.append(l);
    }

    // A STYLE element's text is raw; a style attribute is read as CSS once
    // its references are decoded (&quot; is a quote there).
    void css(qsizetype offset, QStringView text, bool decode)
    {
        if (!decode) {
            scanCss(text, [&](qsizetype start, qsizetype length, QStringView attribute) {
                add(offset + start, length, attribute.toString(), false);
            });
            return;
        }
        std::vector<qsizetype> map;
        const QString decoded = decodeMapped(text, &map);
        scanCss(decoded, [&](qsizetype start, qsizetype length, QStringView attribute) {
            const qsizetype from = map[start], to = map[start + length];
            add(offset + from, to - from, attribute.toString(), true);
        });
    }

    // A start tag's attributes are judged once it has ended: an http-equiv
    // may come after the content it tells about. The first of a repeated
    // attribute counts, as in a browser.
    void endTag()
    {
        if (!inStartTag)
            return;
        inStartTag = false;
        QList<QStringView> seen;
        for (const Attr &a : std::as_const(attrs)) {
            if (seen.contains(a.name))
                continue;
            seen.append(a.name);
            const QStringView value = s.sliced(a.start, a.length);
            if (a.name == u"id" || (a.name == u"name" && element == u"a")) {
                if (!value.isEmpty())
                    result.anchors.append(decodeReferences(value));
            } else if (a.name == u"style") {
                css(a.start, value, true);
            } else if (a.name == u"srcset" && (element == u"img" || element == u"source")) {
                srcset(a);
            } else if (a.name == u"href" && element == u"base") {
                if (!baseSeen)
                    result.baseHref = decodeReferences(value).trimmed();
                baseSeen = true;
            } else if (a.name == u"content" && element == u"meta") {
                const Attr *equiv = find(u"http-equiv");
                if (equiv
                    && Markup::sameName(s.sliced(equiv->start, equiv->length).trimmed(),
                                        u"refresh"))
                    refresh(a);
            } else if (holdsAddress(element, a.name)) {
                add(a.start, a.length, a.name);
            }
        }
        attrs.clear();
        owned = false;
    }

    // "url 1x, other 2x": each address on its own.
    void srcset(const Attr &a)
    {
        const qsizetype end = a.start + a.length;
        qsizetype k = a.start;
        while (k < end) {
            while (k < end && (s[k].isSpace() || s[k] == u','))
                ++k;
            const qsizetype start = k;
            while (k < end && !s[k].isSpace())
                ++k;
            qsizetype last = k;
            while (last > start && s[last - 1] == u',')
                --last;
            if (last > start)
                add(start, last - start, a.name);
            if (last < k)
                continue; // "a.png," has no descriptors
            int depth = 0;
            while (k < end && (depth > 0 || s[k] != u',')) {
                depth += s[k] == u'(' ? 1 : s[k] == u')' ? -1 : 0;
                ++k;
            }
        }
    }

    // "5; url=next.html": the address after the delay.
    void refresh(const Attr &a)
    {
        const qsizetype end = a.start + a.length;
        qsizetype k = a.start;
        while (k < end && (s[k].isSpace() || s[k].isDigit() || s[k] == u'.'))
            ++k;
        if (k < end && (s[k] == u';' || s[k] == u','))
            ++k;
        while (k < end && s[k].isSpace())
            ++k;
        if (startsWithNoCase(s.first(end), k, u"url")) {
            qsizetype e = k + 3;
            while (e < end && s[e].isSpace())
                ++e;
            if (e < end && s[e] == u'=') {
                k = e + 1;
                while (k < end && s[k].isSpace())
                    ++k;
            }
        }
        qsizetype stopAt = end;
        if (k < end && (s[k] == u'"' || s[k] == u'\'')) {
            const qsizetype close = s.first(end).indexOf(s[k], k + 1);
            ++k;
            if (close >= 0)
                stopAt = close;
        }
        while (stopAt > k && s[stopAt - 1].isSpace())
            --stopAt;
        if (stopAt > k)
            add(k, stopAt - k, a.name);
    }

    QStringView s;
    LineTable lines;
    const JobControl *control;
    PageLinks result;
    QString element;
    QList<Attr> attrs;
    bool inStartTag = false;
    bool owned = false; // a value now would be the last attribute's
    bool baseSeen = false;
    quint64 tokensRead = 0;
};

bool isSchemeChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
           || c == u'+' || c == u'-' || c == u'.';
}

// The scheme a reference starts with, lower case; empty: none.
QString schemeOf(const QString &ref)
{
    if (ref.isEmpty()
        || !((ref[0] >= u'a' && ref[0] <= u'z') || (ref[0] >= u'A' && ref[0] <= u'Z')))
        return QString();
    qsizetype k = 1;
    while (k < ref.size() && isSchemeChar(ref[k]))
        ++k;
    return k < ref.size() && ref[k] == u':' ? ref.first(k).toLower() : QString();
}

bool isExternalScheme(const QString &scheme)
{
    return scheme == u"http" || scheme == u"https" || scheme == u"ftp" || scheme == u"ws"
           || scheme == u"wss";
}

// A URL that QUrl reads as a browser would: spaces and stray '%' encoded.
QUrl toUrl(const QString &ref) { return QUrl(ref, QUrl::TolerantMode); }

} // namespace

QString decodeReferences(QStringView text) { return decodeMapped(text, nullptr); }

PageLinks pageLinks(QStringView crlfText, const JobControl *control)
{
    return LinkReader(crlfText, control).read();
}

PageLinks stylesheetLinks(QStringView crlfText)
{
    PageLinks r;
    const LineTable lines(crlfText);
    scanCss(crlfText, [&](qsizetype start, qsizetype length, QStringView attribute) {
        PageLink l;
        std::tie(l.line, l.column) = lines.at(start);
        l.length = length;
        l.written = crlfText.sliced(start, length).toString();
        l.reference = l.written.trimmed();
        l.attribute = attribute.toString();
        if (r.links.size() < kMaxPageLinks)
            r.links.append(l);
        else
            r.truncated = true;
    });
    return r;
}

ResolvedLink resolveLink(const QString &pageFile, const QString &baseHref, const QString &reference,
                         const QString &siteRoot)
{
    ResolvedLink r;
    QString ref = reference.trimmed();
    ref.remove(u'\t').remove(u'\r').remove(u'\n');
    r.backslash = ref.contains(u'\\');
    r.unencodedSpace = ref.contains(u' ');
    ref.replace(u'\\', u'/');

    if (ref.startsWith(u'#')) {
        r.kind = ResolvedLink::Fragment;
        r.fragment = QUrl::fromPercentEncoding(ref.sliced(1).toUtf8());
        return r;
    }
    if (ref.isEmpty()) {
        r.kind = ResolvedLink::Fragment; // the page itself
        return r;
    }

    QUrl base = QUrl::fromLocalFile(pageFile);
    const QString written = ref;
    QString scheme = schemeOf(ref);
    if (scheme.size() == 1) { // "C:/page.html": a drive, not a scheme
        r.kind = ResolvedLink::Local;
        r.fileScheme = true;
        r.path = QDir::cleanPath(ref);
        return r;
    }
    if (scheme.isEmpty() && !baseHref.isEmpty()) {
        QString b = baseHref;
        b.replace(u'\\', u'/');
        const QString baseScheme = schemeOf(b);
        if (isExternalScheme(baseScheme) || b.startsWith(u"//")) {
            r.kind = ResolvedLink::External;
            r.url = QUrl(b.startsWith(u"//") ? QStringLiteral("http:") + b : b, QUrl::TolerantMode)
                        .resolved(toUrl(ref))
                        .toString();
            return r;
        }
        if (baseScheme.isEmpty() || baseScheme == u"file") {
            if (baseScheme == u"file")
                r.fileScheme = true;
            if (b.startsWith(u'/') && !siteRoot.isEmpty()) {
                r.rootRelative = true;
                base =
                    QUrl::fromLocalFile(QDir::cleanPath(siteRoot) + u'/').resolved(toUrl(u'.' + b));
            } else {
                base = base.resolved(toUrl(b));
            }
        }
    }
    if (ref.startsWith(u"//")) {
        r.kind = ResolvedLink::External;
        r.url = QStringLiteral("http:") + ref;
        return r;
    }
    if (isExternalScheme(scheme)) {
        r.kind = ResolvedLink::External;
        r.url = ref;
        return r;
    }
    if (!scheme.isEmpty() && scheme != u"file") {
        r.kind = ResolvedLink::Other;
        return r;
    }
    QUrl url;
    if (scheme == u"file") {
        r.fileScheme = true;
        url = toUrl(ref);
    } else if (ref.startsWith(u'/')) {
        r.rootRelative = true;
        url = siteRoot.isEmpty() ? base.resolved(toUrl(ref))
                                 : QUrl::fromLocalFile(QDir::cleanPath(siteRoot) + u'/')
                                       .resolved(toUrl(u'.' + written));
    } else {
        url = base.resolved(toUrl(ref));
    }
    r.kind = ResolvedLink::Local;
    r.fragment = url.fragment(QUrl::FullyDecoded);
    r.query = url.query(QUrl::FullyDecoded);
    QString path = url.toLocalFile();
    if (path.isEmpty())
        path = url.path(QUrl::FullyDecoded);
    r.path = QDir::cleanPath(path);
    while (r.path.startsWith(u"/../"))
        r.path.remove(0, 3);
    if (r.path == u"/..")
        r.path = QStringLiteral("/");
    return r;
}
