#pragma once
// Accessibility advice that conformance leaves out, read from the page by
// the editor's own markup scanner: images without alt, links and buttons
// without text, form controls without a label, skipped heading levels, a
// page without a language, data tables without header cells. Pure: safe on
// a worker thread; the text is only read.
#include "pagecheck.h"

#include <QList>
#include <QStringView>
#include <atomic>

enum class AdviceKind : unsigned {
    ImageAlt = 1u << 0,
    EmptyLink = 1u << 1, // links and buttons with no text
    UnlabelledControl = 1u << 2,
    SkippedHeading = 1u << 3,
    PageLanguage = 1u << 4,
    TableHeaders = 1u << 5,
};
constexpr unsigned kAllAdvice = (1u << 6) - 1;

struct AdviceSwitch {
    AdviceKind kind;
    const char *key;     // in the user's state
    const char *caption; // in the pane's menu
};
// Every kind of advice, in the order the pane offers them.
const QList<AdviceSwitch> &adviceSwitches();

// The advice of the kinds in `enabled` (AdviceKind bits), in page order,
// each of kind "Advice". `cancel`, when set, ends the reading early.
QList<PageMessage> accessibilityAdvice(QStringView text, unsigned enabled = kAllAdvice,
                                       const std::atomic<bool> *cancel = nullptr);
