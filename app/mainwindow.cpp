#include "mainwindow.h"
#include "editorbox.h"
#include "errors.h"
#include "htmldoc.h"
#include "icons.h"
#include "introscreen.h"
#include "recovery.h"
#include "toolbar.h"
#include "uiseam.h"

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
int LastSlot = 0;

TZediDove::TZediDove(int startupMs, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("ZediDove"));
    setWindowTitle(QStringLiteral("Tagloom Html"));
    setGeometry(188, 103, 524, 429);

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

    buildMenus();
    m_recovery = new DocumentRecovery(this);

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

QAction *TZediDove::addCommand(QMenu *menu, const char *name, const QString &caption,
                               const QKeySequence &key, void (TToolBar::*command)())
{
    auto *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    connect(a, &QAction::triggered, this, guarded([command] {
                if (ToolBar)
                    (ToolBar->*command)();
            }));
    m_actions.insert(QLatin1String(name), a);
    return a;
}

void TZediDove::buildMenus()
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
    addItem(file, "Open", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O), &TZediDove::OpenClick);
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
    addCommand(fonts, "Bold1", QStringLiteral("&Bold          <STRONG>"), QKeySequence(Qt::CTRL | Qt::Key_B), &TToolBar::BoldClick);
    addCommand(fonts, "Italic1", QStringLiteral("&Italic          <EM>"), QKeySequence(Qt::CTRL | Qt::Key_I), &TToolBar::ItalicClick);
    addCommand(fonts, "Underline1", QStringLiteral("&Underline  <U>"), QKeySequence(Qt::CTRL | Qt::Key_U), &TToolBar::UnderlineClick);
    addCommand(fonts, "BlinkingBLINK1", QStringLiteral("B&linking     <BLINK>"), none, &TToolBar::BlnkClick);
    addCommand(fonts, "CenterCENTER1", QStringLiteral("&Center       <CENTER>"), QKeySequence(Qt::CTRL | Qt::Key_E), &TToolBar::CenterTxtClick);
    addCommand(fonts, "PreformattedTextPRE1", QStringLiteral("&Preformatted Text <PRE>"), none, &TToolBar::PreButClick);
    sep(fonts, "N3");
    addCommand(fonts, "Heading1", QStringLiteral("Heading &1 <H1>"), none, &TToolBar::H1Click);
    addCommand(fonts, "Heading21", QStringLiteral("Heading &2 <H2>"), none, &TToolBar::H2Click);
    addCommand(fonts, "Heading41", QStringLiteral("Heading &4 <H4>"), none, &TToolBar::H4Click);
    addCommand(fonts, "Heading31", QStringLiteral("Heading &3 <H3>"), none, &TToolBar::H3Click);
    addCommand(fonts, "Heading51", QStringLiteral("Heading &5 <H5>"), none, &TToolBar::H5Click);
    addCommand(fonts, "Heading61", QStringLiteral("Heading &6 <H6>"), none, &TToolBar::H6Click);

    QMenu *tools = menu("Tools1", QStringLiteral("&Tools"));
    addCommand(tools, "Document1", QStringLiteral("&Document Info"), none, &TToolBar::DocClick);
    addCommand(tools, "lnkadd", QStringLiteral("&Add a Link"), QKeySequence(Qt::CTRL | Qt::Key_L), &TToolBar::LinkClick);
    addCommand(tools, "ImageInsertion1", QStringLiteral("&Image Insertion"), QKeySequence(Qt::CTRL | Qt::Key_M), &TToolBar::ImageClick);
    addCommand(tools, "Lists1", QStringLiteral("&Lists"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), &TToolBar::ListsClick);
    addCommand(tools, "Table1", QStringLiteral("&Table"), QKeySequence(Qt::CTRL | Qt::Key_A), &TToolBar::TableButClick);
    addCommand(tools, "Target1", QStringLiteral("Tar&get"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T), &TToolBar::TargetClick);
    sep(tools, "N4");
    addCommand(tools, "Paragraph1", QStringLiteral("&Paragraph          <P>"), QKeySequence(Qt::CTRL | Qt::Key_P), &TToolBar::ParaClick);
    addCommand(tools, "HorizontalLineHR1", QStringLiteral("&Horizontal Rule <HR>"), QKeySequence(Qt::CTRL | Qt::Key_H), &TToolBar::HorizRuleClick);
    addCommand(tools, "LineBreak1", QStringLiteral("Line &Break         <BR>"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), &TToolBar::BreakButClick);

    m_windowMenu = menu("Window1", QStringLiteral("&Window"));
    addItem(m_windowMenu, "Tile1", QStringLiteral("&Tile"), none, &TZediDove::Tile1Click);
    addItem(m_windowMenu, "Cascade1", QStringLiteral("&Cascade"), none, &TZediDove::Cascade1Click);
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });

    QMenu *help = menu("Help1", QStringLiteral("&Help"));
    addItem(help, "Contents1", QStringLiteral("&Contents"), none, &TZediDove::Contents1Click);
    addItem(help, "AboutZEDIDove1", QStringLiteral("About ZEDI Dove"), none, &TZediDove::AboutZEDIDove1Click);

    // The menu's keys win over the editor's own (Ctrl+A is the table command).
    QList<QKeySequence> keys;
    for (QAction *a : std::as_const(m_actions))
        if (!a->shortcut().isEmpty())
            keys << a->shortcut();
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
        void (TZediDove::*own)();
        void (TToolBar::*command)();
    };
    const Btn kBtns[] = {
        {"SpeedButton5", 4, 25, nullptr, "new", 0, 0, 0, 0, "Create a new document", &TZediDove::New1Click, nullptr},
        {"OpenDock", 28, 25, nullptr, "open", 0, 0, 0, 0, "Open a document", &TZediDove::OpenClick, nullptr},
        {"SpeedButton3", 52, 25, nullptr, "save", 0, 0, 0, 0, "Save current document", &TZediDove::SaveClick, nullptr},
        {"BoldDock", 96, 25, "B", nullptr, 16, 1, 0, 0, "Bold", nullptr, &TToolBar::BoldClick},
        {"SpeedButton1", 120, 25, "I", nullptr, 16, 1, 1, 0, "Italics", nullptr, &TToolBar::ItalicClick},
        {"SpeedButton2", 144, 25, "U", nullptr, 13, 1, 0, 1, "Underline", nullptr, &TToolBar::UnderlineClick},
        {"SpeedButton4", 168, 41, "Blink", nullptr, 0, 0, 0, 0, "Blinking text", nullptr, &TToolBar::BlnkClick},
        {"CenterDock", 216, 25, nullptr, "center", 0, 0, 0, 0, "Center text", nullptr, &TToolBar::CenterTxtClick},
        {"ParaDock", 240, 25, nullptr, "para", 0, 0, 0, 0, "Paragraph", nullptr, &TToolBar::ParaClick},
        {"BreakDock", 264, 25, nullptr, "break", 0, 0, 0, 0, "Break", nullptr, &TToolBar::BreakButClick},
        {"PreDock", 288, 25, "Pre", nullptr, 0, 0, 0, 0, "Preformatted text", nullptr, &TToolBar::PreButClick},
        {"LnkDock", 320, 29, nullptr, "link", 0, 0, 0, 0, "Add a link", nullptr, &TToolBar::LinkClick},
        {"ImageDock", 348, 29, nullptr, "image", 0, 0, 0, 0, "Insert image", nullptr, &TToolBar::ImageClick},
        {"TableDock", 376, 29, nullptr, "table", 0, 0, 0, 0, "Create a table", nullptr, &TToolBar::TableButClick},
        {"DocDock", 412, 101, "Document Info.", nullptr, 0, 0, 0, 0,
         "Document information (text color, background, etc.)", nullptr, &TToolBar::DocClick},
    };
    for (const Btn &b : kBtns) {
        auto *btn = new QToolButton(m_bar);
        btn->setObjectName(QLatin1String(b.name));
        btn->setGeometry(b.left, 4, b.width, 25);
        btn->setAutoRaise(true);
        btn->setFocusPolicy(Qt::NoFocus);
        btn->setToolTip(QLatin1String(b.hint));
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
        if (b.own) {
            const auto h = b.own;
            connect(btn, &QToolButton::clicked, this, guarded([this, h] { (this->*h)(); }));
        } else {
            const auto c = b.command;
            connect(btn, &QToolButton::clicked, this, guarded([c] {
                        if (ToolBar)
                            (ToolBar->*c)();
                    }));
        }
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

THTMLDOC *TZediDove::currentDocument() const
{
    if (CurrentDoc < 1 || CurrentDoc > kMaxDocs || !SlotInUse[CurrentDoc])
        return nullptr;
    return Docs[CurrentDoc];
}

void TZediDove::documentActivated(QMdiSubWindow *w)
{
    if (auto *doc = qobject_cast<THTMLDOC *>(w))
        doc->FormActivate();
}

void TZediDove::New1Click()
{
    // Counting 1, 2, 3 ... for the first 100; after that the lowest free
    // slot. A slot in use is never taken: the search goes on past it.
    int start = LastSlot + 1 <= kMaxDocs ? LastSlot + 1 : 1;
    int slot = 0;
    for (int i = 0; i < kMaxDocs && !slot; ++i) {
        const int s = (start - 1 + i) % kMaxDocs + 1;
        if (!SlotInUse[s])
            slot = s;
    }
    if (!slot)
        throw TagloomError(QStringLiteral(
            "All 100 document windows are in use; close one to create another"));
    LastSlot = slot;
    SlotInUse[slot] = true;
    auto *doc = new THTMLDOC;
    Docs[slot] = doc;
    doc->setWindowTitle(QStringLiteral("HTML %1").arg(slot));
    doc->DocIndex = slot;
    doc->HasFileName = false;
    m_mdi->addSubWindow(doc);
    doc->showMaximized();
    m_mdi->setActiveSubWindow(doc);
    CurrentDoc = slot;
    doc->FormActivate();
}

THTMLDOC *TZediDove::openDocument(const QString &path)
{
    New1Click();
    THTMLDOC *doc = currentDocument();
    doc->setWindowTitle(path);
    // Taken before reading: a change made while reading makes a later save
    // ask rather than overwrite unasked.
    const FileStamp stamp = fileStamp(path);
    const StreamedText d = doc->editor()->loadFile(path);
    doc->StandIns = d.standIns;
    doc->editor()->setSelStart(0);
    doc->Encoding = d.encoding;
    doc->HasFileName = true;
    doc->rememberFile(path, stamp);
    return doc;
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
            paths << QDir::cleanPath(u.toLocalFile());
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

bool TZediDove::saveDocumentTo(THTMLDOC *doc, const QString &path)
{
    if (doc->changedOnDisk(path)
        && !ui().confirm(QStringLiteral("The file %1 has changed on disk since it was opened. "
                                        "Overwrite it?")
                             .arg(path)))
        return false;
    writeFileAtomically(path, [&](const ByteSink &sink) { doc->writeFileBytes(sink); });
    doc->editor()->setModified(false);
    doc->rememberFile(path, fileStamp(path));
    return true;
}

bool TZediDove::saveDocumentAs(THTMLDOC *doc)
{
    FileDialogRequest req{QStringLiteral("Save HTML Document"), QStringLiteral("HTML Document|*.htm"),
                          QString(), m_lastSave, true};
    const QString path = ui().saveFileName(req);
    if (path.isEmpty())
        return false;
    m_lastSave = path;
    if (!saveDocumentTo(doc, path))
        return false;
    doc->setWindowTitle(path);
    doc->HasFileName = true;
    return true;
}

void TZediDove::SaveClick()
{
    THTMLDOC *doc = currentDocument();
    if (!doc)
        return;
    if (doc->HasFileName)
        saveDocumentTo(doc, doc->windowTitle());
    else
        saveDocumentAs(doc);
}

void TZediDove::Save1Click()
{
    if (THTMLDOC *doc = currentDocument())
        saveDocumentAs(doc);
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
    if (ToolBar)
        ToolBar->hide();
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
    const QPoint pos = ToolBar ? ToolBar->pos() : QPoint(ToolbarLeft, ToolbarTop);
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
        if (ToolBar)
            ToolBar->hide();
    } else {
        a->setChecked(true);
        if (ToolBar)
            ToolBar->show();
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
    if (QApplication::activeModalWidget() || !IntroScreen || !ToolBar) {
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
            ToolBar->show();
        }
        FirstTimer = false;
    }
    LastSlot = 0;
    if (m_startupFiles.isEmpty())
        New1Click();
    else
        openFiles(std::exchange(m_startupFiles, {}));
    // From now on files dropped on the window open as documents.
    setAcceptDrops(true);
    // Copies left by a session that did not close are offered once the
    // first document exists.
    m_recovery->offerRecovery();
}
