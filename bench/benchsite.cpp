#include "benchsite.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace bench {

namespace {
constexpr int kPagesPerFolder = 100;
constexpr int kImagesPerFolder = 100;

// A 1x1 transparent PNG: image files are many and tiny on real sites.
const QByteArray &tinyPng()
{
    static const QByteArray png =
        QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwA"
                               "ChwGA60e6kgAAAABJRU5ErkJggg==");
    return png;
}

QString pageName(int i)
{
    return QStringLiteral("section%1/page%2.html")
        .arg(i / kPagesPerFolder, 2, 10, QLatin1Char('0'))
        .arg(i, 4, 10, QLatin1Char('0'));
}

QString imageName(int i)
{
    return QStringLiteral("images/d%1/img%2.png")
        .arg(i / kImagesPerFolder, 2, 10, QLatin1Char('0'))
        .arg(i, 4, 10, QLatin1Char('0'));
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

const char *const kTopics[] = {"beans",    "tomatoes", "onions", "leeks",  "the shed",
                               "the pond", "rhubarb",  "squash", "apples", "seed potatoes"};
const char *const kProse[] = {
    "The ground was still cold, so the sowing waited another week; the cloches went on the "
    "early rows instead.",
    "A neighbour lent a spade with a proper ash handle, and the digging went twice as fast "
    "as last year.",
    "Slugs had the first lettuces overnight. Copper tape round the raised bed seems to keep "
    "the rest of them off.",
    "Rain all Saturday: the water butts are full again, and the paths are mud up to the "
    "gate.",
    "The committee agreed to buy a second wheelbarrow and to clear the brambles by the "
    "north fence before summer.",
};

QByteArray page(int i, int pages, int images, QRandomGenerator &rng, const QString &rare,
                Site &site)
{
    const QByteArray title = "Plot notes " + QByteArray::number(i);
    QByteArray out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<title>"
                     + title
                     + "</title>\n<link rel=\"stylesheet\" href=\"../style.css\">\n</head>\n"
                       "<body>\n<header>\n<h1>"
                     + title
                     + "</h1>\n<nav><ul>\n<li><a href=\"../index.html\">Home</a></li>\n"
                       "<li><a href=\"../"
                     + pageName((i + 1) % pages).toUtf8() + "\">Next</a></li>\n<li><a href=\"../"
                     + pageName((i + pages - 1) % pages).toUtf8()
                     + "\">Previous</a></li>\n</ul></nav>\n</header>\n<main>\n";
    const qsizetype size = 5 * 1024 + qsizetype(rng.bounded(25 * 1024));
    out.reserve(size + 2048);
    for (int s = 0; out.size() < size; ++s) {
        const QByteArray topic = kTopics[rng.bounded(int(std::size(kTopics)))];
        const int other = int(rng.bounded(pages));
        out += "<section id=\"s" + QByteArray::number(s) + "\">\n<h2>About " + topic + "</h2>\n<p>"
               + kProse[rng.bounded(int(std::size(kProse)))] + "\nThe notes on <a href=\"../"
               + pageName(other).toUtf8() + "\">" + topic + "</a> say more.\n"
               + kProse[rng.bounded(int(std::size(kProse)))] + "</p>\n";
        if (images > 0 && s % 2 == 0)
            out += "<figure>\n<img src=\"../" + imageName(int(rng.bounded(images))).toUtf8()
                   + "\" alt=\"" + topic + "\" width=\"320\" height=\"240\">\n<figcaption>" + topic
                   + " this week</figcaption>\n</figure>\n";
        if (s % 3 == 0)
            out += "<ul>\n<li>Water the greenhouse</li>\n<li>Turn the compost</li>\n</ul>\n";
        out += "</section>\n";
    }
    // On purpose, now and then: what a site check should find.
    if (i % 97 == 5) {
        out += "<p><a href=\"../section99/missing" + QByteArray::number(i)
               + ".html\">Old notes</a></p>\n";
        ++site.brokenLinks;
    }
    if (i % 89 == 7) {
        out += "<p><img src=\"../images/gone" + QByteArray::number(i) + ".png\" alt=\"\"></p>\n";
        ++site.missingImages;
    }
    if (i % 400 == 3) {
        out += "<p>The " + rare.toUtf8() + " did well in the clay.</p>\n";
        ++site.rarePages;
    }
    out += "</main>\n<footer><p>&copy; 2026 The allotment society</p></footer>\n</body>\n"
           "</html>\n";
    return out;
}
} // namespace

Site makeSite(const QString &dir, int pages, int images)
{
    Site site;
    site.commonWord = QStringLiteral("compost");
    site.rareWord = QStringLiteral("mangelwurzel");
    QDir root(dir);
    root.mkpath(QStringLiteral("."));
    QRandomGenerator rng(20261210);

    QByteArray index =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>The allotment</title>\n<link rel=\"stylesheet\" href=\"style.css\">\n"
        "</head>\n<body>\n<h1>The allotment</h1>\n<p>Turn the compost.</p>\n<ul>\n";
    for (int i = 0; i < pages; i += 10)
        index += "<li><a href=\"" + pageName(i).toUtf8() + "\">Notes " + QByteArray::number(i)
                 + "</a></li>\n";
    index += "</ul>\n</body>\n</html>\n";
    write(root.filePath(QStringLiteral("index.html")), index);
    site.pages.append(root.filePath(QStringLiteral("index.html")));
    write(root.filePath(QStringLiteral("style.css")),
          "body { font-family: serif; margin: 0 auto; max-width: 40em; }\n"
          "figure img { max-width: 100%; height: auto; }\n");
    // A version-control folder holding the words too: work on the site
    // passes over it.
    root.mkpath(QStringLiteral(".git/objects"));
    write(root.filePath(QStringLiteral(".git/description")), "compost mangelwurzel\n");
    write(root.filePath(QStringLiteral(".git/objects/notes.html")),
          "<p>compost mangelwurzel</p>\n");

    for (int i = 0; i < pages; ++i) {
        const QString name = pageName(i);
        if (i % kPagesPerFolder == 0)
            root.mkpath(name.section(QLatin1Char('/'), 0, 0));
        const QString path = root.filePath(name);
        write(path, page(i, pages, images, rng, site.rareWord, site));
        site.pages.append(path);
    }
    for (int i = 0; i < images; ++i) {
        const QString name = imageName(i);
        if (i % kImagesPerFolder == 0)
            root.mkpath(name.section(QLatin1Char('/'), 0, 1));
        const QString path = root.filePath(name);
        write(path, tinyPng());
        site.images.append(path);
    }
    return site;
}

} // namespace bench
