#pragma once
// Reading an abbreviation ("ul>li*3") into the tree of what it makes. The
// elements are counted as it is read (a count multiplies what it holds), so
// that one too large or too deep is refused before anything is built; it is
// read in one loop, never recursively.
#include <QList>
#include <QString>
#include <QStringView>
#include <vector>

namespace Abbreviation {

struct Attr {
    QString name;
    QString value;
    bool bare = false; // written without a value
};

struct Node {
    enum Kind { Element, Text, Lorem, Group } kind = Element;
    QString name; // an element's; empty for an implicit one
    QList<Attr> attrs;
    QString text;
    bool hasText = false;
    int words = 0;        // Lorem
    int count = 1;        // "*N"
    bool counted = false; // numbering inside counts from here
    int parent = -1;      // -1: the top
    QList<int> children;
    int depth = 1;
    qint64 factor = 1; // its instances, times its ancestors' counts
};

struct Tree {
    std::vector<Node> nodes;
    QList<int> top;       // the nodes at the top, in order
    QString error;        // why it is no abbreviation; empty when it is one
    bool refused = false; // it is one, too large to build
};
Tree read(QStringView abbreviation, int maxElements);

// A character of an element's name, id or class.
bool isNameChar(QChar c);
bool isVoid(QStringView name);
// Sets an attribute: a class adds to the classes, any other replaces its value.
void setAttr(QList<Attr> &attrs, const Attr &a);

// `name` is `lower` (ASCII, lower case) in any case.
bool isName(QStringView name, const char *lower);
template <size_t N> bool oneOf(QStringView name, const char *const (&list)[N])
{
    for (const char *n : list)
        if (isName(name, n))
            return true;
    return false;
}

} // namespace Abbreviation
