#include "mainwindow.h"
#include "commands.h"
#include "diskfile.h"
#include "diskwatch.h"
#include "editorbox.h"
#include "keyboardreturn.h"
#include "errors.h"
#include "htmldoc.h"
#include "icons.h"
#include "introscreen.h"
#include "nativepath.h"
#include "recovery.h"
#include "textreader.h"
#include "uiseam.h"
#include "workbench.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

TZediDove *ZediDove = nullptr;

TZediDove::TZediDove(int startupMs, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("ZediDove"));
    setWindowTitle(QStringLiteral("Tagloom Html"));
    setGeometry(188, 103, 524, 429);
    keepOnScreen(this);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildDockedBar();
    layout->addWidget(m_bar);
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("DocumentArea"));
    layout->addWidget(m_mdi, 1);
    setCentralWidget(central);
    connect(m_mdi, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow *w) { documentActivated(w); });
    m_docs = new DocumentTable(m_mdi, this);
    connect(m_docs, &DocumentTable::currentChanged, this,
            [this](THTMLDOC *doc) { applyColours(doc); });
    setCurrentDocumentSource(this);

    buildMenus(central);
    m_recovery = new DocumentRecovery(m_docs, this);
    watchDisk(this, m_docs);

    m_timer.setInterval(startupMs);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, guarded([this] { Timer1Timer(); }));
    m_timer.start();

    FormCreate();
}

TZediDove::~TZediDove()
{
    // Closing the child windows below activates the remaining documents one
    // by one; by then this object is only a QWidget, so nothing may call back.
    disconnect(m_mdi, nullptr, this, nullptr);
    disconnect(m_docs, nullptr, this, nullptr);
    if (currentDocumentSource() == this)
        setCurrentDocumentSource(nullptr);
}

void TZediDove::FormCreate()
{
    // Set before reading, so a settings failure cannot stop the start-up.
    FirstTimer = true;
    runGuarded([this] { readSettings(); });
}

namespace {
QString g_installedSettings; // set by tests; empty: next to the program
}

QString TZediDove::installedSettingsPath()
{
    if (!g_installedSettings.isEmpty())
        return g_installedSettings;
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../share/tagloom-html/") + kSettingsFileName);
}

void TZediDove::setInstalledSettingsPath(const QString &path) { g_installedSettings = path; }

QString TZediDove::settingsFileToRead()
{
    // An installed copy started where there is no settings file (from the
    // desktop menu, in the home folder) reads the default installed with it;
    // Save Settings still writes the file in the working directory.
    if (!QFileInfo::exists(kSettingsFileName) && QFileInfo::exists(installedSettingsPath()))
        return installedSettingsPath();
    return kSettingsFileName;
}

void TZediDove::readSettings()
{
    Preferences prefs;
    // Whatever was read before a failure still applies.
    struct Apply {
        TZediDove *w;
        Preferences &p;
        ~Apply()
        {
            w->ToolbarTop = p.toolbarTop;
            w->ToolbarLeft = p.toolbarLeft;
            w->EditorTextColor = p.textColor;
            // Black on black is unreadable: without a background colour the
            // editors are white.
            w->EditorBackColor = p.backColorSet ? p.backColor : 0xFFFFFF;
        }
    } apply{this, prefs};
    const DecodedText file =
        readTextFile(settingsFileToRead(), kMaxSettingsBytes, settingsTooLarge());
    m_settingsEncoding = file.encoding;
    m_settings = settingsLines(file.text);
    parseSettings(m_settings, prefs);
}

QAction *TZediDove::addItem(QMenu *menu, const char *name, const QString &caption,
                            const QKeySequence &key, void (TZediDove::*handler)())
{
    auto *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    if (handler)
        connect(a, &QAction::triggered, this, guarded([this, handler] { (this->*handler)(); }));
    m_actions.insert(QLatin1String(name), a);
    return a;
}

QAction *TZediDove::addCommand(QMenu *menu, const char *name)
{
    const Command *c = findCommand(QLatin1String(name));
    if (!c)
        return nullptr; // a window made without the tag commands (never by the program)
    auto *a = menu->addAction(QString::fromUtf8(c->caption));
    a->setObjectName(QLatin1String(name));
    a->setShortcut(c->key);
    const QString command = QLatin1String(name);
    connect(a, &QAction::triggered, this, guarded([command] { runCommand(command); }));
    m_actions.insert(QLatin1String(name), a);
    return a;
}

