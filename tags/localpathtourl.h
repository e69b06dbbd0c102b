#pragma once
// Turning a local path typed or browsed in a dialog into the address that
// goes into markup. Shared by the image and the body attributes commands.
#include <QString>

// "C:\pics\logo.gif" -> "file:///C|/pics/logo.gif": the character two places
// before the first backslash is taken as the drive letter, whatever stands
// between it and the backslash is dropped, and every backslash becomes "/".
// Text without a backslash (a web address, a path with slashes) is returned
// unchanged. Texts whose first backslash leaves no room for a drive letter:
//   "\\server\share\a.gif" -> "file://server/share/a.gif"  (network path)
//   "\pics\a.gif"          -> "file:///pics/a.gif"         (root of the drive)
//   "a\b.gif"              -> "a/b.gif"                    (relative path)
QString LocalPathToUrl(const QString &text);
