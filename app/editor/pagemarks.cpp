#include "pagemarks.h"
#include "pagecheck.h"

#include <QTextDocument>
#include <algorithm>

PageMarks::PageMarks(QTextDocument *doc, std::function<void()> redraw) : m_redraw(std::move(redraw))
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

qsizetype PageMarks::Layer::firstFrom(int position) const
{
    qsizetype lo = 0, hi = ranges.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        if (start(mid) < position)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void PageMarks::Layer::shiftFromIndex(qsizetype from, int delta)
{
    // Only the marks between the old shift's index and the new one are
    // written: none while typing goes on in one place.
    if (shift == 0)
        ; // nothing to write
    else if (from > shiftFrom)
        for (qsizetype i = shiftFrom; i < from && i < ranges.size(); ++i)
            ranges[i].first += shift;
    else
        for (qsizetype i = from; i < shiftFrom && i < ranges.size(); ++i)
            ranges[i].first -= shift;
    shiftFrom = from;
    shift += delta;
}

void PageMarks::Layer::edit(int position, int removed, int added)
{
    if (isEmpty())
        return;
    // Touched: starting before the edit's end and reaching its start.
    const qsizetype after = firstFrom(position + removed);
    for (qsizetype i = firstFrom(position - longest); i < after; ++i) {
        auto &[at, length] = ranges[i];
        const int from = start(i);
        if (length < 0 || from + length < position)
            continue;
        length = -1;
        texts[i].clear();
        ++gone;
        // Gone, kept in order: not after the marks the edit moves.
        if (from > position)
            at -= from - position;
    }
    if (added != removed)
        shiftFromIndex(after, added - removed);
    if (gone > 64 && gone * 2 > ranges.size())
        sweep();
}

void PageMarks::Layer::sweep()
{
    qsizetype out = 0;
    for (qsizetype i = 0; i < ranges.size(); ++i) {
        if (ranges[i].second < 0)
            continue;
        ranges[out] = {start(i), ranges[i].second};
        texts[out] = std::move(texts[i]);
        ++out;
    }
    ranges.resize(out);
    texts.resize(out);
    shiftFrom = 0;
    shift = 0;
    gone = 0;
}

void PageMarks::documentChanged(int position, int removed, int added)
{
    if (m_recording) {
        if (m_edits.size() < kMaxEdits)
            m_edits.append({position, removed, added});
        else
            m_lost = true;
    }
    for (Layer &layer : m_layers)
        layer.edit(position, removed, added);
}

QList<std::pair<int, int>> PageMarks::within(int from, int to, bool errors) const
{
    const Layer &layer = m_layers[errors ? 0 : 1];
    QList<std::pair<int, int>> out;
    for (qsizetype i = layer.firstFrom(from - layer.longest); i < layer.ranges.size(); ++i) {
        const int at = layer.start(i), length = layer.ranges[i].second;
        if (at >= to)
            break;
        if (length >= 0 && at + std::max(length, 1) > from)
            out.append({at, length});
    }
    return out;
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
    for (Layer &layer : m_layers)
        layer.clear();
    for (const PageMark &m : std::as_const(marks)) {
        std::pair<int, int> r{m.position, m.length};
        bool kept = true;
        for (const Edit &e : std::as_const(m_edits))
            if (!(kept = move(r, e.position, e.removed, e.added)))
                break;
        if (!kept)
            continue;
        Layer &layer = m_layers[m.error ? 0 : 1];
        layer.ranges.append(r);
        layer.texts.append(m.text);
        layer.longest = std::max(layer.longest, r.second);
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
    const bool any = !isEmpty();
    for (Layer &layer : m_layers)
        layer.clear();
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
    for (const Layer &layer : m_layers)
        for (qsizetype i = layer.firstFrom(position - layer.longest); i < layer.ranges.size();
             ++i) {
            const int at = layer.start(i), length = layer.ranges[i].second;
            if (at > position)
                break;
            if (length >= 0 && position < at + std::max(length, 1))
                out << layer.texts[i];
        }
    return out.join(QLatin1Char('\n'));
}

QString PageMarks::countText() const
{
    return m_checked ? countsText(m_errors, m_warnings, m_advice) : QString();
}
