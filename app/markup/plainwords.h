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

// The checker's messages that are not shown: not about the page as the
// user wrote it, or said better by the accessibility advice.
bool passedOver(const QString &message);

// Results that tell one fault more than once become one, in page order.
void foldDuplicates(QList<PageMessage> *messages);
