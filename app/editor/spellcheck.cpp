#include "spellcheck.h"
#include "spelling.h"
#include "spellwords.h"
#include "markupstates.h"
#include "errors.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <iterator>
#include <set>

namespace {
// Start states worked out before the screen is checked, at most this long;
// a jump far into a page not yet read waits for the background instead.
constexpr qint64 kScreenNs = 8'000'000;
// Each background slice, at most this long, so typing stays smooth.
constexpr qint64 kSliceNs = 4'000'000;
// Results kept; past this many they start again.
constexpr int kMaxChecked = 20000;
} // namespace

SpellCheck::SpellCheck(QPlainTextEdit *editor, Changed changed)
    : QObject(editor), m_editor(editor), m_changed(std::move(changed)),
      m_states(MarkupStates::of(editor->document()))
{
    QTextDocument *doc = editor->document();
    m_blockCount = doc->blockCount();
    connect(doc, &QTextDocument::contentsChange, this,
            [this](int pos, int removed, int added) { documentChanged(pos, removed, added); });
    m_due.setSingleShot(true);
    m_due.setInterval(0);
    connect(&m_due, &QTimer::timeout, this, &SpellCheck::update);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &SpellCheck::backgroundSlice);
    connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, this, &SpellCheck::schedule);
    connect(editor->horizontalScrollBar(), &QScrollBar::valueChanged, this, &SpellCheck::schedule);
    editor->viewport()->installEventFilter(this);
    connect(Spelling::instance(), &Spelling::changed, this, [this] {
        m_headRead = false; // the language may follow another setting now
        schedule();
    });
    schedule();
}

bool SpellCheck::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
        schedule();
    return QObject::eventFilter(watched, event);
}

bool SpellCheck::isComplete() const { return !m_due.isActive() && !m_slice.isActive(); }

void SpellCheck::schedule() { m_due.start(); }

void SpellCheck::setStatus(const QString &text) {
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged();
}

void SpellCheck::documentChanged(int position, int removed, int added) {
    moveMarks(position, removed, added);
    QTextDocument *doc = m_editor->document();
    const int count = doc->blockCount();
    const int delta = count - m_blockCount;
    m_blockCount = count;
    if (delta != 0) {
        m_checked.clear(); // they are kept by line number
        m_aheadDone = 0;
    }
    // Text past the tag that settled the language cannot change it.
    if (position < kHeadChars && (m_headDecided < 0 || position <= m_headDecided))
        m_headRead = false;
    schedule();
    m_slice.start();
}

bool SpellCheck::inStep() const {
    // Within an edit whose change is not yet told (a page loading piece by
    // piece lets events through): the lines are not what they will be.
    return !m_states || m_editor->document()->blockCount() != m_blockCount || m_states->inStep();
}

const SpellCheck::Checked &SpellCheck::check(const QTextBlock &block, int from, int to) {
    const int n = block.blockNumber();
    const Markup::State start = m_states->startState(n);
    const int generation = Spelling::instance()->generation();
    const auto it = m_checked.constFind(n);
    if (it != m_checked.constEnd() && it->revision == block.revision()
        && it->startState == start.pack() && it->generation == generation && it->from <= from
        && it->to >= to)
        return *it;
    Checked c;
    c.revision = block.revision();
    c.startState = start.pack();
    c.generation = generation;
    c.from = from;
    c.to = to;
    const SpellLine line = spellWords(block.text(), start, from, to);
    m_states->noteEndState(n, line.endState); // read whole anyway
    Spelling *sp = Spelling::instance();
    for (const SpellWord &w : line.words)
        if (!sp->isCorrect(m_speller, w.text))
            c.bad.append({w.start, w.length});
    if (m_checked.size() >= kMaxChecked)
        m_checked.clear();
    return *m_checked.insert(n, c);
}

