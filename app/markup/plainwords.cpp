#include "plainwords.h"

QString plainWords(const QString &message)
{
    return message; // TODO(helper): built next
}

void foldDuplicates(QList<PageMessage> *) {}
