#pragma once
// The markup the image command writes, from the dialog's field values.
#include <QString>

struct ImageFields {
    QString location;     // already converted by LocalPathToUrl
    QString documentLink; // target of a link around the image
    QString textOnly;     // the ALT text
    QString description;  // text inside the link, after the image
    QString align;        // ALIGN value as typed
};

// One of four forms, chosen by which fields hold at least one character.
// An empty location gives an empty result: there is nothing to insert and
// the user has to be asked again.
QString ImageMarkup(const ImageFields &f);
