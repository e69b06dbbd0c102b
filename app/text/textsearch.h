#pragma once
// Searching and replacing in a document, line by line: a match never spans
// a line break, so a search costs one pass over the lines it reads and a
// replacement never joins or splits lines.
//
// The work is done on the document's text as one string (lines joined by
// U+2029, offsets equal to the document's positions), so that the find bar
// can hand a copy of it to another thread and stay responsive while a
// costly pattern runs; the QTextDocument overloads are the same searches on
// the text as it stands now.
#include "backgroundjob.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QTextCursor>
#include <optional>

class QTextDocument;

// How a search ended: it read all it had to, the regular expression engine
// gave up on the pattern (backtracking past its limits), or it was told to
// stop.
enum class SearchStatus { Done, TooCostly, Cancelled };

// Shared between a search on another thread and the thread that wants it;
// its progress is how much of the text has been read.
using SearchControl = JobControl;

class SearchQuery {
public:
    enum Result { NoMatch, Match, TooCostly };

    SearchQuery() = default;
    SearchQuery(const QString &text, bool matchCase, bool wholeWords, bool regex);

    const QString &text() const { return m_text; }
    bool isRegex() const { return m_regex; }
    // Nothing to search for, or a pattern that does not compile.
    bool isUsable() const { return !m_text.isEmpty() && m_error.isEmpty(); }
    // Why a regular expression cannot be used; empty when it can.
    const QString &error() const { return m_error; }

    // The first match in `line` that starts at or after `from` (forward),
    // or the last one that ends at or before `from` (backward). Empty
    // matches are passed over: they would hold the search in place.
    // `line` must be valid UTF-16 (see searchableLine): the engine is told
    // not to check it, as checking costs a pass over the line per call.
    Result matchIn(QStringView line, qsizetype from, bool backward, qsizetype *start,
                   qsizetype *length, QRegularExpressionMatch *captures = nullptr,
                   const SearchControl *control = nullptr) const;

    // What replaces a match: with regular expressions \0..\9 stand for
    // the match's captures and \\ for a backslash; otherwise the text as typed.
    QString replacement(const QString &typed, const QRegularExpressionMatch &captures) const;

private:
    Result nextRegexMatch(QStringView line, qsizetype from, QRegularExpressionMatch *m,
                          const SearchControl *control) const;

    QString m_text;
    bool m_matchCase = false;
    bool m_wholeWords = false;
    bool m_regex = false;
    bool m_plain = true; // QString::indexOf will do
    QRegularExpression m_re;
    QString m_error;
};

// `line` as the engine may read it unchecked: a lone surrogate (half of a
// character, possible in typed or pasted text) becomes U+FFFD in `storage`,
// which keeps every offset.
QStringView searchableLine(QStringView line, QString *storage);

// ---- On the text as one string (any thread) ----

struct FoundMatch {
    qsizetype start = -1; // -1: no match anywhere in the text
    qsizetype length = 0;
    bool wrapped = false;
    SearchStatus status = SearchStatus::Done;
};
// The next match after [selStart, selEnd) (forward) or before it
// (backward), wrapping once around the text.
FoundMatch findMatch(const QString &text, const SearchQuery &query, qsizetype selStart,
                     qsizetype selEnd, bool backward, SearchControl *control = nullptr);

struct MatchCount {
    int total = -1; // -1: not known within the time allowed, or given up
    int index = 0;  // 1-based place of `current` among them, 0 if not a match
    SearchStatus status = SearchStatus::Done;
};
// Counts every match, giving up after budgetMs milliseconds.
MatchCount countMatches(const QString &text, const SearchQuery &query, qsizetype currentStart,
                        qsizetype currentEnd, int budgetMs,
                        SearchControl *control = nullptr);

// What Replace All will do, worked out before anything changes: per line
// with matches, one span from its first match to its last rewritten whole.
struct ReplacePlan {
    struct Edit {
        qsizetype start;
        qsizetype length;
        QString with;
    };
    QList<Edit> edits; // in text order
    int count = 0;     // matches replaced
    SearchStatus status = SearchStatus::Done;
};
ReplacePlan planReplaceAll(const QString &text, const SearchQuery &query, const QString &typed,
                           SearchControl *control = nullptr);
// Carries out a plan made on the document's present text, in one undo step
// begun at the caret so that undoing it puts the caret back there.
void applyReplacePlan(const QTextCursor &caret, const ReplacePlan &plan);

// The replacement for [start, end) if that is itself a match; nothing if not.
std::optional<QString> replacementAt(const QString &text, const SearchQuery &query,
                                     qsizetype start, qsizetype end, const QString &typed,
                                     SearchStatus *status, const SearchControl *control = nullptr);

// ---- On a document's present text (the calling thread, unbounded) ----

struct SearchHit {
    QTextCursor match; // null: no match anywhere in the page
    bool wrapped = false;
    bool tooCostly = false; // the engine gave up before finding one
};
SearchHit findMatch(QTextDocument *doc, const SearchQuery &query, const QTextCursor &from,
                    bool backward);
MatchCount countMatches(QTextDocument *doc, const SearchQuery &query, const QTextCursor &current,
                        int budgetMs);

struct ReplaceOutcome {
    int replaced = 0;
    bool tooCostly = false; // the engine gave up: nothing was replaced
};
// Replaces every match in caret's document in one undo step (see
// applyReplacePlan), or nothing when the engine gives up on the pattern.
ReplaceOutcome replaceAll(const QTextCursor &caret, const SearchQuery &query,
                          const QString &typed);
