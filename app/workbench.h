#pragma once
// What the main window offers beyond the tag commands, each following the
// current document: undo and redo, the find bar, Go to Line, matching tags
// and the closing of typed tags, the status bar, recent files, the preview,
// Preview in Browser, the page check and the spelling check's switch and
// language.
// Their state (recent files, which panes show) is the user's, kept in the
// user's configuration, never in the settings file.
#include "charset.h"
#include <QObject>
#include <QPointer>
#include <QStringList>

class ActionRegistry;
class CurrentDocument;
class DocumentStatus;
class DocumentTable;
class EditorBox;
class FindBar;
class PageCheckPane;
class PreviewDock;
class PreviewPane;
class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class THTMLDOC;

class Workbench : public QObject {
    Q_OBJECT
public:
    // Adds its rows to `actions` (at the end of the Edit, View and Tools
    // menus, and Open Recent's items), the find bar to `areaHolder`'s layout
    // below the documents of `area`, the status bar and the panes to `window`.
    Workbench(QMainWindow *window, QWidget *areaHolder, QMdiArea *area, DocumentTable *docs,
              CurrentDocument *current, ActionRegistry *actions);

    FindBar *findBar() const { return m_find; }
    DocumentStatus *status() const { return m_status; }
    // The preview's pane, its module loaded if need be (tests, benchmark).
    PreviewPane *preview() const;
    PreviewDock *previewDock() const { return m_preview; }
    PageCheckPane *pageCheck() const { return m_check; }
    QMenu *recentMenu() const { return m_recent; }

    // Recent files, most recent first (at most 10).
    QStringList recentFiles() const;
    void noteFileUsed(const QString &path);

    void GoToLineClick();
    void PreviewInBrowserClick();
    void CheckPageClick();
    void GoToMatchingTagClick();
    void SelectElementClick();
    // Where the user's own state is kept.
    static QString userStatePath();
    // A state file far larger than it can be, or one that is no plain file,
    // is moved aside (to the same name with ".too-large") before it is
    // read; true when one was.
    static bool setAsideOversizeState();

signals:
    // An existing file chosen from Open Recent, to be opened as Open does.
    void openRequested(const QString &path);

private:
    void follow(THTMLDOC *doc);
    void showPlace(EditorBox *editor, int line, int column);
    void rebuildRecentMenu();
    void rebuildSpellingMenu();
    // File > Reopen with Encoding and Save with Encoding: the encodings by
    // script, the current document's checked.
    void rebuildEncodingMenu(QMenu *menu, bool reopen);
    void saveWithEncoding(TextEncoding encoding);
    void openRecent(const QString &path);
    void setRecentFiles(const QStringList &files);
    void keepVisibility(const char *key, bool shown);

    QMainWindow *m_window;
    QMdiArea *m_area;
    DocumentTable *m_docs;
    CurrentDocument *m_current;
    FindBar *m_find;
    DocumentStatus *m_status;
    PreviewDock *m_preview;
    PageCheckPane *m_check;
    QMenu *m_recent;
    QMenu *m_spellingMenu = nullptr;
    QMenu *m_reopenEncoding;
    QMenu *m_saveEncoding;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QList<QAction *> m_needDocument; // enabled only while a document is open
    QPointer<THTMLDOC> m_followed;
    QList<QMetaObject::Connection> m_followLinks;
    void update();
    void GoFindClick();
    void GoReplaceClick();
    void FindNextClick();
    void FindPreviousClick();
    void UndoClick();
    void RedoClick();
};
