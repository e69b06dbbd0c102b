#pragma once
// The editor's text against the file's: line breaks, and the characters the
// editor keeps for itself. A file's lone CR and lone LF become CR LF, the
// editor's U+2029 block separator is written back as CR LF, and the marks a
// file may hold that the editor would take as its own are held as stand-ins
// and written back as themselves.
#include "charset.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The editor takes U+2029, U+FDD0 and U+FDD1 as its own block and frame
// marks, so a file holding them would come back with line breaks in their
// place. They are held in the editor as three characters the file does not
// hold (first the noncharacters U+FDD2, U+FDD3 and U+FDD4, reserved for
// internal use) and written back as the marks they stand for.
struct MarkStandIns {
    char32_t chars[3] = {0, 0, 0}; // for U+2029, U+FDD0, U+FDD1; 0: none in use
    bool inUse() const { return chars[0] != 0; }
    bool operator==(const MarkStandIns &o) const
    {
        return chars[0] == o.chars[0] && chars[1] == o.chars[1] && chars[2] == o.chars[2];
    }
    bool operator!=(const MarkStandIns &o) const { return !(*this == o); }
};

// Puts stand-ins in place of the editor's marks in the text and returns
// them; none when the text holds no mark. Should a text hold every
// character that could stand in (over a million), its marks stay.
MarkStandIns hideEditorMarks(QString &text);
// Every lone CR and every lone LF becomes CR LF.
QString normalizeLineBreaks(const QString &text);

// Characters the encoding cannot hold are written as "&#NNNN;". A U+2029
// (the editor's line separator) is written as CR LF. The stand-ins of
// hideEditorMarks() are written as the characters they stand for. A BOM
// is written first where the encoding has one.
// Characters of `kept` are written in the byte form kept for them.
QByteArray encodeText(const QString &text, TextEncoding encoding,
                      const MarkStandIns &standIns = MarkStandIns(),
                      const KeptForms &kept = KeptForms());
// Appends text in the encoding to out, as encodeText() encodes it (no BOM).
void appendEncoded(QStringView text, TextEncoding encoding, const MarkStandIns &standIns,
                   QByteArray &out, const KeptForms &kept = KeptForms());

// hideEditorMarks() in steps, for a text read in pieces: every piece is
// looked at first, then the stand-ins are chosen, then put in each piece.
struct MarksSeen {
    bool marks = false;        // the text holds one of the editor's marks
    std::vector<quint64> used; // one bit a code point, from the first one above ASCII

    bool holds(char32_t c) const
    {
        return !used.empty() && (used[c >> 6] >> (c & 63) & 1);
    }
};
void lookForMarks(QStringView text, MarksSeen &seen);
// The first three characters the text does not hold: the noncharacters
// (meant for internal use) first, then private use, then any other.
MarkStandIns chooseStandIns(const MarksSeen &seen);
void replaceMarks(QString &text, const MarkStandIns &standIns);

// Appends text to out with every lone CR and lone LF as CR LF. The text
// must not end in a CR whose LF is still to come.
void appendNormalized(QStringView text, QString &out);