void TZediDove::buildMenus(QWidget *areaHolder)
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("HTMLMenu"));
    auto menu = [&](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    auto sep = [&](QMenu *m, const char *name) { m->addSeparator()->setObjectName(QLatin1String(name)); };
    const QKeySequence none;

    QMenu *file = menu("File1", QStringLiteral("&File"));
    addItem(file, "New1", QStringLiteral("&New"), none, &TZediDove::New1Click);
    sep(file, "N1");
    QAction *open = addItem(file, "Open", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O), &TZediDove::OpenClick);
    addItem(file, "Save", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), &TZediDove::SaveClick);
    addItem(file, "Save1", QStringLiteral("S&ave As..."), none, &TZediDove::Save1Click);
    addItem(file, "Close1", QStringLiteral("&Close"), none, &TZediDove::Close1Click);
    sep(file, "N5");
    QMenu *prefs = file->addMenu(QStringLiteral("&Preferences"));
    prefs->setObjectName(QStringLiteral("Preferences1"));
    prefs->menuAction()->setObjectName(QStringLiteral("Preferences1"));
    QMenu *text = prefs->addMenu(QStringLiteral("Text Color"));
    text->setObjectName(QStringLiteral("TextColor1"));
    QMenu *back = prefs->addMenu(QStringLiteral("Background Color"));
    back->setObjectName(QStringLiteral("BackGroundColor1"));
    static const struct { const char *caption; ColourValue value; } kItems[] = {
        {"Red", 0x0000FF},   {"Blue", 0xFF0000},  {"Yellow", 0x00FFFF},
        {"Green", 0x008000}, {"Black", 0x000000}, {"White", 0xFFFFFF},
    };
    for (const auto &item : kItems) {
        const ColourValue v = item.value;
        const QString caption = QLatin1String(item.caption);
        QAction *t = text->addAction(caption);
        t->setObjectName(caption + QLatin1Char('1'));
        connect(t, &QAction::triggered, this, guarded([this, v] { setTextColour(v); }));
        m_actions.insert(t->objectName(), t);
        QAction *b = back->addAction(caption);
        b->setObjectName(caption + QLatin1Char('2'));
        connect(b, &QAction::triggered, this, guarded([this, v] { setBackColour(v); }));
        m_actions.insert(b->objectName(), b);
    }
    addItem(prefs, "SaveSet", QStringLiteral("Save Settings"), none, &TZediDove::SaveSetClick);
    sep(file, "N2");
    addItem(file, "Exit1", QStringLiteral("E&xit"), none, &TZediDove::Exit1Click);

    QMenu *edit = menu("Edit1", QStringLiteral("&Edit"));
    addItem(edit, "Cut", QStringLiteral("C&ut "), QKeySequence(Qt::CTRL | Qt::Key_X), &TZediDove::CutClick);
    addItem(edit, "CopyMenu", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), &TZediDove::CopyMenuClick);
    addItem(edit, "Paste", QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), &TZediDove::PasteClick);

    QMenu *view = menu("View1", QStringLiteral("&View"));
    // The check marks are driven by the handlers, not by Qt's own toggling.
    for (auto [name, caption, key, handler] :
         {std::tuple{"HTMLToolsBut", "HTML &Tools", Qt::Key_T, &TZediDove::HTMLToolsButClick},
          std::tuple{"DockedBar1", "&Docked Bar", Qt::Key_D, &TZediDove::DockedBar1Click}}) {
        QAction *a = addItem(view, name, QLatin1String(caption), QKeySequence(Qt::CTRL | key), nullptr);
        a->setCheckable(true);
        a->setChecked(true);
        const auto h = handler;
        connect(a, &QAction::triggered, this, guarded([this, a, h] {
                    a->setChecked(!a->isChecked());
                    (this->*h)();
                }));
    }

    // Shows the active page's long lines wrapped at the window's width, or not.
    sep(view, "N6");
    QAction *wrap = addItem(view, "WordWrap", QStringLiteral("&Word Wrap"), none, nullptr);
    wrap->setCheckable(true);
    connect(view, &QMenu::aboutToShow, this, [wrap] {
        wrap->setEnabled(ActiveEditor());
        wrap->setChecked(ActiveEditor() && ActiveEditor()->wordWrap());
    });
    connect(wrap, &QAction::triggered, this, [](bool on) {
        if (ActiveEditor())
            ActiveEditor()->setWordWrap(on);
    });

    QMenu *fonts = menu("Fonts1", QStringLiteral("&Appearance"));
    addCommand(fonts, "Bold1");
    addCommand(fonts, "Italic1");
    addCommand(fonts, "Underline1");
    addCommand(fonts, "BlinkingBLINK1");
    addCommand(fonts, "CenterCENTER1");
    addCommand(fonts, "PreformattedTextPRE1");
    sep(fonts, "N3");
    addCommand(fonts, "Heading1");
    addCommand(fonts, "Heading21");
    addCommand(fonts, "Heading41");
    addCommand(fonts, "Heading31");
    addCommand(fonts, "Heading51");
    addCommand(fonts, "Heading61");

    QMenu *tools = menu("Tools1", QStringLiteral("&Tools"));
    addCommand(tools, "Document1");
    addCommand(tools, "lnkadd");
    addCommand(tools, "ImageInsertion1");
    addCommand(tools, "Lists1");
    addCommand(tools, "Table1");
    addCommand(tools, "Target1");
    sep(tools, "N4");
    addCommand(tools, "Paragraph1");
    addCommand(tools, "HorizontalLineHR1");
    addCommand(tools, "LineBreak1");

    m_windowMenu = menu("Window1", QStringLiteral("&Window"));
    addItem(m_windowMenu, "Tile1", QStringLiteral("&Tile"), none, &TZediDove::Tile1Click);
    addItem(m_windowMenu, "Cascade1", QStringLiteral("&Cascade"), none, &TZediDove::Cascade1Click);
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });

    QMenu *help = menu("Help1", QStringLiteral("&Help"));
    addItem(help, "Contents1", QStringLiteral("&Contents"), none, &TZediDove::Contents1Click);
    addItem(help, "AboutZEDIDove1", QStringLiteral("About ZEDI Dove"), none, &TZediDove::AboutZEDIDove1Click);

    m_workbench = new Workbench(this, areaHolder, m_mdi, m_docs, this,
                                {file, open, edit, view, tools});
    connect(m_workbench, &Workbench::openRequested, this,
            [this](const QString &path) { runGuarded([&] { openDocument(path); }); });

    // The menu's keys win over the editor's own (Ctrl+A is the table command).
    QList<QKeySequence> keys;
    for (QAction *a : findChildren<QAction *>())
        keys << a->shortcuts();
    EditorBox::setReservedShortcuts(keys);
}

