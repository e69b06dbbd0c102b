#pragma once
// One error type for every failure a command can meet (files, numbers),
// and the texts of the common ones. Nothing here shows anything: the box
// that reports an error, and guarded(), are the UI seam's (uiseam.h).
#include <QString>
#include <stdexcept>

class TagloomError : public std::runtime_error {
public:
    explicit TagloomError(const QString &text);
    QString text() const { return m_text; }

private:
    QString m_text;
};

namespace Errors {
QString cannotOpen(const QString &path);   // "Cannot open file %s"
QString cannotCreate(const QString &path); // "Cannot create file %s"
// The same with the system's reason for an errno after it: "Cannot create
// file /x/a.htm: No space left on device" (the box adds the period).
QString cannotCreate(const QString &path, int systemError);
QString notInteger(const QString &text);   // "'%s' is not a valid integer value"
QString memoCapacity();                    // "Text exceeds memo capacity"
} // namespace Errors

// Text as the error box shows it: a period is appended when the text is not
// empty and its last character sorts after ".".
QString withPeriod(const QString &text);

// Strict decimal integer: optional leading blanks, optional sign, digits,
// 32-bit range. Anything else throws TagloomError with the integer message.
int parseInteger(const QString &text);
