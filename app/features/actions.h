#pragma once
// Every action of the program is declared once, as a row: its name (the
// object name of its QAction), caption, keys, what it does, and where it
// appears (its menu, a button of the button bar, a button of the tool
// palette). The menus, the bar and the palette are made from these rows,
// so a name written wrong fails at start-up instead of dropping an item.
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;

// The names of the frame's and the workbench's actions that are reached
// from elsewhere; the tag commands' are in tagcommands.h.
namespace ActionId {
inline constexpr char MenuBar[] = "HTMLMenu";
inline constexpr char FileMenu[] = "File1";
inline constexpr char EditMenu[] = "Edit1";
inline constexpr char ViewMenu[] = "View1";
inline constexpr char AppearanceMenu[] = "Fonts1";
inline constexpr char ToolsMenu[] = "Tools1";
inline constexpr char WindowMenu[] = "Window1";
inline constexpr char HelpMenu[] = "Help1";
inline constexpr char OpenRecent[] = "OpenRecent";
inline constexpr char HtmlTools[] = "HTMLToolsBut";
inline constexpr char DockedBar[] = "DockedBar1";
inline constexpr char WordWrap[] = "WordWrap";
inline constexpr char StatusBar[] = "ViewStatusBar";
inline constexpr char Undo[] = "EditUndo";
inline constexpr char Redo[] = "EditRedo";
} // namespace ActionId

// A button of the main window's button bar.
struct BarButton {
    const char *name = nullptr; // its object name; none: no button
    int left = 0, width = 0;
    const char *caption = nullptr; // none: a picture
    const char *icon = nullptr;
    int px = 0; // the caption's font size; 0: the bar's own font
    bool bold = false, italic = false, underline = false;
    const char *hint = nullptr;
};

// A button of the floating tool palette, in a grid of 28 by 24 pixels.
struct PaletteButton {
    const char *name = nullptr; // its object name; none: no button
    int row = 0, col = 0;
    const char *caption = nullptr; // none: a picture
    const char *icon = nullptr;
    const char *hint = nullptr;
};

struct ActionRow {
    enum Kind { Item, Separator, Menu };
    // Toggles: Qt flips the mark. MarkedByHandler: the handler sets it.
    enum Check { NotCheckable, Toggles, MarkedByHandler };

    Kind kind = Item;
    QString id;   // object name of the QAction (and of the QMenu of a menu)
    QString menu; // id of the menu holding it, ActionId::MenuBar for the bar
    QString caption;
    QList<QKeySequence> keys;
    // Run guarded when triggered; empty: the owner connects the action.
    std::function<void()> run;
    Check check = NotCheckable;
    bool checked = false;       // at start
    bool needsDocument = false; // enabled only while a document is open
    QAction *existing = nullptr; // an action made elsewhere (a pane's toggle)
    bool namedItem = false;      // a menu whose item carries its id too
    BarButton bar;
    PaletteButton palette;

    ActionRow &key(const QKeySequence &k)
    {
        keys.clear();
        if (!k.isEmpty())
            keys << k;
        return *this;
    }
    ActionRow &withKeys(const QList<QKeySequence> &k) { keys = k; return *this; }
    ActionRow &checkable(Check how, bool on) { check = how; checked = on; return *this; }
    ActionRow &needingDocument() { needsDocument = true; return *this; }
    ActionRow &onBar(const BarButton &b) { bar = b; return *this; }
    ActionRow &onPalette(const PaletteButton &p) { palette = p; return *this; }
    ActionRow &namingItem() { namedItem = true; return *this; }
};

ActionRow itemRow(const char *menu, const char *id, const QString &caption,
                  std::function<void()> run = {});
ActionRow menuRow(const char *menu, const char *id, const QString &caption);
// id empty: a separator without a name.
ActionRow separatorRow(const char *menu, const char *id = "");

// The tag commands: rows that need no window, added before it is made and
// placed by it among its own rows. Their handlers get the current editor.
void addCommands(const QList<ActionRow> &rows);
const QList<ActionRow> &commandRows();
// Runs the named command's handler (throws what it throws; menu items and
// buttons run it guarded). An unknown name is a fault.
void runCommand(const QString &id);

// The actions of one main window, made from their rows.
class ActionRegistry : public QObject {
    Q_OBJECT
public:
    ActionRegistry(QMenuBar *bar, QObject *parent);

    // Makes each row's menu or item at the end of its menu, in order;
    // handlers run in `context` (the registry itself when none).
    void add(const QList<ActionRow> &rows, QObject *context = nullptr);
    const QList<ActionRow> &rows() const { return m_rows; }
    // The action or menu of that id; an unknown id is a fault.
    QAction *action(const QString &id) const;
    QMenu *menu(const QString &id) const;
    // Names of rows that could not be placed (unknown menu, repeated id).
    QStringList faults() const { return m_faults; }

private:
    void fault(const QString &what);

    QMenuBar *m_bar;
    QList<ActionRow> m_rows;
    QHash<QString, QPointer<QAction>> m_actions;
    QHash<QString, QPointer<QMenu>> m_menus;
    QStringList m_faults;
};
