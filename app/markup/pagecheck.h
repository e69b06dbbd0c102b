#pragma once
// Checks a page's markup with HTML Tidy's library and reports its warnings
// and errors by line and column. The text is only read, never changed.
// Safe to run on a worker thread: each check has its own parser.
#include <QList>
#include <QString>
#include <atomic>

struct PageMessage {
    int line = 0;   // 1-based, as the editor shows lines to the user
    int column = 0; // 1-based
    // Where the fault ends, inclusive; 0: a place, not a range.
    int lastLine = 0;
    int lastColumn = 0;
    QString kind; // "Error", "Warning" or "Advice"
    QString text;
    bool operator==(const PageMessage &o) const
    {
        return line == o.line && column == o.column && kind == o.kind && text == o.text;
    }
};

struct PageCheckResult {
    QList<PageMessage> messages;
    int errors = 0;
    int warnings = 0;
    int advice = 0;
    bool cancelled = false;
    // Which standard the page was checked against, and by what, in words.
    QString standard;
    // "2 errors, 5 warnings", with ", 3 advice" when there is some, or
    // "No problems found".
    QString summary() const;
    // The counts again from the messages' kinds.
    void count();
};

// "2 errors, 5 warnings", with ", 3 advice" when there is some: the
// counts as the pane and the status bar say them.
QString countsText(int errors, int warnings, int advice);

// The older standard a page declares by its doctype's public or system
// identifier ("HTML 4.01", "XHTML 1.0", "HTML 3.2"...), or nothing for a
// page of today's HTML or with no doctype. Such pages are checked by Tidy
// against what they declare; the rest by the living standard.
QString declaredOlderDoctype(const QString &text);

// `cancel`, when set from another thread, ends the check early (the parser
// sees the end of the page); the result is then marked cancelled.
PageCheckResult checkPage(const QString &text, const std::atomic<bool> *cancel = nullptr);
