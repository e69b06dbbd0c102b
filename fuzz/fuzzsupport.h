#pragma once
// What the checks in fuzzfiles.cpp and fuzzmarkup.cpp share: short printable
// forms of texts and bytes for their failure messages.
#include <QByteArray>
#include <QString>

namespace FuzzChecks {

// A text quoted, its first 200 characters printable (others as \uXXXX).
QString shown(const QString &s);
// The first 120 bytes in hex.
QString shownBytes(const QByteArray &b);

} // namespace FuzzChecks