void SpellCheck::chooseDictionary() {
    m_headRead = true;
    Spelling *sp = Spelling::instance();
    QTextDocument *doc = m_editor->document();
    QTextCursor head(doc);
    head.setPosition(std::min(kHeadChars, doc->characterCount() - 1), QTextCursor::KeepAnchor);
    qsizetype decided = -1;
    const QString lang = pageLanguage(head.selectedText(), &decided);
    m_headDecided = int(decided);
    QString name, status;
    if (!sp->isEnabled()) {
        // Off: nothing to say.
    } else if (!lang.isEmpty()) {
        name = sp->resolve(lang);
        if (name.isEmpty())
            status = tr("No spelling dictionary for \"%1\"").arg(lang.left(32));
    } else if (!sp->chosen().isEmpty() && sp->installed().contains(sp->chosen())) {
        name = sp->chosen();
    } else {
        name = sp->resolve(Spelling::systemLanguage());
        if (name.isEmpty() && !sp->installed().isEmpty())
            status = tr("No spelling dictionary for \"%1\"").arg(Spelling::systemLanguage());
    }
    if (name != m_dictionary) {
        m_dictionary = name;
        m_checked.clear();
    }
    setStatus(status);
}

void SpellCheck::update() {
    m_due.stop();
    Spelling *sp = Spelling::instance();
    if (!m_headRead)
        chooseDictionary();
    m_speller = m_dictionary.isEmpty() ? nullptr : sp->dictionary(m_dictionary);
    if (inStep())
        return; // checked once the change is told
    QList<std::pair<int, int>> shown;
    if (m_speller && m_editor->isVisible()) {
        const QWidget *view = m_editor->viewport();
        const QTextCursor top = m_editor->cursorForPosition(QPoint(0, 0));
        const QTextCursor bottom =
            m_editor->cursorForPosition(QPoint(view->width() - 1, view->height() - 1));
        const QTextBlock first = top.block(), last = bottom.block();
        if (first.blockNumber() != m_firstVisible || last.blockNumber() != m_lastVisible)
            m_aheadDone = 0; // moved: the lines around it are others
        m_firstVisible = first.blockNumber();
        m_lastVisible = last.blockNumber();
        m_waiting = !m_states->advance(m_firstVisible, kScreenNs);
        if (m_waiting) {
            m_slice.start();
            return; // the underlines shown stay until the states are known
        }
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            m_states->advance(b.blockNumber(), kScreenNs); // nothing unless a state jumped back
            int from = 0, to = b.length();
            if (b.length() > kLongBlock) {
                from = std::max(top.position() - b.position(), 0) - kWindowMargin;
                to = std::min(bottom.position() - b.position(), b.length()) + kWindowMargin;
                from = std::max(from, 0);
                to = std::min(to, b.length());
            }
            for (const auto &[at, length] : check(b, from, to).bad)
                if (at >= from && at < to)
                    shown.append({b.position() + at, length});
            if (b == last)
                break;
        }
        m_slice.start();
    }
    const QList<std::pair<int, int>> before = underlined();
    if (shown == before)
        return;
    m_marks = shown;
    // Only the words whose underline comes or goes are drawn again.
    const std::set<std::pair<int, int>> old(before.begin(), before.end()),
        now(shown.begin(), shown.end());
    QList<std::pair<int, int>> changed;
    std::set_symmetric_difference(old.begin(), old.end(), now.begin(), now.end(),
                                  std::back_inserter(changed));
    m_changed(changed);
}

QList<std::pair<int, int>> SpellCheck::underlined() const { return m_marks; }

void SpellCheck::moveMarks(int position, int removed, int added) {
    // Marks after the change move with the text; a word the change touches
    // loses its mark until its line is checked again (before it is drawn).
    QList<std::pair<int, int>> kept;
    kept.reserve(m_marks.size());
    for (const auto &[at, length] : std::as_const(m_marks)) {
        if (at + length < position)
            kept.append({at, length});
        else if (at > position + removed)
            kept.append({at + added - removed, length});
    }
    m_marks = kept;
}

