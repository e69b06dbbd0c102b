#pragma once
// The problems the page check found, underlined in the editor that shows
// the page: a range of the document each, with its message for the tool
// tip. They are drawn with the spelling's waves (see spellcheck.h for why
// no formats or extra selections). A result comes for the text as it was
// when checked: edits made since move the marks after them and drop those
// they touch, until the next result replaces them all.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

class QTextDocument;

struct PageMark {
    int position = 0; // in the document
    int length = 0;
    bool error = false; // else a warning or advice
    QString text;
};

class PageMarks : public QObject {
    Q_OBJECT
public:
    // `redraw` is told when the marks are replaced or cleared (not when an
    // edit moves them: the edit's own repaint draws them where they are).
    PageMarks(QTextDocument *doc, std::function<void()> redraw);

    // Replaces the marks (in any order) and the counts the status bar shows.
    // False, and nothing changed, when too many edits came since recording
    // began to follow them.
    bool set(QList<PageMark> marks, int errors, int warnings, int advice);
    // No marks and no counts: the page is not checked.
    void clear();
    // Follows the edits of the text since it was handed to the check, so
    // that a result arriving later is put on the text as it is now. Marks
    // a recorded edit touches are dropped when the result is set.
    void startRecording();
    void stopRecording();

    // The marks over [from, to) of the document, (position, length) in
    // page order: errors, or warnings and advice.
    QList<std::pair<int, int>> within(int from, int to, bool errors) const;
    bool isEmpty() const { return m_layers[0].isEmpty() && m_layers[1].isEmpty(); }
    // The messages of the marks over `position`, one a line; empty: none.
    QString textAt(int position) const;

    bool isChecked() const { return m_checked; }
    int errors() const { return m_errors; }
    int warnings() const { return m_warnings; }
    // "2 errors, 1 warning" (and advice when any); empty when not checked.
    QString countText() const;

signals:
    void countsChanged();

private:
    void documentChanged(int position, int removed, int added);
    static bool move(std::pair<int, int> &range, int position, int removed, int added);

    // The marks of one colour, sorted by start. A key must not cost a step
    // per mark (a page may have 100,000): the marks after an edit move
    // together, as a shift of all those from an index on, which typing in
    // one place only adds to; marks an edit touches are left as gone
    // (length -1) and swept out once they are half the list.
    struct Layer {
        QList<std::pair<int, int>> ranges; // start (before the shift), length
        QStringList texts;                 // alongside
        qsizetype shiftFrom = 0;
        int shift = 0;
        int longest = 0;
        qsizetype gone = 0;

        bool isEmpty() const { return ranges.size() == gone; }
        int start(qsizetype i) const { return ranges[i].first + (i >= shiftFrom ? shift : 0); }
        qsizetype firstFrom(int position) const; // the first starting there or after
        void shiftFromIndex(qsizetype from, int delta);
        void edit(int position, int removed, int added);
        void sweep();
        void clear() { *this = Layer(); }
    };

    // Past this many, a result is not placed (each mark would follow each
    // edit) and the page is checked again.
    static constexpr int kMaxEdits = 1000;
    struct Edit {
        int position, removed, added;
    };
    std::function<void()> m_redraw;
    Layer m_layers[2]; // errors; warnings and advice
    bool m_checked = false;
    int m_errors = 0, m_warnings = 0, m_advice = 0;
    bool m_recording = false;
    bool m_lost = false; // more edits than kMaxEdits
    QList<Edit> m_edits;
};
