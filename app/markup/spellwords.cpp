#include "spellwords.h"

#include <QHash>

namespace {
bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}
bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool isBlank(QChar c) { return c.isSpace(); }

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

// The words of the text between tags and of the values read, as the
// markup scanner finds them.
class WordScanner : public Markup::TokenSink {
public:
    WordScanner(QStringView s, QList<SpellWord> *out, qsizetype from, qsizetype to)
        : s(s), n(s.size()), out(out), from(from), to(to < 0 ? s.size() : to) {}

    Markup::State run(Markup::State start)
    {
        m_start = start;
        wantsReferences = false; // read by the words themselves
        return Markup::scan(s, start, out ? this : nullptr);
    }

    void token(QStringView, const Markup::Token &t) override
    {
        using Markup::Attribute;
        if (t.kind == Markup::TokenKind::Text) {
            words(t.start, t.end());
        } else if (t.kind == Markup::TokenKind::AttributeValue
                   && (t.attribute == Attribute::Alt || t.attribute == Attribute::Title
                       || t.attribute == Attribute::Placeholder)) {
            // Without its quotes: a value going on from the line before has
            // no opening one here.
            qsizetype a = t.start, b = t.end();
            QChar quote;
            if (a == 0
                && (m_start.phase == Markup::Phase::InDouble
                    || m_start.phase == Markup::Phase::InSingle))
                quote = m_start.phase == Markup::Phase::InDouble ? u'"' : u'\'';
            else if (s[a] == u'"' || s[a] == u'\'')
                quote = s[a++];
            if (!quote.isNull() && b > a && s[b - 1] == quote)
                --b;
            words(a, b);
        }
    }

private:
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
    Markup::State m_start;
};
} // namespace

SpellLine spellWords(QStringView line, Markup::State startState, qsizetype from, qsizetype to)
{
    SpellLine out;
    out.endState = WordScanner(line, &out.words, from, to).run(startState);
    return out;
}

QString pageLanguage(QStringView head, qsizetype *decidedAt) {
    // The first HTML start tag's lang (or else xml:lang) attribute.
    struct Reader : Markup::TokenSink {
        void token(QStringView s, const Markup::Token &t) override
        {
            using Markup::TokenKind;
            if (stop)
                return;
            if (t.kind == TokenKind::StartTag || t.kind == TokenKind::EndTag
                || t.kind == TokenKind::Declaration) {
                if (inHtml) {
                    stop = true; // left open: the tag says no more
                    return;
                }
                inHtml = t.kind == TokenKind::StartTag
                         && Markup::sameName(s.sliced(t.nameStart, t.nameLength), u"html");
                return;
            }
            if (!inHtml)
                return;
            if (t.kind == TokenKind::TagEnd) {
                decided = t.start;
                stop = true;
            } else if (t.kind == TokenKind::AttributeName) {
                if (named == Markup::Attribute::Lang) {
                    value = QString(); // "lang" without a value
                    decided = namedEnd;
                    stop = true;
                    return;
                }
                named = t.attribute;
                namedEnd = t.end();
            } else if (t.kind == TokenKind::AttributeValue) {
                QStringView v = s.sliced(t.start, t.length);
                const QChar q = v.front();
                if (q == u'"' || q == u'\'') {
                    if (v.size() < 2 || v.back() != q) {
                        cut = true; // the value goes on beyond the head
                        stop = true;
                        return;
                    }
                    v = v.sliced(1, v.size() - 2);
                }
                if (t.attribute == Markup::Attribute::Lang) {
                    value = v.trimmed().toString();
                    decided = t.end();
                    lang = true;
                    stop = true;
                } else if (t.attribute == Markup::Attribute::XmlLang && xmlLang.isEmpty()) {
                    xmlLang = v.trimmed().toString();
                }
                named = Markup::Attribute::Other;
            }
        }
        bool inHtml = false, lang = false, cut = false;
        Markup::Attribute named = Markup::Attribute::Other;
        qsizetype namedEnd = 0;
        qsizetype decided = -1;
        QString value, xmlLang;
    } r;
    r.wantsText = r.wantsReferences = false;
    Markup::scan(head, Markup::State(), &r);
    if (!r.stop && r.inHtml && r.named == Markup::Attribute::Lang)
        r.decided = r.namedEnd; // "lang" last in the head, without a value
    if (decidedAt)
        *decidedAt = r.cut ? -1 : r.decided;
    if (r.cut)
        return QString();
    return r.lang || r.named == Markup::Attribute::Lang ? r.value : r.xmlLang;
}
