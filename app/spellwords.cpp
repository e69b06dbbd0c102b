#include "spellwords.h"

#include <QHash>

namespace {
// The state, packed: what the line is in, and inside a tag, what comes
// after it and where in an attribute it is.
enum Mode { Text = 0, Comment = 1, Tag = 2, Script = 3, Style = 4 };
enum Phase { BetweenAttributes = 0, AfterName = 1, AfterEquals = 2, InDouble = 3, InSingle = 4 };
struct State {
    int mode = Text;
    int raw = Text; // in a tag: the mode after its '>' (Script, Style or Text)
    int phase = BetweenAttributes;
    bool checked = false; // the attribute is one whose value is read
};
int pack(const State &s) { return s.mode | s.raw << 3 | s.phase << 6 | int(s.checked) << 9; }
State unpack(int v) {
    State s;
    s.mode = v & 7;
    s.raw = v >> 3 & 7;
    s.phase = v >> 6 & 7;
    s.checked = v >> 9 & 1;
    if (s.mode > Style || (s.raw != Text && s.raw != Script && s.raw != Style) || s.phase > InSingle)
        return State();
    return s;
}

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}
bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool isNameChar(QChar c) {
    return isAsciiLetter(c) || isDigit(c.unicode()) || c == u'-' || c == u'_' || c == u':' ||
           c == u'.';
}
bool isBlank(QChar c) { return c.isSpace(); }

bool tagStartsAt(QStringView s, qsizetype i) {
    if (i + 1 >= s.size())
        return false;
    const QChar c = s[i + 1];
    if (isAsciiLetter(c) || c == u'!' || c == u'?')
        return true;
    return c == u'/' && i + 2 < s.size() && isAsciiLetter(s[i + 2]);
}

// ---------------------------------------------------------- references

enum class Kind { Letter, Apostrophe, Joiner, Taint, Separator };
struct Unit {
    Kind kind = Kind::Separator;
    char32_t c = 0;
    qsizetype length = 1;
};

// Named references that stand for letters, apostrophes or nothing at all
// inside a word; every other name read is a separator or unknown.
const QHash<QString, char32_t> &letterReferences() {
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> t;
        const struct {
            const char *suffix;
            char16_t mark;
            const char *letters;
        } accents[] = {{"grave", 0x300, "AEIOUaeiou"}, {"acute", 0x301, "AEIOUYaeiouy"},
                       {"circ", 0x302, "AEIOUaeiou"},  {"tilde", 0x303, "ANOano"},
                       {"uml", 0x308, "AEIOUaeiouy"},  {"ring", 0x30A, "Aa"},
                       {"cedil", 0x327, "Cc"},         {"caron", 0x30C, "SsZz"}};
        for (const auto &a : accents)
            for (const char *l = a.letters; *l; ++l) {
                const QString composed =
                    (QString(QLatin1Char(*l)) + QChar(a.mark)).normalized(QString::NormalizationForm_C);
                t.insert(QLatin1Char(*l) + QLatin1String(a.suffix), composed.at(0).unicode());
            }
        const struct {
            const char *name;
            char32_t c;
        } others[] = {{"Oslash", 0xD8}, {"oslash", 0xF8}, {"AElig", 0xC6}, {"aelig", 0xE6},
                      {"ETH", 0xD0},    {"eth", 0xF0},    {"THORN", 0xDE}, {"thorn", 0xFE},
                      {"szlig", 0xDF},  {"OElig", 0x152}, {"oelig", 0x153}, {"Yuml", 0x178},
                      {"apos", U'\''},  {"rsquo", 0x2019}, {"shy", 0xAD}};
        for (const auto &o : others)
            t.insert(QLatin1String(o.name), o.c);
        return t;
    }();
    return table;
}

// References that are plainly not part of a word.
bool isSeparatorName(QStringView name) {
    static const QStringList names = {
        QStringLiteral("amp"),   QStringLiteral("nbsp"),  QStringLiteral("lt"),
        QStringLiteral("gt"),    QStringLiteral("quot"),  QStringLiteral("mdash"),
        QStringLiteral("ndash"), QStringLiteral("hellip"), QStringLiteral("copy"),
        QStringLiteral("reg"),   QStringLiteral("trade"), QStringLiteral("laquo"),
        QStringLiteral("raquo"), QStringLiteral("ldquo"), QStringLiteral("rdquo"),
        QStringLiteral("lsquo"), QStringLiteral("bdquo"), QStringLiteral("bull"),
        QStringLiteral("middot"), QStringLiteral("ensp"), QStringLiteral("emsp"),
        QStringLiteral("thinsp"), QStringLiteral("sect"), QStringLiteral("para")};
    return names.contains(name);
}

