#pragma once
// Markup of the link and target commands, and the scan that reads named
// targets back out of a page. Pure functions: field values in, text out.
#include <QString>
#include <QStringList>
#include <QStringView>

class EditorBox;

namespace LinkMarkup {
inline constexpr QStringView kDownloadable = u"<DOWNLOADABLE FILE>";
inline constexpr QStringView kTarget = u"<TARGET>";
inline constexpr QStringView kMailto = u"mailto:";

// What the link dialog answers.
struct Fields {
    QString protocol;
    QString address; // never empty: no address, no link
    QString description;
    QString target;  // the named target, for the <TARGET> protocol
};

// The text that replaces the selection. A downloadable file or a target
// drops the selected text; every other protocol writes it back after the
// anchor. A '"' of the address (protocol, address or target) is written as
// "%22"; the description goes in as typed.
QString link(const QString &protocol, const QString &address, const QString &description,
             const QString &target, const QString &selected);

// "<A NAME="name"></A>"
QString target(const QString &name);

// The name of the first named anchor in one line: the text after the first
// <A NAME=" up to the first "></A> of the line (empty when that closing
// text is missing or comes first). Returns false when the line names none.
bool targetInLine(QStringView line, QString *name);

// Every line's target, in document order, duplicates and empty names kept.
// Reads only the lines the editor knows to hold a named anchor.
QStringList scanTargets(const EditorBox *editor);
} // namespace LinkMarkup
