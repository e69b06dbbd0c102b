#pragma once
// A file's bytes changed only where its text changed: how work on many
// files saves a page. The editor's own Save writes every line break as
// CR LF; a page changed by a replace across the site or by a rename keeps
// its LF, CR or mixed breaks, its BOM, the byte forms it wrote and every
// line it did not change, byte for byte.
#include "charset.h"
#include "editormarks.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// `original` holds a text whose lines, as the editor reads them (marks
// hidden by `standIns`), are to become `lines` (the same number of lines:
// lines changed, none added or removed). Unchanged lines and every line's
// break are copied; a changed line is encoded anew, once encoding its old
// text is known to give its old bytes (a stateful charset may not). Nothing
// when that cannot be done, with the reason in `why`; the result is checked
// to read back as `lines` (a character the charset lacks as its reference,
// as Save writes it).
std::optional<QByteArray> keepOtherBytes(const QByteArray &original, TextEncoding encoding,
                                         const KeptForms &kept, const MarkStandIns &standIns,
                                         const QStringList &lines, QString *why);
