#include "livecheck.h"
#include "editorbox.h"
#include "pagecheckservice.h"
#include "pagemarks.h"
#include "pagetext.h"

#include <QTextDocument>
#include <algorithm>

namespace {
int g_pauseMs = LiveCheck::kPauseMs;

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')
           || c == QLatin1Char(':') || c == QLatin1Char('.');
}

// A place, not a range: marked over the tag's name when a tag starts there
// ("<li", "</ul"), else the word there, else its one character (the one
// before it at a line's end).
std::pair<int, int> shortMark(QStringView text, int at, int lineStart, int lineEnd)
{
    if (at < lineEnd && text[at] == QLatin1Char('<')) {
        int end = at + 1;
        if (end < lineEnd && (text[end] == QLatin1Char('/') || text[end] == QLatin1Char('!')))
            ++end;
        while (end < lineEnd && isNameChar(text[end]))
            ++end;
        return {at, end - at};
    }
    if (at < lineEnd && isNameChar(text[at])) {
        int end = at;
        while (end < lineEnd && isNameChar(text[end]))
            ++end;
        return {at, end - at};
    }
    if (at < lineEnd)
        return {at, 1};
    return at > lineStart ? std::pair<int, int>(at - 1, 1) : std::pair<int, int>(at, 0);
}
} // namespace

LiveCheck::LiveCheck(EditorBox *editor, PageCheckService *service)
    : QObject(editor), m_editor(editor), m_service(service)
{
    QTextDocument *doc = editor->document();
    m_pause.setSingleShot(true);
    m_pause.setInterval(g_pauseMs);
    connect(&m_pause, &QTimer::timeout, this, &LiveCheck::checkNow);
    // The text's changes; the colouring's formats are told by
    // contentsChanged() only.
    connect(doc, &QTextDocument::contentsChange, this, &LiveCheck::changed);
    connect(editor->pageText(), &PageText::loaded, this, [this] {
        // Another text: what was found in the one before is no more.
        drop();
        m_editor->pageMarks()->clear();
    });
    connect(service, &PageCheckService::finished, this, &LiveCheck::finished);
}

LiveCheck::~LiveCheck()
{
    // Gone with its editor, whose marks are gone already.
    if (m_ticket && m_service)
        m_service->forget(m_ticket);
}

void LiveCheck::setPauseMs(int ms) { g_pauseMs = ms; }

void LiveCheck::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (on) {
        m_pause.start();
        return;
    }
    drop();
    m_editor->pageMarks()->clear();
}

void LiveCheck::changed()
{
    // A load's changes are the file's, not typing.
    if (m_enabled && !m_editor->pageText()->isLoading())
        m_pause.start();
}

void LiveCheck::drop()
{
    m_pause.stop();
    if (m_ticket && m_service)
        m_service->forget(m_ticket);
    m_ticket = 0;
    m_again = false;
    m_checked.clear();
    m_editor->pageMarks()->stopRecording();
}

void LiveCheck::checkNow()
{
    m_pause.stop();
    if (!m_enabled || !m_service || m_editor->pageText()->isLoading())
        return;
    if (m_ticket) {
        // One check at a time: handed over again the moment it ends, with
        // its result put on the text as it is by then.
        m_again = true;
        return;
    }
    PageMarks *marks = m_editor->pageMarks();
    if (m_editor->document()->characterCount() > kMaxChars) {
        marks->clear();
        return;
    }
    // Qt's own copy, its line separators made line breaks in place.
    m_checked = m_editor->rawText();
    m_checked.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    marks->startRecording();
    m_ticket = m_service->check(m_checked);
}

void LiveCheck::finished(quint64 ticket, const PageCheckResult &result)
{
    if (ticket != m_ticket || ticket == 0)
        return;
    m_ticket = 0;
    const QString text = std::exchange(m_checked, QString());
    // Where each line starts in the text checked, as far as the results go.
    int lastLine = 0;
    for (const PageMessage &m : result.messages)
        lastLine = std::max({lastLine, m.line, m.lastLine});
    QList<int> starts{0};
    for (qsizetype at = 0; starts.size() <= lastLine;) {
        at = text.indexOf(QLatin1Char('\n'), at);
        if (at < 0)
            break;
        starts.append(int(++at));
    }
    auto place = [&](int line, int column, int *lineStart, int *lineEnd) {
        *lineStart = starts[line - 1];
        *lineEnd = line < starts.size() ? starts[line] - 1 : int(text.size());
        return std::clamp(*lineStart + column - 1, *lineStart, *lineEnd);
    };
    QList<PageMark> found;
    found.reserve(result.messages.size());
    for (const PageMessage &m : result.messages) {
        if (m.line < 1 || m.line > starts.size())
            continue; // of the page as a whole
        int lineStart, lineEnd;
        const int from = place(m.line, std::max(m.column, 1), &lineStart, &lineEnd);
        int to = from;
        if (m.lastLine >= m.line && m.lastLine <= starts.size()) {
            int s, e;
            to = place(m.lastLine, m.lastColumn + 1, &s, &e); // the last column is in it
        }
        const bool error = m.kind == QLatin1String("Error");
        if (to <= from) {
            const auto [at, length] = shortMark(text, from, lineStart, lineEnd);
            found.append({at, length, error, m.text});
            continue;
        }
        // A range is underlined line by line, from each line's first
        // character that is not a space (the checker's ranges may begin at
        // the end of the markup before).
        for (int at = from; at < to;) {
            while (at < to && text[at].isSpace())
                ++at;
            int end = at;
            while (end < to && text[end] != QLatin1Char('\n'))
                ++end;
            if (end > at)
                found.append({at, end - at, error, m.text});
            at = end + 1;
        }
    }
    PageMarks *marks = m_editor->pageMarks();
    const bool placed = marks->set(found, result.errors, result.warnings, result.advice);
    marks->stopRecording();
    if (std::exchange(m_again, false) || !placed)
        checkNow();
}
