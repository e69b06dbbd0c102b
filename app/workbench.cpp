#include "workbench.h"
#include "actions.h"
#include "browsercopy.h"
#include "charset.h"
#include "charsetsniff.h"
#include "currentdocument.h"
#include "diskfile.h"
#include "documentstatus.h"
#include "documenttable.h"
#include "editorbox.h"
#include "errors.h"
#include "findbar.h"
#include "htmldoc.h"
#include "keyboardreturn.h"
#include "nativepath.h"
#include "pagecheckpane.h"
#include "previewdock.h"
#include "spelling.h"
#include "uiseam.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLayout>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QSettings>
#include <QTextBlock>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextDocument>
#include <QUrl>

namespace {
constexpr int kRecentFiles = 10;
constexpr qint64 kMaxStateBytes = 1024 * 1024;
const char *const kRecentKey = "recentFiles";
const char *const kStatusBarKey = "view/statusBar";
const char *const kPreviewKey = "view/preview";
const char *const kCloseTagsKey = "edit/closeTags";
const char *const kSpellingKey = "spelling/check";
const char *const kSpellingLanguageKey = "spelling/language";
} // namespace

QString Workbench::userStatePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
           + QStringLiteral("/state.ini");
}

bool Workbench::setAsideOversizeState()
{
    // The state holds ten recent files and a few switches: a few KB. One
    // far larger (grown by another program, or not ours) would be read
    // again at every open and save; it is set aside, not read.
    const QString path = userStatePath();
    const QFileInfo info(path);
    if (!info.exists() || (info.isFile() && info.size() <= kMaxStateBytes))
        return false;
    const QString aside = path + QStringLiteral(".too-large");
    QFile::remove(aside);
    if (!QFile::rename(path, aside))
        QFile::remove(path);
    return true;
}

namespace {
// The state file as QSettings may read it: one that is no plain file (a
// named pipe would hold the editor until something wrote to it), or that is
// far too large, is set aside first, at every use, as at start.
QString stateFile()
{
    Workbench::setAsideOversizeState();
    return Workbench::userStatePath();
}
} // namespace

