#include "pageadvice.h"

const QList<AdviceSwitch> &adviceSwitches()
{
    static const QList<AdviceSwitch> switches = {
        {AdviceKind::ImageAlt, "check/advice/imageAlt", "Images without alt text"},
        {AdviceKind::EmptyLink, "check/advice/emptyLink", "Links and buttons without text"},
        {AdviceKind::UnlabelledControl, "check/advice/unlabelled", "Form controls without a label"},
        {AdviceKind::SkippedHeading, "check/advice/headings", "Skipped heading levels"},
        {AdviceKind::PageLanguage, "check/advice/lang", "Page without a language"},
        {AdviceKind::TableHeaders, "check/advice/tableHeaders", "Data tables without header cells"},
    };
    return switches;
}

QList<PageMessage> accessibilityAdvice(QStringView, unsigned, const std::atomic<bool> *)
{
    return {}; // TODO(helper): built next
}
