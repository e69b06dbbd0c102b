#include "editorbox.h"
#include "pagetext.h"
#include "editorlayout.h"
#include "markuphighlighter.h"
#include "errors.h"
#include "pagemarks.h"
#include "spellcheck.h"
#include "tagtyping.h"
#include "completionpopup.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>
#include <QtMath>
#include <utility>

namespace {
QSet<QKeySequence> &reserved()
{
    static QSet<QKeySequence> keys;
    return keys;
}

bool g_closesTags = true;

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
    m_completion = new CompletionPopup(
        this, {reading.textBetween, reading.readingStart, reading.undoStep, kTagReach});
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
    m_pageMarks = std::make_unique<PageMarks>(document(), [this] { viewport()->update(); });
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
    QList<std::pair<int, int>> errors, others;
    if (!m_pageMarks->isEmpty()) {
        // Those of the lines on screen.
        const int from = firstVisibleBlock().position();
        int to = from;
        QPointF offset = contentOffset();
        for (QTextBlock b = firstVisibleBlock(); b.isValid(); b = b.next()) {
            const QRectF r = blockBoundingRect(b).translated(offset);
            if (r.top() > e->rect().bottom())
                break;
            to = b.position() + b.length();
            offset.ry() += r.height();
        }
        errors = m_pageMarks->within(from, to, true);
        others = m_pageMarks->within(from, to, false);
    }
    if (words.isEmpty() && errors.isEmpty() && others.isEmpty())
        return;
    // Each a wave drawn from one small tile: misspelt words red, the page
    // check's errors orange and its warnings and advice blue.
    auto tile = [this](QPixmap &wave, const QColor &colour) {
        if (!wave.isNull() && wave.devicePixelRatio() == devicePixelRatioF())
            return;
        const qreal ratio = devicePixelRatioF();
        wave = QPixmap(QSize(4, 3) * ratio);
        wave.setDevicePixelRatio(ratio);
        wave.fill(Qt::transparent);
        QPainter paint(&wave);
        paint.setPen(QPen(colour, 1));
        paint.drawPolyline(QPolygon({QPoint(0, 2), QPoint(2, 0), QPoint(4, 2)}));
    };
    tile(m_wave, QColor(Qt::red));
    tile(m_errorWave, QColor(0xe0, 0x78, 0x00));
    tile(m_warningWave, QColor(0x20, 0x70, 0xe0));
    QPainter p(viewport());
    drawWaves(p, e->rect(), others, m_warningWave);
    drawWaves(p, e->rect(), errors, m_errorWave);
    drawWaves(p, e->rect(), words, m_wave);
}

void EditorBox::drawWaves(QPainter &p, const QRect &clip, const QList<std::pair<int, int>> &words,
                          const QPixmap &tile)
{
    if (words.isEmpty())
        return;
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
                    p.drawTiledPixmap(box, tile);
            }
        }
        offset.ry() += r.height();
        b = b.next();
    }
}

bool EditorBox::viewportEvent(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        // Over an underlined problem: its message.
        auto *help = static_cast<QHelpEvent *>(e);
        const QTextCursor at = cursorForPosition(help->pos());
        const int x = cursorRect(at).x();
        // The character under the pointer; none past a line's end.
        QString text;
        if (std::abs(x - help->pos().x()) <= fontMetrics().averageCharWidth() * 2)
            text = m_pageMarks->textAt(at.position() - (x > help->pos().x() ? 1 : 0));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, viewport());
        return true;
    }
    return QPlainTextEdit::viewportEvent(e);
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

void EditorBox::selectSpan(int line, int column, int endLine, int endColumn)
{
    const QTextBlock b = document()->findBlockByNumber(line);
    const QTextBlock e = document()->findBlockByNumber(endLine);
    if (!b.isValid() || !e.isValid())
        return;
    QTextCursor c = textCursor();
    c.setPosition(b.position() + qBound(0, column, b.length() - 1));
    c.setPosition(e.position() + qBound(0, endColumn, e.length() - 1), QTextCursor::KeepAnchor);
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
    // The completion popup's keys are its own; any other is typed here.
    m_completion->keyPress(e, [this, e] {
        if (m_tagTyping->keyPress(e) || renameTagPair(e)) {
            e->accept();
            ensureCursorVisible();
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    });
}

void EditorBox::inputMethodEvent(QInputMethodEvent *e)
{
    if (e->commitString().isEmpty()) {
        QPlainTextEdit::inputMethodEvent(e); // composing: nothing typed yet
        return;
    }
    m_tagTyping->textComing();
    m_completion->commitText(e->commitString(), [this, e] { QPlainTextEdit::inputMethodEvent(e); });
}

void EditorBox::insertFromMimeData(const QMimeData *source)
{
    m_tagTyping->textComing();
    QPlainTextEdit::insertFromMimeData(source);
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
