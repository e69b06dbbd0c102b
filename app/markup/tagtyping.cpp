#include "tagtyping.h"
#include "markuptags.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextDocument>
#include <utility>

namespace {
// A name typed after a completed "</" is taken for one up to this length.
constexpr int kMaxTypedName = 64;

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')
        || u == u'-' || u == u'_' || u == u':' || u == u'.';
}

QStringView nameOf(const QString &closer)
{
    return QStringView(closer).sliced(2, closer.size() - 3);
}

// The text a key types, as the editor inserts it; empty for a key that
// types none (moves, deletions, shortcuts, a modifier alone).
QString typedText(const QKeyEvent *e)
{
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        return QStringLiteral("\n");
    if (e->key() == Qt::Key_Tab)
        return QStringLiteral("\t");
    const QString t = e->text();
    for (const QChar c : t)
        if (!c.isPrint())
            return {};
    return t;
}
} // namespace

bool TagTyping::keyPress(QKeyEvent *e)
{
    if (!m_reading.closesTags() || m_editor->isReadOnly() || m_editor->overwriteMode()) {
        forget();
        return false;
    }
    const QString typed = typedText(e);
    if (chainAtCaret()) {
        const Written &w = m_closers.front();
        if (m_over > 0 && e->key() == Qt::Key_Backspace
            && (e->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
            // What was gone over is still the closing tag's: taking the key
            // back steps back over it, as if it had been typed in front.
            const QScopedValueRollback<bool> busy(m_busy, true);
            QTextCursor c = m_editor->textCursor();
            c.setPosition(c.position() - 1);
            --m_over;
            m_editor->setTextCursor(c);
            return true;
        }
        if (typed.size() == 1 && typed[0] == w.text[m_over]) {
            goOver();
            return true;
        }
        if (m_over > 0 && !typed.isEmpty()) {
            putBack(typed);
            return true;
        }
    }
    if (typed == QLatin1String(">") && (replaceCompletedName() || closeByHand()))
        return true;
    if (typed == QLatin1String(">") || typed == QLatin1String("/"))
        return complete(typed);
    return false;
}

void TagTyping::caretMoved()
{
    if (m_busy)
        return;
    chainAtCaret();
    if (m_completed.isNull())
        return;
    // Kept while only a name is typed after it.
    const QTextCursor c = m_editor->textCursor();
    const int end = m_completed.position() + int(m_completedName.size()) + 1;
    const int pos = c.position();
    bool keep = !c.hasSelection() && pos >= end && pos <= end + kMaxTypedName;
    if (keep)
        for (const QChar ch : m_reading.textBetween(end, pos))
            keep = keep && isNameChar(ch);
    if (!keep)
        m_completed = QTextCursor();
}

void TagTyping::forget()
{
    forgetClosers();
    m_completed = QTextCursor();
}

void TagTyping::forgetClosers()
{
    m_closers.clear();
    m_over = 0;
}

bool TagTyping::inPlace(size_t i) const
{
    const Written &w = m_closers[i];
    const int at = w.at.position();
    if (i > 0 && at != m_closers[i - 1].at.position() + int(m_closers[i - 1].text.size()))
        return false;
    const int end = at + int(w.text.size());
    return end < m_editor->document()->characterCount()
        && m_reading.textBetween(at, end) == w.text;
}

bool TagTyping::chainAtCaret()
{
    if (m_closers.empty())
        return false;
    const QTextCursor c = m_editor->textCursor();
    if (c.hasSelection() || c.position() != m_closers.front().at.position() + m_over
        || !inPlace(0)) {
        forgetClosers();
        return false;
    }
    return true;
}

void TagTyping::goOver()
{
    const QScopedValueRollback<bool> busy(m_busy, true);
    QTextCursor c = m_editor->textCursor();
    c.setPosition(c.position() + 1);
    if (++m_over == m_closers.front().text.size()) {
        m_closers.erase(m_closers.begin()); // typed whole: the user's own now
        m_over = 0;
    }
    m_editor->setTextCursor(c);
}

void TagTyping::textComing()
{
    if (!chainAtCaret() || m_over == 0)
        return;
    // What was gone over is what the user typed; the closing tag follows
    // it whole again, and the text comes in front of it.
    const QScopedValueRollback<bool> busy(m_busy, true);
    Written &w = m_closers.front();
    QTextCursor c = m_editor->textCursor();
    const int pos = c.position();
    c.insertText(w.text.left(m_over));
    c.setPosition(pos);
    w.at.setPosition(pos);
    m_over = 0;
    m_editor->setTextCursor(c);
}

void TagTyping::putBack(const QString &typed)
{
    const QScopedValueRollback<bool> busy(m_busy, true);
    // One step with the key: its undo gives back the page as it was.
    const std::shared_ptr<void> step = m_reading.undoStep();
    textComing();
    if (typed == QLatin1String(">") && (replaceCompletedName() || closeByHand()))
        return;
    if ((typed == QLatin1String(">") || typed == QLatin1String("/")) && complete(typed))
        return;
    QTextCursor c = m_editor->textCursor();
    c.insertText(typed); // the closing tag moves with it
    m_editor->setTextCursor(c);
}

bool TagTyping::closeByHand()
{
    if (m_closers.empty() || m_over != 0)
        return false;
    QTextCursor c = m_editor->textCursor();
    const int pos = c.position();
    if (c.hasSelection() || m_closers.front().at.position() != pos)
        return false;
    Markup::State state;
    const QString before = textBefore(pos, &state) + QLatin1Char('>');
    const QStringView name = typedClosingTag(before, state);
    if (name.isEmpty())
        return false;
    size_t n = 0;
    while (n < m_closers.size() && inPlace(n))
        ++n;
    m_closers.resize(n); // the others are no longer where they were written
    size_t i = 0;
    while (i < n && nameOf(m_closers[i].text).compare(name, Qt::CaseInsensitive) != 0)
        ++i;
    if (i == n)
        return false;
    // The closing tag typed takes the place of the one of its name, and of
    // those in front of it, which it closes too.
    const QScopedValueRollback<bool> busy(m_busy, true);
    const std::shared_ptr<void> step = m_reading.undoStep();
    c.setPosition(m_closers[i].at.position() + int(m_closers[i].text.size()),
                  QTextCursor::KeepAnchor);
    c.insertText(QStringLiteral(">"));
    m_closers.erase(m_closers.begin(), m_closers.begin() + qsizetype(i) + 1);
    m_editor->setTextCursor(c);
    return true;
}

bool TagTyping::replaceCompletedName()
{
    if (m_completed.isNull())
        return false;
    const int start = std::exchange(m_completed, QTextCursor()).position();
    const QString tag = QStringLiteral("</") + m_completedName + QLatin1Char('>');
    const int end = start - 2 + int(tag.size());
    QTextCursor c = m_editor->textCursor();
    const int pos = c.position();
    if (start < 2 || c.hasSelection() || pos <= end || pos > end + kMaxTypedName
        || m_reading.textBetween(start - 2, end) != tag)
        return false;
    const QString name = m_reading.textBetween(end, pos);
    for (const QChar ch : name)
        if (!isNameChar(ch))
            return false;
    const QScopedValueRollback<bool> busy(m_busy, true);
    const std::shared_ptr<void> step = m_reading.undoStep();
    c.setPosition(start, QTextCursor::KeepAnchor);
    c.insertText(name + QLatin1Char('>'));
    m_editor->setTextCursor(c);
    return true;
}

bool TagTyping::complete(const QString &typed)
{
    QTextCursor c = m_editor->textCursor();
    const int pos = c.selectionStart(), end = c.selectionEnd();
    Markup::State state;
    const QString before = textBefore(pos, &state) + typed;
    // Enough of what follows to see a closing tag already there.
    const int last = m_editor->document()->characterCount() - 1;
    const QString after = m_reading.textBetween(end, qMin(last, end + 256));
    const std::optional<TagCompletion> add = completeTypedTag(before, after, state);
    if (!add)
        return false; // typed as any other key
    const bool inFront = chainAtCaret() && m_over == 0;
    const QScopedValueRollback<bool> busy(m_busy, true);
    // One step with the key: its undo gives back exactly what was typed.
    const std::shared_ptr<void> step = m_reading.undoStep();
    c.insertText(typed + add->text);
    m_completed = QTextCursor();
    if (add->caretAfter) {
        if (typed == QLatin1String("/") && add->text.endsWith(QLatin1Char('>'))) {
            m_completed = QTextCursor(m_editor->document());
            m_completed.setPosition(c.position() - int(add->text.size()));
            m_completedName = add->text.chopped(1);
        }
    } else {
        c.setPosition(c.position() - int(add->text.size()));
        if (!inFront)
            forgetClosers();
        QTextCursor at(m_editor->document());
        at.setPosition(c.position());
        m_closers.insert(m_closers.begin(), Written{at, add->text});
        if (m_closers.size() > size_t(kMaxRemembered))
            m_closers.pop_back();
    }
    m_editor->setTextCursor(c);
    return true;
}

QString TagTyping::textBefore(int pos, Markup::State *state) const
{
    const int from = m_reading.readingStart(pos, m_reading.tagReach, state);
    return m_reading.textBetween(from, pos);
}