Workbench::Workbench(QMainWindow *window, QWidget *areaHolder, QMdiArea *area,
                     DocumentTable *docs, CurrentDocument *current, ActionRegistry *actions)
    : QObject(window), m_window(window), m_area(area), m_docs(docs), m_current(current)
{
    QSettings state(stateFile(), QSettings::IniFormat);
    m_find = new FindBar(areaHolder);
    areaHolder->layout()->addWidget(m_find);
    window->statusBar()->setObjectName(QStringLiteral("StatusBar"));
    m_status = new DocumentStatus(window->statusBar());
    const bool statusShown = state.value(QLatin1String(kStatusBarKey), true).toBool();
    window->statusBar()->setVisible(statusShown);
    m_preview = new PreviewDock(window);
    EditorBox::setClosesTags(state.value(QLatin1String(kCloseTagsKey), true).toBool());
    window->addDockWidget(Qt::RightDockWidgetArea, m_preview);
    m_preview->setVisible(state.value(QLatin1String(kPreviewKey), false).toBool());
    Spelling *spelling = Spelling::instance();
    spelling->setEnabled(state.value(QLatin1String(kSpellingKey), true).toBool());
    spelling->setChosen(state.value(QLatin1String(kSpellingLanguageKey)).toString());
    connect(spelling, &Spelling::personalListFailed, this,
            [](const QString &message) { reportError(message); });
    m_check = new PageCheckPane(window);
    // A pane closed while it has the keyboard gives it to the document in use.
    new KeepKeyboardOnHide(m_preview);
    new KeepKeyboardOnHide(m_check);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_check);
    m_check->hide();
    connect(m_check, &PageCheckPane::placeChosen, this,
            [this](EditorBox *editor, int line, int column) { showPlace(editor, line, column); });

    // Open Recent is the frame's row, right after Open; its items are ours.
    m_recent = actions->menu(QLatin1String(ActionId::OpenRecent));
    connect(m_recent, &QMenu::aboutToShow, this, &Workbench::rebuildRecentMenu);
    rebuildRecentMenu();

    using namespace ActionId;
    auto item = [this](const char *menu, const char *id, const char *caption,
                       void (Workbench::*handler)()) {
        return itemRow(menu, id, QLatin1String(caption), [this, handler] { (this->*handler)(); });
    };
    const QList<ActionRow> rows = {
        separatorRow(EditMenu),
        // Access keys apart from Cut, Copy and Paste's u, c and p.
        item(EditMenu, Undo, "Un&do", &Workbench::UndoClick).key(QKeySequence(Qt::CTRL | Qt::Key_Z)),
        item(EditMenu, Redo, "&Redo", &Workbench::RedoClick)
            .withKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                       QKeySequence(Qt::CTRL | Qt::Key_Y)}),
        separatorRow(EditMenu),
        item(EditMenu, "EditFind", "&Find...", &Workbench::GoFindClick)
            .key(QKeySequence(Qt::CTRL | Qt::Key_F))
            .needingDocument(),
        item(EditMenu, "EditFindNext", "Find &Next", &Workbench::FindNextClick)
            .key(QKeySequence(Qt::Key_F3))
            .needingDocument(),
        item(EditMenu, "EditFindPrevious", "Find Pre&vious", &Workbench::FindPreviousClick)
            .key(QKeySequence(Qt::SHIFT | Qt::Key_F3))
            .needingDocument(),
        item(EditMenu, "EditReplace", "R&eplace...", &Workbench::GoReplaceClick)
            .key(QKeySequence(Qt::CTRL | Qt::Key_R))
            .needingDocument(),
        item(EditMenu, "EditGoToLine", "&Go to Line...", &Workbench::GoToLineClick)
            .key(QKeySequence(Qt::CTRL | Qt::Key_G))
            .needingDocument(),
        separatorRow(EditMenu),
        itemRow(EditMenu, "EditCloseTags", QStringLiteral("Close &Tags Automatically"))
            .checkable(ActionRow::Toggles, EditorBox::closesTags()),
        // J for jump: a key no other command uses.
        item(EditMenu, "EditGoToMatchingTag", "Go to &Matching Tag",
             &Workbench::GoToMatchingTagClick)
            .key(QKeySequence(Qt::CTRL | Qt::Key_J))
            .needingDocument(),
        item(EditMenu, "EditSelectElement", "Select E&lement", &Workbench::SelectElementClick)
            .key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J))
            .needingDocument(),

        // After Word Wrap, behind the same separator. The mark comes from
        // the state kept, not from isVisible(): the window is not shown yet.
        itemRow(ViewMenu, StatusBar, QStringLiteral("&Status Bar"))
            .checkable(ActionRow::Toggles, statusShown),
        [this] {
            // The pane's own toggle, so its mark follows the pane.
            ActionRow r = itemRow(ViewMenu, "ViewPreview", QStringLiteral("&Preview"), [this] {
                keepVisibility(kPreviewKey, m_preview->toggleViewAction()->isChecked());
            });
            r.existing = m_preview->toggleViewAction();
            return r.key(QKeySequence(Qt::Key_F6));
        }(),
        item(ViewMenu, "ViewPreviewInBrowser", "Preview in &Browser",
             &Workbench::PreviewInBrowserClick)
            .key(QKeySequence(Qt::Key_F12))
            .needingDocument(),

        separatorRow(FileMenu),
        menuRow(FileMenu, "FileReopenEncoding", QStringLiteral("Reopen with &Encoding")),
        menuRow(FileMenu, "FileSaveEncoding", QStringLiteral("Save &with Encoding")),

        separatorRow(ToolsMenu),
        item(ToolsMenu, "ToolsCheckPage", "Chec&k Page", &Workbench::CheckPageClick)
            .key(QKeySequence(Qt::Key_F7))
            .needingDocument(),
        separatorRow(ToolsMenu),
        itemRow(ToolsMenu, "ToolsCheckSpelling", QStringLiteral("Check &Spelling"))
            .checkable(ActionRow::Toggles, spelling->isEnabled()),
        menuRow(ToolsMenu, "ToolsSpellingLanguage", QStringLiteral("Spelling La&nguage")),
    };
    actions->add(rows, this);
    for (const ActionRow &r : rows)
        if (r.needsDocument)
            m_needDocument << actions->action(r.id);
    m_undo = actions->action(QLatin1String(Undo));
    m_redo = actions->action(QLatin1String(Redo));
    connect(actions->action(QStringLiteral("EditCloseTags")), &QAction::toggled, this, [](bool on) {
        EditorBox::setClosesTags(on);
        QSettings(stateFile(), QSettings::IniFormat)
            .setValue(QLatin1String(kCloseTagsKey), on);
    });
    connect(actions->action(QLatin1String(StatusBar)), &QAction::toggled, this, [this](bool on) {
        m_window->statusBar()->setVisible(on);
        keepVisibility(kStatusBarKey, on);
    });
    connect(actions->action(QStringLiteral("ToolsCheckSpelling")), &QAction::toggled, this,
            [this](bool on) {
                Spelling::instance()->setEnabled(on);
                keepVisibility(kSpellingKey, on);
            });
    m_spellingMenu = actions->menu(QStringLiteral("ToolsSpellingLanguage"));
    connect(m_spellingMenu, &QMenu::aboutToShow, this, &Workbench::rebuildSpellingMenu);

    current->onCurrentChanged(this, [this](THTMLDOC *doc) { follow(doc); });
    connect(docs, &DocumentTable::created, this, [this](THTMLDOC *doc) {
        connect(doc, &THTMLDOC::fileNamed, this, [this, doc](const QString &path) {
            noteFileUsed(path);
            if (doc == m_followed)
                follow(doc); // its encoding and folder may be new
        });
    });
    m_reopenEncoding = actions->menu(QStringLiteral("FileReopenEncoding"));
    m_saveEncoding = actions->menu(QStringLiteral("FileSaveEncoding"));
    connect(m_reopenEncoding, &QMenu::aboutToShow, this,
            [this] { rebuildEncodingMenu(m_reopenEncoding, true); });
    connect(m_saveEncoding, &QMenu::aboutToShow, this,
            [this] { rebuildEncodingMenu(m_saveEncoding, false); });
    follow(current->currentDocument());
}

