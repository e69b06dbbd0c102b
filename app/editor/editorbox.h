#pragma once
// The document editor. Besides being a plain-text widget it offers the
// memo-style API the tag commands are written against: offsets in which a
// line break counts as the two characters CR LF, and access by line.
// Everything works on document blocks through QTextCursor, so a command
// costs the same on a 10-line and a 1,000,000-line page.
#include <QPlainTextEdit>
#include <QSet>
#include <QKeySequence>
#include <QHash>
#include <QMap>
#include <QPixmap>
#include <QRegion>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "markuptags.h"
#include "pagetext.h"

class CompletionPopup;
class MarkupHighlighter;
class PageMarks;
class QMimeData;
class QPainter;
class SpellCheck;
class TagTyping;

class EditorBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EditorBox(QWidget *parent = nullptr);
    // Shows `text` (a document's), which it does not own, instead of a
    // text of its own.
    explicit EditorBox(PageText *text, QWidget *parent = nullptr);
    ~EditorBox() override;

    // Selection, offsets counting CR LF as two characters.
    int selStart() const;
    int selLength() const;
    QString selText() const;           // line breaks as CR LF
    void setSelText(const QString &t); // replaces the selection; caret after it
    void setSelStart(int offset);      // collapses to a caret at offset
    // QPlainTextEdit's, made safe and cheap inside an UndoStep: the caret
    // placed within a step is taken over when the step ends (see the
    // definition); textCursor() gives it back meanwhile.
    void setTextCursor(const QTextCursor &cursor);
    QTextCursor textCursor() const;
    // Collapses the selection and moves the caret back over n characters of
    // its line (no line break in between).
    void moveCaretLeft(int n);

    // Lines numbered from 0; a trailing empty line does not count.
    int lineCount() const;
    QString line(int index) const;
    void replaceLine(int index, const QString &text);
    void insertLine(int index, const QString &text); // index == lineCount() appends
    void deleteLine(int index);
    // Line index of the caret (the start of the selection).
    int caretLine() const;
    // CR LF offset of the start of a line.
    int lineOffset(int index) const;
    // Caret at a column of a line (clamped to the line): the direct way
    // when the line is known, without converting an offset.
    void setCaret(int line, int column);
    // Selects from a column of a line to a column of a later one (both
    // clamped to their lines), the caret at the end.
    void selectSpan(int line, int column, int endLine, int endColumn);

    // Whole text with CR LF breaks, exactly as held (no-break spaces kept).
    QString text() const;
    // The same with U+2029 between lines: no copy beyond Qt's own.
    QString rawText() const { return document()->toRawText(); }
    // The text shown, as pagetext.h loads it; after a load the caret is at
    // the start.
    PageText *pageText() const;
    void loadText(const QString &crlfText);

    bool isModified() const;

    // Every line remembers whether it holds the named-anchor opening
    // <A NAME=" (kept current as the text changes), so the link dialog's
    // scan of a huge page reads only those lines. Returns their texts in
    // document order.
    QStringList linesHoldingAnchorName() const;
    static inline const QString &kAnchorNameOpen = PageText::kAnchorNameOpen;

    // Keys the main window's menu owns; the editor leaves them to the menu.
    static void setReservedShortcuts(const QList<QKeySequence> &keys);

    // Pages holding a line longer than kLongLine characters are shown
    // wrapped at the window's width: a line drawn unwrapped costs its whole
    // length on every repaint (the caret's blink included). The wrapping is
    // only in the view: lines, offsets and the saved text are unchanged.
    static constexpr int kLongLine = PageText::kLongLine;
    // A file with a longer line is refused as too large: Qt lays a line out
    // whole, in memory and time that grow with it (a 100 MB line would take
    // gigabytes and minutes for every key).
    static constexpr qsizetype kMaxLine = PageText::kMaxLine;
    bool wordWrap() const { return lineWrapMode() != NoWrap; }
    // The user's choice, kept for this document from then on.
    void setWordWrap(bool on);

    // The markup colouring of this editor's document.
    MarkupHighlighter *highlighter() const { return m_highlighter; }
    // The spelling check of its text.
    SpellCheck *spelling() const { return m_spelling; }
    // The problems the page check found, underlined (pagemarks.h).
    PageMarks *pageMarks() const { return m_pageMarks.get(); }

    // Files dragged from outside are the main window's to open, not text
    // to insert.
    static bool carriesFiles(const QMimeData *data);

    // Tags closed while typing: a typed '>' that ends an opening tag writes
    // its closing tag after the caret, a typed "</" completes the innermost
    // element still open (markuptags.h has the rules); closing tags typed
    // by hand anyway go over those written (tagtyping.h). Only keys the user
    // types do it, never pasted or inserted text; one undo takes back the
    // key with what it wrote. On for every editor unless switched off.
    static void setClosesTags(bool on);
    static bool closesTags();
    // How far back from the caret the markup is read for it: from the
    // first line that starts within this many characters (in the state the
    // colouring knows that line to start in), or this far into a longer
    // line. An element opened further back is not completed by "</".
    static constexpr int kTagReach = 4096;

    // Tag pairs renamed together (tagrename.h): a typed name character,
    // BackSpace or Delete in the name of a tag whose partner lies within
    // kMatchReach makes the same change in the partner's name, in one undo
    // step with the key. Only keys typed in the editor do it. On for every
    // editor unless switched off.
    static void setRenamesTagPairs(bool on);
    static bool renamesTagPairs();
    // Completion as you type (completionpopup.h).
    CompletionPopup *completion() const { return m_completion; }

    // With the caret in a tag, the tag and its partner are highlighted once
    // the caret has rested kMatchRestMs, when the partner lies within
    // kMatchReach characters; updateMatchingTags() looks at once.
    static constexpr int kMatchRestMs = 100;
    static constexpr int kMatchReach = 32768;
    std::optional<TagPair> shownTagPair() const { return m_shownPair; }
    void updateMatchingTags();
    // The caret to the partner of the tag it is in, or the element around
    // the selection selected: looked for within kMatchReach first, then
    // over the whole page. False when there is none.
    bool goToMatchingTag();
    bool selectElement();

    // Highlights drawn over the text (extra selections) come in layers,
    // each set by its owner and shown together in this order.
    enum SelectionLayer { MatchingTagLayer };
    void setSelectionLayer(SelectionLayer layer,
                           const QList<QTextEdit::ExtraSelection> &selections);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void insertFromMimeData(const QMimeData *source) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    bool viewportEvent(QEvent *e) override;
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void textLoaded();
    void applyWordWrap(bool on);
    // Where a range of one line is drawn, line by line of its layout:
    // (x from, x to, baseline) in viewport coordinates.
    struct Stretch {
        qreal x1, x2, baseline;
        QRect box; // the part of the line it covers, with its wave
    };
    QList<Stretch> stretchesOf(int position, int length) const;
    // The same in a block known to start at `origin`.
    QList<Stretch> stretchesIn(const QTextBlock &b, QPointF origin, int position,
                               int length) const;
    // What a misspelt word's wave covers.
    static QRect waveBox(const Stretch &s);
    // Waves under the ranges (in page order) on the part of the screen drawn.
    void drawWaves(QPainter &p, const QRect &clip, const QList<std::pair<int, int>> &ranges,
                   const QPixmap &tile);
    struct LineX {
        int line;
        qreal x1, x2;
    };
    struct Spans { // of one block's layout, while it is as it was
        int revision = -1, lines = 0;
        qreal natural = 0;
        QHash<quint64, QList<LineX>> xs; // (from, length) -> along its lines
    };
    static constexpr int kMaxSpanLayouts = 4096;
    QPixmap m_wave; // one period of a misspelt word's wave
    QPixmap m_errorWave, m_warningWave; // the page check's
    mutable QHash<const QTextLayout *, Spans> m_spans;
    QRegion m_painting;  // the part being drawn, while it is
    int m_undoSteps = 0; // UndoSteps open on this editor
    std::optional<QTextCursor> m_stepCursor; // the caret placed within them
    friend class UndoStep;
    bool m_wrapChosen = false; // by the user: no longer follows the page
    MarkupHighlighter *m_highlighter = nullptr;
    SpellCheck *m_spelling = nullptr;
    std::unique_ptr<PageMarks> m_pageMarks; // gone before the text it follows

    std::unique_ptr<TagTyping> m_tagTyping;
    CompletionPopup *m_completion = nullptr;
    QString textBetween(int from, int to) const;
    // Where the markup is read from for the caret at pos, and the state it
    // starts in there (the document's MarkupStates', as far as known).
    int readingStart(int pos, int reach, Markup::State *state) const;
    // Where that is not known, how far before it SCRIPT or STYLE contents
    // are looked for.
    static constexpr int kRawLookBack = 16384;
    bool renameTagPair(QKeyEvent *e); // true when it made the key's edit
    template <class Find> std::optional<TagPair> findAround(int from, int to, Find find) const;
    QTimer m_matchWait;
    std::optional<TagPair> m_shownPair;
    QMap<int, QList<QTextEdit::ExtraSelection>> m_layers;

    int toCrlf(int qtPos) const;
    int fromCrlf(int crlf) const;
};

// Groups every change made while it lives into one undo step.
class UndoStep {
public:
    explicit UndoStep(EditorBox *editor);
    ~UndoStep();
    UndoStep(const UndoStep &) = delete;
    UndoStep &operator=(const UndoStep &) = delete;

private:
    EditorBox *m_editor;
    QTextCursor m_cursor;
};
