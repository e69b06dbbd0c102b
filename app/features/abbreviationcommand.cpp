#include "abbreviationcommand.h"
#include "abbreviation.h"
#include "actions.h"
#include "charset.h"
#include "currentdocument.h"
#include "document.h"
#include "editorbox.h"
#include "htmldoc.h"
#include "markupscanner.h"

#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace {
// The engine reads no further back than this from the caret.
constexpr int kLineReach = 16384;
// An indent longer than this is cut: each line of an expansion repeats it.
constexpr int kMaxIndent = 256;
// How many lines either side of the caret's tell tabs from spaces.
constexpr int kIndentLines = 100;
// How much of the page's start tells its case.
constexpr int kCaseReach = 4096;
// Spots remembered at most: the document moves every cursor on every edit.
constexpr int kMaxSpots = 1000;

QString textBetween(QTextDocument *doc, int from, int to)
{
    QTextCursor c(doc);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    return c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

QString leadingIndent(const QTextBlock &b, int upTo)
{
    QString indent;
    const QTextDocument *doc = b.document();
    for (int i = 0; i < std::min(upTo, kMaxIndent); ++i) {
        const QChar c = doc->characterAt(b.position() + i);
        if (c != u' ' && c != u'\t')
            break;
        indent += c;
    }
    return indent;
}

// A tab, unless more of the lines around `at` start with spaces than with
// tabs: then as many spaces as the shallowest of them (2 to 8).
QString indentUnit(const QTextBlock &at)
{
    const QTextDocument *doc = at.document();
    int tabs = 0, spaced = 0, fewest = 8;
    auto look = [&](const QTextBlock &b) {
        const QChar c = doc->characterAt(b.position());
        if (c == u'\t') {
            ++tabs;
        } else if (c == u' ') {
            int n = 1;
            while (n < fewest && doc->characterAt(b.position() + n) == u' ')
                ++n;
            // A line of spaces alone says nothing of the indent.
            if (doc->characterAt(b.position() + n).isSpace() && n < fewest)
                return;
            ++spaced;
            fewest = std::min(fewest, n);
        }
    };
    QTextBlock b = at;
    for (int i = 0; i < kIndentLines && b.isValid(); ++i, b = b.previous())
        look(b);
    b = at.next();
    for (int i = 0; i < kIndentLines && b.isValid(); ++i, b = b.next())
        look(b);
    return spaced > tabs ? QString(std::max(2, fewest), u' ') : QStringLiteral("\t");
}

// Counts the tag names at the page's start by their case.
class CaseCount : public Markup::TokenSink {
public:
    CaseCount()
    {
        wantsText = false;
        wantsReferences = false;
    }
    void token(QStringView text, const Markup::Token &t) override
    {
        if (t.kind != Markup::TokenKind::StartTag && t.kind != Markup::TokenKind::EndTag)
            return;
        bool lower = false, upper = false;
        for (QChar c : text.mid(t.nameStart, t.nameLength)) {
            lower |= c >= u'a' && c <= u'z';
            upper |= c >= u'A' && c <= u'Z';
        }
        upperNames += upper && !lower;
        lowerNames += lower && !upper;
    }
    int upperNames = 0, lowerNames = 0;
};

bool writtenInUpperCase(QTextDocument *doc)
{
    const QString head = textBetween(doc, 0, std::min(kCaseReach, doc->characterCount() - 1));
    CaseCount count;
    Markup::scan(head, Markup::State{}, &count);
    return count.upperNames > count.lowerNames;
}

// The name a page declares its charset by: a byte order mark is no part of it.
QString charsetName(TextEncoding encoding)
{
    QString name = encodingName(encoding);
    name.remove(QStringLiteral(" with BOM"));
    return name;
}

// A spot is still empty while it stands between the quotes of a value or
// the tags of an element.
bool stillEmpty(const QTextCursor &spot)
{
    const QTextDocument *doc = spot.document();
    if (!doc)
        return false;
    const int at = spot.position();
    const QChar before = doc->characterAt(at - 1), after = doc->characterAt(at);
    return ((before == u'"' || before == u'\'') && after == before)
           || (before == u'>' && after == u'<');
}
} // namespace

AbbreviationCommand::AbbreviationCommand(ActionRegistry *actions, CurrentDocument *current,
                                         QStatusBar *status, QObject *parent)
    : QObject(parent), m_current(current), m_status(status)
{
    using namespace ActionId;
    actions->add(
        {
            separatorRow(EditMenu),
            itemRow(EditMenu, "EditExpandAbbreviation", QStringLiteral("E&xpand Abbreviation"),
                    [this] { ExpandAbbreviationClick(); })
                .key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E))
                .needingDocument(),
        },
        this);
}

void AbbreviationCommand::ExpandAbbreviationClick()
{
    EditorBox *e = m_current->activeEditor();
    THTMLDOC *doc = m_current->currentDocument();
    if (!e || !doc)
        return;
    e->setFocus();
    if (m_spotsEditor != e)
        m_spots.clear();
    m_spotsEditor = e;

    QTextDocument *text = e->document();
    const int caret = e->textCursor().position();
    const QTextBlock block = text->findBlock(caret);
    const int from = std::max(block.position(), caret - kLineReach);
    const QString before = textBetween(text, from, caret);

    AbbreviationOptions o;
    o.upperCase = writtenInUpperCase(text);
    o.lineIndent = leadingIndent(block, caret - block.position());
    o.indentUnit = indentUnit(block);
    o.lineBreak = QStringLiteral("\r\n"); // as setSelText takes it
    o.charset = charsetName(doc->page()->encoding());
    const Expansion x = expandAbbreviation(before, o);
    if (!x.error.isEmpty()) {
        if (!(x.nothing && goToNextSpot(e)))
            m_status->showMessage(x.error, 5000);
        return;
    }

    const int start = from + x.abbreviationStart;
    QList<QTextCursor> spots;
    {
        UndoStep step(e);
        QTextCursor c = e->textCursor();
        c.setPosition(start);
        c.setPosition(caret, QTextCursor::KeepAnchor);
        e->setTextCursor(c);
        e->setSelText(x.markup);
        // The markup's CR LF breaks are one character each in the editor.
        int breaks = 0, counted = 0;
        const qsizetype kept = std::min<qsizetype>(x.emptySpots.size(), kMaxSpots);
        for (int offset : x.emptySpots.first(kept)) {
            breaks += int(QStringView(x.markup).sliced(counted, offset - counted).count(u"\r\n"));
            counted = offset;
            QTextCursor spot(text);
            spot.setPosition(start + offset - breaks);
            spots << spot;
        }
        if (!spots.isEmpty())
            e->setTextCursor(spots.takeFirst());
    }
    // Spots left from an expansion before stay, in order with the new ones.
    m_spots += spots;
    std::stable_sort(
        m_spots.begin(), m_spots.end(),
        [](const QTextCursor &a, const QTextCursor &b) { return a.position() < b.position(); });
    if (m_spots.size() > kMaxSpots)
        m_spots.resize(kMaxSpots);
    m_status->clearMessage(); // a reason given before no longer holds
}

// The caret to the first spot after it that is still empty; those before
// it are done with.
bool AbbreviationCommand::goToNextSpot(EditorBox *editor)
{
    const int caret = editor->textCursor().position();
    while (!m_spots.isEmpty()) {
        const QTextCursor spot = m_spots.takeFirst();
        if (spot.position() > caret && stillEmpty(spot)) {
            editor->setTextCursor(spot);
            return true;
        }
    }
    return false;
}
