#pragma once
// Qt's plain-text layout, except for a change within one line: Qt then
// lays the line out, and when that line was the page's widest and got
// narrower, it looks through every line of the page for the new widest, so
// undoing a command that widened a line cost in proportion to the page.
// Here the line is laid out the same way and the page keeps its width (the
// horizontal scroll range shrinks at the next relayout, as on a resize);
// a line that grows wider than the page and the view still goes through
// Qt, which takes note of the new widest.
#include <QPlainTextDocumentLayout>
#include <QPointer>

class QTextBlock;
class QTextDocument;
class QWidget;

class EditorLayout : public QPlainTextDocumentLayout {
public:
    // The view's width is the width Qt wraps at (its own copy is private).
    EditorLayout(QTextDocument *doc, const QWidget *view);

protected:
    void documentChanged(int from, int removed, int added) override;

private:
    // As Qt lays a line out; returns the line's width.
    qreal layOut(const QTextBlock &block);
    // The text may outlive the editor that showed it.
    int viewWidth() const;

    QPointer<const QWidget> m_view;
    int m_blockCount;
    struct Before {
        int block = -1;
        qreal height = -1;
    } m_before; // the changed line, as the change was announced
};
