#pragma once
// A generated site for the benchmark rows that work on a whole folder:
// hand-written-looking pages in section folders that link to each other
// and to small images, a stylesheet, and a version-control folder that
// site-wide work should pass over.
#include <QString>
#include <QStringList>

namespace bench {

struct Site {
    QStringList pages;  // absolute paths, index.html first
    QStringList images; // absolute paths
    // Words to search for: in (nearly) every page, and in a few.
    QString commonWord;
    QString rareWord;
    int rarePages = 0; // pages holding rareWord
    // Links and image references made on purpose to files that are not
    // there (one each at most a page).
    int brokenLinks = 0;
    int missingImages = 0;
};

// Writes the site into `dir` (made if need be): `pages` pages of about
// 5-30 KB, LF lines, each linking to several others and showing a few of
// `images` tiny PNG images. The same arguments give the same bytes.
Site makeSite(const QString &dir, int pages, int images);

} // namespace bench
