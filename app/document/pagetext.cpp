#include "pagetext.h"
#include "errors.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

const QString PageText::kAnchorNameOpen = QStringLiteral("<A NAME=\"");

namespace {
// A line's mark, kept as the block's user data (the user state stays free
// for a highlighter). A block without one holds no anchor; only lines that
// hold one, and lines changed since they were last read, carry a mark.
class AnchorMark : public QTextBlockUserData {
public:
    explicit AnchorMark(bool known) : known(known) {}
    bool known; // false: changed since last read
};

void markUnknown(QTextBlock b) { b.setUserData(new AnchorMark(false)); }

// The numbers of the lines that hold an anchor, in text handed over in
// order, whole or in pieces (a piece may end inside a line, but never
// between the CR and LF of one break).
class AnchorLineFinder {
public:
    void add(QStringView text)
    {
        const QString &needle = PageText::kAnchorNameOpen;
        // An anchor cut in two by the end of the last piece: its line is
        // where this piece starts (the anchor holds no break).
        if (!m_tail.isEmpty()) {
            QString seam = m_tail;
            seam += text.first(std::min(text.size(), needle.size() - 1));
            const qsizetype p = seam.indexOf(needle);
            if (p >= 0 && p < m_tail.size())
                found();
        }
        qsizetype counted = 0;
        for (qsizetype p = text.indexOf(needle); p >= 0; p = text.indexOf(needle, p + 1)) {
            advance(text, counted, p);
            counted = p;
            found();
        }
        advance(text, counted, text.size());
        m_tail = text.last(std::min(text.size(), needle.size() - 1)).toString();
    }
    const std::vector<int> &lines() const { return m_lines; }
    qsizetype column() const { return m_column; }
    // Lines longer than PageText::kLongLine, the last one included.
    std::vector<int> longLines() const
    {
        std::vector<int> out = m_long;
        if (m_column > PageText::kLongLine)
            out.push_back(m_line);
        return out;
    }

private:
    void found()
    {
        if (m_lines.empty() || m_lines.back() != m_line)
            m_lines.push_back(m_line);
    }
    // Counts breaks as Qt does: CR LF, lone CR, lone LF and its own separators.
    void advance(QStringView text, qsizetype from, qsizetype to)
    {
        for (qsizetype i = from; i < to; ++i) {
            const char16_t c = text[i].unicode();
            if (c == u'\n' || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1
                || (c == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))) {
                if (m_column > PageText::kLongLine)
                    m_long.push_back(m_line);
                ++m_line;
                m_column = 0;
            } else if (c != u'\r') {
                ++m_column;
            }
        }
    }

    std::vector<int> m_lines;
    std::vector<int> m_long;
    int m_line = 0;
    qsizetype m_column = 0;
    QString m_tail;
};
} // namespace

PageText::PageText(QObject *parent) : QTextDocument(parent)
{
    // Laid out as plain text; an editor showing it brings its own layout.
    setDocumentLayout(new QPlainTextDocumentLayout(this));
    connect(this, &QTextDocument::contentsChange, this,
            [this](int pos, int, int added) { forgetAnchorMarks(pos, added); });
}

void PageText::loadText(const QString &crlfText)
{
    // Straight into the document, with undo off: setPlainText through a
    // widget does extra work per load that a huge page feels.
    setUndoRedoEnabled(false);
    AnchorLineFinder anchors;
    anchors.add(crlfText);
    // Wrapping settled first: the page is laid out once, in the right mode.
    emit longLines(!anchors.longLines().empty());
    m_loading = true;       // the marks are set from the loaded text below
    setPlainText(crlfText); // Qt takes CR LF as one break
    m_loading = false;
    markAnchorLines(anchors.lines());
    keepLongLineLayouts(anchors.longLines());
    loadFinished();
}

// What a load in pieces keeps between its calls.
struct PageText::PieceLoad {
    // The text is kept and cleared only once a piece comes: a file that
    // cannot be read at all leaves the document untouched.
    void clear(PageText *doc)
    {
        before = doc->toRawText();
        before.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
        cleared = true;
        doc->setUndoRedoEnabled(false);
        doc->clear();
        // One change for the whole page, as a single setPlainText makes.
        end = QTextCursor(doc);
        end.beginEditBlock();
    }

    QString before; // the text as it was
    bool cleared = false;
    QTextCursor end; // where the next piece goes
    AnchorLineFinder anchors;
    bool toldLong = false;
};

