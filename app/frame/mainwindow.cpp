#include "mainwindow.h"
#include "actions.h"
#include "diskfile.h"
#include "diskwatch.h"
#include "editorbox.h"
#include "keyboardreturn.h"
#include "errors.h"
#include "helpfile.h"
#include "htmldoc.h"
#include "icons.h"
#include "introscreen.h"
#include "nativepath.h"
#include "recovery.h"
#include "startsequence.h"
#include "textreader.h"
#include "uiseam.h"
#include "workbench.h"

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

#include <algorithm>

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
    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("DockedBar"));
    m_bar->setFixedHeight(33);
    layout->addWidget(m_bar);
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("DocumentArea"));
    layout->addWidget(m_mdi, 1);
    setCentralWidget(central);
    m_docs = new DocumentTable(m_mdi, this);
    connect(m_docs, &DocumentTable::currentChanged, this,
            [this](THTMLDOC *doc) { applyColours(doc); });
    setCurrentDocumentSource(this);

    buildMenus(central);
    buildDockedBar();
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
    disconnect(m_mdi, nullptr, m_docs, nullptr);
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
    m_settings.read(prefs);
}

void TZediDove::buildMenus(QWidget *areaHolder)
{
    using namespace ActionId;
    QMenuBar *bar = menuBar();
    bar->setObjectName(QLatin1String(MenuBar));
    m_actions = new ActionRegistry(bar, this);
    auto item = [this](const char *menu, const char *id, const char *caption,
                       void (TZediDove::*handler)()) {
        return itemRow(menu, id, QLatin1String(caption), [this, handler] { (this->*handler)(); });
    };
    auto ctrl = [](int key) { return QKeySequence(Qt::CTRL | key); };

    QList<ActionRow> rows = {
        menuRow(MenuBar, FileMenu, QStringLiteral("&File")),
        item(FileMenu, "New1", "&New", &TZediDove::New1Click)
            .onBar({"SpeedButton5", 4, 25, nullptr, "new", 0, false, false, false,
                    "Create a new document"}),
        separatorRow(FileMenu, "N1"),
        item(FileMenu, "Open", "&Open", &TZediDove::OpenClick)
            .key(ctrl(Qt::Key_O))
            .onBar({"OpenDock", 28, 25, nullptr, "open", 0, false, false, false,
                    "Open a document"}),
        // Filled by the workbench from the files used last.
        menuRow(FileMenu, OpenRecent, QStringLiteral("Open &Recent")).namingItem(),
        item(FileMenu, "Save", "&Save", &TZediDove::SaveClick)
            .key(ctrl(Qt::Key_S))
            .onBar({"SpeedButton3", 52, 25, nullptr, "save", 0, false, false, false,
                    "Save current document"}),
        item(FileMenu, "Save1", "S&ave As...", &TZediDove::Save1Click),
        item(FileMenu, "Close1", "&Close", &TZediDove::Close1Click),
        separatorRow(FileMenu, "N5"),
        menuRow(FileMenu, "Preferences1", QStringLiteral("&Preferences")).namingItem(),
        menuRow("Preferences1", "TextColor1", QStringLiteral("Text Color")),
        menuRow("Preferences1", "BackGroundColor1", QStringLiteral("Background Color")),
    };
    static const struct { const char *caption; ColourValue value; } kColours[] = {
        {"Red", 0x0000FF},   {"Blue", 0xFF0000},  {"Yellow", 0x00FFFF},
        {"Green", 0x008000}, {"Black", 0x000000}, {"White", 0xFFFFFF},
    };
    for (const auto &c : kColours) {
        const ColourValue v = c.value;
        const QString caption = QLatin1String(c.caption);
        ActionRow text = itemRow("TextColor1", "", caption, [this, v] { setTextColour(v); });
        text.id = caption + QLatin1Char('1');
        ActionRow back = itemRow("BackGroundColor1", "", caption, [this, v] { setBackColour(v); });
        back.id = caption + QLatin1Char('2');
        rows << text << back;
    }
    rows += {
        item("Preferences1", "SaveSet", "Save Settings", &TZediDove::SaveSetClick),
        separatorRow(FileMenu, "N2"),
        item(FileMenu, "Exit1", "E&xit", &TZediDove::Exit1Click),

        menuRow(MenuBar, EditMenu, QStringLiteral("&Edit")),
        item(EditMenu, "Cut", "C&ut ", &TZediDove::CutClick).key(ctrl(Qt::Key_X)),
        item(EditMenu, "CopyMenu", "&Copy", &TZediDove::CopyMenuClick).key(ctrl(Qt::Key_C)),
        item(EditMenu, "Paste", "&Paste", &TZediDove::PasteClick).key(ctrl(Qt::Key_V)),

        menuRow(MenuBar, ViewMenu, QStringLiteral("&View")),
        // The check marks are driven by the handlers, not by Qt's own toggling.
        item(ViewMenu, HtmlTools, "HTML &Tools", &TZediDove::HTMLToolsButClick)
            .key(ctrl(Qt::Key_T))
            .checkable(ActionRow::MarkedByHandler, true),
        item(ViewMenu, DockedBar, "&Docked Bar", &TZediDove::DockedBar1Click)
            .key(ctrl(Qt::Key_D))
            .checkable(ActionRow::MarkedByHandler, true),
        separatorRow(ViewMenu, "N6"),
        // Shows the active page's long lines wrapped at the window's width, or not.
        itemRow(ViewMenu, WordWrap, QStringLiteral("&Word Wrap"))
            .checkable(ActionRow::Toggles, false),

        menuRow(MenuBar, AppearanceMenu, QStringLiteral("&Appearance")),
        menuRow(MenuBar, ToolsMenu, QStringLiteral("&Tools")),
        menuRow(MenuBar, WindowMenu, QStringLiteral("&Window")),
        item(WindowMenu, "Tile1", "&Tile", &TZediDove::Tile1Click),
        item(WindowMenu, "Cascade1", "&Cascade", &TZediDove::Cascade1Click),
        menuRow(MenuBar, HelpMenu, QStringLiteral("&Help")),
        item(HelpMenu, "Contents1", "&Contents", &TZediDove::Contents1Click),
        item(HelpMenu, "AboutZEDIDove1", "About ZEDI Dove", &TZediDove::AboutZEDIDove1Click),
    };
    m_actions->add(rows);
    // The tag commands fill the Appearance and Tools menus.
    m_actions->add(commandRows());

    QMenu *view = m_actions->menu(ViewMenu);
    QAction *wrap = m_actions->action(WordWrap);
    connect(view, &QMenu::aboutToShow, this, [wrap] {
        wrap->setEnabled(ActiveEditor());
        wrap->setChecked(ActiveEditor() && ActiveEditor()->wordWrap());
    });
    connect(wrap, &QAction::triggered, this, [](bool on) {
        if (ActiveEditor())
            ActiveEditor()->setWordWrap(on);
    });
    m_windowMenu = m_actions->menu(WindowMenu);
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] { rebuildWindowMenu(); });

    m_workbench = new Workbench(this, areaHolder, m_mdi, m_docs, this, m_actions);
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
    QList<ActionRow> rows;
    for (const ActionRow &r : m_actions->rows())
        if (r.bar.name)
            rows << r;
    // Made from left to right.
    std::stable_sort(rows.begin(), rows.end(), [](const ActionRow &x, const ActionRow &y) {
        return x.bar.left < y.bar.left;
    });
    for (const ActionRow &r : std::as_const(rows)) {
        const BarButton &b = r.bar;
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
        QPointer<QAction> item = m_actions->action(r.id);
        connect(btn, &QToolButton::clicked, this, [item] {
            if (item)
                item->trigger();
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

// The current editor keeps the preferences' colours (each activation
// applies them), so a colour item changes both together.
void TZediDove::setTextColour(ColourValue v)
{
    EditorTextColor = v;
    applyColours(currentDocument());
}

void TZediDove::setBackColour(ColourValue v)
{
    EditorBackColor = v;
    applyColours(currentDocument());
}

void TZediDove::SaveSetClick()
{
    // The colours saved are the preferences, which the colour items and each
    // activation keep equal to the current editor's.
    const QPoint pos = m_palette ? m_palette->pos() : QPoint(ToolbarLeft, ToolbarTop);
    m_settings.save(EditorTextColor, EditorBackColor, pos.y(), pos.x());
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
    QAction *a = action(QLatin1String(ActionId::HtmlTools));
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
    QAction *a = action(QLatin1String(ActionId::DockedBar));
    const bool visible = !a->isChecked();
    m_bar->setVisible(visible);
    a->setChecked(visible);
}

void TZediDove::Tile1Click() { m_mdi->tileSubWindows(); }
void TZediDove::Cascade1Click() { m_mdi->cascadeSubWindows(); }

void TZediDove::Contents1Click() { ui().showHelp(helpFilePath()); }

void TZediDove::AboutZEDIDove1Click()
{
    KeyboardReturn back;
    if (AboutHTML)
        AboutHTML->exec();
}

void TZediDove::showAfterSplash()
{
    show();
    if (m_palette)
        m_palette->show();
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
    StartSequence s;
    s.frame = this;
    s.palette = m_palette;
    s.splashDue = &FirstTimer;
    s.documents = m_docs;
    s.recovery = m_recovery;
    s.files = &m_startupFiles;
    s.showAfterSplash = [this] { showAfterSplash(); };
    s.openFiles = [this](const QStringList &paths) { openFiles(paths); };
    if (!runStartSequence(s))
        m_timer.start(100);
}
