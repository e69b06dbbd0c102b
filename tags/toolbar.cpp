#include "toolbar.h"
#include "commands.h"
#include "errors.h"
#include "uiseam.h"
#include "icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QToolButton>

TToolBar *ToolBar = nullptr;

void TToolBar::BoldClick() { runCommand(QStringLiteral("Bold1")); }
void TToolBar::ItalicClick() { runCommand(QStringLiteral("Italic1")); }
void TToolBar::UnderlineClick() { runCommand(QStringLiteral("Underline1")); }
void TToolBar::H1Click() { runCommand(QStringLiteral("Heading1")); }
void TToolBar::H2Click() { runCommand(QStringLiteral("Heading21")); }
void TToolBar::H3Click() { runCommand(QStringLiteral("Heading31")); }
void TToolBar::H4Click() { runCommand(QStringLiteral("Heading41")); }
void TToolBar::H5Click() { runCommand(QStringLiteral("Heading51")); }
void TToolBar::H6Click() { runCommand(QStringLiteral("Heading61")); }
void TToolBar::ParaClick() { runCommand(QStringLiteral("Paragraph1")); }
void TToolBar::PreButClick() { runCommand(QStringLiteral("PreformattedTextPRE1")); }
void TToolBar::BlnkClick() { runCommand(QStringLiteral("BlinkingBLINK1")); }
void TToolBar::CenterTxtClick() { runCommand(QStringLiteral("CenterCENTER1")); }
void TToolBar::BreakButClick() { runCommand(QStringLiteral("LineBreak1")); }
void TToolBar::ImageClick() { runCommand(QStringLiteral("ImageInsertion1")); }
void TToolBar::DocClick() { runCommand(QStringLiteral("Document1")); }
void TToolBar::HorizRuleClick() { runCommand(QStringLiteral("HorizontalLineHR1")); }
void TToolBar::LinkClick() { runCommand(QStringLiteral("lnkadd")); }
void TToolBar::TargetClick() { runCommand(QStringLiteral("Target1")); }
void TToolBar::ListsClick() { runCommand(QStringLiteral("Lists1")); }
void TToolBar::TableButClick() { runCommand(QStringLiteral("Table1")); }

namespace {
struct PaletteButton {
    const char *name;
    int row, col;
    const char *caption; // empty: a picture
    const char *icon;
    const char *hint;
    const char *command; // its row in the command table
};

const PaletteButton kButtons[] = {
    {"HorizRule", 0, 0, "HR", nullptr, "Horizontal rule", "HorizontalLineHR1"},
    {"H1", 0, 1, "H1", nullptr, "Heading 1", "Heading1"},
    {"H2", 0, 2, "H2", nullptr, "Heading 2", "Heading21"},
    {"H3", 0, 3, "H3", nullptr, "Heading 3", "Heading31"},
    {"H4", 0, 4, "H4", nullptr, "Heading 4", "Heading41"},
    {"H5", 0, 5, "H5", nullptr, "Heading 5", "Heading51"},
    {"H6", 0, 6, "H6", nullptr, "Heading 6", "Heading61"},
    {"Image", 1, 0, "", "image", "Insert image", "ImageInsertion1"},
    {"Link", 1, 1, "", "link", "Insert a link", "lnkadd"},
    {"Lists", 1, 2, "List", nullptr, "Ordered/Unordered lists", "Lists1"},
    {"TableBut", 1, 3, "", "table", "Create Tables", "Table1"},
    {"Target", 1, 4, "", "target", "Target", "Target1"},
    {"BreakBut", 1, 5, "", "break", "Break", "LineBreak1"},
    {"Para", 1, 6, "", "para", "Paragraph", "Paragraph1"},
};
} // namespace

TToolBar::TToolBar(const QPoint &saved, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ToolBar"));
    setWindowTitle(QStringLiteral("Tools!"));
    setFixedSize(198, 50);
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(12);
    for (const PaletteButton &b : kButtons) {
        auto *btn = new QToolButton(this);
        btn->setObjectName(QLatin1String(b.name));
        btn->setGeometry(b.col * 28, b.row * 24, 29, 25);
        btn->setAutoRaise(true);
        btn->setFocusPolicy(Qt::NoFocus);
        btn->setFont(f);
        btn->setToolTip(QLatin1String(b.hint));
        btn->setAccessibleName(QLatin1String(b.hint)); // what a screen reader says
        if (b.icon) {
            btn->setIcon(buttonIcon(QLatin1String(b.icon)));
            btn->setIconSize(QSize(20, 18));
        } else {
            btn->setText(QLatin1String(b.caption));
        }
        const QString command = QLatin1String(b.command);
        connect(btn, &QToolButton::clicked, this, guarded([command] { runCommand(command); }));
    }
    FormCreate(saved);
}

QToolButton *TToolBar::button(const QString &name) const
{
    return findChild<QToolButton *>(name);
}

void TToolBar::FormCreate(QPoint pos)
{
    hide();
    // A position saved on a screen that is gone, or so far out that little
    // of the palette shows, would lose it: bring it back inside the primary
    // screen's available area.
    QRegion available;
    for (QScreen *s : QGuiApplication::screens())
        available += s->availableGeometry();
    const QRect wanted(pos, size());
    if (QRegion(wanted).subtracted(available).isEmpty() == false
        && QGuiApplication::primaryScreen()) {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        pos.setX(qBound(area.left(), pos.x(), qMax(area.left(), area.right() - width())));
        pos.setY(qBound(area.top(), pos.y(), qMax(area.top(), area.bottom() - height())));
    }
    move(pos);
}

void TToolBar::closeEvent(QCloseEvent *e)
{
    e->ignore();
    if (m_toggle && m_toggle->isChecked() && isVisible())
        m_toggle->trigger();
}