void Workbench::rebuildEncodingMenu(QMenu *menu, bool reopen)
{
    menu->clear();
    THTMLDOC *doc = m_current->currentDocument();
    // Reading again needs a file; the BOM variants are the same bytes but
    // for it, which a file read so already tells.
    const bool enabled = doc && (!reopen || doc->HasFileName());
    for (const EncodingGroup &g : encodingGroups()) {
        QMenu *sub = menu->addMenu(g.script);
        sub->setObjectName(menu->objectName() + QLatin1Char('_') + g.script);
        for (const TextEncoding e : g.encodings) {
            QAction *a = sub->addAction(encodingName(e));
            a->setCheckable(true);
            a->setChecked(doc && doc->encoding() == e);
            a->setEnabled(enabled);
            if (reopen)
                connect(a, &QAction::triggered, this, [this, e] {
                    if (THTMLDOC *d = m_current->currentDocument())
                        d->reopenAs(e);
                });
            else
                connect(a, &QAction::triggered, this, [this, e] { saveWithEncoding(e); });
        }
    }
}

void Workbench::saveWithEncoding(TextEncoding encoding)
{
    THTMLDOC *doc = m_current->currentDocument();
    if (!doc || !doc->saveWithEncoding(encoding))
        return;
    // The page's own declaration is the user's to change.
    QString head;
    for (QTextBlock b = doc->editor()->document()->begin(); b.isValid() && head.size() < 1024;
         b = b.next())
        head += b.text() + QStringLiteral("\r\n");
    const std::optional<TextEncoding> declared = declaredEncoding(doc->encode(head));
    QString told = QStringLiteral("Saved in %1.").arg(encodingName(encoding));
    if (declared && *declared != encoding)
        told += QStringLiteral(" The page still declares %1: change its meta charset to match.")
                    .arg(encodingName(*declared));
    m_window->statusBar()->showMessage(told, 10000);
}

PreviewPane *Workbench::preview() const { return m_preview->pane(); }

