#include "pagecheck.h"

#include <QRegularExpression>
#include <tidy.h>
#include <tidybuffio.h>

namespace {
struct Source {
    QByteArray bytes;
    qsizetype at = 0;
    const std::atomic<bool> *cancel = nullptr;
    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

int TIDY_CALL getByte(void *data)
{
    auto *s = static_cast<Source *>(data);
    if (s->at >= s->bytes.size() || s->cancelled())
        return EOF;
    return static_cast<unsigned char>(s->bytes.at(s->at++));
}

void TIDY_CALL ungetByte(void *data, byte)
{
    auto *s = static_cast<Source *>(data);
    if (s->at > 0)
        --s->at;
}

Bool TIDY_CALL atEnd(void *data)
{
    auto *s = static_cast<Source *>(data);
    return s->at >= s->bytes.size() || s->cancelled() ? yes : no;
}

Bool TIDY_CALL collect(TidyMessage m)
{
    auto *result = static_cast<PageCheckResult *>(tidyGetAppData(tidyGetMessageDoc(m)));
    const TidyReportLevel level = tidyGetMessageLevel(m);
    PageMessage msg;
    if (level == TidyWarning) {
        msg.kind = QStringLiteral("Warning");
        ++result->warnings;
    } else if (level == TidyError || level == TidyBadDocument || level == TidyFatal) {
        msg.kind = QStringLiteral("Error");
        ++result->errors;
    } else {
        return no; // information and dialogue: not about the page
    }
    msg.line = tidyGetMessageLine(m);
    msg.column = tidyGetMessageColumn(m);
    msg.text = QString::fromUtf8(tidyGetMessage(m));
    result->messages.append(msg);
    return no; // nothing to Tidy's own error output
}
} // namespace

QString PageCheckResult::summary() const
{
    if (errors == 0 && warnings == 0 && advice == 0)
        return QStringLiteral("No problems found");
    return countsText(errors, warnings, advice);
}

QString countsText(int errors, int warnings, int advice)
{
    auto count = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString s = count(errors, "error", "errors") + QStringLiteral(", ")
                + count(warnings, "warning", "warnings");
    if (advice > 0)
        s += QStringLiteral(", %1 advice").arg(advice);
    return s;
}

void PageCheckResult::count()
{
    errors = warnings = advice = 0;
    for (const PageMessage &m : std::as_const(messages)) {
        if (m.kind == QLatin1String("Error"))
            ++errors;
        else if (m.kind == QLatin1String("Warning"))
            ++warnings;
        else
            ++advice;
    }
}

PageCheckResult checkPage(const QString &text, const std::atomic<bool> *cancel)
{
    PageCheckResult result;
    Source source{text.toUtf8(), 0, cancel};
    TidyDoc doc = tidyCreate();
    tidySetAppData(doc, &result);
    tidySetMessageCallback(doc, collect);
    TidyBuffer errors;
    tidyBufInit(&errors);
    tidySetErrorBuffer(doc, &errors); // anything the callback lets through stays here
    tidySetInCharEncoding(doc, "utf8");
    tidyOptSetBool(doc, TidyShowWarnings, yes);
    tidyOptSetBool(doc, TidyShowInfo, no);
    tidyOptSetBool(doc, TidyQuiet, yes);
    tidyOptSetInt(doc, TidyShowErrors, 1000000); // every error, not the first six
    tidyOptSetValue(doc, TidyDoctype, "auto");   // as the page declares
    tidyOptSetInt(doc, TidyTabSize, 1);          // columns count characters, a tab as one
    TidyInputSource input;
    tidyInitSource(&input, &source, getByte, ungetByte, atEnd);
    tidyParseSource(doc, &input);
    result.cancelled = source.cancelled();
    tidyBufFree(&errors);
    tidyRelease(doc);
    return result;
}

QString declaredOlderDoctype(const QString &text)
{
    // The doctype comes first; comments or a byte order mark may precede it.
    static const QRegularExpression doctype(
        QStringLiteral("<!DOCTYPE\\s+html\\s+(?:PUBLIC|SYSTEM)\\s+[\"'][^\"'>]*//DTD\\s+"
                       "(X?HTML)\\s+(\\d+(?:\\.\\d+)?)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = doctype.match(QStringView(text).left(4096));
    if (!m.hasMatch())
        return {};
    return m.captured(1).toUpper() + QLatin1Char(' ') + m.captured(2);
}
