#include "markuphighlighter.h"
#include "markupstates.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>
#include <limits>

// ---------------------------------------------------------------- scanning

namespace {
// Each kind of token in the colour of its role, or none.
int roleOf(Markup::TokenKind kind)
{
    switch (kind) {
    case Markup::TokenKind::StartTag:
    case Markup::TokenKind::EndTag:
    case Markup::TokenKind::Declaration:
    case Markup::TokenKind::TagEnd:
        return int(MarkupRole::Tag);
    case Markup::TokenKind::AttributeName:
        return int(MarkupRole::AttributeName);
    case Markup::TokenKind::AttributeValue:
        return int(MarkupRole::AttributeValue);
    case Markup::TokenKind::Comment:
        return int(MarkupRole::Comment);
    case Markup::TokenKind::Reference:
        return int(MarkupRole::Reference);
    default:
        return -1; // text and the contents of SCRIPT and STYLE keep the editor's colour
    }
}

class SpanSink : public Markup::TokenSink {
public:
    SpanSink(QList<MarkupSpan> *spans, qsizetype from, qsizetype to)
        : spans(spans), from(from), to(to)
    {
        wantsText = false; // plain text keeps the editor's colour
    }
    void token(QStringView, const Markup::Token &t) override
    {
        const int role = roleOf(t.kind);
        const qsizetype b = std::max<qsizetype>(t.start, from),
                        e = std::min<qsizetype>(t.end(), to);
        if (role >= 0 && e > b)
            spans->append({int(b), int(e - b), MarkupRole(role)});
    }
    QList<MarkupSpan> *spans;
    qsizetype from, to;
};
} // namespace

LineMarkup scanMarkupLine(QStringView line, Markup::State start, qsizetype from, qsizetype to)
{
    LineMarkup out;
    SpanSink sink(&out.spans, from, to < 0 ? line.size() : to);
    out.endState = Markup::scan(line, start, &sink);
    return out;
}

// ------------------------------------------------------------------ colours

