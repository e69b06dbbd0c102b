#pragma once
// The HR tag the horizontal-rule command writes.
#include <QString>

// Attributes in the fixed order WIDTH, SIZE, ALIGN, NOSHADE, values unquoted:
// (100, percent, 1, "", shaded) -> "<HR WIDTH=100% SIZE=1>".
QString HorizRuleTag(int width, bool percent, int size, const QString &align, bool shaded);