Kind kindOf(char32_t c) {
    if (c == U'\'' || c == 0x2019 || c == 0x02BC)
        return Kind::Apostrophe;
    if (c == 0xAD)
        return Kind::Joiner; // a soft hyphen: inside the word, not in its text
    if (isDigit(c) || c == U'_')
        return Kind::Taint;
    if (QChar::isLetter(c) || QChar::isMark(c))
        return Kind::Letter;
    return Kind::Separator;
}

// The unit at i: a character (a surrogate pair as one) or a reference.
Unit unitAt(QStringView s, qsizetype i, qsizetype end) {
    Unit u;
    const QChar c = s[i];
    if (c.isHighSurrogate() && i + 1 < end && s[i + 1].isLowSurrogate()) {
        u.c = QChar::surrogateToUcs4(c, s[i + 1]);
        u.length = 2;
        u.kind = kindOf(u.c);
        return u;
    }
    u.c = c.unicode();
    u.kind = kindOf(u.c);
    if (c != u'&')
        return u;
    // "&name;", "&#233;" or "&#xE9;", no longer than any real one.
    const qsizetype stop = std::min(end, i + 34);
    qsizetype k = i + 1;
    const bool numeric = k < stop && s[k] == u'#';
    if (numeric)
        ++k;
    const bool hex = numeric && k < stop && (s[k] == u'x' || s[k] == u'X');
    if (hex)
        ++k;
    const qsizetype nameStart = k;
    while (k < stop && s[k] != u';' && (isAsciiLetter(s[k]) || isDigit(s[k].unicode())))
        ++k;
    if (k == nameStart || k >= stop || s[k] != u';')
        return u; // a lone '&': a separator
    const QStringView name = s.sliced(nameStart, k - nameStart);
    u.length = k + 1 - i;
    if (numeric) {
        bool ok = false;
        const uint v = name.toUInt(&ok, hex ? 16 : 10);
        if (!ok || v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
            u.kind = Kind::Separator;
            return u;
        }
        u.c = v;
        u.kind = kindOf(u.c);
        return u;
    }
    const auto it = letterReferences().constFind(name.toString());
    if (it != letterReferences().constEnd()) {
        u.c = *it;
        u.kind = kindOf(u.c);
    } else {
        // Not known as a letter: a word holding it cannot be judged.
        u.kind = isSeparatorName(name) ? Kind::Separator : Kind::Taint;
    }
    return u;
}

// A run of text that names a place rather than holding words.
bool isAddress(QStringView chunk) {
    if (chunk.contains(u"://") || chunk.contains(u'@') ||
        chunk.startsWith(u"www.", Qt::CaseInsensitive) ||
        chunk.startsWith(u"mailto:", Qt::CaseInsensitive))
        return true;
    // "index.html", "images/logo", "C:\x": a dot or slash between word characters.
    for (qsizetype i = 1; i + 1 < chunk.size(); ++i) {
        const QChar c = chunk[i];
        if ((c == u'.' || c == u'/' || c == u'\\') && chunk[i - 1].isLetterOrNumber() &&
            chunk[i + 1].isLetterOrNumber())
            return true;
    }
    return false;
}

// How far before the first word wanted a run of text is read back, to find
// where its whitespace-delimited piece starts (an address is judged whole).
constexpr qsizetype kReadBack = 512;

class WordScanner {
public:
    WordScanner(QStringView s, QList<SpellWord> *out, qsizetype from, qsizetype to)
        : s(s), n(s.size()), out(out), from(from), to(to < 0 ? s.size() : to) {}

    int run(int packed) {
        st = unpack(packed);
        qsizetype i = 0;
        while (i < n) {
            switch (st.mode) {
            case Comment: {
                const qsizetype end = s.indexOf(u"-->", i);
                if (end < 0)
                    return pack(st);
                i = end + 3;
                st.mode = Text;
                break;
            }
            case Script:
            case Style:
                i = rawText(i);
                break;
            case Tag:
                i = tag(i);
                break;
            default:
                i = text(i);
                break;
            }
        }
        return pack(st);
    }

private:
    // SCRIPT or STYLE contents: skipped up to the closing tag.
    qsizetype rawText(qsizetype i) {
        const QStringView name = st.mode == Script ? QStringView(u"script") : QStringView(u"style");
        for (qsizetype k = s.indexOf(u"</", i); k >= 0; k = s.indexOf(u"</", k + 2)) {
            const qsizetype e = k + 2 + name.size();
            if (e <= n && s.sliced(k + 2, name.size()).compare(name, Qt::CaseInsensitive) == 0 &&
                (e == n || !isNameChar(s[e]))) {
                st.mode = Text;
                return k;
            }
        }
        return n;
    }

