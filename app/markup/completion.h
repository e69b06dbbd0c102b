#pragma once
// Completion as you type: what the place before the caret asks for (an
// element name after '<', the element still open after "</", an attribute
// name inside a start tag, a value inside a value, a character reference
// after '&'), the part already typed, and the candidates that fit it,
// ranked (the obsolete last) and in the case the page is written in.
//
// Pure: it reads the text before the caret through the markup scanner, from
// a place the caller knows the state of, so a key costs that reading
// whatever the page's size. What the tables cannot know (the page's ids and
// classes, the files beside it) is asked of the caller only when the place
// needs it.
#include "markupscanner.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace Completion {

enum class Place : quint8 { None, ElementName, EndTag, AttributeName, AttributeValue, Reference };

struct Item {
    QString name;        // as shown, in the page's case
    QString description; // one line
    QString insert;      // replaces what was typed
    int caretBack = 0;   // the caret ends this many characters before the end of `insert`
    bool obsolete = false;
    bool reopens = false; // accepting it leads to more (a folder, an attribute's values)
};

// What the page holds beyond the tables; each is asked only where it is
// needed, and may be left empty.
struct PageSource {
    std::function<QStringList()> ids;
    std::function<QStringList()> classes;
    // The entries of a folder given relative to the page's own ("" for
    // that one): names, folders ending in '/'.
    std::function<QStringList(const QString &folder)> files;
};

struct Result {
    Place place = Place::None;
    qsizetype prefixStart = 0; // in the text read: where what was typed starts
    QString prefix;            // what was typed
    QString element;           // lower case: the tag's element, where known
    QString attribute;         // lower case: the attribute whose value it is
    QList<Item> items;
};

constexpr int kMaxItems = 300;

// `before`: the page's text from a place the scanner starts reading in
// state `start` up to the caret (lines broken by U+2029 or '\n').
Result complete(QStringView before, Markup::State start = {}, const PageSource &page = {});

// The ids and classes named in `text`, each once, in order of first
// appearance, at most `max` of each.
// Classes named in STYLE contents count, and the addresses of the
// stylesheets the page links (`<link rel="stylesheet" href>`) are put in
// `stylesheets` when given.
void collectNames(QStringView text, Markup::State start, QStringList *ids, QStringList *classes,
                  int max = 2000, QStringList *stylesheets = nullptr);

// The classes a stylesheet's selectors name (`.name`), each once, added to
// `classes` up to `max`; declarations, comments, strings and url() are
// passed over (`.5em`, `x.png` are no classes).
void cssClassNames(QStringView css, QStringList *classes, int max = 2000);

// The character a named reference gives (without '&' and ';'), or none.
QString referenceCharacter(QStringView name);

} // namespace Completion
