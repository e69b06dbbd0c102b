#pragma once
// Markup colouring in the document editors: tags, attribute names and
// values, comments and character references, in colours derived from the
// editor's background. Plain text keeps the editor's own text colour, and
// the document's text is never touched: only the display formats change.
//
// Cost: only the lines on screen are coloured (just before they are
// painted). The one thing that needs the whole page is the state a line
// starts in (inside a comment, a tag or a script, or not); the document's
// MarkupStates carries it from line to line in short slices in the
// background after a page is loaded, so opening and typing cost what they
// cost without colouring. Pages over sizeLimit() characters are not coloured at all.
// A line longer than kLongBlock is coloured only around the part of it on
// screen: Qt lays a line out again, whole, with every change of its text or
// formats, and a minified page's one line coloured whole would hold tens of
// thousands of pieces, each its own run to shape on every key. For the same
// reason a long line newly brought on screen is coloured only once the view
// has rested for a moment, so scrolling keys stay quick.
#include "markupscanner.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QStringView>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTimer>

class MarkupStates;
class QPlainTextEdit;

enum class MarkupRole { Tag, AttributeName, AttributeValue, Comment, Reference };

struct MarkupSpan {
    int start = 0;
    int length = 0;
    MarkupRole role = MarkupRole::Tag;
};

struct LineMarkup {
    QList<MarkupSpan> spans; // in order; a later span may lie inside an earlier one
    Markup::State endState;
};

// Pure: the coloured pieces of one line as the markup scanner reads it,
// given the state it starts in; only their parts within [from, to) when
// given (the whole line is still read, so the end state and pieces cut by
// the bounds stay right).
LineMarkup scanMarkupLine(QStringView line, Markup::State startState, qsizetype from = 0,
                          qsizetype to = -1);

struct MarkupColours {
    QColor tag, attributeName, attributeValue, comment, reference;
};

// WCAG contrast ratio of two opaque colours, 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);
// Colours for the given background, each with a contrast ratio of at least
// kMinimumContrast against it; each role keeps its own hue where the
// background leaves room for one.
MarkupColours markupColours(const QColor &background);
constexpr double kMinimumContrast = 4.5;

class MarkupHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    // Attaches to the editor's document, which must still be empty.
    explicit MarkupHighlighter(QPlainTextEdit *editor);

    // Pages with more characters than this are not coloured. 0: never colour.
    static qsizetype sizeLimit();
    static void setSizeLimit(qsizetype characters);
    static constexpr qsizetype kDefaultSizeLimit = 4 * 1024 * 1024;
    static constexpr int kLongBlock = 16384;
    // How far beyond the part on screen a long line is coloured.
    static constexpr int kWindowMargin = 2048;
    // How long the view rests before a line longer than kRestingBlock
    // brought on screen (or the part of it newly shown) is coloured.
    static constexpr int kLongLineRestMs = 250;
    static constexpr int kRestingBlock = 2000;

    bool isActive() const { return m_active; }
    // True once every line's start state is known (the background scan is done).
    bool isComplete() const;
    // True while a long line (or part of one) newly on screen waits for its
    // colours (see kLongLineRestMs).
    bool isColourPending() const { return m_longLinesWait.isActive(); }
    MarkupColours colours() const { return m_colours; }
    QTextCharFormat formatFor(MarkupRole role) const;

    // Colours the lines on screen now (normally done just before painting).
    void colourVisibleLines();

protected:
    void highlightBlock(const QString &text) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void documentChanging(int position, int removed, int added);
    void followChanges(bool follow);
    void setBackground(const QColor &background);
    void setActive(bool active);
    void clearAllFormats(int skipFirst, int skipLast);
    void bumpGeneration();

    // The part of a long line that is coloured, in the line's positions.
    struct Window {
        int block = -1;
        int length = 0; // the block's length when coloured
        int from = 0;
        int to = 0;
    };
    Window *windowOf(int block);
    Window &newWindow(int block, int length, int from, int to);

    QPlainTextEdit *m_editor;
    QList<Window> m_windows; // the long lines coloured lately, newest last

    QObject *m_viewport = nullptr; // compared only, never called
    QTextCharFormat m_formats[5];
    MarkupColours m_colours;
    QColor m_background;
    QPointer<MarkupStates> m_states; // the document's: gone with it
    QTimer m_longLinesWait;      // the view is resting ...
    bool m_longLinesDue = false; // ... and long lines on screen are coloured now
    bool m_active = true;
    bool m_forced = false;  // colouring asked for by colourVisibleLines ...
    int m_forcedBlock = -1; // ... for this block only
    bool m_inColouring = false;
    int m_generation = 1;  // bumped when every colouring becomes stale
    int m_firstShown = 0, m_lastShown = -1; // the lines coloured last on screen
    int m_blockCount = 1;  // the document's block count after the last change
    int m_changeLast = 0;  // last block of the last change (bounds cascades)
};