void SpellCheck::backgroundSlice() {
    if (!m_speller || inStep())
        return; // the change, once told, starts it again
    QElapsedTimer t;
    t.start();
    QTextDocument *doc = m_editor->document();
    // States as far as the lines around the screen need, not to the page's
    // end: read to its end, a 1,000,000-line page cost 0.5-1 s of CPU
    // after opening. A jump further on reads on from the last one known.
    const int needed = std::min(doc->blockCount(), m_lastVisible + kAround + 1);
    if (!m_states->advance(needed, kSliceNs)) {
        m_slice.start();
        return;
    }
    if (m_waiting) {
        m_waiting = false;
        schedule();
        return;
    }
    // The lines around the screen, so that scrolling finds them checked.
    const int lo = std::max(0, m_firstVisible - kAround);
    const int hi = std::min(doc->blockCount() - 1, m_lastVisible + kAround);
    QTextBlock b = doc->findBlockByNumber(lo + m_aheadDone);
    for (; b.isValid() && lo + m_aheadDone <= hi; b = b.next(), ++m_aheadDone) {
        if (b.length() <= kLongBlock)
            check(b, 0, b.length());
        if (t.nsecsElapsed() > kSliceNs) {
            m_slice.start();
            return;
        }
    }
}

SpellCheck::Misspelt SpellCheck::misspeltAt(int position) {
    Misspelt out;
    if (!m_speller || inStep())
        return out;
    const QTextBlock b = m_editor->document()->findBlock(position);
    if (!b.isValid() || !m_states->advance(b.blockNumber(), 50'000'000))
        return out;
    const int offset = position - b.position();
    // A word holding the place starts at most this far before it.
    const int from = b.length() > kLongBlock ? std::max(0, offset - 1024) : 0;
    const SpellLine line =
        spellWords(b.text(), m_states->startState(b.blockNumber()), from, offset + 1);
    for (const SpellWord &w : line.words)
        if (w.start <= offset && offset <= w.start + w.length &&
            !Spelling::instance()->isCorrect(m_speller, w.text)) {
            out.position = b.position() + w.start;
            out.length = w.length;
            out.word = w.text;
        }
    return out;
}

void SpellCheck::addToMenu(QMenu *menu, int position) {
    const Misspelt m = misspeltAt(position);
    if (m.position < 0)
        return;
    QTextCursor source(m_editor->document());
    source.setPosition(m.position);
    source.setPosition(m.position + m.length, QTextCursor::KeepAnchor);
    const QString written = source.selectedText();
    QList<QAction *> items;
    for (const QString &s : m_speller->suggestions(m.word, 8)) {
        auto *a = new QAction(s, menu);
        connect(a, &QAction::triggered, this, [this, m, s, written] {
            QTextCursor c(m_editor->document());
            c.setPosition(m.position);
            c.setPosition(m.position + m.length, QTextCursor::KeepAnchor);
            if (c.selectedText() != written)
                return; // the page changed meanwhile
            c.beginEditBlock(); // one undo step
            c.insertText(s);
            c.endEditBlock();
        });
        items << a;
    }
    if (items.isEmpty()) {
        auto *none = new QAction(tr("(No Suggestions)"), menu);
        none->setEnabled(false);
        items << none;
    }
    auto separator = [menu] {
        auto *s = new QAction(menu);
        s->setSeparator(true);
        return s;
    };
    items << separator();
    auto *add = new QAction(tr("Add to Dictionary"), menu);
    add->setObjectName(QStringLiteral("SpellingAdd"));
    connect(add, &QAction::triggered, this, [w = m.word] {
        // This unit shows no boxes: whoever shows the program's errors is told.
        try {
            Spelling::instance()->addToPersonal(w);
        } catch (const TagloomError &e) {
            emit Spelling::instance()->personalListFailed(e.text());
        }
    });
    auto *ignore = new QAction(tr("Ignore"), menu);
    ignore->setObjectName(QStringLiteral("SpellingIgnore"));
    connect(ignore, &QAction::triggered, this, [w = m.word] { Spelling::instance()->ignore(w); });
    items << add << ignore << separator();
    menu->insertActions(menu->actions().value(0), items);
}
