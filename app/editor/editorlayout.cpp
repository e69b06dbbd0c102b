#include "editorlayout.h"

#include <QFontMetrics>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QWidget>
#include <QtMath>
#include <climits>
#include <utility>

EditorLayout::EditorLayout(QTextDocument *doc, const QWidget *view)
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

void EditorLayout::documentChanged(int from, int removed, int added)
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

qreal EditorLayout::layOut(const QTextBlock &block)
{
    QTextDocument *doc = document();
    const qreal margin = doc->documentMargin();
    QTextLayout *tl = block.layout();
    const QTextOption option = doc->defaultTextOption();
    tl->setTextOption(option);
    int extraMargin = 0;
    if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        extraMargin += QFontMetrics(block.charFormat().font()).horizontalAdvance(QChar(0x21B5));
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

int EditorLayout::viewWidth() const { return m_view ? m_view->width() : 0; }