void TZediDove::buildDockedBar()
{
    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("DockedBar"));
    m_bar->setFixedHeight(33);
    struct Btn {
        const char *name;
        int left, width;
        const char *caption; // null: a picture
        const char *icon;
        int px;
        bool bold, italic, underline;
        const char *hint;
        const char *action; // the menu item the button stands for
    };
    const Btn kBtns[] = {
        {"SpeedButton5", 4, 25, nullptr, "new", 0, 0, 0, 0, "Create a new document", "New1"},
        {"OpenDock", 28, 25, nullptr, "open", 0, 0, 0, 0, "Open a document", "Open"},
        {"SpeedButton3", 52, 25, nullptr, "save", 0, 0, 0, 0, "Save current document", "Save"},
        {"BoldDock", 96, 25, "B", nullptr, 16, 1, 0, 0, "Bold", "Bold1"},
        {"SpeedButton1", 120, 25, "I", nullptr, 16, 1, 1, 0, "Italics", "Italic1"},
        {"SpeedButton2", 144, 25, "U", nullptr, 13, 1, 0, 1, "Underline", "Underline1"},
        {"SpeedButton4", 168, 41, "Blink", nullptr, 0, 0, 0, 0, "Blinking text", "BlinkingBLINK1"},
        {"CenterDock", 216, 25, nullptr, "center", 0, 0, 0, 0, "Center text", "CenterCENTER1"},
        {"ParaDock", 240, 25, nullptr, "para", 0, 0, 0, 0, "Paragraph", "Paragraph1"},
        {"BreakDock", 264, 25, nullptr, "break", 0, 0, 0, 0, "Break", "LineBreak1"},
        {"PreDock", 288, 25, "Pre", nullptr, 0, 0, 0, 0, "Preformatted text",
         "PreformattedTextPRE1"},
        {"LnkDock", 320, 29, nullptr, "link", 0, 0, 0, 0, "Add a link", "lnkadd"},
        {"ImageDock", 348, 29, nullptr, "image", 0, 0, 0, 0, "Insert image", "ImageInsertion1"},
        {"TableDock", 376, 29, nullptr, "table", 0, 0, 0, 0, "Create a table", "Table1"},
        {"DocDock", 412, 101, "Document Info.", nullptr, 0, 0, 0, 0,
         "Document information (text color, background, etc.)", "Document1"},
    };
    for (const Btn &b : kBtns) {
        auto *btn = new QToolButton(m_bar);
        btn->setObjectName(QLatin1String(b.name));
        btn->setGeometry(b.left, 4, b.width, 25);
        btn->setAutoRaise(true);
        btn->setFocusPolicy(Qt::NoFocus);
        btn->setToolTip(QLatin1String(b.hint));
        btn->setAccessibleName(QLatin1String(b.hint));
        if (b.caption) {
            btn->setText(QLatin1String(b.caption));
            if (b.px) {
                QFont f(QStringLiteral("Times New Roman"));
                f.setPixelSize(b.px);
                f.setBold(b.bold);
                f.setItalic(b.italic);
                f.setUnderline(b.underline);
                btn->setFont(f);
            }
        } else {
            btn->setIcon(buttonIcon(QLatin1String(b.icon)));
            btn->setIconSize(QSize(18, 18));
        }
        const QString action = QLatin1String(b.action);
        connect(btn, &QToolButton::clicked, this, [this, action] {
            if (QAction *a = m_actions.value(action))
                a->trigger();
        });
    }
}

