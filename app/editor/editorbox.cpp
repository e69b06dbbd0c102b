#include "editorbox.h"
#include "pagetext.h"
#include "markuphighlighter.h"
#include "markupstates.h"
#include "errors.h"
#include "spellcheck.h"
#include "tagtyping.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>
#include <climits>
#include <utility>

namespace {
QSet<QKeySequence> &reserved()
{
    static QSet<QKeySequence> keys;
    return keys;
}

bool g_closesTags = true;

QColor mixed(const QColor &a, const QColor &b, double share)
{
    const QColor x = a.toRgb(), y = b.toRgb();
    return QColor::fromRgbF(float(x.redF() + (y.redF() - x.redF()) * share),
                            float(x.greenF() + (y.greenF() - x.greenF()) * share),
                            float(x.blueF() + (y.blueF() - x.blueF()) * share));
}

// Qt separates blocks with U+2029 in selections; the commands see CR LF.
QString toCrlfText(QString t)
{
    t.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return t;
}

// One break per CR LF, lone CR or lone LF, as a single '\n' for Qt.
QString toQtText(const QString &t)
{
    if (!t.contains(QLatin1Char('\r')))
        return t;
    QString out;
    out.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < t.size() && t.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}
} // namespace

namespace {
// Qt's plain-text layout, except for a change within one line: Qt then
// lays the line out, and when that line was the page's widest and got
// narrower, it looks through every line of the page for the new widest, so
// undoing a command that widened a line cost in proportion to the page.
// Here the line is laid out the same way and the page keeps its width (the
// horizontal scroll range shrinks at the next relayout, as on a resize);
// a line that grows wider than the page and the view still goes through
// Qt, which takes note of the new widest.
class EditorLayout : public QPlainTextDocumentLayout {
public:
    // The view's width is the width Qt wraps at (its own copy is private).
    EditorLayout(QTextDocument *doc, const QWidget *view)
        : QPlainTextDocumentLayout(doc), m_view(view), m_blockCount(doc->blockCount())
    {
        // Heard before the colouring, which drops a line's layout when it
        // gives the line new formats: the line's height before the change
        // is still known here, so an unchanged height repaints that line only.
        connect(doc, &QTextDocument::contentsChange, this, [this](int from, int, int) {
            const QTextBlock b = document()->findBlock(from);
            m_before = {b.blockNumber(),
                        b.layout()->lineCount() > 0 ? blockBoundingRect(b).height() : -1};
        });
    }

protected:
    void documentChanged(int from, int removed, int added) override
    {
        const Before before = std::exchange(m_before, Before()); // this change's only
        QTextDocument *doc = document();
        const int blocks = doc->blockCount();
        const QTextBlock block = doc->findBlock(from);
        // [from, from + added) is what the change left in the text.
        const bool oneLine = blocks == m_blockCount && block.isValid() && block.length()
                          && block == doc->findBlock(from + qMax(0, added - 1));
        m_blockCount = blocks;
        if (!oneLine || !block.isVisible()) {
            QPlainTextDocumentLayout::documentChanged(from, removed, added);
            return;
        }
        const qreal oldHeight = block.layout()->lineCount() > 0 ? blockBoundingRect(block).height()
                              : before.block == block.blockNumber() ? before.height
                                                                    : -1;
        const int oldLines = doc->lineCount();
        // Wider than the view and than the page was: Qt has to take note
        // of the new widest line, for the horizontal scroll range.
        if (layOut(block) > qMax(documentSize().width(), qreal(viewWidth()))) {
            QPlainTextDocumentLayout::documentChanged(from, removed, added);
            return;
        }
        if (blockBoundingRect(block).height() == oldHeight) {
            emit updateBlock(block);
            return;
        }
        if (doc->lineCount() != oldLines)
            emit documentSizeChanged(documentSize());
        emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
    }

private:
    // As Qt lays a line out; returns the line's width.
    qreal layOut(const QTextBlock &block)
    {
        QTextDocument *doc = document();
        const qreal margin = doc->documentMargin();
        QTextLayout *tl = block.layout();
        const QTextOption option = doc->defaultTextOption();
        tl->setTextOption(option);
        int extraMargin = 0;
        if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
            extraMargin += QFontMetrics(block.charFormat().font())
                               .horizontalAdvance(QChar(0x21B5));
        qreal available = viewWidth();
        if (available <= 0)
            available = qreal(INT_MAX);
        available -= 2 * margin + extraMargin;
        qreal height = 0, widest = 0;
        tl->beginLayout();
        for (QTextLine line = tl->createLine(); line.isValid(); line = tl->createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(available);
            line.setPosition(QPointF(margin, height));
            height += line.height();
            if (line.leading() < 0)
                height += qCeil(line.leading());
            widest = qMax(widest, line.naturalTextWidth() + 2 * margin);
        }
        tl->endLayout();
        const_cast<QTextBlock &>(block).setLineCount(tl->lineCount());
        return widest;
    }

