#pragma once
// The main frame window: menu, button bar, document area, the document
// table and the preferences.
#include "settingsfile.h"
#include "textfile.h"

#include <QAction>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QMdiArea;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QMdiSubWindow;
class TToolBar;
class EditorBox;
class THTMLDOC;
class DocumentRecovery;

constexpr int kMaxDocs = 100;

// The slot handed out by the last New; reset once by the start-up sequence.
extern int LastSlot;

class TZediDove : public QMainWindow {
    Q_OBJECT
public:
    // startupMs: the start-up timer's interval (tests pass a short one).
    explicit TZediDove(int startupMs = 800, QWidget *parent = nullptr);
    ~TZediDove() override;

    // Document table (slots 1..100; index 0 unused).
    bool SlotInUse[kMaxDocs + 1] = {};
    int CurrentDoc = 0;
    bool FirstTimer = false;
    QPointer<THTMLDOC> Docs[kMaxDocs + 1];
    int ToolbarTop = 0;
    int ToolbarLeft = 0;
    ColourValue EditorBackColor = 0;
    ColourValue EditorTextColor = 0;

    // The current document, or nothing when no document window is open.
    THTMLDOC *currentDocument() const;

    void New1Click();
    void OpenClick();
    void SaveClick();
    void Save1Click();
    void Close1Click();
    void Exit1Click();
    void SaveSetClick();
    void CutClick();
    void CopyMenuClick();
    void PasteClick();
    void HTMLToolsButClick();
    void DockedBar1Click();
    void Tile1Click();
    void Cascade1Click();
    void Contents1Click();
    void AboutZEDIDove1Click();
    void Timer1Timer();
    void setTextColour(ColourValue v);
    void setBackColour(ColourValue v);

    // Save As for one document; false when cancelled. Throws on a failed write.
    bool saveDocumentAs(THTMLDOC *doc);
    // False when the user declined to overwrite a file changed on disk.
    bool saveDocumentTo(THTMLDOC *doc, const QString &path);
    // Loads a file into a new document, as Open does after its dialog.
    THTMLDOC *openDocument(const QString &path);
    // Opens each file as Open does; a file that fails shows its message and
    // the next one is still opened.
    void openFiles(const QStringList &paths);
    // Files the start-up sequence opens instead of creating "HTML 1".
    void setStartupFiles(const QStringList &paths) { m_startupFiles = paths; }

    // Copies of changed documents kept against a crash.
    DocumentRecovery *recovery() const { return m_recovery; }

    // Makes the window visible, raises and activates it.
    void bringToFront();

    QAction *action(const QString &name) const { return m_actions.value(name); }
    QMdiArea *mdiArea() const { return m_mdi; }
    QWidget *dockedBar() const { return m_bar; }
    QStringList settingsText() const { return m_settings; }
    QTimer *startupTimer() const { return &const_cast<TZediDove *>(this)->m_timer; }

    // Absolute path of the help file, resolved once at start.
    static QString helpFilePath();
    // The default settings file installed with the program, and the file
    // read at start: the working directory's, else that default.
    static QString installedSettingsPath();
    static QString settingsFileToRead();
    static void setInstalledSettingsPath(const QString &path); // tests; empty: default

protected:
    void closeEvent(QCloseEvent *e) override;
    // Files dropped on the window (editors included) open as documents.
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void FormCreate();
    void readSettings();
    void buildMenus();
    void buildDockedBar();
    void rebuildWindowMenu();
    void documentActivated(QMdiSubWindow *w);
    QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                     const QKeySequence &key, void (TZediDove::*handler)());
    QAction *addCommand(QMenu *menu, const char *name, const QString &caption,
                        const QKeySequence &key, void (TToolBar::*command)());

    QMdiArea *m_mdi = nullptr;
    QWidget *m_bar = nullptr;
    QMenu *m_windowMenu = nullptr;
    QStringList m_settings; // the lines of the settings file, kept for Save Settings
    TextEncoding m_settingsEncoding = TextEncoding::Utf8; // written back as read
    QTimer m_timer;
    DocumentRecovery *m_recovery = nullptr;
    QHash<QString, QAction *> m_actions;
    QList<QAction *> m_windowActions;
    QString m_lastOpen = QStringLiteral("*.htm");
    QString m_lastSave;
    QStringList m_startupFiles;
};

extern TZediDove *ZediDove;