void Workbench::follow(THTMLDOC *doc)
{
    for (const auto &c : std::as_const(m_followLinks))
        disconnect(c);
    m_followLinks.clear();
    m_followed = doc;
    EditorBox *editor = doc ? doc->editor() : nullptr;
    m_find->setEditor(editor);
    m_status->setEditor(editor, doc ? doc->page() : nullptr);
    const QString path = doc ? doc->filePath() : QString();
    m_preview->setEditor(editor, path.isEmpty() ? QString() : QFileInfo(path).absolutePath());
    if (editor)
        m_followLinks << connect(editor, &QPlainTextEdit::undoAvailable, this, &Workbench::update)
                      << connect(editor, &QPlainTextEdit::redoAvailable, this, &Workbench::update);
    update();
}

void Workbench::update()
{
    EditorBox *editor = m_followed ? m_followed->editor() : nullptr;
    m_undo->setEnabled(editor && editor->document()->isUndoAvailable());
    m_redo->setEnabled(editor && editor->document()->isRedoAvailable());
    for (QAction *a : std::as_const(m_needDocument))
        a->setEnabled(editor != nullptr);
}

void Workbench::UndoClick()
{
    if (EditorBox *e = m_current->activeEditor())
        e->undo();
}

void Workbench::RedoClick()
{
    if (EditorBox *e = m_current->activeEditor())
        e->redo();
}

void Workbench::GoFindClick()
{
    if (m_current->activeEditor())
        m_find->openFind();
}

void Workbench::GoReplaceClick()
{
    if (m_current->activeEditor())
        m_find->openReplace();
}

void Workbench::FindNextClick() { m_find->findNext(); }
void Workbench::FindPreviousClick() { m_find->findPrevious(); }

void Workbench::GoToLineClick()
{
    EditorBox *editor = m_current->activeEditor();
    if (!editor)
        return;
    const int count = editor->document()->blockCount();
    const QString here = QString::number(editor->textCursor().blockNumber() + 1);
    const QString ask = QStringLiteral("Line number (1 - %1):").arg(count);
    QString prompt = ask;
    // Cancel gives back the caret's own line, so the loop always ends.
    for (;;) {
        const QString typed = ui().inputBox(QStringLiteral("Go to Line"), prompt, here).trimmed();
        bool ok = false;
        const int line = typed.toInt(&ok);
        if (ok && line >= 1 && line <= count) {
            editor->setCaret(line - 1, 0);
            editor->centerCursor();
            editor->setFocus();
            return;
        }
        // A long answer is cut short: quoted whole it would widen the box
        // beyond the screen.
        const QString shown = typed.size() > 40 ? typed.left(40) + QChar(0x2026) : typed;
        prompt = QStringLiteral("\"%1\" is not a line number from 1 to %2.\n").arg(shown).arg(count)
                 + ask;
    }
}

void Workbench::PreviewInBrowserClick()
{
    THTMLDOC *doc = m_current->currentDocument();
    if (!doc)
        return;
    const QString path = doc->filePath();
    const QString folder = path.isEmpty() ? QDir::currentPath() : QFileInfo(path).absolutePath();
    const QString base = urlOfLocalPath(folder + QLatin1Char('/')).toString(QUrl::FullyEncoded);
    QString name = path.isEmpty() ? QStringLiteral("untitled") : QFileInfo(path).fileName();
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix != QLatin1String("htm") && suffix != QLatin1String("html"))
        name += QStringLiteral(".html"); // so the browser reads it as a page
    const QString copy = writeBrowserCopy(name, doc->encode(withBaseHref(doc->editor()->text(), base)));
    if (copy.isEmpty())
        throw TagloomError(Errors::cannotCreate(QDir::tempPath() + QLatin1Char('/') + name));
    if (!ui().openUrl(QUrl::fromLocalFile(copy)))
        reportError(QStringLiteral("No web browser could be started to show %1").arg(copy));
}

void Workbench::CheckPageClick()
{
    EditorBox *editor = m_current->activeEditor();
    if (!editor)
        return;
    m_check->show();
    m_check->raise();
    m_check->check(editor);
}

// Neither command moves anything when it finds nothing: the status bar
// says so, or the key would seem not to work.
void Workbench::GoToMatchingTagClick()
{
    if (EditorBox *e = m_current->activeEditor()) {
        if (!e->goToMatchingTag())
            m_window->statusBar()->showMessage(tr("No matching tag found."), 10000);
        e->setFocus();
    }
}