    // The text may outlive the editor that showed it.
    int viewWidth() const { return m_view ? m_view->width() : 0; }
    QPointer<const QWidget> m_view;
    int m_blockCount;
    struct Before {
        int block = -1;
        qreal height = -1;
    } m_before; // the changed line, as the change was announced
};
} // namespace

EditorBox::EditorBox(QWidget *parent) : EditorBox(nullptr, parent) {}

EditorBox::EditorBox(PageText *text, QWidget *parent) : QPlainTextEdit(parent)
{
    {
        // The page's text, or one of its own, laid out by EditorLayout
        // (which takes the place of its plain layout).
        PageText *doc = text ? text : new PageText(this);
        doc->setDocumentLayout(new EditorLayout(doc, viewport()));
        setDocument(doc);
        connect(doc, &PageText::longLines, this, [this](bool any) {
            if (!m_wrapChosen)
                applyWordWrap(any);
        });
        connect(doc, &PageText::loaded, this, &EditorBox::textLoaded);
    }
    // A line that goes frees its layout, whose address a new line may take.
    connect(document(), &QTextDocument::blockCountChanged, this, [this] { m_spans.clear(); });
    setObjectName(QStringLiteral("EditorBox"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(false);
    setFocusPolicy(Qt::ClickFocus); // not a tab stop
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(13);
    setFont(f);
    // Last: it attaches to the still empty document.
    m_highlighter = new MarkupHighlighter(this);
    // Looked for once the caret rests: holding an arrow key down costs
    // nothing more than it did.
    m_matchWait.setSingleShot(true);
    m_matchWait.setInterval(kMatchRestMs);
    connect(&m_matchWait, &QTimer::timeout, this, &EditorBox::updateMatchingTags);
    TagTyping::Reading reading;
    reading.closesTags = &EditorBox::closesTags;
    reading.textBetween = [this](int from, int to) { return textBetween(from, to); };
    reading.readingStart = [this](int pos, int reach, Markup::State *state) {
        return readingStart(pos, reach, state);
    };
    reading.tagReach = kTagReach;
    reading.undoStep = [this] {
        return std::shared_ptr<void>(new UndoStep(this),
                                     [](void *step) { delete static_cast<UndoStep *>(step); });
    };
    m_tagTyping = std::make_unique<TagTyping>(this, std::move(reading));
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        m_matchWait.start();
        m_tagTyping->caretMoved();
    });
    m_spelling = new SpellCheck(this, [this](const QList<std::pair<int, int>> &ranges) {
        for (const auto &[at, length] : ranges)
            for (const Stretch &s : stretchesOf(at, length))
                if (!QRegion(waveBox(s)).subtracted(m_painting).isEmpty())
                    viewport()->update(s.box); // not wholly in the part being drawn
    });
}

