#pragma once
// The checks behind every fuzz target. Each takes one input as raw bytes,
// runs it through the parser the way the editor does, and returns a
// description of the first broken property (empty when all hold). A crash
// or a sanitizer report ends the process by itself. The libFuzzer targets
// and the regression test that replays saved inputs call the same code.
#include <QByteArray>
#include <QString>

namespace FuzzChecks {

using Check = QString (*)(const QByteArray &input);

struct Target {
    const char *name; // also the folder name under fuzz/corpus and fuzz/crashes
    Check check;
    bool needsWidgets; // needs a QApplication (the editor widget)
};

// Every target, in a fixed order.
const Target *targets();
int targetCount();
const Target *findTarget(const char *name);

// Bytes of a settings file, read as at start, parsed, rewritten by Save
// Settings and read back.
QString settings(const QByteArray &input);
// Bytes of a table definition file, read, written and read back.
QString tableFile(const QByteArray &input);
// Bytes of a document: decoded, line breaks normalised, encoded in its own
// encoding; the result must be the input with only its breaks changed.
QString decoder(const QByteArray &input);
// A path typed into the image or body dialog.
QString localPath(const QByteArray &input);
// A document text and a list of edits; the editor's target scan must agree
// with a scan of every line after the load and after each edit.
QString targetScan(const QByteArray &input);
// A line and the four body attributes.
QString bodyLine(const QByteArray &input);
// The bytes of a file name: read as a path and written back, shown, and
// carried in a file: URL, every byte kept.
QString fileName(const QByteArray &input);

// A page's first bytes: its declaration found only in the first 1,024,
// a label read whatever its case and spaces, the detectors bounded.
QString sniffing(const QByteArray &input);
// An encoding (the first byte) and bytes: bytes read in it are written back
// the same; a text it holds whole (the bytes as UTF-16) reads back as itself.
QString roundTrip(const QByteArray &input);
// A page up to a NUL byte, then edits: read by lines from carried states it
// reads as read whole, its tokens in order and in bounds; the document's kept
// line states stay each line's own through the edits.
QString markupScan(const QByteArray &input);

} // namespace FuzzChecks
