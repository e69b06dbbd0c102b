#include "documentstatus.h"
#include "document.h"
#include "editorbox.h"
#include "pagemarks.h"
#include "spellcheck.h"

#include <QLabel>
#include <QStatusBar>
#include <QTextBlock>

DocumentStatus::DocumentStatus(QStatusBar *bar) : QObject(bar)
{
    auto label = [bar](const char *name, const QString &accessible) {
        auto *l = new QLabel(bar);
        l->setObjectName(QLatin1String(name));
        l->setAccessibleName(accessible);
        l->setTextInteractionFlags(Qt::TextSelectableByKeyboard);
        // Read with the keyboard after Tab; a click leaves the keyboard in the
        // document (the flags above would make it a click-focus widget).
        l->setFocusPolicy(Qt::TabFocus);
        bar->addPermanentWidget(l);
        return l;
    };
    m_caret = label("CaretPosition", QStringLiteral("Caret position"));
    m_selection = label("SelectionLength", QStringLiteral("Selection length"));
    m_encoding = label("Encoding", QStringLiteral("Encoding"));
    m_breaks = label("LineBreaks", QStringLiteral("Line breaks"));
    m_changed = label("ChangedState", QStringLiteral("Changed"));
    m_spelling = label("SpellingState", QStringLiteral("Spelling"));
    m_pageCheck = label("PageCheckState", QStringLiteral("Page check"));
}

void DocumentStatus::setEditor(EditorBox *editor, PageDocument *page)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_editor = editor;
    m_page = editor ? page : nullptr;
    if (m_page)
        m_connections << connect(m_page, &PageDocument::charsetChanged, this,
                                 &DocumentStatus::updateEncoding);
    updateEncoding();
    m_breaks->setText(editor ? QStringLiteral("CR LF") : QString()); // every page is saved so
    if (editor) {
        m_connections << connect(editor, &QPlainTextEdit::cursorPositionChanged, this,
                                 &DocumentStatus::updateCaret)
                      << connect(editor, &QPlainTextEdit::selectionChanged, this,
                                 &DocumentStatus::updateCaret)
                      << connect(editor, &QPlainTextEdit::modificationChanged, this,
                                 &DocumentStatus::updateChanged)
                      << connect(editor->spelling(), &SpellCheck::statusChanged, this,
                                 &DocumentStatus::updateSpelling)
                      << connect(editor->pageMarks(), &PageMarks::countsChanged, this,
                                 &DocumentStatus::updatePageCheck);
    }
    updateCaret();
    updateChanged();
    updateSpelling();
    updatePageCheck();
}

void DocumentStatus::updateCaret()
{
    if (!m_editor) {
        m_caret->clear();
        m_selection->clear();
        return;
    }
    const QTextCursor c = m_editor->textCursor();
    const QTextBlock b = c.block();
    m_caret->setText(QStringLiteral("Ln %1, Col %2")
                         .arg(b.blockNumber() + 1)
                         .arg(c.position() - b.position() + 1));
    const int selected = c.selectionEnd() - c.selectionStart();
    m_selection->setText(selected ? QStringLiteral("Sel %1").arg(selected) : QString());
}

void DocumentStatus::updateEncoding()
{
    m_encoding->setText(m_page ? m_page->encodingText() : QString());
    m_encoding->setToolTip(m_page ? m_page->encodingToolTip() : QString());
}

void DocumentStatus::updateChanged()
{
    m_changed->setText(m_editor && m_editor->isModified() ? QStringLiteral("Modified")
                                                          : QString());
}

void DocumentStatus::updateSpelling()
{
    m_spelling->setText(m_editor ? m_editor->spelling()->statusText() : QString());
}

void DocumentStatus::updatePageCheck()
{
    m_pageCheck->setText(m_editor ? m_editor->pageMarks()->countText() : QString());
}

QString DocumentStatus::caretText() const { return m_caret->text(); }
QString DocumentStatus::selectionText() const { return m_selection->text(); }
QString DocumentStatus::encodingText() const { return m_encoding->text(); }
QString DocumentStatus::encodingToolTip() const { return m_encoding->toolTip(); }
QString DocumentStatus::breaksText() const { return m_breaks->text(); }
QString DocumentStatus::changedText() const { return m_changed->text(); }
QString DocumentStatus::spellingText() const { return m_spelling->text(); }
QString DocumentStatus::pageCheckText() const { return m_pageCheck->text(); }