QList<EditorBox::Stretch> EditorBox::stretchesOf(int position, int length) const
{
    const QTextBlock b = document()->findBlock(position);
    if (!b.isValid() || !b.isVisible() || !b.layout())
        return {};
    const QPointF origin = blockBoundingGeometry(b).translated(contentOffset()).topLeft();
    if (origin.y() > viewport()->height())
        return {};
    return stretchesIn(b, origin, position, length);
}

QList<EditorBox::Stretch> EditorBox::stretchesIn(const QTextBlock &b, QPointF origin,
                                                 int position, int length) const
{
    QList<Stretch> out;
    const QTextLayout *layout = b.layout();
    if (!layout || layout->lineCount() == 0)
        return out;
    // Where a character is along a line costs Qt the shaping of the whole
    // line; kept per line until it changes, the underlines of a full
    // repaint cost lookups only.
    const qreal natural = layout->lineAt(0).naturalTextWidth();
    auto spans = m_spans.find(layout);
    if (spans == m_spans.end() || spans->revision != b.revision()
        || spans->lines != layout->lineCount() || spans->natural != natural) {
        if (m_spans.size() >= kMaxSpanLayouts)
            m_spans.clear();
        spans = m_spans.insert(layout, Spans{b.revision(), layout->lineCount(), natural, {}});
    }
    const int from = position - b.position(), to = from + length;
    const quint64 key = (quint64(quint32(from)) << 32) | quint32(length);
    auto found = spans->xs.constFind(key);
    if (found == spans->xs.constEnd()) {
        QList<LineX> xs;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const int start = line.textStart(), end = start + line.textLength();
            if (end < from || start >= to)
                continue;
            xs.append({i, line.cursorToX(std::max(from, start)),
                       line.cursorToX(std::min(to, end))});
        }
        found = spans->xs.insert(key, xs);
    }
    for (const LineX &x : *found) {
        const QTextLine line = layout->lineAt(x.line);
        const QRectF r = line.rect().translated(origin);
        // Only the stretch's own part of the line: a line's rect does not
        // follow the text of an unwrapped line scrolled to the right.
        out.append({origin.x() + x.x1, origin.x() + x.x2, r.top() + line.ascent(),
                    QRectF(QPointF(origin.x() + x.x1 - 1, r.top()),
                           QPointF(origin.x() + x.x2 + 1, r.bottom() + 3))
                        .toAlignedRect()});
    }
    return out;
}

QRect EditorBox::waveBox(const Stretch &s)
{
    const int y = qRound(s.baseline) + 2;
    return QRect(QPoint(qRound(s.x1), y - 1), QPoint(qRound(s.x2), y + 1));
}

void EditorBox::paintEvent(QPaintEvent *e)
{
    if (!m_spelling->isScreenChecked()) {
        // The lines on screen are checked before they are drawn, so that an
        // underline coming or going with a key is drawn in this pass, not
        // in a second one after it.
        m_painting = e->region();
        m_spelling->update();
        m_painting = QRegion();
    }
    QPlainTextEdit::paintEvent(e);
    const QList<std::pair<int, int>> words = m_spelling->underlined(); // in page order
    if (words.isEmpty())
        return;
    // Misspelt words: a red wave under each, drawn from one small tile.
    if (m_wave.isNull() || m_wave.devicePixelRatio() != devicePixelRatioF()) {
        const qreal ratio = devicePixelRatioF();
        m_wave = QPixmap(QSize(4, 3) * ratio);
        m_wave.setDevicePixelRatio(ratio);
        m_wave.fill(Qt::transparent);
        QPainter tile(&m_wave);
        tile.setPen(QPen(QColor(Qt::red), 1));
        tile.drawPolyline(QPolygon({QPoint(0, 2), QPoint(2, 0), QPoint(4, 2)}));
    }
    QPainter p(viewport());
    const QRect clip = e->rect();
    // Along the blocks on screen, as the text itself is drawn: the words
    // of a block come in order, and blocks outside the part drawn cost
    // nothing but their place.
    QTextBlock b = firstVisibleBlock();
    QPointF offset = contentOffset();
    auto w = std::lower_bound(words.cbegin(), words.cend(), std::pair<int, int>(b.position(), 0));
    while (b.isValid() && w != words.cend()) {
        const QRectF r = blockBoundingRect(b).translated(offset);
        if (r.top() > clip.bottom())
            break;
        const int end = b.position() + b.length();
        const bool drawn = b.isVisible() && r.bottom() + 3 >= clip.top();
        for (; w != words.cend() && w->first < end; ++w) {
            if (!drawn)
                continue;
            for (const Stretch &s : stretchesIn(b, r.topLeft(), w->first, w->second)) {
                const QRect box = waveBox(s);
                if (box.intersects(clip))
                    p.drawTiledPixmap(box, m_wave);
            }
        }
        offset.ry() += r.height();
        b = b.next();
    }
}

