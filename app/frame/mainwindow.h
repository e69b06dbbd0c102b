#pragma once
// The main frame window: menu, button bar, document area and the
// preferences. It owns the document table and offers the current document
// to commands and panes.
#include "actions.h"
#include "charset.h"
#include "currentdocument.h"
#include "documenttable.h"
#include "settingsfile.h"

#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QMdiArea;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class QMdiSubWindow;
class EditorBox;
class THTMLDOC;
class DocumentRecovery;
class Workbench;

class TZediDove : public QMainWindow, public CurrentDocument {
    Q_OBJECT
public:
    // startupMs: the start-up timer's interval (tests pass a short one).
    explicit TZediDove(int startupMs = 800, QWidget *parent = nullptr);
    ~TZediDove() override;

    // The open documents and which one is current.
    DocumentTable *documents() const { return m_docs; }

    bool FirstTimer = false;
    int ToolbarTop = 0;
    int ToolbarLeft = 0;
    ColourValue EditorBackColor = 0;
    ColourValue EditorTextColor = 0;

    // CurrentDocument
    THTMLDOC *currentDocument() const override;
    EditorBox *activeEditor() const override;
    QMetaObject::Connection
    onCurrentChanged(QObject *context, std::function<void(THTMLDOC *)> changed) const override;
    void bringToFront() override;

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
    // The frame and the tool palette come up, once the splash has gone.
    void showAfterSplash();
    void setTextColour(ColourValue v);
    void setBackColour(ColourValue v);

    // Loads a file into a new document, as Open does after its dialog;
    // nothing when the user cancelled the reading.
    THTMLDOC *openDocument(const QString &path);
    // Opens each file as Open does; a file that fails shows its message and
    // the next one is still opened.
    void openFiles(const QStringList &paths);
    // Files the start-up sequence opens instead of creating "HTML 1".
    void setStartupFiles(const QStringList &paths) { m_startupFiles = paths; }

    // Copies of changed documents kept against a crash.
    DocumentRecovery *recovery() const { return m_recovery; }

    // Any menu item of the window, the workbench's included (an unknown
    // name is a fault).
    QAction *action(const QString &name) const { return m_actions->action(name); }
    // The rows the menus, the button bar and the palette are made from.
    ActionRegistry *actions() const { return m_actions; }
    // Find bar, status bar, recent files, preview and page check.
    Workbench *workbench() const { return m_workbench; }
    QMdiArea *mdiArea() const { return m_mdi; }
    QWidget *dockedBar() const { return m_bar; }
    // The floating tool palette, shown and hidden by the View menu.
    QWidget *toolPalette() const { return m_palette; }
    void setToolPalette(QWidget *palette) { m_palette = palette; }
    QStringList settingsText() const { return m_settings.lines; }
    QTimer *startupTimer() const { return &const_cast<TZediDove *>(this)->m_timer; }

protected:
    void closeEvent(QCloseEvent *e) override;
    // Files dropped on the window (editors included) open as documents.
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    void FormCreate();
    void readSettings();
    void buildMenus(QWidget *areaHolder);
    // The bar's buttons, from the rows that have one.
    void buildDockedBar();
    void rebuildWindowMenu();

    void applyColours(THTMLDOC *doc);

    QMdiArea *m_mdi = nullptr;
    DocumentTable *m_docs = nullptr;
    QWidget *m_bar = nullptr;
    QPointer<QWidget> m_palette;
    QMenu *m_windowMenu = nullptr;
    SettingsFile m_settings; // as read, kept for Save Settings
    QTimer m_timer;
    DocumentRecovery *m_recovery = nullptr;
    Workbench *m_workbench = nullptr;
    ActionRegistry *m_actions = nullptr;
    QList<QAction *> m_windowActions;
    QString m_lastOpen = QStringLiteral("*.htm");
    QStringList m_startupFiles;
};

extern TZediDove *ZediDove;
