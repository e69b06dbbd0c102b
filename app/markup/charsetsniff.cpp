#include "charsetsniff.h"
#include "markupscanner.h"

#include <QList>

#include <algorithm>
#include <QStringDecoder>

#include <uchardet/uchardet.h>

namespace {
bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// "text/html; charset=koi8-r" -> "koi8-r".
std::optional<QByteArray> charsetInContent(const QByteArray &content)
{
    const qsizetype n = content.size();
    qsizetype i = 0;
    for (;;) {
        i = content.indexOf("charset", i);
        if (i < 0)
            return std::nullopt;
        i += 7;
        while (i < n && isSpaceByte(content[i]))
            ++i;
        if (i < n && content[i] == '=')
            break;
    }
    ++i;
    while (i < n && isSpaceByte(content[i]))
        ++i;
    if (i >= n)
        return std::nullopt;
    const char q = content[i];
    if (q == '"' || q == '\'') {
        const qsizetype end = content.indexOf(q, i + 1);
        if (end < 0)
            return std::nullopt;
        return content.mid(i + 1, end - i - 1);
    }
    qsizetype end = i;
    while (end < n && !isSpaceByte(content[end]) && content[end] != ';')
        ++end;
    return content.mid(i, end - i);
}

} // namespace

namespace {
// The meta elements of a page's first bytes and its XML declaration, read
// by the markup scanner over the bytes as Latin-1 (one character a byte):
// each meta element's attributes, lower case, once its '>' is read.
class DeclarationReader : public Markup::TokenSink {
public:
    explicit DeclarationReader(QByteArray *unreadable) : unreadable(unreadable)
    {
        wantsText = wantsReferences = false;
    }

    void token(QStringView s, const Markup::Token &t) override
    {
        using Markup::TokenKind;
        if (stop)
            return;
        switch (t.kind) {
        case TokenKind::StartTag:
            inMeta = Markup::sameName(s.sliced(t.nameStart, t.nameLength), u"meta");
            inXml = false;
            seen.clear();
            pragma = needPragma = false;
            charset.reset();
            pending.clear();
            break;
        case TokenKind::EndTag:
            inMeta = inXml = false;
            break;
        case TokenKind::Declaration:
            inMeta = false;
            // An XML declaration, first in the file.
            inXml = t.start == 0 && s.sliced(0, t.length) == u"<?xml" && s.size() > 5
                    && isSpaceByte(char(s[5].unicode()));
            pending.clear();
            break;
        case TokenKind::AttributeName:
            if (!pending.isEmpty())
                attribute(pending, QByteArray());
            pending = s.sliced(t.start, t.length).toLatin1().toLower();
            break;
        case TokenKind::AttributeValue: {
            QStringView v = s.sliced(t.start, t.length);
            const QChar q = v.front();
            if (q == u'"' || q == u'\'') {
                if (v.size() < 2 || v.back() != q)
                    return; // cut off by the end of the bytes looked at
                v = v.sliced(1, v.size() - 2);
            } else if (t.end() == s.size()) {
                return; // the same
            }
            if (!pending.isEmpty())
                attribute(pending, v.toLatin1().toLower());
            pending.clear();
            break;
        }
        case TokenKind::TagEnd:
            if (!pending.isEmpty())
                attribute(pending, QByteArray());
            pending.clear();
            if (inMeta)
                metaEnded();
            inMeta = inXml = false;
            break;
        default:
            break;
        }
    }

    std::optional<TextEncoding> found; // a meta element's
    bool decided = false;              // by a meta element
    std::optional<QByteArray> xmlEncoding;

private:
    void attribute(const QByteArray &name, const QByteArray &value)
    {
        if (inXml && name == "encoding" && !xmlEncoding)
            xmlEncoding = value;
        if (!inMeta || seen.contains(name))
            return;
        seen << name;
        if (name == "http-equiv" && value == "content-type") {
            pragma = true;
        } else if (name == "content" && !charset) {
            charset = charsetInContent(value);
            needPragma = charset.has_value();
        } else if (name == "charset") {
            charset = value;
            needPragma = false;
        }
    }

