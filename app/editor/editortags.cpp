// The editor's reading of the tags around the caret: matching tags shown at
// rest, Go to Matching Tag and Select Element, and where a reading of the
// markup may start without going back to the top of the page.
#include "editorbox.h"
#include "markuphighlighter.h"
#include "markupstates.h"
#include "tagrename.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>

namespace {
bool g_renamesTagPairs = true;
// A name longer than this is not looked at: the look back over it comes
// before any reading of the markup, for every key typed after a letter.
constexpr int kMaxRenamedName = 256;

// `share` of the way from colour a to colour b.
QColor mixed(const QColor &a, const QColor &b, double share)
{
    const QColor x = a.toRgb(), y = b.toRgb();
    return QColor::fromRgbF(float(x.redF() + (y.redF() - x.redF()) * share),
                            float(x.greenF() + (y.greenF() - x.greenF()) * share),
                            float(x.blueF() + (y.blueF() - x.blueF()) * share));
}
} // namespace

QString EditorBox::textBetween(int from, int to) const
{
    if (to <= from)
        return QString();
    QTextCursor c(document());
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    return c.selectedText(); // lines end in U+2029, one character as in the document
}

int EditorBox::readingStart(int pos, int reach, Markup::State *state) const
{
    *state = Markup::State();
    int from = qMax(0, pos - reach);
    QTextBlock b = document()->findBlock(from);
    if (b.position() < from && b.next().isValid() && b.next().position() <= pos)
        b = b.next();
    const MarkupStates *states = MarkupStates::of(document());
    const bool known = states->isKnown(b.blockNumber());
    if (b.position() >= from) {
        from = b.position(); // a line's start
        if (known) {
            *state = states->startState(b.blockNumber());
            return from;
        }
    }
    // Else read from the line's start when it is known and near; failing
    // that, a look back says whether `from` lies in SCRIPT or STYLE
    // contents, whose "</" and '<' are not markup.
    const bool exact = known && from - b.position() <= kRawLookBack;
    const int back = exact ? b.position() : qMax(0, from - kRawLookBack);
    if (back == from)
        return from;
    const Markup::State at = Markup::scan(
        textBetween(back, from), exact ? states->startState(b.blockNumber()) : Markup::State());
    if (exact)
        *state = at;
    else if (at.mode == Markup::Mode::Script || at.mode == Markup::Mode::Style)
        state->mode = at.mode;
    return from;
}

template <class Find>
std::optional<TagPair> EditorBox::findAround(int from, int to, Find find) const
{
    Markup::State state;
    const int start = readingStart(from, kMatchReach, &state);
    const int last = document()->characterCount() - 1;
    const int end = qMin(last, to + kMatchReach);
    std::optional<TagPair> pair = find(textBetween(start, end), from - start, to - start, state);
    if (!pair && (start > 0 || end < last)) {
        // The whole page, once, for a command the user asked for: about
        // 0.1 s for 10 million characters.
        pair = find(document()->toRawText(), from, to, Markup::State());
        if (pair)
            return pair;
    }
    if (pair) {
        for (TagRange *r : {&pair->open, &pair->close}) {
            r->start += start;
            r->end += start;
        }
    }
    return pair;
}

void EditorBox::updateMatchingTags()
{
    m_matchWait.stop();
    std::optional<TagPair> pair;
    const QTextCursor caret = textCursor();
    if (!caret.hasSelection()) {
        const int pos = caret.position();
        Markup::State state;
        const int start = readingStart(pos, kMatchReach, &state);
        const int end = qMin(document()->characterCount() - 1, pos + kMatchReach);
        pair = matchingTags(textBetween(start, end), pos - start, state);
        if (pair)
            for (TagRange *r : {&pair->open, &pair->close}) {
                r->start += start;
                r->end += start;
            }
    }
    // Unchanged, unless an edit since has moved the highlight off the tags.
    if (pair == m_shownPair) {
        const QList<QTextEdit::ExtraSelection> now = m_layers.value(MatchingTagLayer);
        const auto at = [&now](int i, const TagRange &r) {
            return now.size() == 2 && now[i].cursor.selectionStart() == r.start
                   && now[i].cursor.selectionEnd() == r.end;
        };
        if (!pair || (at(0, pair->open) && at(1, pair->close)))
            return;
    }
    m_shownPair = pair;
    QList<QTextEdit::ExtraSelection> shown;
    if (pair) {
        // A tint of the tag colour over the editor's background: the text
        // keeps its colours and stays readable in any colour scheme.
        QTextCharFormat tint;
        tint.setBackground(
            mixed(palette().color(QPalette::Base), m_highlighter->colours().tag, 0.2));
        for (const TagRange &r : {pair->open, pair->close}) {
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(document());
            s.cursor.setPosition(int(r.start));
            s.cursor.setPosition(int(r.end), QTextCursor::KeepAnchor);
            s.format = tint;
            shown << s;
        }
    }
    setSelectionLayer(MatchingTagLayer, shown);
}

