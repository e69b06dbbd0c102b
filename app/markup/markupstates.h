#pragma once
// The state each line of a document starts in (Markup::State: inside a
// comment, a tag, a value, a script...), kept for everything that reads the
// page's markup line by line: the colouring, the spelling check, tag
// closing and matching. One store per document, made on first use.
//
// The states are worked out in order from the top, on demand (a reader
// asks for those up to the lines it needs, within a time budget) and, while
// a reader asks for it, in short background slices to the page's end. An
// edit keeps the states above it; the lines below keep theirs, moved with
// them, and hold again as soon as a line past the edit is found to end as it
// did before, so a key costs a line or two. 2 bytes a line, only as far as
// read.
#include "markupscanner.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

class QTextBlock;
class QTextDocument;

class MarkupStates : public QObject {
    Q_OBJECT
public:
    static MarkupStates *of(QTextDocument *document);

    // Whether the state `block` starts in is known, and that state.
    bool isKnown(int block) const { return block >= 0 && block <= m_statesValid; }
    Markup::State startState(int block) const;
    // Leading blocks whose end state is known.
    int knownBlocks() const { return m_statesValid; }
    // Every line's state is known.
    bool isComplete() const;
    // Works the states out up to `upToBlock` (exclusive) within the budget;
    // false when the time ran out first.
    bool advance(int upToBlock, qint64 budgetNs);
    // A reader that read line `block` whole from its known start state
    // tells its end state (so the line is read once).
    void noteEndState(int block, Markup::State end);
    // Within an edit not yet told (a page loading piece by piece lets
    // events through): the lines are not what they will be.
    bool inStep() const;
    // Readers that want every line's state keep the background going.
    void followToEnd(QObject *reader, bool follow);

    // For features that ask about a place or a part of the page (outline,
    // folding, completion, links); the states they need are worked out
    // within the budget, else there is no answer.
    static constexpr qint64 kAskNs = 50'000'000;
    // What is at a document position: the token holding it (its offsets in
    // its line) and the state there.
    std::optional<Markup::Context> contextAt(int position, qint64 budgetNs = kAskNs);
    // The tokens of lines [firstBlock, lastBlock] in order, each told with
    // its line until `onToken` returns false.
    using OnToken = std::function<bool(const QTextBlock &, const Markup::Token &)>;
    bool forEachToken(int firstBlock, int lastBlock, const OnToken &onToken,
                      qint64 budgetNs = kAskNs);

signals:
    // The start states of blocks [first, last] were found changed in the
    // background.
    void startStatesChanged(int first, int last);

private:
    explicit MarkupStates(QTextDocument *document);
    void documentChanged(int position, int removed, int added);
    void backgroundSlice();

    QTextDocument *m_doc;
    QList<quint16> m_endStates; // per block, as far as read
    int m_statesValid = 0;      // leading blocks whose end state is right
    int m_resume = 0;           // past a change, blocks up to here were right before it
    int m_changeLast = -1;
    int m_blockCount = 1;
    bool m_told = false;                         // the change being made was told with its place
    int m_changedFirst = -1, m_changedLast = -1; // starts found changed, for the signal
    QList<QObject *> m_followers;
    QTimer m_slice;
};
