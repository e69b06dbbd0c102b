#pragma once
// The pages the benchmark opens: the editor's own shape, and families of
// pages shaped like today's web, hostile ones among them.
#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QFile;

namespace bench {

// About 72 bytes a line, CR LF, a BODY line near the top and 1,000 named
// targets spread through the page.
QByteArray generatePage(int lines);

// A page of today's HTML as people write it by hand, of about `bytes`:
// sections of headings, prose with links, lists, figures, tables and forms,
// LF lines, with a missing alt or a misplaced element now and then.
QByteArray handWrittenPage(qsizetype bytes);

struct Family {
    QString name;
    QString shape;                      // for the table
    std::function<void(QFile &)> write; // writes the page
    bool hostile = false;
    bool big = false; // over 8 MB: skipped by --quick

    // Writes the page to `path`, replacing what was there.
    void writeTo(const QString &path) const;
};

std::vector<Family> families(double scale);

} // namespace bench
