#include "markuphighlighter.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

// ---------------------------------------------------------------- scanning

namespace {
bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}
bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return isDigit(c) || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}
bool isNameChar(QChar c) {
    return isAsciiLetter(c) || isDigit(c) || c == u'-' || c == u'_' || c == u':' || c == u'.';
}
bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c.isSpace(); }

// "<B", "</B", "<!DOCTYPE", "<?xml": a tag starts here. "a < b" is text.
bool tagStartsAt(QStringView s, qsizetype i) {
    if (i + 1 >= s.size())
        return false;
    const QChar c = s[i + 1];
    if (isAsciiLetter(c) || c == u'!' || c == u'?')
        return true;
    return c == u'/' && i + 2 < s.size() && isAsciiLetter(s[i + 2]);
}

// Length of "&name;", "&#160;" or "&#xA0;" at i, or 0.
qsizetype referenceLength(QStringView s, qsizetype i) {
    const qsizetype n = s.size();
    qsizetype k = i + 1;
    if (k < n && s[k] == u'#') {
        ++k;
        const bool hex = k < n && (s[k] == u'x' || s[k] == u'X');
        if (hex)
            ++k;
        const qsizetype digits = k;
        while (k < n && (hex ? isHexDigit(s[k]) : isDigit(s[k])))
            ++k;
        if (k == digits)
            return 0;
    } else {
        if (k >= n || !isAsciiLetter(s[k]))
            return 0;
        while (k < n && (isAsciiLetter(s[k]) || isDigit(s[k])))
            ++k;
    }
    return k < n && s[k] == u';' ? k + 1 - i : 0;
}

class Scanner {
public:
    Scanner(QStringView s, QList<MarkupSpan> *spans, qsizetype from = 0, qsizetype to = -1)
        : s(s), n(s.size()), spans(spans), from(from), to(to < 0 ? n : to) {}

    int run(int state) {
        qsizetype i = 0;
        while (i < n) {
            switch (state) {
            case InComment: {
                const qsizetype end = s.indexOf(u"-->", i);
                const qsizetype stop = end < 0 ? n : end + 3;
                add(commentStart, stop - commentStart, MarkupRole::Comment);
                if (end < 0)
                    return InComment;
                i = stop;
                state = InText;
                break;
            }
            case InTag:
                i = tag(i, state);
                break;
            default:
                i = text(i, state);
                break;
            }
        }
        return state;
    }

private:
    void add(qsizetype start, qsizetype length, MarkupRole role) {
        if (!spans)
            return;
        const qsizetype b = std::max(start, from), e = std::min(start + length, to);
        if (e > b)
            spans->append({int(b), int(e - b), role});
    }

    void references(qsizetype from, qsizetype to) {
        // Looked for up to `to` only: on a long line without '&' a search to
        // the line's end for every attribute value costs the line's length
        // squared.
        const QStringView part = s.first(to);
        for (qsizetype k = part.indexOf(u'&', from); k >= 0; k = part.indexOf(u'&', k + 1)) {
            const qsizetype len = referenceLength(part, k);
            add(k, len, MarkupRole::Reference);
        }
    }

    qsizetype text(qsizetype i, int &state) {
        for (; i < n; ++i) {
            const QChar c = s[i];
            if (c == u'&') {
                const qsizetype len = referenceLength(s, i);
                if (len) {
                    add(i, len, MarkupRole::Reference);
                    i += len - 1;
                }
            } else if (c == u'<') {
                if (s.sliced(i).startsWith(u"<!--")) {
                    state = InComment;
                    commentStart = i;
                    return i + 4;
                }
                if (tagStartsAt(s, i)) {
                    qsizetype k = i + 1;
                    if (s[k] == u'/' || s[k] == u'!' || s[k] == u'?')
                        ++k;
                    while (k < n && isNameChar(s[k]))
                        ++k;
                    add(i, k - i, MarkupRole::Tag);
                    state = InTag;
                    afterEquals = false;
                    return k;
                }
            }
        }
        return n;
    }