void EditorBox::contextMenuEvent(QContextMenuEvent *e)
{
    // A misspelt word's suggestions come first, then the usual items.
    QMenu *menu = createStandardContextMenu(e->pos());
    const int at = e->reason() == QContextMenuEvent::Mouse
                       ? cursorForPosition(e->pos()).position()
                       : QPlainTextEdit::textCursor().position();
    m_spelling->addToMenu(menu, at);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

bool EditorBox::carriesFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    for (const QUrl &u : data->urls())
        if (u.isLocalFile())
            return true;
    return false;
}

// Ignored here, a drag of files goes on to the main window, which opens them.
void EditorBox::dragEnterEvent(QDragEnterEvent *e)
{
    if (carriesFiles(e->mimeData()))
        e->ignore();
    else
        QPlainTextEdit::dragEnterEvent(e);
}

void EditorBox::dragMoveEvent(QDragMoveEvent *e)
{
    if (carriesFiles(e->mimeData()))
        e->ignore();
    else
        QPlainTextEdit::dragMoveEvent(e);
}

void EditorBox::dropEvent(QDropEvent *e)
{
    if (carriesFiles(e->mimeData()))
        e->ignore();
    else
        QPlainTextEdit::dropEvent(e);
}

int EditorBox::toCrlf(int qtPos) const
{
    return qtPos + document()->findBlock(qtPos).blockNumber();
}

int EditorBox::fromCrlf(int crlf) const
{
    const QTextDocument *doc = document();
    if (crlf <= 0)
        return 0;
    // Largest block whose CR LF start is at or before the offset.
    int lo = 0, hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (doc->findBlockByNumber(mid).position() + mid <= crlf)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock b = doc->findBlockByNumber(lo);
    const int within = qMin(crlf - (b.position() + lo), b.length() - 1);
    return b.position() + within;
}

int EditorBox::selStart() const { return toCrlf(textCursor().selectionStart()); }

int EditorBox::selLength() const
{
    const QTextCursor c = textCursor();
    return toCrlf(c.selectionEnd()) - toCrlf(c.selectionStart());
}

QString EditorBox::selText() const { return toCrlfText(textCursor().selectedText()); }

void EditorBox::setSelText(const QString &t)
{
    m_tagTyping->textComing(); // a command's text after a '<' gone over
    QTextCursor c = textCursor();
    c.insertText(toQtText(t));
    setTextCursor(c);
}

void EditorBox::setTextCursor(const QTextCursor &cursor)
{
    // Within an undo step Qt lays changed lines out again only when the
    // step ends. Placing the caret now would scroll to it by its line's old
    // layout (which crashes when the caret lies past that layout's end), or
    // lay a long line out whole for every caret move of the command. The
    // caret is kept and placed once the step has ended and the lines are
    // laid out afresh; a kept cursor follows the edits made meanwhile.
    if (m_undoSteps > 0) {
        m_stepCursor = cursor;
        return;
    }
    QPlainTextEdit::setTextCursor(cursor);
}

