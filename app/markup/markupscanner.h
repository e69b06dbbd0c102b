#pragma once
// The one reading of a page's markup that every feature shares: tags and
// their names, attribute names and values, comments, declarations
// (<!DOCTYPE>, <?xml ?>), character references, and the contents of
// SCRIPT and STYLE (raw text: no markup in it) and of TEXTAREA and TITLE
// (text with references but no tags), whose end tags are found whatever
// their case.
//
// Pure and resumable: a line is read from the state it starts in (a small
// value) and gives its tokens and the state the next line starts in. A
// piece of several lines reads the same as its lines one by one.
//
// Where hand-written pages are read better than a browser would read them,
// the editor's reading wins, and every feature agrees on it: a '<' that
// starts a tag inside another tag left open ends that one (a tag being
// typed does not swallow the page), a quote that is not after '=' is read
// as a value nobody owns, and <x/> is closed whatever x is.
#include <QList>
#include <QStringView>
#include <QtGlobal>

namespace Markup {

// What the text at a place is, between tokens.
enum class Mode : quint8 {
    Text,     // text between tags
    Comment,  // inside <!-- -->
    Tag,      // inside a tag or declaration, after its name
    Script,   // the contents of SCRIPT ...
    Style,    // ... and STYLE: raw text
    Textarea, // the contents of TEXTAREA ...
    Title,    // ... and TITLE: text whose only markup is references
};
// Where in an attribute a tag is.
enum class Phase : quint8 { BetweenAttributes, AfterName, AfterEquals, InDouble, InSingle };
// The elements whose contents are read differently, and Other.
enum class Element : quint8 { Other, Script, Style, Textarea, Title };
// Attributes that features look at; every other name is Other.
enum class Attribute : quint8 {
    Other,
    Alt,
    Title,
    Placeholder,
    Lang,
    XmlLang,
    Href,
    Src,
    Charset,
    Content,
    HttpEquiv,
};

// The state a line starts in: it fits in 14 bits (pack()).
struct State {
    Mode mode = Mode::Text;
    Phase phase = Phase::BetweenAttributes; // in a tag
    Element element = Element::Other;       // in a start tag: whose contents follow it
    bool endTag = false;                    // in a tag: an end tag or a declaration
    Attribute attribute = Attribute::Other; // in a tag: the attribute whose value comes

    bool operator==(const State &o) const { return pack() == o.pack(); }
    bool operator!=(const State &o) const { return !(*this == o); }
    int pack() const;
    // Any int reads as some state; values no pack() gives read as the start.
    static State unpack(int packed);
};
constexpr int kStateBits = 14;

enum class TokenKind : quint8 {
    StartTag,    // "<name"
    EndTag,      // "</name"
    Declaration, // "<!DOCTYPE", "<?xml", "<!": a declaration's opening
    TagEnd,      // ">", "/>" or "?>" ending any of the three
    AttributeName,
    AttributeValue, // with its quotes; of a value over lines, this line's part
    Comment,        // with its "<!--" and "-->"; of one over lines, this line's part
    Reference,      // "&name;", "&#160;", "&#xA0;"
    Text,           // a run of text, references included (TEXTAREA, TITLE too)
    RawText,        // SCRIPT or STYLE contents
};

struct Token {
    TokenKind kind = TokenKind::Text;
    int start = 0;
    int length = 0;
    // StartTag, EndTag: where the name starts and its length.
    int nameStart = 0;
    int nameLength = 0;
    Element element = Element::Other;       // StartTag, EndTag, RawText, Text
    Attribute attribute = Attribute::Other; // AttributeName, AttributeValue
    bool selfClosing = false;               // TagEnd: "/>"
    int end() const { return start + length; }
};

// Told each token of a piece, in order of their starts (a Reference comes
// after the Text or AttributeValue holding it).
class TokenSink {
public:
    virtual ~TokenSink() = default;
    virtual void token(QStringView text, const Token &t) = 0;
    // Set by a sink that has heard enough: the reading ends soon after.
    bool stop = false;
    // Cleared by a sink that needs no Text or Reference tokens: the reading
    // is quicker without them.
    bool wantsText = true;
    bool wantsReferences = true;
};

// Reads `text` (a line or several) from `start`; the state after it.
State scan(QStringView text, State start, TokenSink *sink = nullptr);
// The same, the tokens in a list.
QList<Token> tokens(QStringView text, State start, State *end = nullptr);

// What is at an offset of a line read from `start`: the token holding it
// (the innermost: a Reference rather than its Text), and the state there.
struct Context {
    State state; // the state the reading is in just before `offset`
    bool inToken = false;
    Token token; // when inToken
};
Context contextAt(QStringView line, State start, qsizetype offset);

// Names compare without regard to ASCII case.
bool sameName(QStringView a, QStringView b);
Element elementOf(QStringView name);
Attribute attributeOf(QStringView name);

} // namespace Markup
