#pragma once
// Searching and replacing in a document, line by line: a match never spans
// a line break, so a search costs one pass over the lines it reads and a
// replacement never joins or splits lines.
#include <QRegularExpression>
#include <QString>
#include <QTextCursor>

class QTextDocument;

class SearchQuery {
public:
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
    bool matchIn(const QString &line, qsizetype from, bool backward, qsizetype *start,
                 qsizetype *length, QRegularExpressionMatch *captures = nullptr) const;

    // What replaces a match: with regular expressions \0..\9 stand for
    // the match's captures and \\ for a backslash; otherwise the text as typed.
    QString replacement(const QString &typed, const QRegularExpressionMatch &captures) const;

private:
    QString m_text;
    bool m_matchCase = false;
    bool m_wholeWords = false;
    bool m_regex = false;
    bool m_plain = true; // QString::indexOf will do
    QRegularExpression m_re;
    QString m_error;
};

struct SearchHit {
    QTextCursor match; // null: no match anywhere in the page
    bool wrapped = false;
};

// The next match after `from`'s selection (forward) or before it
// (backward), wrapping once around the page.
SearchHit findMatch(QTextDocument *doc, const SearchQuery &query, const QTextCursor &from,
                    bool backward);

struct MatchCount {
    int total = -1; // -1: not known within the time allowed
    int index = 0;  // 1-based place of `current` among them, 0 if not a match
};
// Counts every match, giving up after budgetMs milliseconds.
MatchCount countMatches(QTextDocument *doc, const SearchQuery &query, const QTextCursor &current,
                        int budgetMs);

// Replaces every match in caret's document in one undo step, begun at the
// caret so that undoing it puts the caret back there; returns how many were
// replaced.
int replaceAll(const QTextCursor &caret, const SearchQuery &query, const QString &typed);
