#pragma once
// A page's text as Qt holds it, with or without an editor showing it:
// loading it whole or piece by piece as a file is read, and the marks kept
// on its lines (which hold a named anchor; which are too long to reshape on
// every repaint). Editors show it; a document owns it.
#include <QTextDocument>
#include <memory>
#include <vector>

class PageText : public QTextDocument {
    Q_OBJECT
public:
    explicit PageText(QObject *parent = nullptr);
    ~PageText() override;

    // Longer lines are shown wrapped (see EditorBox::kLongLine).
    static constexpr int kLongLine = 1000;
    // A file with a longer line is refused as too large: Qt lays a line out
    // whole, in memory and time that grow with it.
    static constexpr qsizetype kMaxLine = 32 * 1024 * 1024;
    static const QString kAnchorNameOpen;

    // Replaces the whole text (loading); not undoable, counts as unchanged.
    void loadText(const QString &crlfText);
    // Loading a page passed on in pieces (a file as it is read: see
    // pageload.h), so a huge page is never held twice. beginLoad() keeps
    // the text as it is; the first piece replaces it. appendLoad() takes a
    // piece in the editor's form (CR LF breaks, marks hidden; a piece never
    // ends between CR and LF) and throws the size message for a line over
    // kMaxLine characters, none of which is laid out. finishLoad() makes the
    // pieces the page, or the whole text given instead of them; not
    // undoable, counts as unchanged. abandonLoad() puts the text back.
    void beginLoad();
    void appendLoad(const QString &piece);
    void finishLoad();
    void finishLoad(const QString &crlfText);
    void abandonLoad();
    // Within a load: its changes are the file's, not the user's.
    bool isLoading() const { return m_loading; }

    // The texts of the lines holding the named-anchor opening <A NAME=",
    // in order: each line remembers whether it holds one (kept current as
    // the text changes), so a scan of a huge page reads only those lines.
    QStringList linesHoldingAnchorName() const;

signals:
    // Whether the page holds lines longer than kLongLine: said during a
    // load before such a line goes in (so a view settles its wrapping before
    // laying the page out), at its end, and after an edit made one.
    void longLines(bool any);
    // A load replaced the text.
    void loaded();

private:
    void forgetAnchorMarks(int position, int added);
    void markAnchorLines(const std::vector<int> &lines);
    void keepLongLineLayouts(const std::vector<int> &lines);
    void loadFinished();

    struct PieceLoad;
    std::unique_ptr<PieceLoad> m_pieceLoad; // between beginLoad() and its end
    bool m_loading = false;
};
