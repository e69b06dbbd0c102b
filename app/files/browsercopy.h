#pragma once
// The copy of a page that "Preview in Browser" hands to the system's
// browser: the text as it stands, with a BASE element naming the page's
// folder so that its relative paths still resolve from the temporary folder.
#include <QString>

// `text` with <BASE HREF="folderUrl"> after its HEAD tag (or its HTML tag,
// or at the start when it has neither). folderUrl ends with "/".
QString withBaseHref(const QString &text, const QString &folderUrl);

// Writes `bytes` as a new file in a private temporary folder that is
// removed when the program ends; returns its path, empty on failure.
QString writeBrowserCopy(const QString &name, const QByteArray &bytes);
