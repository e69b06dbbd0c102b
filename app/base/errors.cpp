#include "errors.h"

#include <QCoreApplication>

TagloomError::TagloomError(const QString &text)
    : std::runtime_error(text.toStdString()), m_text(text)
{
}

namespace Errors {
QString cannotOpen(const QString &path) { return QStringLiteral("Cannot open file %1").arg(path); }
QString cannotCreate(const QString &path)
{
    return QStringLiteral("Cannot create file %1").arg(path);
}
QString cannotCreate(const QString &path, int systemError)
{
    const QString reason = systemError ? qt_error_string(systemError) : QString();
    return reason.isEmpty() ? cannotCreate(path)
                            : cannotCreate(path) + QStringLiteral(": ") + reason;
}
QString notInteger(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}
QString memoCapacity() { return QStringLiteral("Text exceeds memo capacity"); }
} // namespace Errors

QString withPeriod(const QString &text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

int parseInteger(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i >= n)
        throw TagloomError(Errors::notInteger(text));
    qint64 value = 0;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw TagloomError(Errors::notInteger(text));
        value = value * 10 + (c.unicode() - '0');
        if (value > qint64(INT_MAX) + 1)
            throw TagloomError(Errors::notInteger(text));
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        throw TagloomError(Errors::notInteger(text));
    return int(value);
}