QTextCursor EditorBox::textCursor() const
{
    return m_stepCursor ? *m_stepCursor : QPlainTextEdit::textCursor();
}

void EditorBox::setSelStart(int offset)
{
    QTextCursor c = textCursor();
    c.setPosition(fromCrlf(offset));
    setTextCursor(c);
}

void EditorBox::moveCaretLeft(int n)
{
    QTextCursor c = textCursor();
    c.setPosition(qMax(0, c.position() - n));
    setTextCursor(c);
}

int EditorBox::lineCount() const
{
    const QTextDocument *doc = document();
    const int n = doc->blockCount();
    return doc->lastBlock().length() <= 1 ? n - 1 : n;
}

QString EditorBox::line(int index) const
{
    return document()->findBlockByNumber(index).text();
}

void EditorBox::replaceLine(int index, const QString &text)
{
    const QTextBlock b = document()->findBlockByNumber(index);
    if (!b.isValid())
        return;
    QTextCursor c(b);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(toQtText(text));
}

void EditorBox::insertLine(int index, const QString &text)
{
    QTextDocument *doc = document();
    if (index < 0)
        return;
    if (index < doc->blockCount()) {
        QTextCursor c(doc->findBlockByNumber(index));
        c.insertText(toQtText(text) + QLatin1Char('\n'));
    } else if (index == doc->blockCount()) {
        QTextCursor c(doc);
        c.movePosition(QTextCursor::End);
        c.insertText(QLatin1Char('\n') + toQtText(text));
    }
}

