#include "tagrename.h"
#include "markuptags.h"

namespace {
// Where the markup scanner ends a tag's name.
bool endsName(QChar c) { return c.isSpace() || c == u'/' || c == u'>' || c == u'<'; }

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

struct Span {
    qsizetype start, end;
};

// The name of the tag whose '<' is at `tag`.
Span nameOf(QStringView text, qsizetype tag)
{
    qsizetype k = tag + 1;
    if (k < text.size() && text[k] == u'/')
        ++k;
    qsizetype e = k;
    while (e < text.size() && !endsName(text[e]))
        ++e;
    return {k, e};
}
} // namespace

bool isTagNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'.';
}

std::optional<NameEdit> partnerNameEdit(QStringView text, const NameEdit &edit,
                                        Markup::State startState)
{
    const bool inserting = edit.removed == 0;
    if (inserting ? edit.inserted.isEmpty() : edit.removed != 1 || !edit.inserted.isEmpty())
        return std::nullopt;
    if (edit.at < 0 || edit.at + edit.removed > text.size())
        return std::nullopt;
    for (const QChar c : edit.inserted)
        if (!isTagNameChar(c))
            return std::nullopt;
    if (!inserting && !isTagNameChar(text[edit.at]))
        return std::nullopt;
    const std::optional<TagPair> pair = matchingTags(text, edit.at, startState);
    if (!pair)
        return std::nullopt;
    const bool inOpen = pair->open.start <= edit.at && edit.at < pair->open.end;
    const TagRange own = inOpen ? pair->open : pair->close;
    const Span name = nameOf(text, own.start);
    const Span partner = nameOf(text, (inOpen ? pair->close : pair->open).start);
    // Within the name or at its edges: not the '<' or what follows the name.
    if (edit.at < name.start || edit.at + edit.removed > name.end)
        return std::nullopt;
    const QStringView oldName = text.sliced(name.start, name.end - name.start);
    if (!Markup::sameName(oldName, text.sliced(partner.start, partner.end - partner.start)))
        return std::nullopt;
    QString newName = oldName.toString();
    newName.replace(edit.at - name.start, edit.removed, edit.inserted);
    if (newName.isEmpty() || !isAsciiLetter(newName[0]))
        return std::nullopt; // no longer a tag: the partner is left as it is
    const NameEdit mirrored{partner.start + (edit.at - name.start), edit.removed, edit.inserted};

    // The new names must pair the same two tags: a name that an element
    // closes by being opened (P, LI...) may change what pairs with what.
    QString after = text.toString();
    const NameEdit &later = inOpen ? mirrored : edit;
    const NameEdit &earlier = inOpen ? edit : mirrored;
    after.replace(later.at, later.removed, later.inserted);
    after.replace(earlier.at, earlier.removed, earlier.inserted);
    const qsizetype delta = edit.inserted.size() - edit.removed;
    TagPair expected = *pair;
    expected.open.end += delta;
    expected.close.start += delta;
    expected.close.end += 2 * delta;
    const qsizetype ownStart = inOpen ? expected.open.start : expected.close.start;
    if (!(matchingTags(after, ownStart, startState) == expected))
        return std::nullopt;
    return mirrored;
}
