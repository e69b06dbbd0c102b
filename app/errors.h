#pragma once
// One error type for every failure a command can meet (files, numbers).
// Handlers are connected through guarded(), which catches it and shows the
// application's stop box, so an exception never leaves a Qt slot.
#include <QObject>
#include <QString>
#include <exception>
#include <stdexcept>
#include <utility>

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
QString notInteger(const QString &text);   // "'%s' is not a valid integer value"
QString memoCapacity();                    // "Text exceeds memo capacity"
} // namespace Errors

// Text as the error box shows it: a period is appended when the text is not
// empty and its last character sorts after ".".
QString withPeriod(const QString &text);

// Shows the stop box with the application title, as the default handler does.
void reportError(const QString &text);

// Strict decimal integer: optional leading blanks, optional sign, digits,
// 32-bit range. Anything else throws TagloomError with the integer message.
int parseInteger(const QString &text);

// Runs f, turning a TagloomError or std::exception into the error box.
template <class F> void runGuarded(F &&f)
{
    try {
        f();
    } catch (const TagloomError &e) {
        reportError(e.text());
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
}

// Wraps a handler for connect(): every menu item, button and timer goes
// through this, so a failure ends the handler and the program goes on.
template <class F> auto guarded(F f)
{
    return [f]() { runGuarded(f); };
}
