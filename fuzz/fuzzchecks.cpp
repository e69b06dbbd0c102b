// The list of targets, and the printable forms the checks' messages share.
// The checks themselves: fuzzfiles.cpp (what is read from and written to
// disk) and fuzzmarkup.cpp (the markup the editor reads and writes).
#include "fuzzchecks.h"
#include "fuzzsupport.h"

#include <iterator>

namespace FuzzChecks {

// A short printable form of a text for failure messages.
QString shown(const QString &s)
{
    QString out;
    for (const QChar c : s.left(200)) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\'))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (s.size() > 200)
        out += QStringLiteral("...(%1 chars)").arg(s.size());
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString shownBytes(const QByteArray &b)
{
    QString out = QString::fromLatin1(b.left(120).toHex(' '));
    if (b.size() > 120)
        out += QStringLiteral(" ...(%1 bytes)").arg(b.size());
    return out;
}

namespace {
const Target kTargets[] = {
    {"settings", &settings, false},    {"tablefile", &tableFile, false},
    {"decoder", &decoder, false},      {"localpath", &localPath, false},
    {"targetscan", &targetScan, true}, {"bodyline", &bodyLine, false},
    {"filename", &fileName, false},    {"sniffing", &sniffing, false},
    {"roundtrip", &roundTrip, false},  {"markupscan", &markupScan, true},
};
} // namespace

const Target *targets() { return kTargets; }
int targetCount() { return int(std::size(kTargets)); }

const Target *findTarget(const char *name)
{
    for (const Target &t : kTargets)
        if (qstrcmp(t.name, name) == 0)
            return &t;
    return nullptr;
}

} // namespace FuzzChecks
