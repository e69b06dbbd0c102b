#include "findbar.h"
#include "editorbox.h"
#include "keyboardreturn.h"
#include "textsearch.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

namespace {
// How long counting the matches may take before the bar shows no count.
constexpr int kCountBudgetMs = 50;
// How soon a search still running says so, and how often Replace All's
// progress is brought up to date.
constexpr int kProgressMs = 100;

QString tooCostlyNote() { return QStringLiteral("The pattern is too costly to search this page"); }
QString replaceAllCaption() { return QStringLiteral("Replace A&ll"); }
} // namespace

FindBar::FindBar(QWidget *parent)
    : QWidget(parent), m_jobs(new BackgroundJobs(this)), m_progress(new QTimer(this))
{
    m_progress->setInterval(kProgressMs);
    connect(m_progress, &QTimer::timeout, this, &FindBar::showProgress);
    // Replace All's percentage follows its progress; a search says it is
    // still running only once the timer finds it so.
    connect(m_jobs, &BackgroundJobs::progress, this, [this] {
        if (m_work == Work::ReplaceAll)
            showProgress();
    });
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
    // A long note ("The pattern is too costly…") takes a second line
    // rather than widening the main window or being cut off.
    m_note->setWordWrap(true);
    m_note->setMinimumWidth(80);
    m_replaceBut = button(QStringLiteral("&Replace"), "ReplaceOne", &FindBar::replaceOne);
    m_replaceAllBut = button(replaceAllCaption(), "ReplaceAll", &FindBar::replaceAll);
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
    // A check box or button clicked (or reached by its access key) keeps the
    // keyboard in the bar: the keys of a text field go on to the Find field
    // there too, never to the document's commands.
    for (QAbstractButton *b : findChildren<QAbstractButton *>())
        b->installEventFilter(this);
    new KeepKeyboardOnHide(this);
    open(false);
    hide();
}

void FindBar::setEditor(EditorBox *editor)
{
    dropSearch();
    stopped();
    m_editor = editor;
    watchDocument();
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
    if (!usable) { // an older search must not select its match now
        dropSearch();
        stopped();
        return;
    }
    const QTextCursor c = m_editor->textCursor();
    const int selStart = c.selectionStart();
    // As you type, the match under the caret grows: search from its start.
    const int selEnd = fromSelectionStart ? selStart : c.selectionEnd();
    const quint64 generation = m_generation;
    struct Result {
        FoundMatch hit;
        MatchCount count;
    };
    auto result = std::make_shared<Result>();
    start(
        Work::Find,
        [text = snapshot(), q = *usable, selStart, selEnd, backward, result](SearchControl &sc) {
            result->hit = findMatch(text, q, selStart, selEnd, backward, &sc);
            if (result->hit.start >= 0)
                result->count = countMatches(text, q, result->hit.start,
                                             result->hit.start + result->hit.length,
                                             kCountBudgetMs, &sc);
        },
        [this, result, generation, backward, fromSelectionStart] {
            if (generation != m_generation) { // found in a text that is no more
                search(backward, fromSelectionStart);
                return;
            }
            const FoundMatch &hit = result->hit;
            if (hit.status == SearchStatus::TooCostly) {
                setNote(tooCostlyNote());
                return;
            }
            if (hit.start < 0) {
                setNote(QStringLiteral("No matches"));
                return;
            }
            QTextCursor match(m_editor->document());
            match.setPosition(int(hit.start));
            match.setPosition(int(hit.start + hit.length), QTextCursor::KeepAnchor);
            m_editor->setTextCursor(match);
            const MatchCount &count = result->count;
            QStringList parts;
            if (count.total > 0 && count.index > 0)
                parts << QStringLiteral("%1 of %2").arg(count.index).arg(count.total);
            if (hit.wrapped)
                parts << (backward ? QStringLiteral("Wrapped to the bottom")
                                   : QStringLiteral("Wrapped to the top"));
            setNote(parts.join(QStringLiteral(" \u2014 ")));
        });
}