namespace {
double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
double luminance(const QColor &c) {
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
} // namespace

double contrastRatio(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

MarkupColours markupColours(const QColor &background) {
    const QColor bg = background.toRgb();
    // Lighter colours on a dark background, darker on a light one; the far
    // end (white or black) always reaches 4.5:1 against any background.
    const bool lighten = contrastRatio(Qt::white, bg) >= contrastRatio(Qt::black, bg);
    // Each role starts from its own full-strength hue and moves towards
    // white or black only as far as the contrast needs. Hues that are light
    // by nature serve on dark backgrounds, dark ones on light backgrounds,
    // so the roles stay apart wherever the background leaves room.
    auto derive = [&](double lightHue, double darkHue, double saturation) {
        const double hue = lighten ? lightHue : darkHue;
        for (int step = 0; step <= 255; ++step) {
            const double l = lighten ? 0.5 + 0.5 * step / 255.0 : 0.5 - 0.5 * step / 255.0;
            const QColor c =
                QColor::fromHslF(float(hue / 360.0), float(saturation), float(l)).toRgb();
            if (contrastRatio(c, bg) >= kMinimumContrast)
                return c;
        }
        return lighten ? QColor(Qt::white) : QColor(Qt::black);
    };
    MarkupColours out;
    out.tag = derive(190, 220, 1.0);            // cyan / blue
    out.attributeName = derive(50, 25, 1.0);    // gold / brown
    out.attributeValue = derive(100, 140, 1.0); // green
    out.comment = derive(0, 0, 0.0);            // grey
    out.reference = derive(320, 300, 1.0);      // pink / purple
    return out;
}

// ---------------------------------------------------------------- highlighter

namespace {
qsizetype g_sizeLimit = MarkupHighlighter::kDefaultSizeLimit;

// A block's user state: the start state its formats were made from in the
// low bits, and above them the colouring generation they were made with
// (0: not coloured). -1 (Qt's "no state"): never coloured. The start states
// themselves are the document's MarkupStates; this only says whether the
// colours shown still follow from them.
constexpr int kStateBits = Markup::kStateBits;
constexpr int kMaxGeneration = (1 << (31 - kStateBits)) - 1;
int startOf(int userState) { return userState < 0 ? -1 : userState & ((1 << kStateBits) - 1); }
int generationOf(int userState) { return userState < 0 ? 0 : userState >> kStateBits; }
int packState(int start, int generation) { return start | (generation << kStateBits); }

// Changes over this many lines (a page loaded, a large paste) are not
// coloured by the base class, which would visit every line at once.
constexpr int kLargeChangeBlocks = 64;
// A change whose end state ripples further than this (a comment opened
// above a long page) hands the rest to the background scan.
constexpr int kCascadeBlocks = 1000;
} // namespace

qsizetype MarkupHighlighter::sizeLimit() { return g_sizeLimit; }
void MarkupHighlighter::setSizeLimit(qsizetype characters) { g_sizeLimit = characters; }

MarkupHighlighter::MarkupHighlighter(QPlainTextEdit *editor)
    : QSyntaxHighlighter(static_cast<QObject *>(editor)), m_editor(editor),
      m_states(MarkupStates::of(editor->document()))
{
    QTextDocument *doc = editor->document();
    // Connected before the base class attaches, so this runs first on
    // every change and can keep the base out of large ones.
    connect(doc, &QTextDocument::contentsChange, this,
            [this](int pos, int removed, int added) { documentChanging(pos, removed, added); });
    setDocument(doc);
    m_blockCount = doc->blockCount();
    m_active = g_sizeLimit > 0 && doc->characterCount() <= g_sizeLimit;
    if (!m_active)
        followChanges(false);
    // States learnt in the background for lines on screen: colours follow.
    connect(m_states, &MarkupStates::startStatesChanged, this, [this](int first, int last) {
        if (m_active && first <= m_lastShown && last >= m_firstShown)
            m_editor->viewport()->update();
    });
    m_longLinesWait.setSingleShot(true);
    m_longLinesWait.setInterval(kLongLineRestMs);
    connect(&m_longLinesWait, &QTimer::timeout, this, [this] {
        m_longLinesDue = true;
        m_editor->viewport()->update();
    });
    setBackground(editor->palette().color(QPalette::Base));
    editor->installEventFilter(this);
    m_viewport = editor->viewport();
    m_viewport->installEventFilter(this);
    m_states->followToEnd(this, m_active);
}

bool MarkupHighlighter::isComplete() const {
    return !m_active || !m_states || m_states->isComplete();
}

QTextCharFormat MarkupHighlighter::formatFor(MarkupRole role) const { return m_formats[int(role)]; }

void MarkupHighlighter::setBackground(const QColor &background) {
    if (background == m_background)
        return;
    m_background = background;
    m_colours = markupColours(background);
    const QColor colours[5] = {m_colours.tag, m_colours.attributeName, m_colours.attributeValue,
                               m_colours.comment, m_colours.reference};
    for (int i = 0; i < 5; ++i) {
        m_formats[i] = QTextCharFormat();
        m_formats[i].setForeground(colours[i]);
    }
    // Styles as well as colours: next to a red background every colour that
    // keeps the contrast is close to black.
    m_formats[int(MarkupRole::Tag)].setFontWeight(QFont::Bold);
    m_formats[int(MarkupRole::Comment)].setFontItalic(true);
    bumpGeneration();
    m_editor->viewport()->update();
}

bool MarkupHighlighter::eventFilter(QObject *watched, QEvent *event) {
    // The event type first: while the editor is being destroyed other
    // events still pass here, and the editor must not be called then.
    if (event->type() == QEvent::Paint && watched == m_viewport)
        colourVisibleLines(); // before the lines are drawn
    else if (event->type() == QEvent::PaletteChange && watched == m_editor)
        setBackground(m_editor->palette().color(QPalette::Base));
    return QSyntaxHighlighter::eventFilter(watched, event);
}

void MarkupHighlighter::followChanges(bool follow) {
    // The base class re-reads every changed line; with the colouring off
    // that is wasted work on every edit, so it only listens while active.
    QTextDocument *doc = document();
    disconnect(doc, SIGNAL(contentsChange(int, int, int)), this,
               SLOT(_q_reformatBlocks(int, int, int)));
    if (follow)
        connect(doc, SIGNAL(contentsChange(int, int, int)), this,
                SLOT(_q_reformatBlocks(int, int, int)));
}

void MarkupHighlighter::documentChanging(int position, int removed, int added) {
    Q_UNUSED(removed);
    QTextDocument *doc = document();
    if (!doc || !m_states)
        return;
    const int count = doc->blockCount();
    const int delta = count - m_blockCount;
    m_blockCount = count;
    if (delta != 0)
        m_windows.clear(); // they name lines by number
    if (added > kLongBlock || removed > kLongBlock)
        m_longLinesDue = true; // a page loaded or pasted: shown in colour at once
    const bool fits = g_sizeLimit > 0 && doc->characterCount() <= g_sizeLimit;
    if (!fits && !m_active)
        return; // colouring stays off: nothing to find out, whatever the page's size
    const int first = doc->findBlock(position).blockNumber();
    const QTextBlock lastBlock = doc->findBlock(position + added);
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : count - 1;
    if (!fits) {
        m_active = false;
        m_states->followToEnd(this, false);
        followChanges(false);
        clearAllFormats(first + 1, last - 1);
        return;
    }
    const bool large = last - first + 1 > kLargeChangeBlocks;
    if (!m_active) {
        m_active = true;
        // From the next change on; this one is covered by the scan below.
        followChanges(true);
        m_states->followToEnd(this, true);
        bumpGeneration();
        m_editor->viewport()->update();
        return;
    }
    m_changeLast = last;
    if (large) {
        // Out of this emission only (a connection made during an emission
        // is not called by it); the base class follows every later change.
        followChanges(true);
        bumpGeneration(); // the lines of the change hold no valid colouring
    }
    // Lines below the screen learn their state in the background (the
    // document's MarkupStates), so a comment or script opened on a long
    // line colours every line after it.
}

void MarkupHighlighter::clearAllFormats(int skipFirst, int skipLast) {
    QTextDocument *doc = document();
    int n = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next(), ++n) {
        if (n >= skipFirst && n <= skipLast)
            continue;
        const int state = b.userState();
        if (generationOf(state) == 0)
            continue; // never coloured: no formats
        b.layout()->clearFormats();
        b.setUserState(packState(startOf(state), 0));
        doc->markContentsDirty(b.position(), b.length());
    }
}

void MarkupHighlighter::highlightBlock(const QString &text) {
    if (!m_active || !m_states)
        return;
    const QTextBlock block = currentBlock();
    const int n = block.blockNumber();
    // A line whose start state is not known yet is left to the scan.
    if (!m_states->isKnown(n))
        return;
    const int old = block.userState();
    const bool forced = m_forced && n == m_forcedBlock;
    // Leaving the block's state alone ends the base class's ripple: lines
    // further down are coloured when shown, from the states found by then.
    if (!forced && n > m_changeLast + kCascadeBlocks)
        return;
    const Markup::State start = m_states->startState(n);
    if (forced || generationOf(old) == m_generation) {
        qsizetype from = 0, to = -1;
        if (text.size() > kLongBlock) {
            // The window colourVisibleLines chose, or, for a change the
            // base class follows, the one this line had (or the caret's).
            Window *w = windowOf(n);
            if (!w) {
                const int caret = m_editor->textCursor().position() - block.position();
                const int at = caret >= 0 && caret <= text.size() ? caret : 0;
                w = &newWindow(n, 0, at - kWindowMargin, at + kWindowMargin);
            }
            w->length = block.length();
            from = w->from;
            to = w->to;
        }
        const LineMarkup m = scanMarkupLine(text, start, from, to);
        for (const MarkupSpan &s : m.spans)
            setFormat(s.start, s.length, m_formats[int(s.role)]);
        m_states->noteEndState(n, m.endState);
        // The lines after it whose start state this changes are coloured
        // again when shown (colourVisibleLines compares the start states).
        setCurrentBlockState(packState(start.pack(), m_generation));
    } else {
        // Off screen: only the state. The value is left alone, so the
        // ripple stops here.
        m_states->noteEndState(n, Markup::scan(text, start));
    }
}

void MarkupHighlighter::colourVisibleLines() {
    if (!m_active || !document() || !m_states || m_inColouring)
        return;
    m_inColouring = true;
    const QWidget *view = m_editor->viewport();
    const QTextCursor top = m_editor->cursorForPosition(QPoint(0, 0));
    const QTextCursor bottom =
        m_editor->cursorForPosition(QPoint(view->width() - 1, view->height() - 1));
    const QTextBlock first = top.block();
    const QTextBlock last = bottom.block();
    m_states->advance(last.blockNumber() + 1, std::numeric_limits<qint64>::max());
    m_changeLast = last.blockNumber();
    m_firstShown = first.blockNumber();
    m_lastShown = last.blockNumber();
    // One edit block around them all: the editor hears of the new formats once.
    QTextCursor batch(document());
    bool batching = false;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        // A line whose start is not known (within an edit not yet told) waits.
        const int state = b.userState();
        bool stale = m_states->isKnown(b.blockNumber())
                     && (generationOf(state) != m_generation
                         || startOf(state) != m_states->startState(b.blockNumber()).pack());
        if (b.length() > kLongBlock + 1) {
            // Only the part on screen matters; recoloured once it leaves the window.
            const int from = std::max(top.position() - b.position(), 0);
            const int to = std::min(bottom.position() - b.position(), b.length());
            const Window *w = windowOf(b.blockNumber());
            const bool moved = w && w->length == b.length() && (from < w->from || to > w->to);
            if (stale || !w || w->length != b.length() || moved) {
                stale = true;
                if (m_longLinesDue)
                    newWindow(b.blockNumber(), b.length(), from - kWindowMargin,
                              to + kWindowMargin);
            }
        }
        if (stale && b.length() > kRestingBlock && !m_longLinesDue) {
            // New formats lay the whole line out again: a key that only
            // brings a long line (or more of it) on screen is answered at
            // once, and its colours follow once the view has come to rest.
            m_longLinesWait.start();
            stale = false;
        }
        if (stale) {
            if (!batching)
                batch.beginEditBlock();
            batching = true;
            m_forced = true;
            m_forcedBlock = b.blockNumber();
            rehighlightBlock(b);
            m_forced = false;
        }
        if (b == last)
            break;
    }
    if (batching)
        batch.endEditBlock();
    m_longLinesDue = false;
    m_inColouring = false;
}

MarkupHighlighter::Window *MarkupHighlighter::windowOf(int block) {
    for (Window &w : m_windows)
        if (w.block == block)
            return &w;
    return nullptr;
}

MarkupHighlighter::Window &MarkupHighlighter::newWindow(int block, int length, int from, int to) {
    // A few lines' windows are enough: only the lines on screen need one.
    for (qsizetype i = 0; i < m_windows.size(); ++i)
        if (m_windows[i].block == block)
            m_windows.removeAt(i--);
    if (m_windows.size() >= 8)
        m_windows.removeFirst();
    m_windows.append({block, length, std::max(from, 0), to});
    return m_windows.back();
}

void MarkupHighlighter::bumpGeneration() {
    // Everything on screen is recoloured at the next paint, long lines too:
    // a page just opened is shown in colour at once.
    m_longLinesDue = true;
    // Stays within the bits above the state; wrapping after 2^17 bumps.
    m_generation = m_generation >= kMaxGeneration ? 1 : m_generation + 1;
}