    qsizetype text(qsizetype i) {
        for (qsizetype p = s.indexOf(u'<', i); p >= 0; p = s.indexOf(u'<', p + 1)) {
            if (s.sliced(p).startsWith(u"<!--")) {
                words(i, p);
                st.mode = Comment;
                return p + 4;
            }
            if (!tagStartsAt(s, p))
                continue;
            words(i, p);
            qsizetype k = p + 1;
            const bool closing = s[k] == u'/';
            if (closing || s[k] == u'!' || s[k] == u'?')
                ++k;
            const qsizetype nameStart = k;
            while (k < n && isNameChar(s[k]))
                ++k;
            const QStringView name = s.sliced(nameStart, k - nameStart);
            st = State();
            st.mode = Tag;
            if (!closing && name.compare(u"script", Qt::CaseInsensitive) == 0)
                st.raw = Script;
            else if (!closing && name.compare(u"style", Qt::CaseInsensitive) == 0)
                st.raw = Style;
            return k;
        }
        words(i, n);
        return n;
    }

    qsizetype tag(qsizetype i) {
        while (i < n) {
            if (st.phase == InDouble || st.phase == InSingle) {
                const qsizetype close = s.indexOf(st.phase == InDouble ? u'"' : u'\'', i);
                if (st.checked)
                    words(i, close < 0 ? n : close);
                if (close < 0)
                    return n; // the value goes on to the next line
                i = close + 1;
                st.phase = BetweenAttributes;
                st.checked = false;
                continue;
            }
            const QChar c = s[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == u'>' || (c == u'/' && i + 1 < n && s[i + 1] == u'>')) {
                // "<script/>" holds no script.
                st.mode = c == u'>' ? st.raw : Text;
                st.raw = Text;
                st.phase = BetweenAttributes;
                st.checked = false;
                return i + (c == u'>' ? 1 : 2);
            } else if (c == u'"' || c == u'\'') {
                if (st.phase != AfterEquals)
                    st.checked = false; // a stray quote: its value is nobody's
                st.phase = c == u'"' ? InDouble : InSingle;
                ++i;
            } else if (c == u'=') {
                if (st.phase != AfterName)
                    st.checked = false;
                st.phase = AfterEquals;
                ++i;
            } else if (c == u'<' && tagStartsAt(s, i)) {
                // An unclosed tag followed by another: the new one wins.
                st = State();
                return i;
            } else if (st.phase == AfterEquals) {
                qsizetype k = i;
                while (k < n && !isBlank(s[k]) && s[k] != u'>')
                    ++k;
                if (st.checked)
                    words(i, k);
                st.phase = BetweenAttributes;
                st.checked = false;
                i = k;
            } else {
                qsizetype k = i;
                while (k < n && !isBlank(s[k]) && s[k] != u'=' && s[k] != u'>' && s[k] != u'"' &&
                       s[k] != u'\'' && s[k] != u'<' && !(s[k] == u'/' && k + 1 < n && s[k + 1] == u'>'))
                    ++k;
                if (k == i) {
                    ++i; // a stray character
                    continue;
                }
                const QStringView name = s.sliced(i, k - i);
                st.checked = name.compare(u"alt", Qt::CaseInsensitive) == 0 ||
                             name.compare(u"title", Qt::CaseInsensitive) == 0 ||
                             name.compare(u"placeholder", Qt::CaseInsensitive) == 0;
                st.phase = AfterName;
                i = k;
            }
        }
        return n;
    }

    // The words of the text in [a, b), in pieces between whitespace.
    void words(qsizetype a, qsizetype b) {
        if (!out || b <= from || a >= to || a >= b)
            return;
        if (a < from - kReadBack) {
            // Start at a piece's start not too far before the words wanted.
            a = from - kReadBack;
            while (a < from && !isBlank(s[a]))
                ++a;
        }
        b = std::min(b, to + kReadBack);
        qsizetype i = a;
        while (i < b) {
            while (i < b && isBlank(s[i]))
                ++i;
            qsizetype e = i;
            while (e < b && !isBlank(s[e]))
                ++e;
            if (e > i && !isAddress(s.sliced(i, e - i)))
                piece(i, e);
            i = e;
        }
    }

