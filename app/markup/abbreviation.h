#pragma once
// Abbreviations that expand to markup: "ul>li*3" typed before the caret
// becomes a list of three items. The syntax is the one people know from
// other editors: child '>', sibling '+', climb up '^', multiplication "*N",
// grouping "( )", "#id", ".class", "[attr=value]", "{text}", numbering '$'
// ("$$" zero-padded, "@-" descending, "@N" from N), implicit names (".x" is
// a DIV, an LI in a list, a TR in a table, a SPAN in inline elements), '!'
// for a page skeleton and "lorem"/"loremN" for filler words.
//
// A pure function on the line before the caret: the cost is bounded by the
// abbreviation's size and by the element limit, checked while reading it,
// before anything is built; nothing is read recursively, so no abbreviation
// (however deeply it nests) can exhaust the stack.
#include <QList>
#include <QString>
#include <QStringView>

struct AbbreviationOptions {
    bool upperCase = false;                    // names as in a page written in upper case
    QString lineIndent;                        // the indent of the caret's line
    QString indentUnit = QStringLiteral("\t"); // one level deeper
    QString lineBreak = QStringLiteral("\n");
    QString charset = QStringLiteral("UTF-8"); // the page's, for '!'
    int maxElements = 10000;                   // more are refused
};

struct Expansion {
    int abbreviationStart = -1; // in the line: the abbreviation runs from here to the caret
    QString markup;             // what replaces it; its first line goes on the caret's line
    // Offsets in markup of each empty attribute value (between its quotes)
    // and each empty element's content, in order.
    QList<int> emptySpots;
    QString error;        // why nothing expands (for the status bar); empty when it does
    bool nothing = false; // with the error: no abbreviation ends at the caret at all
};

// The abbreviation that ends at the end of `lineBeforeCaret`: the run back
// to a space or the line's start, or to the '>' of a tag before it (so that
// "<p>ul>li" expands "ul>li"), the longest that reads as one. Brackets,
// braces and quotes may hold spaces. A text that is none is left alone: the
// error says why.
Expansion expandAbbreviation(QStringView lineBeforeCaret, const AbbreviationOptions &o = {});
