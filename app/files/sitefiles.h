#pragma once
// Which files of a site folder site-wide work reads, the same for the
// folder pane, find in files, the site check and renames: hidden files and
// folders are never read (version control's .git, .svn, .hg among them).
#include <QString>

// A folder of version control that is not hidden (CVS, _darcs): passed over.
bool isLeftOutFolder(const QString &name);
// A page (.htm, .html, .xhtml, .shtml) and a stylesheet (.css), by name.
bool isSitePage(const QString &path);
bool isStylesheet(const QString &path);