    void piece(qsizetype a, qsizetype b) {
        qsizetype start = -1, last = -1; // the word's first unit, and the end of its last letter
        QString word;
        bool tainted = false;
        auto finish = [&] {
            if (start >= 0 && !tainted && start >= from && start < to)
                emitWord(start, last, word);
            start = -1;
            word.clear();
            tainted = false;
        };
        for (qsizetype i = a; i < b;) {
            const Unit u = unitAt(s, i, b);
            switch (u.kind) {
            case Kind::Letter:
                if (start < 0)
                    start = i;
                word += QString::fromUcs4(&u.c, 1);
                last = i + u.length;
                break;
            case Kind::Taint:
                if (start < 0)
                    start = i;
                tainted = true;
                last = i + u.length;
                break;
            case Kind::Joiner:
                break;
            case Kind::Apostrophe: {
                // Inside a word ("don't", "l’homme"); at its ends it is a quote.
                const bool inside = start >= 0 && i + u.length < b &&
                                    unitAt(s, i + u.length, b).kind == Kind::Letter;
                if (inside)
                    word += QLatin1Char('\'');
                else
                    finish();
                break;
            }
            case Kind::Separator:
                finish();
                break;
            }
            i += u.length;
        }
        finish();
    }

    void emitWord(qsizetype start, qsizetype end, const QString &word) {
        if (word.size() < 2 || word.size() > kMaxSpellWord)
            return;
        bool lower = false;
        for (const QChar c : word)
            lower = lower || c.isLower();
        if (!lower)
            return; // capitals: an abbreviation or a name
        out->append({int(start), int(end - start), word});
    }

    QStringView s;
    qsizetype n;
    QList<SpellWord> *out;
    qsizetype from, to;
    State st;
};
} // namespace

SpellLine spellWords(QStringView line, int startState, qsizetype from, qsizetype to) {
    SpellLine out;
    out.endState = WordScanner(line, &out.words, from, to).run(startState);
    return out;
}

int spellEndState(QStringView line, int startState) {
    return WordScanner(line, nullptr, 0, -1).run(startState);
}

QString pageLanguage(QStringView head, qsizetype *decidedAt) {
    if (decidedAt)
        *decidedAt = -1;
    for (qsizetype p = head.indexOf(u"<html", 0, Qt::CaseInsensitive); p >= 0;
         p = head.indexOf(u"<html", p + 5, Qt::CaseInsensitive)) {
        qsizetype i = p + 5;
        if (i < head.size() && !isBlank(head[i]) && head[i] != u'>')
            continue; // <htmlfoo>
        QString found;
        while (i < head.size() && head[i] != u'>') {
            if (isBlank(head[i]) || head[i] == u'/') {
                ++i;
                continue;
            }
            qsizetype k = i;
            while (k < head.size() && !isBlank(head[k]) && head[k] != u'=' && head[k] != u'>')
                ++k;
            const QStringView name = head.sliced(i, k - i);
            while (k < head.size() && isBlank(head[k]))
                ++k;
            QStringView value;
            if (k < head.size() && head[k] == u'=') {
                ++k;
                while (k < head.size() && isBlank(head[k]))
                    ++k;
                if (k < head.size() && (head[k] == u'"' || head[k] == u'\'')) {
                    const qsizetype close = head.indexOf(head[k], k + 1);
                    if (close < 0)
                        return QString();
                    value = head.sliced(k + 1, close - k - 1);
                    k = close + 1;
                } else {
                    const qsizetype v = k;
                    while (k < head.size() && !isBlank(head[k]) && head[k] != u'>')
                        ++k;
                    value = head.sliced(v, k - v);
                }
            }
            if (name.compare(u"lang", Qt::CaseInsensitive) == 0) {
                if (decidedAt)
                    *decidedAt = k;
                return value.trimmed().toString();
            }
            if (name.compare(u"xml:lang", Qt::CaseInsensitive) == 0 && found.isEmpty())
                found = value.trimmed().toString();
            i = std::max(k, i + 1);
        }
        if (decidedAt && i < head.size())
            *decidedAt = i; // the tag's end
        return found;
    }
    return QString();
}