void Workbench::SelectElementClick()
{
    if (EditorBox *e = m_current->activeEditor()) {
        if (!e->selectElement())
            m_window->statusBar()->showMessage(tr("No element with both its tags found here."),
                                               10000);
        e->setFocus();
    }
}

void Workbench::showPlace(EditorBox *editor, int line, int column)
{
    for (THTMLDOC *doc : m_docs->documents()) {
        if (doc->editor() != editor)
            continue;
        m_area->setActiveSubWindow(doc);
        editor->setCaret(qMax(0, line - 1), qMax(0, column - 1));
        editor->setFocus();
        return;
    }
}

QStringList Workbench::recentFiles() const
{
    QSettings state(stateFile(), QSettings::IniFormat);
    QStringList files = state.value(QLatin1String(kRecentKey)).toStringList().mid(0, kRecentFiles);
    for (QString &f : files)
        if (f.startsWith(QLatin1String("file:")))
            f = localPathOfUrl(QUrl(f));
    return files;
}

void Workbench::setRecentFiles(const QStringList &files)
{
    // The state file holds text: a path whose name is not UTF-8 is kept as
    // a file: URL, its bytes escaped (a plain path always starts with "/").
    QStringList kept = files.mid(0, kRecentFiles);
    for (QString &f : kept)
        if (f != shownPath(f))
            f = urlOfLocalPath(f).toString(QUrl::FullyEncoded);
    QSettings state(stateFile(), QSettings::IniFormat);
    state.setValue(QLatin1String(kRecentKey), kept);
}

void Workbench::noteFileUsed(const QString &path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    // Saving the same page again changes nothing: no write (and no lock on
    // the user's settings) for every save.
    if (files.value(0) == full)
        return;
    files.removeAll(full);
    files.prepend(full);
    setRecentFiles(files);
}

void Workbench::rebuildRecentMenu()
{
    m_recent->clear();
    const QStringList files = recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        // Access keys 1..9, then 0 for the tenth.
        const QString key = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QString shown = files.at(i);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *a = m_recent->addAction(key + QLatin1Char(' ') + shown);
        const QString path = files.at(i);
        connect(a, &QAction::triggered, this, guarded([this, path] { openRecent(path); }));
    }
    m_recent->addSeparator();
    QAction *clear = m_recent->addAction(QStringLiteral("&Clear List"));
    clear->setObjectName(QStringLiteral("ClearRecent"));
    clear->setEnabled(!files.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { setRecentFiles({}); });
}

void Workbench::rebuildSpellingMenu()
{
    m_spellingMenu->clear();
    Spelling *spelling = Spelling::instance();
    const QStringList names = spelling->installed();
    if (names.isEmpty()) {
        m_spellingMenu->addAction(QStringLiteral("No Dictionary Installed"))->setEnabled(false);
        return;
    }
    // A page's own lang attribute comes before the choice made here.
    auto *group = new QActionGroup(m_spellingMenu);
    auto add = [&](const QString &caption, const QString &name) {
        QAction *a = m_spellingMenu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(name == spelling->chosen());
        a->setData(name);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [name] {
            Spelling::instance()->setChosen(name);
            QSettings state(stateFile(), QSettings::IniFormat);
            state.setValue(QLatin1String(kSpellingLanguageKey), name);
        });
    };
    const QString system = spelling->resolve(Spelling::systemLanguage());
    add(QStringLiteral("&System Language (%1)")
            .arg(system.isEmpty() ? QStringLiteral("none installed") : system),
        QString());
    m_spellingMenu->addSeparator();
    for (const QString &name : names)
        add(QStringLiteral("%1 (%2)").arg(QLocale::languageToString(QLocale(name).language()),
                                         name),
            name);
}

void Workbench::openRecent(const QString &path)
{
    if (!fileStamp(path).regular) {
        QStringList files = recentFiles();
        files.removeAll(path);
        setRecentFiles(files);
        throw TagloomError(Errors::cannotOpen(path));
    }
    emit openRequested(path);
}

void Workbench::keepVisibility(const char *key, bool shown)
{
    QSettings state(stateFile(), QSettings::IniFormat);
    state.setValue(QLatin1String(key), shown);
}
