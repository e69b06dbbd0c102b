#pragma once
// The references a page or a stylesheet makes to other files, each where it
// is written in the text, and the names a page offers to fragments (ids and
// <a name>). Read through the markup scanner, as a browser reads markup:
// nothing in comments, SCRIPT or TEXTAREA; STYLE elements and style
// attributes read as stylesheets (url(), @import).
//
// Pure (no disk): whether a file exists is the caller's business.
#include "backgroundjob.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

struct PageLink {
    int line = 0;         // of the text, from 0 (lines end in CR LF)
    qsizetype column = 0; // in the line, in UTF-16 units, where the reference begins
    qsizetype length = 0; // of the reference as written (quotes not counted)
    QString written;      // the reference as written in the text (references undecoded)
    QString reference;    // as a browser takes it: character references decoded, trimmed
    QString element;      // lower case: "a", "img", "link"...; empty in a stylesheet
    QString attribute;    // lower case: "href", "src", "srcset"...; "url" or "@import" in CSS
};

struct PageLinks {
    QList<PageLink> links;
    // The first <base href> of the page, as a browser takes it; empty: none.
    QString baseHref;
    // Every id and <a name> of the page, as written (fragments match them
    // case-sensitively).
    QStringList anchors;
    // A page of more links or anchors than kMaxPageLinks is read no
    // further: memory stays bounded whatever the page.
    bool truncated = false;
};
constexpr int kMaxPageLinks = 200000;

// A page's links. `control` may cancel a long read (the result is then
// partial and the caller drops it).
PageLinks pageLinks(QStringView crlfText, const JobControl *control = nullptr);
// A stylesheet's: url() and @import.
PageLinks stylesheetLinks(QStringView crlfText);

// A reference resolved against the page that makes it, as a browser would.
struct ResolvedLink {
    enum Kind {
        Local,    // a file of this machine, in `path`
        External, // http:, https:, ftp:, //host...: listed, not fetched
        Other,    // mailto:, javascript:, data:, tel:...: not a file
        Fragment, // "#x" alone: this page
    };
    Kind kind = Other;
    QString path;            // Local: the absolute file path, cleaned and percent-decoded
    QString fragment;        // percent-decoded, without '#'; empty: none
    QString query;           // without '?'
    QString url;             // External: the absolute address
    bool fileScheme = false; // written as file:...
    bool backslash = false;  // written with '\'
    bool unencodedSpace = false;
    bool rootRelative = false; // written as "/x": under `siteRoot` when given
};

// `reference` as written in `pageFile` (an absolute path), under the page's
// <base href> (empty: none). A reference from the root ("/x") goes from
// `siteRoot` when given, as the server would serve the site; from the
// disk's root otherwise, as a browser opening the file does.
ResolvedLink resolveLink(const QString &pageFile, const QString &baseHref, const QString &reference,
                         const QString &siteRoot = QString());

// Character references in `text` read as the characters they stand for.
QString decodeReferences(QStringView text);
