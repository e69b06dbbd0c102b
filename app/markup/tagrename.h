#pragma once
// Tag pairs renamed together: a key that edits the name of a start or end
// tag makes the same edit in its partner's name, so that the two stay a
// pair. Pure: the caller cuts a piece of the page out around the caret, as
// for the matching tags (markuptags.h), and applies what comes back.
//
// The partner is the one matchingTags() gives from the text before the key;
// none when it gives none (a crossed pair, SCRIPT or STYLE contents, a
// comment, a tag being typed that has no end yet). The edit is mirrored as
// made, at the same place in the partner's name: <DIV>..</div> stays a pair
// whatever case the key has. Nothing is mirrored when the text after the
// edit would pair the tags differently, or when the new name would no
// longer start a tag (empty, or not a letter first).
#include "markupscanner.h"

#include <QString>
#include <QStringView>
#include <optional>

// `removed` characters from `at` replaced by `inserted`.
struct NameEdit {
    qsizetype at = 0;
    qsizetype removed = 0;
    QString inserted;
    bool operator==(const NameEdit &o) const
    {
        return at == o.at && removed == o.removed && inserted == o.inserted;
    }
};

// What a key may change of a name: characters a name is made of
// (letters, digits, '-', '_', ':', '.').
bool isTagNameChar(QChar c);

// The edit to make in the partner's name when `edit` of `text` (one or
// more name characters inserted, or one removed) falls within the name of
// a tag whose partner is sure; positions in `text`, before either edit.
std::optional<NameEdit> partnerNameEdit(QStringView text, const NameEdit &edit,
                                        Markup::State startState = {});
