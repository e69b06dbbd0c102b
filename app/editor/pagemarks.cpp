#include "pagemarks.h"

#include <QTextDocument>
#include <algorithm>

PageMarks::PageMarks(QTextDocument *doc, std::function<void()> redraw)
    : m_redraw(std::move(redraw))
{
    // Told of the text's changes only: the colouring's formats are not.
    connect(doc, &QTextDocument::contentsChange, this, &PageMarks::documentChanged);
}

bool PageMarks::move(std::pair<int, int> &range, int position, int removed, int added)
{
    // Text typed against a mark's end touches it (a tag's name, a word
    // grows), text put just before it does not.
    auto &[at, length] = range;
    if (at + length < position)
        return true;
    if (at >= position + removed) {
        at += added - removed;
        return true;
    }
    return false;
}

void PageMarks::documentChanged(int position, int removed, int added)
{
    if (m_recording) {
        if (m_edits.size() < kMaxEdits)
            m_edits.append({position, removed, added});
        else
            m_lost = true;
    }
    for (int k = 0; k < 2; ++k) {
        // In place, in one pass: a key costs a step per mark.
        QList<std::pair<int, int>> &ranges = m_ranges[k];
        qsizetype out = 0;
        for (qsizetype i = 0; i < ranges.size(); ++i) {
            std::pair<int, int> r = ranges[i];
            if (!move(r, position, removed, added))
                continue;
            ranges[out] = r;
            if (out != i)
                m_texts[k][out] = std::move(m_texts[k][i]);
            ++out;
        }
        ranges.resize(out);
        m_texts[k].resize(out);
    }
}

void PageMarks::startRecording()
{
    m_recording = true;
    m_lost = false;
    m_edits.clear();
}

void PageMarks::stopRecording()
{
    m_recording = false;
    m_lost = false;
    m_edits.clear();
}

bool PageMarks::set(QList<PageMark> marks, int errors, int warnings, int advice)
{
    if (m_lost)
        return false;
    std::stable_sort(marks.begin(), marks.end(),
                     [](const PageMark &a, const PageMark &b) { return a.position < b.position; });
    for (int k = 0; k < 2; ++k) {
        m_ranges[k].clear();
        m_texts[k].clear();
    }
    for (const PageMark &m : std::as_const(marks)) {
        std::pair<int, int> r{m.position, m.length};
        bool kept = true;
        for (const Edit &e : std::as_const(m_edits))
            if (!(kept = move(r, e.position, e.removed, e.added)))
                break;
        if (!kept)
            continue;
        const int k = m.error ? 0 : 1;
        m_ranges[k].append(r);
        m_texts[k].append(m.text);
    }
    m_checked = true;
    m_errors = errors;
    m_warnings = warnings;
    m_advice = advice;
    m_redraw();
    emit countsChanged();
    return true;
}

void PageMarks::clear()
{
    const bool any = !m_ranges[0].isEmpty() || !m_ranges[1].isEmpty();
    for (int k = 0; k < 2; ++k) {
        m_ranges[k].clear();
        m_texts[k].clear();
    }
    if (any)
        m_redraw();
    if (std::exchange(m_checked, false)) {
        m_errors = m_warnings = m_advice = 0;
        emit countsChanged();
    }
}

QString PageMarks::textAt(int position) const
{
    QStringList out;
    for (int k = 0; k < 2; ++k) {
        const QList<std::pair<int, int>> &ranges = m_ranges[k];
        // Marks are short and sorted by start: only those starting a little
        // before the place can hold it, but a long one may start anywhere.
        for (qsizetype i = 0; i < ranges.size() && ranges[i].first <= position; ++i)
            if (position < ranges[i].first + std::max(ranges[i].second, 1))
                out << m_texts[k][i];
    }
    return out.join(QLatin1Char('\n'));
}

QString PageMarks::countText() const
{
    if (!m_checked)
        return QString();
    auto count = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString s = count(m_errors, "error", "errors") + QStringLiteral(", ")
                + count(m_warnings, "warning", "warnings");
    if (m_advice > 0)
        s += QStringLiteral(", %1 advice").arg(m_advice);
    return s;
}