void TZediDove::rebuildWindowMenu()
{
    for (QAction *a : std::as_const(m_windowActions))
        m_windowMenu->removeAction(a);
    qDeleteAll(m_windowActions);
    m_windowActions.clear();
    const QList<QMdiSubWindow *> windows = m_mdi->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowActions << m_windowMenu->addSeparator();
    int n = 0;
    for (QMdiSubWindow *w : windows) {
        ++n;
        // A "&" in a path is text, not an access key.
        QString title = w->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString caption = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                       : QStringLiteral("%1 %2").arg(n).arg(title);
        QAction *a = m_windowMenu->addAction(caption);
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        QPointer<QMdiSubWindow> target(w);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target)
                m_mdi->setActiveSubWindow(target);
        });
        m_windowActions << a;
    }
}

THTMLDOC *TZediDove::currentDocument() const { return m_docs->current(); }

EditorBox *TZediDove::activeEditor() const
{
    THTMLDOC *doc = currentDocument();
    return doc ? doc->editor() : nullptr;
}

QMetaObject::Connection TZediDove::onCurrentChanged(QObject *context,
                                                    std::function<void(THTMLDOC *)> changed) const
{
    return connect(m_docs, &DocumentTable::currentChanged, context, std::move(changed));
}

void TZediDove::applyColours(THTMLDOC *doc)
{
    if (!doc)
        return;
    QPalette pal = doc->editor()->palette();
    pal.setColor(QPalette::Base, colourToQColor(EditorBackColor));
    pal.setColor(QPalette::Text, colourToQColor(EditorTextColor));
    doc->editor()->setPalette(pal);
}

void TZediDove::documentActivated(QMdiSubWindow *w)
{
    if (auto *doc = qobject_cast<THTMLDOC *>(w))
        doc->FormActivate();
}

void TZediDove::New1Click() { m_docs->create(); }

THTMLDOC *TZediDove::openDocument(const QString &path)
{
    return openInNewDocument(m_docs, path);
}

void TZediDove::openFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        runGuarded([&] { openDocument(path); });
}

