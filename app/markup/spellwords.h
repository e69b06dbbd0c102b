#pragma once
// Which words of a page the spelling check reads: the text between tags
// and the values of alt, title and placeholder. Tag names, other
// attributes, SCRIPT and STYLE contents, comments, URLs, e-mail addresses,
// file names, words holding digits and words in capitals (HTML, CSS) are
// left alone. Character references are read as the characters they stand
// for, so "caf&eacute;" is checked as "café".
//
// Pure and line by line, read through the markup scanner: a line's words
// depend only on its text and the state it starts in (inside a comment, a
// tag, an attribute value, a script...).
#include "markupscanner.h"

#include <QList>
#include <QString>
#include <QStringView>

struct SpellWord {
    int start = 0;  // in the line, over the source text ...
    int length = 0; // ... references and apostrophes included
    QString text;   // the word as checked: references decoded, ’ as '
};

struct SpellLine {
    QList<SpellWord> words;
    Markup::State endState;
};

// Words longer than this are not checked: no real word is, and the
// dictionary's time grows with the length.
constexpr int kMaxSpellWord = 64;

// The words of one line that start within [from, to) (to < 0: the end),
// given the state it starts in. The whole line is read for the end state.
SpellLine spellWords(QStringView line, Markup::State startState, qsizetype from = 0,
                     qsizetype to = -1);

// The lang (or xml:lang) attribute of the page's HTML element, as written,
// if one is found in `head`; empty otherwise.
// `decidedAt`, when given, is where the answer was settled: the end of the
// first html tag; -1 when text anywhere in `head` could still change it.
QString pageLanguage(QStringView head, qsizetype *decidedAt = nullptr);