void FindBar::replaceOne()
{
    if (!m_editor)
        return;
    const SearchQuery q = query();
    const QTextCursor c = m_editor->textCursor();
    if (!c.hasSelection() || !q.isUsable()) {
        search(false, false);
        return;
    }
    // Only a selection that is itself a match is replaced.
    const int selStart = c.selectionStart(), selEnd = c.selectionEnd();
    const quint64 generation = m_generation;
    struct Result {
        std::optional<QString> with;
        SearchStatus status = SearchStatus::Done;
    };
    auto result = std::make_shared<Result>();
    start(
        Work::Replace,
        [text = snapshot(), q, selStart, selEnd, typed = m_replace->text(),
         result](SearchControl &sc) {
            result->with = replacementAt(text, q, selStart, selEnd, typed, &result->status, &sc);
        },
        [this, result, generation, selStart, selEnd] {
            if (generation != m_generation) {
                replaceOne();
                return;
            }
            if (result->status == SearchStatus::TooCostly) {
                setNote(tooCostlyNote());
                return;
            }
            QTextCursor c = m_editor->textCursor();
            if (result->with && c.selectionStart() == selStart && c.selectionEnd() == selEnd) {
                c.insertText(*result->with);
                m_editor->setTextCursor(c);
            }
            search(false, false);
        });
}

void FindBar::replaceAll()
{
    if (isSearching() && m_work == Work::ReplaceAll) { // the button reads Cancel meanwhile
        cancel();
        return;
    }
    const std::optional<SearchQuery> q = usableQuery();
    if (!q) {
        dropSearch();
        stopped();
        return;
    }
    // Worked out on a copy first and applied in one go: stopping it midway
    // leaves the page as it was, and undoing it is one step.
    const quint64 generation = m_generation;
    auto plan = std::make_shared<ReplacePlan>();
    start(
        Work::ReplaceAll,
        [text = snapshot(), q = *q, typed = m_replace->text(), plan](SearchControl &sc) {
            *plan = planReplaceAll(text, q, typed, &sc);
        },
        [this, plan, generation] {
            if (generation != m_generation) {
                replaceAll();
                return;
            }
            if (plan->status == SearchStatus::TooCostly) {
                setNote(tooCostlyNote() + QStringLiteral(": nothing replaced"));
                return;
            }
            applyReplacePlan(m_editor->textCursor(), *plan);
            const int n = plan->count;
            setNote(n == 0 ? QStringLiteral("No matches")
                           : n == 1 ? QStringLiteral("Replaced 1 match")
                                    : QStringLiteral("Replaced %1 matches").arg(n));
        });
}

void FindBar::start(Work kind, std::function<void(SearchControl &)> work,
                    std::function<void()> done)
{
    m_work = kind;
    dropSearch(); // a newer run replaces the older, whose result is dropped
    m_search = m_jobs->run(std::move(work), [this, done = std::move(done)] {
        m_search.reset();
        if (m_editor)
            done();
        if (!m_search) { // done may have started the next step
            stopped();
            emit searchFinished();
        }
    });
    m_replaceAllBut->setText(kind == Work::ReplaceAll ? QStringLiteral("Cance&l")
                                                      : replaceAllCaption());
    if (kind == Work::ReplaceAll)
        showProgress();
    m_progress->start();
}

void FindBar::cancel()
{
    const bool replacing = isSearching() && m_work == Work::ReplaceAll;
    dropSearch();
    stopped();
    if (replacing)
        setNote(QStringLiteral("Replace All stopped: nothing replaced"));
}

bool FindBar::isSearching() const { return bool(m_search); }

void FindBar::dropSearch()
{
    m_jobs->drop(m_search);
    m_search.reset();
}

void FindBar::stopped()
{
    m_progress->stop();
    m_replaceAllBut->setText(replaceAllCaption());
}

void FindBar::showProgress()
{
    if (!isSearching())
        return;
    if (m_work == Work::ReplaceAll)
        setNote(QStringLiteral("Replacing\u2026 %1 %").arg(m_search->progress() / 10));
    else
        setNote(QStringLiteral("Searching\u2026"));
}

QString FindBar::snapshot()
{
    if (m_editor->document() != m_watched)
        watchDocument();
    if (!m_haveSnapshot) {
        m_snapshot = m_watched->toRawText();
        m_haveSnapshot = true;
    }
    return m_snapshot;
}

void FindBar::watchDocument()
{
    disconnect(m_changes);
    m_watched = m_editor ? m_editor->document() : nullptr;
    auto changed = [this] {
        ++m_generation;
        m_snapshot = QString();
        m_haveSnapshot = false;
    };
    changed();
    if (m_watched)
        m_changes = connect(m_watched, &QTextDocument::contentsChange, this, changed);
}

void FindBar::hideEvent(QHideEvent *e)
{
    cancel();
    m_snapshot = QString(); // a page's worth of memory, kept only while the bar is used
    m_haveSnapshot = false;
    QWidget::hideEvent(e);
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
        if (watched != m_find && watched != m_replace) {
            if (!isTextFieldKey(ke))
                return QWidget::eventFilter(watched, e);
            m_find->setFocus(Qt::ShortcutFocusReason);
            QCoreApplication::sendEvent(m_find, ke);
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
