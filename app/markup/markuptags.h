#pragma once
// Reading the tags of hand-written markup (as the markup scanner finds
// them), for the editor's help while typing: the closing tag a typed '>' or "</" calls for, and the
// partner of the tag at the caret. Pure functions on a piece of the page that the caller cuts out:
// the reading never goes beyond it, so its cost is the piece's length whatever the page holds, and
// when the answer lies outside the piece there is none (nothing is written, nothing is
// highlighted).
//
// HTML's rules, as far as hand-written pages need them: void elements
// (BR, IMG ...) and self-closed <x/> have no closing tag; comments,
// declarations (<!DOCTYPE>, <?xml ?>), attribute values and the contents of
// SCRIPT, STYLE, TEXTAREA and TITLE hold no tags; P, LI, TD, TR, OPTION and
// the like may be left open and are closed by what follows them. A closing
// tag that fits no open element is ignored, as a browser ignores it.
#include "markupscanner.h"

#include <QString>
#include <QStringView>
#include <optional>

// What a typed character calls for: text to insert at the caret, the caret
// after it (a completed "</name>") or before it (a closing tag written
// after a typed opening tag).
struct TagCompletion {
    QString text;
    bool caretAfter = false;
    bool operator==(const TagCompletion &o) const
    {
        return text == o.text && caretAfter == o.caretAfter;
    }
};

// `before`: the text up to the caret, ending with the character just typed;
// `after`: the text that follows the caret (as much as the caller likes).
// startState: the state the start of `before` lies in. Nothing is
// completed inside SCRIPT or STYLE contents, where "</" and '>' are the
// code's own.
std::optional<TagCompletion> completeTypedTag(QStringView before, QStringView after,
                                              Markup::State startState = {});
// The name of the closing tag `before` ends with (its '>' the last
// character), as a browser reads it; empty when the '>' ends none (text, a
// comment, an opening tag, SCRIPT contents).
QStringView typedClosingTag(QStringView before, Markup::State startState = {});

// [start, end) in the text, from the '<' to after the '>'.
struct TagRange {
    qsizetype start = 0;
    qsizetype end = 0;
    bool operator==(const TagRange &o) const { return start == o.start && end == o.end; }
};
struct TagPair {
    TagRange open, close;
    bool operator==(const TagPair &o) const { return open == o.open && close == o.close; }
};

// The tag the caret is in (from just before its '<' to just before its
// end) and its partner; none when the caret is in no tag or the partner is
// not in the text. Tags are paired as a browser closes elements: a closing
// tag closes its element and the elements left open inside it, so an
// element holding a crossed pair (<b><i></b></i>) still has its partner;
// the elements of the crossed pair whose end is a guess (the I) have none.
std::optional<TagPair> matchingTags(QStringView text, qsizetype caret,
                                    Markup::State startState = {});
// The element to select for the range [from, to): with a bare caret in a
// tag, that tag's element; otherwise the innermost element holding the
// range that has both its tags and is larger than the range (so asking
// again with the answer selected gives the element around it).
std::optional<TagPair> enclosingElement(QStringView text, qsizetype from, qsizetype to,
                                        Markup::State startState = {});
