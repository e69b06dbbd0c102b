#include "findbar.h"
#include "editorbox.h"
#include "keyboardreturn.h"
#include "textsearch.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QToolButton>

namespace {
// How long counting the matches may take before the bar shows no count.
constexpr int kCountBudgetMs = 50;
} // namespace

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FindBar"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    auto button = [this](const QString &caption, const char *name, void (FindBar::*slot)()) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto check = [this](const QString &caption, const char *name) {
        auto *c = new QCheckBox(caption, this);
        c->setObjectName(QLatin1String(name));
        connect(c, &QCheckBox::toggled, this, [this] { search(false, true); });
        return c;
    };
    auto *findLabel = new QLabel(QStringLiteral("Fin&d:"), this);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("FindText"));
    m_find->setAccessibleName(QStringLiteral("Find"));
    findLabel->setBuddy(m_find);
    m_replaceLabel = new QLabel(QStringLiteral("Replace w&ith:"), this);
    m_replace = new QLineEdit(this);
    m_replace->setObjectName(QStringLiteral("ReplaceText"));
    m_replace->setAccessibleName(QStringLiteral("Replace with"));
    m_replaceLabel->setBuddy(m_replace);
    m_case = check(QStringLiteral("Match &Case"), "MatchCase");
    m_words = check(QStringLiteral("Wh&ole Words"), "WholeWords");
    m_regex = check(QStringLiteral("Regular E&xpression"), "RegularExpression");
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("FindNote"));
    m_note->setAccessibleName(QStringLiteral("Search result"));
    m_note->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_note->setFocusPolicy(Qt::TabFocus); // read with the keyboard
    m_replaceBut = button(QStringLiteral("&Replace"), "ReplaceOne", &FindBar::replaceOne);
    m_replaceAllBut = button(QStringLiteral("Replace A&ll"), "ReplaceAll", &FindBar::replaceAll);
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("CloseFindBar"));
    close->setText(QStringLiteral("\u00d7"));
    close->setToolTip(QStringLiteral("Close (Escape)"));
    close->setAccessibleName(QStringLiteral("Close the find bar"));
    connect(close, &QToolButton::clicked, this, &FindBar::closeBar);

    // Access keys apart from the menu bar's (F, E, V, A, T, W, H), so that
    // Alt with those letters opens the menus while the bar has the keyboard.

    // Three short rows rather than one long one: the bar fits the main
    // window at its opening size.
    auto *options = new QHBoxLayout;
    options->addWidget(m_case);
    options->addWidget(m_words);
    options->addWidget(m_regex);
    options->addWidget(m_note, 1);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(m_find, 0, 1);
    grid->addWidget(button(QStringLiteral("&Next"), "FindNextBut", &FindBar::findNext), 0, 2);
    grid->addWidget(button(QStringLiteral("&Previous"), "FindPreviousBut", &FindBar::findPrevious),
                    0, 3);
    grid->addWidget(close, 0, 4);
    grid->addLayout(options, 1, 1, 1, 4);
    grid->addWidget(m_replaceLabel, 2, 0);
    grid->addWidget(m_replace, 2, 1);
    grid->addWidget(m_replaceBut, 2, 2);
    grid->addWidget(m_replaceAllBut, 2, 3);
    grid->setColumnStretch(1, 1);
    m_find->setMinimumWidth(120);

    connect(m_find, &QLineEdit::textEdited, this, [this] { search(false, true); });
    m_find->installEventFilter(this);
    m_replace->installEventFilter(this);
    new KeepKeyboardOnHide(this);
    open(false);
    hide();
}

void FindBar::setEditor(EditorBox *editor)
{
    m_editor = editor;
    setNote(QString());
}

SearchQuery FindBar::query() const
{
    return SearchQuery(m_find->text(), m_case->isChecked(), m_words->isChecked(),
                       m_regex->isChecked());
}

void FindBar::open(bool withReplace)
{
    for (QWidget *w : {static_cast<QWidget *>(m_replaceLabel), static_cast<QWidget *>(m_replace),
                       static_cast<QWidget *>(m_replaceBut),
                       static_cast<QWidget *>(m_replaceAllBut)})
        w->setVisible(withReplace);
    show();
    if (m_editor) {
        const QString selected = m_editor->textCursor().selectedText();
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
            m_find->setText(selected);
    }
    m_find->selectAll();
    m_find->setFocus();
}

void FindBar::openFind() { open(false); }
void FindBar::openReplace() { open(true); }

void FindBar::closeBar()
{
    // The keyboard goes to the editor searched in before the bar hides:
    // hiding first would let Qt hand it to the next window in the focus
    // chain, another document's, which would then become current.
    giveKeyboardTo(m_editor); // the match stays selected: typing replaces it
    hide();
}

void FindBar::findNext() { search(false, false); }
void FindBar::findPrevious() { search(true, false); }