PageText::~PageText() = default;

void PageText::beginLoad()
{
    m_pieceLoad = std::make_unique<PieceLoad>();
    m_loading = true;
}

void PageText::appendLoad(const QString &piece)
{
    PieceLoad &load = *m_pieceLoad;
    if (!load.cleared)
        load.clear(this);
    load.anchors.add(piece);
    if (load.anchors.column() > kMaxLine)
        throw TagloomError(Errors::memoCapacity());
    // Wrapping settled before the long line goes in: switched afterwards,
    // Qt would lay the page out again at once.
    if (!load.toldLong && !load.anchors.longLines().empty()) {
        load.toldLong = true;
        emit longLines(true);
    }
    load.end.insertText(piece);
}

void PageText::finishLoad()
{
    const std::unique_ptr<PieceLoad> load = std::move(m_pieceLoad);
    if (!load->cleared)
        load->clear(this); // an empty file
    // Before the change is announced, which lays out a one-line page.
    keepLongLineLayouts(load->anchors.longLines());
    load->end.endEditBlock();
    m_loading = false;
    markAnchorLines(load->anchors.lines());
    loadFinished();
}

void PageText::finishLoad(const QString &crlfText)
{
    const std::unique_ptr<PieceLoad> load = std::move(m_pieceLoad);
    if (load->cleared)
        load->end.endEditBlock();
    m_loading = false;
    loadText(crlfText);
}

void PageText::abandonLoad()
{
    const std::unique_ptr<PieceLoad> load = std::move(m_pieceLoad);
    if (!load)
        return; // already finished (it was the finish that failed)
    if (load->cleared) {
        // Emptied before the change is announced: a refused huge line is
        // never laid out.
        load->end.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
        load->end.removeSelectedText();
        load->end.endEditBlock();
    }
    m_loading = false;
    if (load->cleared)
        loadText(load->before);
}

void PageText::loadFinished()
{
    setUndoRedoEnabled(true);
    setModified(false);
    emit loaded();
}

void PageText::forgetAnchorMarks(int position, int added)
{
    if (m_loading)
        return;
    // Only the blocks the change touched, new ones included.
    QTextBlock b = findBlock(position);
    const QTextBlock last = findBlock(position + added);
    bool longLine = false;
    for (; b.isValid(); b = b.next()) {
        markUnknown(b);
        if (b.length() > kLongLine) {
            b.layout()->setCacheEnabled(true);
            longLine = true;
        }
        if (b == last)
            break;
    }
    // Wrapping changes the layout: not from within the document's signal.
    if (longLine)
        QMetaObject::invokeMethod(
            this, [this] { emit longLines(true); }, Qt::QueuedConnection);
}

void PageText::keepLongLineLayouts(const std::vector<int> &lines)
{
    // A long line's shaped text is kept between repaints (Qt drops it after
    // each layout by default): reshaping it costs its whole length each time.
    for (const int line : lines) {
        const QTextBlock b = findBlockByNumber(line);
        if (b.isValid() && b.length() > kLongLine)
            b.layout()->setCacheEnabled(true);
    }
    emit longLines(!lines.empty());
}

void PageText::markAnchorLines(const std::vector<int> &lines)
{
    // The loaded text was at hand: one search through it found the lines
    // that hold an anchor, so even the first scan after opening a huge page
    // is quick. A fresh document's blocks carry no mark: no anchor.
    for (const int line : lines) {
        QTextBlock b = findBlockByNumber(line);
        if (!b.isValid() || !b.text().contains(kAnchorNameOpen)) {
            // Counted differently from Qt: leave every line to be read.
            for (QTextBlock u = begin(); u.isValid(); u = u.next())
                markUnknown(u);
            return;
        }
        b.setUserData(new AnchorMark(true));
    }
}

QStringList PageText::linesHoldingAnchorName() const
{
    QStringList lines;
    for (QTextBlock b = begin(); b.isValid(); b = b.next()) {
        auto *mark = static_cast<AnchorMark *>(b.userData());
        if (!mark)
            continue;
        const QString text = b.text();
        if (!mark->known) {
            if (!text.contains(kAnchorNameOpen)) {
                b.setUserData(nullptr); // deletes the mark: no anchor
                continue;
            }
            mark->known = true;
        }
        lines << text;
    }
    return lines;
}