    void metaEnded()
    {
        if (!charset || (!pragma && needPragma))
            return;
        const CharsetLabel label = charsetForLabel(*charset);
        if (label.kind == CharsetLabel::Known || label.kind == CharsetLabel::Unicode) {
            if (label.kind == CharsetLabel::Known)
                found = label.encoding;
            decided = true;
            stop = true;
        } else if (unreadable && unreadable->isEmpty()) {
            *unreadable = charset->trimmed();
        }
    }

    QByteArray *unreadable;
    bool inMeta = false, inXml = false;
    QList<QByteArray> seen;
    bool pragma = false, needPragma = false;
    std::optional<QByteArray> charset;
    QByteArray pending; // an attribute's name whose value may follow
};

std::optional<TextEncoding> findDeclaration(QByteArrayView bytes, QByteArray *unreadable)
{
    const QByteArrayView b = bytes.first(std::min<qsizetype>(bytes.size(), 1024));
    // Meta elements, skipping comments and the attributes of other tags.
    DeclarationReader reader(unreadable);
    Markup::scan(QString::fromLatin1(b), Markup::State(), &reader);
    if (reader.decided)
        return reader.found;
    if (reader.xmlEncoding) {
        const CharsetLabel label = charsetForLabel(*reader.xmlEncoding);
        if (label.kind == CharsetLabel::Unknown && unreadable && unreadable->isEmpty())
            *unreadable = reader.xmlEncoding->trimmed();
        return label.kind == CharsetLabel::Known ? std::optional(label.encoding) : std::nullopt;
    }
    return std::nullopt;
}
} // namespace

std::optional<TextEncoding> declaredEncoding(QByteArrayView bytes)
{
    return findDeclaration(bytes, nullptr);
}

QByteArray unreadableDeclaration(QByteArrayView bytes)
{
    QByteArray label;
    return findDeclaration(bytes, &label) ? QByteArray() : label;
}