    qsizetype tag(qsizetype i, int &state) {
        while (i < n) {
            const QChar c = s[i];
            if (isBlank(c)) {
                ++i;
            } else if (c == u'>') {
                add(i, 1, MarkupRole::Tag);
                state = InText;
                return i + 1;
            } else if ((c == u'/' || c == u'?') && i + 1 < n && s[i + 1] == u'>') {
                add(i, 2, MarkupRole::Tag);
                state = InText;
                return i + 2;
            } else if (c == u'"' || c == u'\'') {
                // A value whose quote does not close on this line ends with it.
                const qsizetype close = s.indexOf(c, i + 1);
                const qsizetype end = close < 0 ? n : close + 1;
                add(i, end - i, MarkupRole::AttributeValue);
                references(i, end);
                afterEquals = false;
                i = end;
            } else if (c == u'=') {
                afterEquals = true;
                ++i;
            } else if (c == u'<' && tagStartsAt(s, i)) {
                // An unclosed tag followed by another: the new one wins.
                state = InText;
                return i;
            } else {
                qsizetype k = i;
                if (afterEquals) {
                    while (k < n && !isBlank(s[k]) && s[k] != u'>')
                        ++k;
                    add(i, k - i, MarkupRole::AttributeValue);
                    references(i, k);
                    afterEquals = false;
                } else {
                    while (k < n && !isBlank(s[k]) && s[k] != u'=' && s[k] != u'>' &&
                           s[k] != u'"' && s[k] != u'\'' && s[k] != u'<' &&
                           !(s[k] == u'/' && k + 1 < n && s[k + 1] == u'>'))
                        ++k;
                    if (k == i)
                        k = i + 1; // a stray character: left plain
                    else
                        add(i, k - i, MarkupRole::AttributeName);
                }
                i = k;
            }
        }
        return n;
    }

    QStringView s;
    qsizetype n;
    QList<MarkupSpan> *spans;
    qsizetype from, to; // spans are cut to these bounds
    qsizetype commentStart = 0;
    bool afterEquals = false;
};
} // namespace

LineMarkup scanMarkupLine(QStringView line, int startState, qsizetype from, qsizetype to) {
    LineMarkup out;
    out.endState = Scanner(line, &out.spans, from, to).run(startState);
    return out;
}

int markupEndState(QStringView line, int startState) {
    return Scanner(line, nullptr).run(startState);
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

// A block's user state: its end state in the low two bits, and above them
// the colouring generation its formats were made with (0: not coloured).
// -1 (Qt's "no state"): never scanned.
constexpr int kStateBits = 2;
int endOf(int userState) { return userState < 0 ? InText : userState & 3; }
int generationOf(int userState) { return userState < 0 ? 0 : userState >> kStateBits; }
int packState(int end, int generation) { return end | (generation << kStateBits); }

// Changes over this many lines (a page loaded, a large paste) are not
// coloured by the base class, which would visit every line at once.
constexpr int kLargeChangeBlocks = 64;
// A change whose end state ripples further than this (a comment opened
// above a long page) hands the rest to the background scan.
constexpr int kCascadeBlocks = 1000;
// Background scan: at most this long per slice, so typing stays smooth.
constexpr qint64 kSliceNs = 4'000'000;
} // namespace

qsizetype MarkupHighlighter::sizeLimit() { return g_sizeLimit; }
void MarkupHighlighter::setSizeLimit(qsizetype characters) { g_sizeLimit = characters; }

MarkupHighlighter::MarkupHighlighter(QPlainTextEdit *editor)
    : QSyntaxHighlighter(static_cast<QObject *>(editor)), m_editor(editor) {
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
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, [this] { backgroundSlice(); });
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
    if (!doc->isEmpty())
        m_slice.start();
}

bool MarkupHighlighter::isComplete() const {
    return !m_active || (document() && m_statesValid >= document()->blockCount());
}

