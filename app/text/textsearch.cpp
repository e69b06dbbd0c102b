#include "textsearch.h"

#include <QElapsedTimer>
#include <QTextDocument>
#include <algorithm>

namespace {
constexpr QChar kLineBreak(0x2029); // QTextDocument's separator between blocks

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

bool wordBounded(QStringView line, qsizetype start, qsizetype length)
{
    return (start == 0 || !isWordChar(line.at(start - 1)))
           && (start + length == line.size() || !isWordChar(line.at(start + length)));
}

bool stopped(const SearchControl *control) { return control && control->isCancelled(); }

void report(SearchControl *control, qsizetype at, qsizetype size)
{
    if (control && size > 0)
        control->setProgress(int(at * 1000 / size));
}

constexpr auto kUnchecked = QRegularExpression::DontCheckSubjectStringMatchOption;

// One line of the text: where it starts and how long it is.
struct Line {
    qsizetype start;
    qsizetype size;
};

Line lineAt(const QString &text, qsizetype pos)
{
    const qsizetype start = pos == 0 ? 0 : text.lastIndexOf(kLineBreak, pos - 1) + 1;
    qsizetype end = text.indexOf(kLineBreak, pos);
    if (end < 0)
        end = text.size();
    return {start, end - start};
}

// The line after (or before) `l`; size -1 past either end.
Line stepLine(const QString &text, Line l, bool backward)
{
    if (backward)
        return l.start == 0 ? Line{0, -1} : lineAt(text, l.start - 1);
    const qsizetype next = l.start + l.size + 1;
    return next > text.size() ? Line{0, -1} : lineAt(text, next);
}

// Reads the lines of `text` through a UTF-16 check each, once.
class LineReader {
public:
    explicit LineReader(const QString &text) : m_text(text) {}
    QStringView view(Line l)
    {
        return searchableLine(QStringView(m_text).mid(l.start, l.size), &m_storage);
    }

private:
    const QString &m_text;
    QString m_storage;
};
} // namespace