std::optional<TextEncoding> unmarkedUnicode(QByteArrayView bytes)
{
    const QByteArrayView b = bytes.first(std::min(bytes.size(), kUnmarkedBytes));
    if (b.size() < 8)
        return std::nullopt;
    qsizetype zeros[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    for (qsizetype i = 0; i < b.size(); ++i) {
        ++count[i % 4];
        zeros[i % 4] += b[i] == 0;
    }
    // UTF-32: the top byte is always zero, the one below nearly always
    // (outside the BMP only); the lowest one seldom.
    if (zeros[3] == count[3] && zeros[2] * 2 >= count[2] && zeros[0] * 2 < count[0])
        return TextEncoding::Utf32Le;
    if (zeros[0] == count[0] && zeros[1] * 2 >= count[1] && zeros[3] * 2 < count[3])
        return TextEncoding::Utf32Be;
    // UTF-16: a sixth of the high bytes zero or more (markup, spaces, digits),
    // hardly a low byte, and the ASCII among it holds the spaces, breaks
    // and angle brackets of text and markup.
    for (const int high : {1, 0}) {
        qsizetype highZeros = 0, lowZeros = 0, pairs = 0, textLike = 0;
        for (qsizetype i = 0; i + 1 < b.size(); i += 2, ++pairs) {
            const char lo = b[i + 1 - high], hi = b[i + high];
            lowZeros += lo == 0;
            if (hi == 0) {
                ++highZeros;
                textLike += lo == ' ' || lo == '\n' || lo == '\r' || lo == '\t' || lo == '<'
                            || lo == '>';
            }
        }
        if (highZeros * 6 >= pairs && lowZeros * 50 <= pairs && textLike * 10 >= highZeros)
            return high ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
    }
    return std::nullopt;
}

std::optional<TextEncoding> guessedEncoding(QByteArrayView bytes)
{
    const QByteArrayView head = bytes.first(std::min(bytes.size(), kGuessBytes));
    // A few letters say too little: a page with a name or two in it stays
    // Windows-1252, as before there was any guessing.
    const qsizetype high = std::count_if(head.begin(), head.end(),
                                         [](char c) { return uchar(c) >= 0x80; });
    if (high < kGuessEvidence)
        return std::nullopt;
    const uchardet_t detector = uchardet_new();
    if (!detector)
        return std::nullopt;
    std::optional<TextEncoding> result;
    if (uchardet_handle_data(detector, head.data(), size_t(head.size())) == 0) {
        uchardet_data_end(detector);
        const QByteArray name = QByteArray(uchardet_get_charset(detector)).toLower();
        const CharsetLabel label = charsetForLabel(name);
        if (label.kind == CharsetLabel::Known)
            result = label.encoding;
    }
    uchardet_delete(detector);
    // The detector knows KOI8-R only: the Ukrainian letters KOI8-U adds
    // stand where KOI8-R draws boxes, which pages seldom do.
    if (result == TextEncoding::Koi8R) {
        static const char kUkrainian[] = "\xA4\xA6\xA7\xAD\xB4\xB6\xB7\xBD";
        for (const char c : head) {
            if (QByteArrayView(kUkrainian, 8).contains(c)) {
                result = TextEncoding::Koi8U;
                break;
            }
        }
    }
    return result;
}

DecodedText decodeText(const QByteArray &bytes)
{
    DecodedText result;
    // UTF-32LE's mark starts with UTF-16LE's: it is tried first, and bytes
    // that are not whole UTF-32 are tried as UTF-16 (whose text may start
    // with a NUL).
    for (const TextEncoding e : {TextEncoding::Utf32LeBom, TextEncoding::Utf32BeBom,
                                 TextEncoding::Utf16LeBom, TextEncoding::Utf16BeBom}) {
        if (std::optional<QString> t = decodeAs(bytes, e)) {
            result.text = std::move(*t);
            result.encoding = e;
            return result;
        }
    }
    if (const std::optional<TextEncoding> unicode = unmarkedUnicode(bytes)) {
        if (std::optional<QString> t = decodeAs(bytes, *unicode)) {
            result.text = std::move(*t);
            result.encoding = *unicode;
            result.guessed = true;
            return result;
        }
    }
    // Only the first BOM marks the encoding; a second one is text and is
    // kept (the decoder would otherwise drop it as well).
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    QString text = utf8.decode(bom ? bytes.mid(3) : bytes);
    if (!utf8.hasError()) {
        // ASCII reads the same in every declared charset, and saves what is
        // typed into it in the one the page declares.
        const bool ascii = !bom && text.size() == bytes.size();
        const std::optional<TextEncoding> declared =
            ascii ? declaredEncoding(bytes) : std::nullopt;
        // Escape sequences in ASCII bytes switch to other characters.
        if (declared && isStateful(*declared)) {
            if (std::optional<QString> t = decodeInCharset(bytes, *declared)) {
                result.text = std::move(*t);
                result.encoding = *declared;
            } else {
                result.text = std::move(text);
            }
            return result;
        }
        result.text = std::move(text);
        result.encoding = declared ? *declared
                          : bom    ? TextEncoding::Utf8Bom
                                   : TextEncoding::Utf8;
        return result;
    }
    const std::optional<TextEncoding> declared = declaredEncoding(bytes);
    if (declared && *declared != TextEncoding::Windows1252) {
        if (std::optional<QString> t = decodeInCharset(bytes, *declared, &result.kept)) {
            result.text = std::move(*t);
            result.encoding = *declared;
            return result;
        }
    }
    const std::optional<TextEncoding> guessed = declared ? std::nullopt : guessedEncoding(bytes);
    if (guessed && *guessed != TextEncoding::Windows1252) {
        if (std::optional<QString> t = decodeAs(bytes, *guessed, &result.kept)) {
            result.text = std::move(*t);
            result.encoding = *guessed;
            result.guessed = true;
            return result;
        }
    }
    QString wide(bytes.size(), Qt::Uninitialized);
    decodeWindows1252(bytes, wide.data());
    result.text = std::move(wide);
    result.encoding = TextEncoding::Windows1252;
    return result;
}