int MarkupHighlighter::knownStartState(int block) const {
    if (!m_active || block < 0 || block > m_statesValid)
        return -1;
    return block == 0 ? InText : endOf(document()->findBlockByNumber(block - 1).userState());
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
    if (!doc)
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
        m_slice.stop();
        followChanges(false);
        clearAllFormats(first + 1, last - 1);
        return;
    }
    const bool large = last - first + 1 > kLargeChangeBlocks;
    if (!m_active) {
        m_active = true;
        // From the next change on; this one is covered by the scan below.
        followChanges(true);
        m_statesValid = 0;
        bumpGeneration();
        m_slice.start();
        m_editor->viewport()->update();
        return;
    }
    m_changeLast = last;
    if (large) {
        // Out of this emission only (a connection made during an emission
        // is not called by it); the base class follows every later change.
        followChanges(true);
        if (first < m_statesValid)
            m_statesValid = first;
        bumpGeneration(); // the lines of the change hold no valid colouring
        m_slice.start();
    } else if (first < m_statesValid) {
        m_statesValid = std::max(m_statesValid + delta, last + 1);
    }
    m_statesValid = std::min(m_statesValid, count);
    // Lines below the screen learn their state in the background too, so a
    // comment or script opened on a long line colours every line after it.
    if (m_statesValid < count)
        m_slice.start();
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
        b.setUserState(packState(endOf(state), 0));
        doc->markContentsDirty(b.position(), b.length());
    }
}

void MarkupHighlighter::highlightBlock(const QString &text) {
    if (!m_active)
        return;
    const QTextBlock block = currentBlock();
    const int n = block.blockNumber();
    // A line whose start state is not known yet is left to the scan.
    if (n >= m_statesValid)
        return;
    const int old = block.userState();
    const bool forced = m_forced && n == m_forcedBlock;
    if (!forced && n > m_changeLast + kCascadeBlocks) {
        m_statesValid = n;
        bumpGeneration();
        m_slice.start();
        return;
    }
    const int start = n == 0 ? InText : endOf(block.previous().userState());
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
        setCurrentBlockState(packState(m.endState, m_generation));
    } else {
        // Off screen: only the state. Keeping the old generation leaves the
        // value alone when the state is unchanged, so the ripple stops here.
        setCurrentBlockState(packState(markupEndState(text, start), generationOf(old)));
    }
}

void MarkupHighlighter::advanceStates(int upToBlock) {
    QTextDocument *doc = document();
    upToBlock = std::min(upToBlock, doc->blockCount());
    if (m_statesValid >= upToBlock)
        return;
    QTextBlock b = doc->findBlockByNumber(m_statesValid);
    int start = m_statesValid == 0 ? InText : endOf(b.previous().userState());
    for (; b.isValid() && m_statesValid < upToBlock; b = b.next(), ++m_statesValid) {
        const int old = b.userState();
        start = markupEndState(b.text(), start);
        b.setUserState(packState(start, generationOf(old)));
    }
}

void MarkupHighlighter::backgroundSlice() {
    if (!m_active || !document())
        return;
    QElapsedTimer t;
    t.start();
    const int count = document()->blockCount();
    while (m_statesValid < count && t.nsecsElapsed() < kSliceNs)
        advanceStates(m_statesValid + 256);
    if (m_statesValid < count)
        m_slice.start();
}

void MarkupHighlighter::colourVisibleLines() {
    if (!m_active || !document() || m_inColouring)
        return;
    m_inColouring = true;
    const QWidget *view = m_editor->viewport();
    const QTextCursor top = m_editor->cursorForPosition(QPoint(0, 0));
    const QTextCursor bottom =
        m_editor->cursorForPosition(QPoint(view->width() - 1, view->height() - 1));
    const QTextBlock first = top.block();
    const QTextBlock last = bottom.block();
    advanceStates(last.blockNumber() + 1);
    m_changeLast = last.blockNumber();
    // One edit block around them all: the editor hears of the new formats once.
    QTextCursor batch(document());
    bool batching = false;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        bool stale = generationOf(b.userState()) != m_generation;
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
    // Stays within the bits above the state; wrapping after 2^28 bumps.
    m_generation = m_generation >= (1 << 28) ? 1 : m_generation + 1;
}