std::optional<SearchQuery> FindBar::usableQuery()
{
    if (!m_editor)
        return {};
    SearchQuery q = query();
    if (!q.isUsable()) {
        setNote(q.error()); // empty for an empty field
        return {};
    }
    return q;
}

void FindBar::search(bool backward, bool fromSelectionStart)
{
    const std::optional<SearchQuery> usable = usableQuery();
    if (!usable)
        return;
    const SearchQuery &q = *usable;
    QTextCursor from = m_editor->textCursor();
    if (fromSelectionStart) // as you type, the match under the caret grows
        from.setPosition(from.selectionStart());
    const SearchHit hit = findMatch(m_editor->document(), q, from, backward);
    if (hit.match.isNull()) {
        setNote(QStringLiteral("No matches"));
        return;
    }
    m_editor->setTextCursor(hit.match);
    const MatchCount count = countMatches(m_editor->document(), q, hit.match, kCountBudgetMs);
    QStringList parts;
    if (count.total > 0 && count.index > 0)
        parts << QStringLiteral("%1 of %2").arg(count.index).arg(count.total);
    if (hit.wrapped)
        parts << (backward ? QStringLiteral("Wrapped to the bottom")
                           : QStringLiteral("Wrapped to the top"));
    setNote(parts.join(QStringLiteral(" \u2014 ")));
}

void FindBar::replaceOne()
{
    if (!m_editor)
        return;
    const SearchQuery q = query();
    QTextCursor c = m_editor->textCursor();
    if (c.hasSelection()) {
        // Only a selection that is itself a match is replaced.
        const QTextBlock b = m_editor->document()->findBlock(c.selectionStart());
        const qsizetype at = c.selectionStart() - b.position();
        qsizetype start = 0, length = 0;
        QRegularExpressionMatch captures;
        if (q.matchIn(b.text(), at, false, &start, &length, &captures) && start == at
            && length == c.selectionEnd() - c.selectionStart()) {
            c.insertText(q.replacement(m_replace->text(), captures));
            m_editor->setTextCursor(c);
        }
    }
    search(false, false);
}

void FindBar::replaceAll()
{
    const std::optional<SearchQuery> q = usableQuery();
    if (!q)
        return;
    const int n = ::replaceAll(m_editor->textCursor(), *q, m_replace->text());
    setNote(n == 0 ? QStringLiteral("No matches")
                   : n == 1 ? QStringLiteral("Replaced 1 match")
                            : QStringLiteral("Replaced %1 matches").arg(n));
}

QString FindBar::note() const { return m_note->text(); }

void FindBar::setNote(const QString &text) { m_note->setText(text); }

void FindBar::keyPressEvent(QKeyEvent *e)
{
    // Escape from any control of the bar (a check box, a button) closes it.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        closeBar();
        return;
    }
    QWidget::keyPressEvent(e);
}

namespace {
// The keys a text field answers itself. Typed in the bar's fields they edit
// the field, not the document: Ctrl+A selects the field's text rather than
// opening the table builder, Ctrl+Z undoes the field's typing.
bool isTextFieldKey(const QKeyEvent *ke)
{
    static const QKeySequence::StandardKey kKeys[] = {
        QKeySequence::SelectAll,       QKeySequence::Copy,           QKeySequence::Cut,
        QKeySequence::Paste,           QKeySequence::Undo,           QKeySequence::Redo,
        QKeySequence::Delete,          QKeySequence::Backspace,      QKeySequence::DeleteStartOfWord,
        QKeySequence::DeleteEndOfWord, QKeySequence::DeleteEndOfLine, QKeySequence::MoveToNextWord,
        QKeySequence::MoveToPreviousWord, QKeySequence::SelectNextWord,
        QKeySequence::SelectPreviousWord, QKeySequence::MoveToStartOfLine,
        QKeySequence::MoveToEndOfLine, QKeySequence::SelectStartOfLine,
        QKeySequence::SelectEndOfLine, QKeySequence::MoveToStartOfDocument,
        QKeySequence::MoveToEndOfDocument, QKeySequence::SelectStartOfDocument,
        QKeySequence::SelectEndOfDocument, QKeySequence::Deselect};
    for (QKeySequence::StandardKey k : kKeys)
        if (ke->matches(k))
            return true;
    return false;
}
} // namespace

bool FindBar::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride && isTextFieldKey(static_cast<QKeyEvent *>(e))) {
        e->accept(); // the field takes the key before any menu shortcut
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        const bool enter = ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter;
        if (ke->key() == Qt::Key_Escape) {
            closeBar();
            return true;
        }
        if (enter && watched == m_replace) {
            replaceOne();
            return true;
        }
        if (enter) {
            search(ke->modifiers() & Qt::ShiftModifier, false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}
