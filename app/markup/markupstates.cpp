#include "markupstates.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace {
// Each background slice, at most this long, so typing stays smooth.
constexpr qint64 kSliceNs = 4'000'000;
} // namespace

MarkupStates *MarkupStates::of(QTextDocument *document)
{
    if (auto *s = document->findChild<MarkupStates *>(QString(), Qt::FindDirectChildrenOnly))
        return s;
    return new MarkupStates(document);
}

MarkupStates::MarkupStates(QTextDocument *document) : QObject(document), m_doc(document)
{
    m_blockCount = document->blockCount();
    // Made before its readers connect: the states are right when they hear of a change.
    connect(document, &QTextDocument::contentsChange, this,
            [this](int pos, int removed, int added) { documentChanged(pos, removed, added); });
    // A document nobody lays out (none shows it) tells no change's place:
    // every state is worked out again. (A laid out one tells each change of
    // its text; it also says "changed" for new formats, which change none.)
    connect(document, &QTextDocument::contentsChanged, this, [this] {
        const bool laidOut =
            m_doc->findChild<QAbstractTextDocumentLayout *>(QString(), Qt::FindDirectChildrenOnly);
        if (!m_told && !laidOut) {
            m_blockCount = m_doc->blockCount();
            m_endStates.clear();
            m_statesValid = 0;
            m_resume = 0;
            if (!m_followers.isEmpty())
                m_slice.start();
        }
        m_told = false;
    });
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &MarkupStates::backgroundSlice);
}

Markup::State MarkupStates::startState(int block) const
{
    return block <= 0 ? Markup::State() : Markup::State::unpack(m_endStates.value(block - 1));
}

bool MarkupStates::isComplete() const { return m_statesValid >= m_doc->blockCount(); }

bool MarkupStates::inStep() const { return m_doc->blockCount() != m_blockCount; }

void MarkupStates::followToEnd(QObject *reader, bool follow)
{
    m_followers.removeAll(reader);
    disconnect(reader, nullptr, this, nullptr);
    if (!follow)
        return;
    m_followers.append(reader);
    connect(reader, &QObject::destroyed, this, [this, reader] { m_followers.removeAll(reader); });
    if (!isComplete())
        m_slice.start();
}

void MarkupStates::documentChanged(int position, int removed, int added)
{
    Q_UNUSED(removed);
    m_told = true;
    const int count = m_doc->blockCount();
    const int delta = count - m_blockCount;
    m_blockCount = count;
    const int first = m_doc->findBlock(position).blockNumber();
    const QTextBlock lastBlock = m_doc->findBlock(position + added);
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : count - 1;
    // The blocks after the change keep their end states, moved with them.
    const int at = std::min<int>(first + 1, m_endStates.size());
    if (delta > 0 && at < m_endStates.size())
        m_endStates.insert(at, delta, 0);
    else if (delta < 0)
        m_endStates.remove(at, std::min<int>(-delta, m_endStates.size() - at));
    if (m_endStates.size() > count)
        m_endStates.resize(count);
    const auto moved = [first, delta](int block) { return block > first ? block + delta : block; };
    const int known = moved(m_statesValid);
    if (m_resume > m_statesValid) {
        // An earlier change not yet read past (two undo steps, a Replace
        // All): the states kept from before it still hold from where the
        // reading had got to, so a line there ending as before brings them
        // back; forgetting them would read the page to its end again.
        m_changeLast = std::max({last, moved(m_changeLast), known - 1});
        m_resume = moved(m_resume);
    } else {
        m_changeLast = last;
        m_resume = known;
    }
    if (m_resume <= m_changeLast + 1 || m_resume > m_endStates.size())
        m_resume = 0;
    m_statesValid = std::min(m_statesValid, first);
    if (!m_followers.isEmpty())
        m_slice.start();
}

void MarkupStates::noteEndState(int block, Markup::State end)
{
    if (block != m_statesValid || block > m_endStates.size())
        return; // read in order: the lines before it come first
    const bool fresh = block == m_endStates.size();
    if (fresh)
        m_endStates.append(0);
    const quint16 packed = quint16(end.pack());
    // Past the change, a line ending as it did before leaves every line
    // after it as it was: the states known before the change hold again.
    if (block > m_changeLast && block < m_resume && m_endStates[block] == packed) {
        m_statesValid = m_resume;
        m_resume = 0;
        return;
    }
    if (fresh || m_endStates[block] != packed) {
        if (m_changedFirst < 0)
            m_changedFirst = block + 1;
        m_changedLast = block + 1;
    }
    m_endStates[block] = packed;
    m_statesValid = block + 1;
}

bool MarkupStates::advance(int upToBlock, qint64 budgetNs)
{
    if (inStep())
        return false;
    upToBlock = std::min(upToBlock, m_doc->blockCount());
    QElapsedTimer t;
    t.start();
    while (m_statesValid < upToBlock) {
        const int k = m_statesValid;
        QTextBlock b = m_doc->findBlockByNumber(k);
        // Along the blocks from here while nothing jumps.
        for (int n = k; b.isValid() && n == m_statesValid && n < upToBlock; b = b.next(), ++n) {
            noteEndState(n, Markup::scan(b.text(), startState(n)));
            if ((n & 63) == 0 && t.nsecsElapsed() > budgetNs)
                return m_statesValid >= upToBlock;
        }
        if (t.nsecsElapsed() > budgetNs)
            return m_statesValid >= upToBlock;
    }
    return true;
}

void MarkupStates::backgroundSlice()
{
    if (m_followers.isEmpty() || inStep())
        return; // the change, once told, starts it again
    m_changedFirst = m_changedLast = -1;
    const bool done = advance(m_doc->blockCount(), kSliceNs);
    if (m_changedFirst >= 0)
        emit startStatesChanged(m_changedFirst, m_changedLast);
    if (!done)
        m_slice.start();
}

std::optional<Markup::Context> MarkupStates::contextAt(int position, qint64 budgetNs)
{
    const QTextBlock b = m_doc->findBlock(position);
    const int n = b.blockNumber();
    if (!b.isValid() || (!isKnown(n) && !advance(n, budgetNs)))
        return std::nullopt;
    return Markup::contextAt(b.text(), startState(n), position - b.position());
}

namespace {
class LineSink : public Markup::TokenSink {
public:
    LineSink(const QTextBlock &b, const MarkupStates::OnToken &f) : block(b), onToken(f) {}
    void token(QStringView, const Markup::Token &t) override
    {
        if (!stop)
            stop = !onToken(block, t);
    }
    const QTextBlock &block;
    const MarkupStates::OnToken &onToken;
};
} // namespace

bool MarkupStates::forEachToken(int firstBlock, int lastBlock, const OnToken &onToken,
                                qint64 budgetNs)
{
    if (!isKnown(firstBlock) && !advance(firstBlock, budgetNs))
        return false;
    QTextBlock b = m_doc->findBlockByNumber(firstBlock);
    for (int n = firstBlock; b.isValid() && n <= lastBlock; b = b.next(), ++n) {
        LineSink sink(b, onToken);
        const Markup::State end = Markup::scan(b.text(), startState(n), &sink);
        if (sink.stop)
            break;
        noteEndState(n, end); // read whole: the next line's start is known
    }
    return true;
}