QStringView searchableLine(QStringView line, QString *storage)
{
    if (line.isValidUtf16())
        return line;
    *storage = line.toString();
    for (qsizetype i = 0; i < storage->size(); ++i) {
        const QChar c = storage->at(i);
        if (c.isHighSurrogate() && i + 1 < storage->size() && storage->at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            (*storage)[i] = QChar::ReplacementCharacter;
    }
    return *storage;
}

SearchQuery::SearchQuery(const QString &text, bool matchCase, bool wholeWords, bool regex)
    : m_text(text), m_matchCase(matchCase), m_wholeWords(wholeWords), m_regex(regex),
      m_plain(!regex)
{
    if (!regex || text.isEmpty())
        return;
    QString pattern = text;
    if (wholeWords)
        pattern = QStringLiteral("(?<![\\p{L}\\p{N}_])(?:%1)(?![\\p{L}\\p{N}_])").arg(text);
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!matchCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    m_re = QRegularExpression(pattern, options);
    if (!m_re.isValid())
        m_error = m_re.errorString();
    else
        m_re.optimize();
}

// Qt reports PCRE2 giving up (its match, depth or heap limit) only as an
// invalid match object from a valid expression: that is what TooCostly is.
SearchQuery::Result SearchQuery::nextRegexMatch(QStringView line, qsizetype from,
                                                QRegularExpressionMatch *m,
                                                const SearchControl *control) const
{
    QRegularExpressionMatch r = m_re.match(line, from, QRegularExpression::NormalMatch, kUnchecked);
    if (!r.isValid())
        return TooCostly;
    if (!r.hasMatch())
        return NoMatch;
    if (r.capturedLength() > 0) {
        *m = r;
        return Match;
    }
    // After an empty match the iterator knows the step globalMatch takes: a
    // non-empty match at the same place, or on from the next character.
    auto it = m_re.globalMatch(line, r.capturedStart(), QRegularExpression::NormalMatch,
                               kUnchecked);
    qsizetype last = r.capturedStart();
    for (int steps = 0; it.hasNext(); ++steps) {
        const QRegularExpressionMatch n = it.next();
        if (n.capturedLength() > 0) {
            *m = n;
            return Match;
        }
        last = n.capturedStart();
        if (steps % 4096 == 0 && stopped(control))
            return NoMatch;
    }
    // The iterator stops alike at the end and when the engine gives up.
    if (last + 1 > line.size())
        return NoMatch;
    r = m_re.match(line, last + 1, QRegularExpression::NormalMatch, kUnchecked);
    return r.isValid() ? NoMatch : TooCostly;
}

SearchQuery::Result SearchQuery::matchIn(QStringView line, qsizetype from, bool backward,
                                         qsizetype *start, qsizetype *length,
                                         QRegularExpressionMatch *captures,
                                         const SearchControl *control) const
{
    if (!isUsable())
        return NoMatch;
    if (m_plain) {
        const Qt::CaseSensitivity cs = m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const QStringView needle(m_text);
        const qsizetype n = needle.size();
        if (!backward) {
            for (qsizetype i = line.indexOf(needle, from, cs); i >= 0;
                 i = line.indexOf(needle, i + 1, cs)) {
                if (!m_wholeWords || wordBounded(line, i, n)) {
                    *start = i;
                    *length = n;
                    return Match;
                }
            }
            return NoMatch;
        }
        if (from - n < 0)
            return NoMatch;
        for (qsizetype i = line.lastIndexOf(needle, from - n, cs); i >= 0;
             i = i == 0 ? -1 : line.lastIndexOf(needle, i - 1, cs)) {
            if (!m_wholeWords || wordBounded(line, i, n)) {
                *start = i;
                *length = n;
                return Match;
            }
        }
        return NoMatch;
    }
    QRegularExpressionMatch m;
    if (!backward) {
        const Result r = nextRegexMatch(line, from, &m, control);
        if (r == Match) {
            *start = m.capturedStart();
            *length = m.capturedLength();
            if (captures)
                *captures = m;
        }
        return r;
    }
    // Backward: the last match of a forward pass that ends by `from`. The
    // pass begins a window before `from`, widened only when the window holds
    // none, so stepping back through a long line costs the distance stepped,
    // not the whole line each time.
    for (qsizetype window = 4096;; window *= 8) {
        const qsizetype lo = std::max<qsizetype>(0, from - window);
        bool found = false;
        for (qsizetype at = lo; at <= from;) {
            const Result r = nextRegexMatch(line, at, &m, control);
            if (r == TooCostly)
                return r;
            if (r == NoMatch || m.capturedEnd() > from)
                break;
            *start = m.capturedStart();
            *length = m.capturedLength();
            if (captures)
                *captures = m;
            found = true;
            at = m.capturedEnd();
            if (stopped(control))
                return NoMatch;
        }
        if (found)
            return Match;
        if (lo == 0 || stopped(control))
            return NoMatch;
    }
}

QString SearchQuery::replacement(const QString &typed,
                                 const QRegularExpressionMatch &captures) const
{
    if (!m_regex)
        return typed;
    QString out;
    out.reserve(typed.size());
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QChar c = typed.at(i);
        if (c == QLatin1Char('\\') && i + 1 < typed.size()) {
            const QChar next = typed.at(i + 1);
            if (next.isDigit() && next.digitValue() <= 9) {
                out += captures.captured(next.digitValue());
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                out += next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

FoundMatch findMatch(const QString &text, const SearchQuery &query, qsizetype selStart,
                     qsizetype selEnd, bool backward, SearchControl *control)
{
    FoundMatch hit;
    if (!query.isUsable())
        return hit;
    const qsizetype at = std::clamp<qsizetype>(backward ? selStart : selEnd, 0, text.size());
    const Line first = lineAt(text, at);
    LineReader reader(text);
    qsizetype start = 0, length = 0;
    auto result = [&](Line l, SearchQuery::Result r) {
        if (r == SearchQuery::Match) {
            hit.start = l.start + start;
            hit.length = length;
        } else if (r == SearchQuery::TooCostly) {
            hit.status = SearchStatus::TooCostly;
        }
        return r != SearchQuery::NoMatch;
    };
    // This line from the caret on, the lines after it, then around the page
    // back to this line, whole.
    if (result(first, query.matchIn(reader.view(first), at - first.start, backward, &start,
                                    &length, nullptr, control)))
        return hit;
    Line l = stepLine(text, first, backward);
    for (int lap = 0; lap < 2; ++lap) {
        for (; l.size >= 0; l = stepLine(text, l, backward)) {
            if (stopped(control)) {
                hit.status = SearchStatus::Cancelled;
                return hit;
            }
            report(control, backward ? text.size() - l.start : l.start, text.size());
            if (result(l, query.matchIn(reader.view(l), backward ? l.size : 0, backward, &start,
                                        &length, nullptr, control)))
                return hit;
            if (l.start == first.start)
                return hit;
        }
        hit.wrapped = true;
        l = lineAt(text, backward ? text.size() : 0);
    }
    return hit;
}

MatchCount countMatches(const QString &text, const SearchQuery &query, qsizetype currentStart,
                        qsizetype currentEnd, int budgetMs, SearchControl *control)
{
    MatchCount count;
    if (!query.isUsable())
        return {0, 0, SearchStatus::Done};
    QElapsedTimer clock;
    clock.start();
    LineReader reader(text);
    int total = 0;
    for (Line l = lineAt(text, 0); l.size >= 0; l = stepLine(text, l, false)) {
        const QStringView line = reader.view(l);
        qsizetype start = 0, length = 0;
        for (qsizetype from = 0;; from = start + length) {
            if (clock.elapsed() > budgetMs)
                return count;
            if (stopped(control)) {
                count.status = SearchStatus::Cancelled;
                return count;
            }
            const SearchQuery::Result r =
                query.matchIn(line, from, false, &start, &length, nullptr, control);
            if (r == SearchQuery::TooCostly) {
                count.status = SearchStatus::TooCostly;
                return count;
            }
            if (r == SearchQuery::NoMatch)
                break;
            ++total;
            if (l.start + start == currentStart && l.start + start + length == currentEnd)
                count.index = total;
        }
    }
    count.total = total;
    return count;
}

ReplacePlan planReplaceAll(const QString &text, const SearchQuery &query, const QString &typed,
                           SearchControl *control)
{
    ReplacePlan plan;
    if (!query.isUsable())
        return plan;
    LineReader reader(text);
    for (Line l = lineAt(text, 0); l.size >= 0; l = stepLine(text, l, false)) {
        report(control, l.start, text.size());
        const QStringView line = reader.view(l);
        qsizetype start = 0, length = 0, done = -1, matches = 0;
        QString with;
        QRegularExpressionMatch captures;
        for (qsizetype from = 0;; from = start + length) {
            if (stopped(control)) {
                plan.status = SearchStatus::Cancelled;
                return plan;
            }
            const SearchQuery::Result r =
                query.matchIn(line, from, false, &start, &length, &captures, control);
            if (r == SearchQuery::TooCostly) {
                plan.status = SearchStatus::TooCostly;
                return plan;
            }
            if (r == SearchQuery::NoMatch)
                break;
            if (done >= 0) // the text between the previous match and this one
                with += QStringView(text).mid(l.start + done, start - done);
            else
                plan.edits.append({l.start + start, 0, QString()});
            with += query.replacement(typed, captures);
            done = start + length;
            ++matches;
            if (matches % 4096 == 0)
                report(control, l.start + start, text.size());
        }
        if (matches == 0)
            continue;
        ReplacePlan::Edit &e = plan.edits.last();
        e.length = l.start + done - e.start;
        e.with = std::move(with);
        plan.count += int(matches);
    }
    return plan;
}

void applyReplacePlan(const QTextCursor &caret, const ReplacePlan &plan)
{
    if (plan.edits.isEmpty() || caret.isNull())
        return;
    QTextCursor cursor(caret); // the undo step begins where it stands
    cursor.beginEditBlock();
    // From the end back, so earlier places stay where they were.
    for (auto e = plan.edits.crbegin(); e != plan.edits.crend(); ++e) {
        cursor.setPosition(int(e->start));
        cursor.setPosition(int(e->start + e->length), QTextCursor::KeepAnchor);
        cursor.insertText(e->with);
    }
    cursor.endEditBlock();
}

std::optional<QString> replacementAt(const QString &text, const SearchQuery &query,
                                     qsizetype start, qsizetype end, const QString &typed,
                                     SearchStatus *status, const SearchControl *control)
{
    *status = SearchStatus::Done;
    if (!query.isUsable() || start < 0 || end > text.size() || end <= start)
        return {};
    const Line l = lineAt(text, start);
    if (end > l.start + l.size)
        return {};
    LineReader reader(text);
    qsizetype at = 0, length = 0;
    QRegularExpressionMatch captures;
    const SearchQuery::Result r = query.matchIn(reader.view(l), start - l.start, false, &at,
                                                &length, &captures, control);
    if (r == SearchQuery::TooCostly)
        *status = SearchStatus::TooCostly;
    if (r != SearchQuery::Match || l.start + at != start || at + length != end - l.start)
        return {};
    return query.replacement(typed, captures);
}

SearchHit findMatch(QTextDocument *doc, const SearchQuery &query, const QTextCursor &from,
                    bool backward)
{
    SearchHit hit;
    const FoundMatch found = findMatch(doc->toRawText(), query, from.selectionStart(),
                                       from.selectionEnd(), backward);
    hit.tooCostly = found.status == SearchStatus::TooCostly;
    if (found.start < 0)
        return hit;
    hit.wrapped = found.wrapped;
    hit.match = QTextCursor(doc);
    hit.match.setPosition(int(found.start));
    hit.match.setPosition(int(found.start + found.length), QTextCursor::KeepAnchor);
    return hit;
}

MatchCount countMatches(QTextDocument *doc, const SearchQuery &query, const QTextCursor &current,
                        int budgetMs)
{
    const bool match = current.hasSelection();
    return countMatches(doc->toRawText(), query, match ? current.selectionStart() : -1,
                        match ? current.selectionEnd() : -1, budgetMs);
}

ReplaceOutcome replaceAll(const QTextCursor &caret, const SearchQuery &query,
                          const QString &typed)
{
    if (caret.isNull())
        return {};
    const ReplacePlan plan = planReplaceAll(caret.document()->toRawText(), query, typed);
    if (plan.status == SearchStatus::TooCostly)
        return {0, true};
    applyReplacePlan(caret, plan);
    return {plan.count, false};
}
