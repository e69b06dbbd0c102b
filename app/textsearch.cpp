#include "textsearch.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

namespace {
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

bool wordBounded(const QString &line, qsizetype start, qsizetype length)
{
    return (start == 0 || !isWordChar(line.at(start - 1)))
           && (start + length == line.size() || !isWordChar(line.at(start + length)));
}
} // namespace

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

bool SearchQuery::matchIn(const QString &line, qsizetype from, bool backward, qsizetype *start,
                          qsizetype *length, QRegularExpressionMatch *captures) const
{
    if (!isUsable())
        return false;
    if (m_plain) {
        const Qt::CaseSensitivity cs = m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const qsizetype n = m_text.size();
        if (!backward) {
            for (qsizetype i = line.indexOf(m_text, from, cs); i >= 0;
                 i = line.indexOf(m_text, i + 1, cs)) {
                if (!m_wholeWords || wordBounded(line, i, n)) {
                    *start = i;
                    *length = n;
                    return true;
                }
            }
            return false;
        }
        if (from - n < 0)
            return false;
        for (qsizetype i = line.lastIndexOf(m_text, from - n, cs); i >= 0;
             i = i == 0 ? -1 : line.lastIndexOf(m_text, i - 1, cs)) {
            if (!m_wholeWords || wordBounded(line, i, n)) {
                *start = i;
                *length = n;
                return true;
            }
        }
        return false;
    }
    bool found = false;
    auto it = m_re.globalMatch(line, backward ? 0 : from);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength() == 0)
            continue;
        if (backward && m.capturedEnd() > from)
            break;
        *start = m.capturedStart();
        *length = m.capturedLength();
        if (captures)
            *captures = m;
        found = true;
        if (!backward)
            break;
    }
    return found;
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

SearchHit findMatch(QTextDocument *doc, const SearchQuery &query, const QTextCursor &from,
                    bool backward)
{
    SearchHit hit;
    if (!query.isUsable())
        return hit;
    const int at = backward ? from.selectionStart() : from.selectionEnd();
    const QTextBlock first = doc->findBlock(at);
    qsizetype start = 0, length = 0;
    auto select = [&](const QTextBlock &b) {
        hit.match = QTextCursor(doc);
        hit.match.setPosition(b.position() + int(start));
        hit.match.setPosition(b.position() + int(start + length), QTextCursor::KeepAnchor);
        return hit;
    };
    // This line from the caret on, the lines after it, then around the page
    // back to this line, whole.
    if (query.matchIn(first.text(), at - first.position(), backward, &start, &length))
        return select(first);
    QTextBlock b = backward ? first.previous() : first.next();
    for (int lap = 0; lap < 2; ++lap) {
        for (; b.isValid(); b = backward ? b.previous() : b.next()) {
            const QString text = b.text();
            if (query.matchIn(text, backward ? text.size() : 0, backward, &start, &length))
                return select(b);
            if (b == first)
                return hit;
        }
        hit.wrapped = true;
        b = backward ? doc->lastBlock() : doc->firstBlock();
    }
    return hit;
}

MatchCount countMatches(QTextDocument *doc, const SearchQuery &query, const QTextCursor &current,
                        int budgetMs)
{
    MatchCount count;
    if (!query.isUsable())
        return {0, 0};
    QElapsedTimer clock;
    clock.start();
    int total = 0, lines = 0;
    for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next()) {
        if (++lines % 1024 == 0 && clock.elapsed() > budgetMs)
            return count;
        const QString text = b.text();
        qsizetype start = 0, length = 0;
        for (qsizetype from = 0; query.matchIn(text, from, false, &start, &length);
             from = start + length) {
            ++total;
            if (current.hasSelection() && b.position() + start == current.selectionStart()
                && length == current.selectionEnd() - current.selectionStart())
                count.index = total;
        }
    }
    count.total = total;
    return count;
}

int replaceAll(const QTextCursor &caret, const SearchQuery &query, const QString &typed)
{
    if (!query.isUsable() || caret.isNull())
        return 0;
    int replaced = 0;
    QTextDocument *doc = caret.document();
    QTextCursor cursor(caret); // the undo step begins where it stands
    struct Hit {
        qsizetype start, length;
        QString with;
    };
    QList<Hit> hits;
    for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next()) {
        const QString text = b.text();
        hits.clear();
        qsizetype start = 0, length = 0;
        QRegularExpressionMatch captures;
        for (qsizetype from = 0; query.matchIn(text, from, false, &start, &length, &captures);
             from = start + length)
            hits.append({start, length, query.replacement(typed, captures)});
        if (hits.isEmpty())
            continue;
        if (replaced == 0)
            cursor.beginEditBlock();
        // From the end of the line back, so earlier places stay where they were.
        for (auto h = hits.crbegin(); h != hits.crend(); ++h) {
            cursor.setPosition(b.position() + int(h->start));
            cursor.setPosition(b.position() + int(h->start + h->length), QTextCursor::KeepAnchor);
            cursor.insertText(h->with);
        }
        replaced += int(hits.size());
    }
    if (replaced > 0)
        cursor.endEditBlock();
    return replaced;
}