void TZediDove::dragEnterEvent(QDragEnterEvent *e)
{
    if (EditorBox::carriesFiles(e->mimeData()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TZediDove::dragMoveEvent(QDragMoveEvent *e)
{
    if (EditorBox::carriesFiles(e->mimeData()))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TZediDove::dropEvent(QDropEvent *e)
{
    if (!EditorBox::carriesFiles(e->mimeData())) {
        e->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl &u : e->mimeData()->urls())
        if (u.isLocalFile())
            paths << QDir::cleanPath(localPathOfUrl(u)); // every byte of the name kept
    e->acceptProposedAction();
    // Opened from the event loop, once the drag has finished: an error box
    // must not hold up the program the files came from.
    QTimer::singleShot(0, this, [this, paths] { openFiles(paths); });
}

void TZediDove::OpenClick()
{
    FileDialogRequest req{QStringLiteral("Open HTML Document"),
                          QStringLiteral("HTML Files|*.htm|Text Files|*.txt"), QStringLiteral("htm"),
                          m_lastOpen, false};
    const QString path = ui().openFileName(req);
    if (path.isEmpty())
        return;
    m_lastOpen = path;
    openDocument(path);
}

void TZediDove::SaveClick()
{
    if (THTMLDOC *doc = currentDocument())
        doc->save();
}

void TZediDove::Save1Click()
{
    if (THTMLDOC *doc = currentDocument())
        doc->saveAs();
}

void TZediDove::Close1Click()
{
    QMdiSubWindow *w = m_mdi->activeSubWindow();
    if (!w)
        w = m_mdi->currentSubWindow();
    if (w)
        w->close();
}

void TZediDove::Exit1Click()
{
    if (ui().confirm(QStringLiteral("Exit Now?")))
        close();
}

void TZediDove::closeEvent(QCloseEvent *e)
{
    // Every document is asked once; one that the user keeps open (a
    // cancelled or failed save) stops the closing.
    for (QMdiSubWindow *w : m_mdi->subWindowList()) {
        m_mdi->setActiveSubWindow(w);
        if (!w->close()) {
            e->ignore();
            return;
        }
        delete w;
    }
    if (m_palette)
        m_palette->hide();
    m_recovery->endSession();
    e->accept();
}

void TZediDove::setTextColour(ColourValue v)
{
    EditorTextColor = v;
    if (THTMLDOC *doc = currentDocument()) {
        QPalette pal = doc->editor()->palette();
        pal.setColor(QPalette::Text, colourToQColor(v));
        doc->editor()->setPalette(pal);
    }
}

void TZediDove::setBackColour(ColourValue v)
{
    EditorBackColor = v;
    if (THTMLDOC *doc = currentDocument()) {
        QPalette pal = doc->editor()->palette();
        pal.setColor(QPalette::Base, colourToQColor(v));
        doc->editor()->setPalette(pal);
    }
}

void TZediDove::SaveSetClick()
{
    // The colours saved are the preferences, which the colour items and each
    // activation keep equal to the current editor's.
    const QPoint pos = m_palette ? m_palette->pos() : QPoint(ToolbarLeft, ToolbarTop);
    rewriteSettings(m_settings, EditorTextColor, EditorBackColor, pos.y(), pos.x());
    writeFileAtomically(kSettingsFileName, settingsFileBytes(m_settings, m_settingsEncoding));
}

void TZediDove::CutClick()
{
    if (EditorBox *ed = ActiveEditor())
        ed->cut();
}

void TZediDove::CopyMenuClick()
{
    if (EditorBox *ed = ActiveEditor())
        ed->copy();
}

void TZediDove::PasteClick()
{
    if (EditorBox *ed = ActiveEditor())
        ed->paste();
}

void TZediDove::HTMLToolsButClick()
{
    QAction *a = action(QStringLiteral("HTMLToolsBut"));
    if (a->isChecked()) {
        a->setChecked(false);
        if (m_palette)
            m_palette->hide();
    } else {
        a->setChecked(true);
        if (m_palette)
            m_palette->show();
        show();
        bringToFront();
    }
}

void TZediDove::DockedBar1Click()
{
    QAction *a = action(QStringLiteral("DockedBar1"));
    const bool visible = !a->isChecked();
    m_bar->setVisible(visible);
    a->setChecked(visible);
}

void TZediDove::Tile1Click() { m_mdi->tileSubWindows(); }
void TZediDove::Cascade1Click() { m_mdi->cascadeSubWindows(); }

QString TZediDove::helpFilePath()
{
    static const QString path = [] {
        const QString dir = QCoreApplication::applicationDirPath();
        const QStringList candidates = {
            dir + QStringLiteral("/help/tagloom-help.html"),
            dir + QStringLiteral("/../help/tagloom-help.html"),
            dir + QStringLiteral("/../share/tagloom-html/help/tagloom-help.html"),
        };
        for (const QString &c : candidates)
            if (QFileInfo::exists(c))
                return QFileInfo(c).absoluteFilePath();
        return QFileInfo(candidates.first()).absoluteFilePath();
    }();
    return path;
}

void TZediDove::Contents1Click() { ui().showHelp(helpFilePath()); }

void TZediDove::AboutZEDIDove1Click()
{
    KeyboardReturn back;
    if (AboutHTML)
        AboutHTML->exec();
}

void TZediDove::bringToFront()
{
    show();
    raise();
    activateWindow();
}

void TZediDove::Timer1Timer()
{
    m_timer.stop();
    // A box still open from creation (a settings file that cannot be read)
    // runs its own event loop: start up once it is answered and every
    // window exists, not from inside it.
    if (QApplication::activeModalWidget() || !IntroScreen || !m_palette) {
        m_timer.start(100);
        return;
    }
    if (FirstTimer) {
        hide();
        if (IntroScreen->timer()->isActive()) {
            IntroScreen->exec();
        } else {
            // The splash's time is already over: show what it would have.
            show();
            m_palette->show();
        }
        FirstTimer = false;
    }
    m_docs->restartNumbering();
    if (!m_startupFiles.isEmpty())
        openFiles(std::exchange(m_startupFiles, {}));
    // No file named could be opened (each said why): the usual first page.
    if (!currentDocument())
        New1Click();
    // From now on files dropped on the window open as documents.
    setAcceptDrops(true);
    // Copies left by a session that did not close are offered once the
    // first document exists.
    m_recovery->offerRecovery();
}