void EditorBox::deleteLine(int index)
{
    QTextDocument *doc = document();
    const QTextBlock b = doc->findBlockByNumber(index);
    if (!b.isValid())
        return;
    QTextCursor c(b);
    if (b.next().isValid())
        c.setPosition(b.next().position(), QTextCursor::KeepAnchor);
    else
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

int EditorBox::caretLine() const
{
    return document()->findBlock(textCursor().selectionStart()).blockNumber();
}

int EditorBox::lineOffset(int index) const
{
    return document()->findBlockByNumber(index).position() + index;
}

void EditorBox::setCaret(int line, int column)
{
    const QTextBlock b = document()->findBlockByNumber(line);
    if (!b.isValid())
        return;
    QTextCursor c = textCursor();
    c.setPosition(b.position() + qBound(0, column, b.length() - 1));
    setTextCursor(c);
}

QString EditorBox::text() const
{
    QString out = document()->toRawText();
    out.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return out;
}

void EditorBox::loadText(const QString &crlfText) { pageText()->loadText(crlfText); }

EditorBox::~EditorBox()
{
    // A document's text outlives its editor: the colouring and the spelling
    // let go of it first, unheard (letting go clears every line's formats,
    // which would reach them half destroyed and mark every line changed).
    if (document()->parent() != this) {
        const QSignalBlocker quiet(document());
        delete m_spelling;
        delete m_highlighter;
    }
}

PageText *EditorBox::pageText() const { return static_cast<PageText *>(document()); }

void EditorBox::textLoaded()
{
    m_tagTyping->forget();
    setTextCursor(QTextCursor(document()));
}

void EditorBox::setWordWrap(bool on)
{
    m_wrapChosen = true;
    applyWordWrap(on);
}

void EditorBox::applyWordWrap(bool on)
{
    if (on == wordWrap())
        return;
    // Anywhere, not at word boundaries: a line without a space would be
    // searched to its end for a break on every row it fills.
    setWordWrapMode(QTextOption::WrapAnywhere);
    setLineWrapMode(on ? WidgetWidth : NoWrap);
}

QStringList EditorBox::linesHoldingAnchorName() const
{
    return pageText()->linesHoldingAnchorName();
}

bool EditorBox::isModified() const { return document()->isModified(); }

void EditorBox::setReservedShortcuts(const QList<QKeySequence> &keys)
{
    reserved() = QSet<QKeySequence>(keys.begin(), keys.end());
}

bool EditorBox::event(QEvent *e)
{
    if (e->type() == QEvent::FontChange)
        m_spans.clear(); // every line is laid out again
    if (e->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (reserved().contains(QKeySequence(ke->keyCombination()))) {
            e->ignore(); // let the menu's shortcut fire
            return true;
        }
    }
    if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (ke->matches(QKeySequence::InsertLineSeparator)) {
            // Qt would put a U+2028 inside the line: it looks like a line
            // break but is saved as one character of the same line. Shift+Enter
            // breaks the line as Enter does.
            QKeyEvent plain(QEvent::KeyPress, ke->key(), Qt::NoModifier, ke->text(),
                            ke->isAutoRepeat(), ke->count());
            keyPressEvent(&plain);
            e->setAccepted(plain.isAccepted());
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

void EditorBox::setClosesTags(bool on) { g_closesTags = on; }
bool EditorBox::closesTags() { return g_closesTags; }

void EditorBox::keyPressEvent(QKeyEvent *e)
{
    if (m_tagTyping->keyPress(e)) {
        e->accept();
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void EditorBox::inputMethodEvent(QInputMethodEvent *e)
{
    if (!e->commitString().isEmpty())
        m_tagTyping->textComing();
    QPlainTextEdit::inputMethodEvent(e);
}

void EditorBox::insertFromMimeData(const QMimeData *source)
{
    m_tagTyping->textComing();
    QPlainTextEdit::insertFromMimeData(source);
}

QString EditorBox::textBetween(int from, int to) const
{
    if (to <= from)
        return QString();
    QTextCursor c(document());
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    return c.selectedText(); // lines end in U+2029, one character as in the document
}

int EditorBox::readingStart(int pos, int reach, Markup::State *state) const
{
    *state = Markup::State();
    int from = qMax(0, pos - reach);
    QTextBlock b = document()->findBlock(from);
    if (b.position() < from && b.next().isValid() && b.next().position() <= pos)
        b = b.next();
    const MarkupStates *states = MarkupStates::of(document());
    const bool known = states->isKnown(b.blockNumber());
    if (b.position() >= from) {
        from = b.position(); // a line's start
        if (known) {
            *state = states->startState(b.blockNumber());
            return from;
        }
    }
    // Else read from the line's start when it is known and near; failing
    // that, a look back says whether `from` lies in SCRIPT or STYLE
    // contents, whose "</" and '<' are not markup.
    const bool exact = known && from - b.position() <= kRawLookBack;
    const int back = exact ? b.position() : qMax(0, from - kRawLookBack);
    if (back == from)
        return from;
    const Markup::State at = Markup::scan(
        textBetween(back, from), exact ? states->startState(b.blockNumber()) : Markup::State());
    if (exact)
        *state = at;
    else if (at.mode == Markup::Mode::Script || at.mode == Markup::Mode::Style)
        state->mode = at.mode;
    return from;
}

template <class Find>
std::optional<TagPair> EditorBox::findAround(int from, int to, Find find) const
{
    Markup::State state;
    const int start = readingStart(from, kMatchReach, &state);
    const int last = document()->characterCount() - 1;
    const int end = qMin(last, to + kMatchReach);
    std::optional<TagPair> pair = find(textBetween(start, end), from - start, to - start, state);
    if (!pair && (start > 0 || end < last)) {
        // The whole page, once, for a command the user asked for: about
        // 0.1 s for 10 million characters.
        pair = find(document()->toRawText(), from, to, Markup::State());
        if (pair)
            return pair;
    }
    if (pair) {
        for (TagRange *r : {&pair->open, &pair->close}) {
            r->start += start;
            r->end += start;
        }
    }
    return pair;
}

void EditorBox::updateMatchingTags()
{
    m_matchWait.stop();
    std::optional<TagPair> pair;
    const QTextCursor caret = textCursor();
    if (!caret.hasSelection()) {
        const int pos = caret.position();
        Markup::State state;
        const int start = readingStart(pos, kMatchReach, &state);
        const int end = qMin(document()->characterCount() - 1, pos + kMatchReach);
        pair = matchingTags(textBetween(start, end), pos - start, state);
        if (pair)
            for (TagRange *r : {&pair->open, &pair->close}) {
                r->start += start;
                r->end += start;
            }
    }
    // Unchanged, unless an edit since has moved the highlight off the tags.
    if (pair == m_shownPair) {
        const QList<QTextEdit::ExtraSelection> now = m_layers.value(MatchingTagLayer);
        const auto at = [&now](int i, const TagRange &r) {
            return now.size() == 2 && now[i].cursor.selectionStart() == r.start
                && now[i].cursor.selectionEnd() == r.end;
        };
        if (!pair || (at(0, pair->open) && at(1, pair->close)))
            return;
    }
    m_shownPair = pair;
    QList<QTextEdit::ExtraSelection> shown;
    if (pair) {
        // A tint of the tag colour over the editor's background: the text
        // keeps its colours and stays readable in any colour scheme.
        QTextCharFormat tint;
        tint.setBackground(mixed(palette().color(QPalette::Base),
                                 m_highlighter->colours().tag, 0.2));
        for (const TagRange &r : {pair->open, pair->close}) {
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(document());
            s.cursor.setPosition(int(r.start));
            s.cursor.setPosition(int(r.end), QTextCursor::KeepAnchor);
            s.format = tint;
            shown << s;
        }
    }
    setSelectionLayer(MatchingTagLayer, shown);
}

bool EditorBox::goToMatchingTag()
{
    const int caret = textCursor().position();
    const auto pair =
        findAround(caret, caret, [](QStringView t, qsizetype from, qsizetype, Markup::State s) {
            return matchingTags(t, from, s);
        });
    if (!pair)
        return false;
    const bool inOpening = pair->open.start <= caret && caret < pair->open.end;
    QTextCursor c = textCursor();
    c.setPosition(int(inOpening ? pair->close.start : pair->open.start));
    setTextCursor(c);
    return true;
}

bool EditorBox::selectElement()
{
    const QTextCursor now = textCursor();
    const auto pair = findAround(now.selectionStart(), now.selectionEnd(),
                                 [](QStringView t, qsizetype from, qsizetype to, Markup::State s) {
                                     return enclosingElement(t, from, to, s);
                                 });
    if (!pair)
        return false;
    QTextCursor c = textCursor();
    c.setPosition(int(pair->open.start));
    c.setPosition(int(pair->close.end), QTextCursor::KeepAnchor);
    setTextCursor(c);
    return true;
}

void EditorBox::setSelectionLayer(SelectionLayer layer,
                                  const QList<QTextEdit::ExtraSelection> &selections)
{
    if (selections.isEmpty())
        m_layers.remove(layer);
    else
        m_layers.insert(layer, selections);
    QList<QTextEdit::ExtraSelection> all;
    for (const auto &l : std::as_const(m_layers))
        all += l;
    setExtraSelections(all);
}

UndoStep::UndoStep(EditorBox *editor) : m_editor(editor), m_cursor(editor->textCursor())
{
    // Begun at the caret: Qt's undo puts the caret back where the step began.
    ++m_editor->m_undoSteps;
    m_cursor.beginEditBlock();
}

UndoStep::~UndoStep()
{
    m_cursor.endEditBlock();
    if (--m_editor->m_undoSteps == 0 && m_editor->m_stepCursor) {
        const QTextCursor caret = *m_editor->m_stepCursor;
        m_editor->m_stepCursor.reset();
        m_editor->setTextCursor(caret);
    }
}
