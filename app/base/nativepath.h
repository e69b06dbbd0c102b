#pragma once
// File names on Linux are bytes, not text. Qt decodes them as UTF-8 and
// turns every byte that is not UTF-8 into U+FFFD, so a file named in
// Latin-1 (or anything else) could be neither opened nor saved under its
// own name. Paths here keep such a byte as the lone surrogate U+DC80..U+DCFF
// (U+DC00 + the byte): valid UTF-8 never decodes to one, so the bytes come
// back exactly. Every path handed to the system goes through nativePath().
#include <QByteArray>
#include <QString>

class QUrl;

// The path the bytes name: UTF-8, each byte of an invalid sequence kept as
// U+DC00 + the byte.
QString pathFromNative(const QByteArray &bytes);

// The bytes of a path for the system: the inverse of pathFromNative(); for a
// path without kept bytes the same as QFile::encodeName(). A surrogate
// pathFromNative() never makes is written as U+FFFD.
QByteArray nativePath(const QString &path);

// The local path of a file: URL with its percent-encoded bytes kept, where
// QUrl::toLocalFile() decodes them as UTF-8. Empty for any other URL.
QString localPathOfUrl(const QUrl &url);

// A file: URL naming exactly the bytes of an absolute path.
QUrl urlOfLocalPath(const QString &path);

// The working folder, kept as pathFromNative() keeps names.
QString currentFolderPath();

// A path with each kept byte shown as U+FFFD: for names the program makes
// itself from a document's (copies for the browser), never for the
// document's own path.
QString shownPath(const QString &path);