bool EditorBox::goToMatchingTag()
{
    const int caret = textCursor().position();
    const auto pair =
        findAround(caret, caret, [](QStringView t, qsizetype from, qsizetype, Markup::State s) {
            return matchingTags(t, from, s);
        });
    if (!pair)
        return false;
    const bool inOpening = pair->open.start <= caret && caret < pair->open.end;
    QTextCursor c = textCursor();
    c.setPosition(int(inOpening ? pair->close.start : pair->open.start));
    setTextCursor(c);
    return true;
}

bool EditorBox::selectElement()
{
    const QTextCursor now = textCursor();
    const auto pair = findAround(now.selectionStart(), now.selectionEnd(),
                                 [](QStringView t, qsizetype from, qsizetype to, Markup::State s) {
                                     return enclosingElement(t, from, to, s);
                                 });
    if (!pair)
        return false;
    QTextCursor c = textCursor();
    c.setPosition(int(pair->open.start));
    c.setPosition(int(pair->close.end), QTextCursor::KeepAnchor);
    setTextCursor(c);
    return true;
}

void EditorBox::setSelectionLayer(SelectionLayer layer,
                                  const QList<QTextEdit::ExtraSelection> &selections)
{
    if (selections.isEmpty())
        m_layers.remove(layer);
    else
        m_layers.insert(layer, selections);
    QList<QTextEdit::ExtraSelection> all;
    for (const auto &l : std::as_const(m_layers))
        all += l;
    setExtraSelections(all);
}

void EditorBox::setRenamesTagPairs(bool on) { g_renamesTagPairs = on; }
bool EditorBox::renamesTagPairs() { return g_renamesTagPairs; }

bool EditorBox::renameTagPair(QKeyEvent *e)
{
    if (!g_renamesTagPairs || isReadOnly() || overwriteMode())
        return false;
    QTextCursor caret = textCursor();
    if (caret.hasSelection())
        return false;
    const int pos = caret.position();
    NameEdit edit;
    if (e->key() == Qt::Key_Backspace && !(e->modifiers() & ~Qt::ShiftModifier)) {
        if (pos == 0)
            return false;
        edit = {pos - 1, 1, {}};
    } else if (e == QKeySequence::Delete) {
        edit = {pos, 1, {}};
    } else if (!(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
               && !e->text().isEmpty()) {
        edit = {pos, 0, e->text()};
    } else {
        return false;
    }
    // Most keys end here, at the cost of a few characters: the edit must
    // touch a run of name characters right after "<" or "</".
    const QTextDocument *doc = document();
    for (const QChar c : edit.inserted)
        if (!isTagNameChar(c))
            return false;
    if (edit.removed && !isTagNameChar(doc->characterAt(int(edit.at))))
        return false;
    int k = int(edit.at);
    for (int n = 0; k > 0 && isTagNameChar(doc->characterAt(k - 1)); --k)
        if (++n > kMaxRenamedName)
            return false;
    if (k > 0 && doc->characterAt(k - 1) == u'/')
        --k;
    if (k == 0 || doc->characterAt(k - 1) != u'<')
        return false;
    // The pair as it is before the key, within the matching tags' reach.
    Markup::State state;
    const int start = readingStart(int(edit.at), kMatchReach, &state);
    const int end = qMin(doc->characterCount() - 1, pos + kMatchReach);
    NameEdit local = edit;
    local.at -= start;
    const std::optional<NameEdit> mirrored = partnerNameEdit(textBetween(start, end), local, state);
    if (!mirrored)
        return false;
    const UndoStep step(this);
    QTextCursor partner(document());
    partner.setPosition(start + int(mirrored->at));
    partner.setPosition(start + int(mirrored->at + mirrored->removed), QTextCursor::KeepAnchor);
    // Both edited through cursors, which follow each other's edits.
    caret.setPosition(int(edit.at));
    caret.setPosition(int(edit.at + edit.removed), QTextCursor::KeepAnchor);
    caret.insertText(edit.inserted); // empty: removes the character
    partner.insertText(mirrored->inserted);
    setTextCursor(caret);
    return true;
}
