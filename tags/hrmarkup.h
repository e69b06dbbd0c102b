#pragma once
// The HR tag the horizontal-rule command writes.
#include <QString>

// What the horizontal rule dialog answers.
struct HorizRuleFields {
    int width = 100;
    bool percent = true; // the width is in percent, not pixels
    int size = 1;
    QString align;       // as typed
    bool shaded = true;
};

// Attributes in the fixed order WIDTH, SIZE, ALIGN, NOSHADE, values unquoted:
// (100, percent, 1, "", shaded) -> "<HR WIDTH=100% SIZE=1>".
QString HorizRuleTag(int width, bool percent, int size, const QString &align, bool shaded);
