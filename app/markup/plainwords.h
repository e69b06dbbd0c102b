#pragma once
// What the checkers say, put in plain words about the page: "<li> must be
// inside <ul>, <ol> or <menu>" rather than what a repair tool would do or
// the checker's own terms. Messages of a shape not known are kept as they
// are. Pure: safe on a worker thread.
#include "pagecheck.h"

#include <QList>
#include <QString>

// The conformance checker's or Tidy's message in plain words.
QString plainWords(const QString &message);

// The page's text by a message's lines and columns (lines end at CR LF, LF
// or CR; columns count UTF-16 units, as the editor's and the checker's do).
// Where lines start is found once, when first asked.
class PageSource {
public:
    explicit PageSource(QStringView page) : m_page(page) {}
    // From (line, column) to (lastLine, lastColumn), inclusive; empty when
    // not in the page.
    QStringView range(int line, int column, int lastLine, int lastColumn);

private:
    QStringView m_page;
    QList<qsizetype> m_lineStarts;
};

// As above, with what the message leaves out read from the page at its
// range: the value of a <label for>, the element written with "/>".
QString plainWords(const PageMessage &message, PageSource &page);

// The checker's messages that are not shown: not about the page as the
// user wrote it, or a guess rather than a fault.
bool passedOver(const QString &message);

// Results that tell one fault more than once become one, in page order.
void foldDuplicates(QList<PageMessage> *messages);
