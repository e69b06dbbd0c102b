#include "toolbar.h"
#include "editorbox.h"
#include "errors.h"
#include "icons.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QToolButton>

TToolBar *ToolBar = nullptr;

void WrapSelection(const QString &open, const QString &close)
{
    EditorBox *ed = ActiveEditor();
    if (!ed)
        return;
    {
        // One insertion, then the caret steps back over the closing tag:
        // the same text and caret as inserting the three pieces in turn,
        // at a third of the cost on a huge page.
        UndoStep step(ed);
        ed->setSelText(open + ed->selText() + close);
        ed->moveCaretLeft(int(close.size()));
    }
    BringMainToFront();
}

void TToolBar::BoldClick() { WrapSelection(QStringLiteral("<STRONG>"), QStringLiteral("</STRONG>")); }
void TToolBar::ItalicClick() { WrapSelection(QStringLiteral("<EM>"), QStringLiteral("</EM>")); }
void TToolBar::UnderlineClick() { WrapSelection(QStringLiteral("<U>"), QStringLiteral("</U>")); }
void TToolBar::H1Click() { WrapSelection(QStringLiteral("<H1>"), QStringLiteral("</H1>")); }
void TToolBar::H2Click() { WrapSelection(QStringLiteral("<H2>"), QStringLiteral("</H2>")); }
void TToolBar::H3Click() { WrapSelection(QStringLiteral("<H3>"), QStringLiteral("</H3>")); }
void TToolBar::H4Click() { WrapSelection(QStringLiteral("<H4>"), QStringLiteral("</H4>")); }
void TToolBar::H5Click() { WrapSelection(QStringLiteral("<H5>"), QStringLiteral("</H5>")); }
void TToolBar::H6Click() { WrapSelection(QStringLiteral("<H6>"), QStringLiteral("</H6>")); }
void TToolBar::ParaClick() { WrapSelection(QStringLiteral("<P>"), QStringLiteral("</P>")); }
void TToolBar::PreButClick() { WrapSelection(QStringLiteral("<PRE>"), QStringLiteral("</PRE>")); }
void TToolBar::BlnkClick() { WrapSelection(QStringLiteral("<BLINK>"), QStringLiteral("</BLINK>")); }
void TToolBar::CenterTxtClick()
{
    WrapSelection(QStringLiteral("<CENTER>"), QStringLiteral("</CENTER>"));
}

void TToolBar::BreakButClick()
{
    EditorBox *ed = ActiveEditor();
    if (!ed)
        return;
    {
        UndoStep step(ed);
        // The selection stays as it was, "<BR>" follows it, the caret ends
        // after "<BR>".
        ed->setSelText(ed->selText() + QStringLiteral("<BR>"));
    }
    BringMainToFront();
}

namespace {
struct PaletteButton {
    const char *name;
    int row, col;
    const char *caption; // empty: a picture
    const char *icon;
    const char *hint;
    void (TToolBar::*handler)();
};

const PaletteButton kButtons[] = {
    {"HorizRule", 0, 0, "HR", nullptr, "Horizontal rule", &TToolBar::HorizRuleClick},
    {"H1", 0, 1, "H1", nullptr, "Heading 1", &TToolBar::H1Click},
    {"H2", 0, 2, "H2", nullptr, "Heading 2", &TToolBar::H2Click},
    {"H3", 0, 3, "H3", nullptr, "Heading 3", &TToolBar::H3Click},
    {"H4", 0, 4, "H4", nullptr, "Heading 4", &TToolBar::H4Click},
    {"H5", 0, 5, "H5", nullptr, "Heading 5", &TToolBar::H5Click},
    {"H6", 0, 6, "H6", nullptr, "Heading 6", &TToolBar::H6Click},
    {"Image", 1, 0, "", "image", "Insert image", &TToolBar::ImageClick},
    {"Link", 1, 1, "", "link", "Insert a link", &TToolBar::LinkClick},
    {"Lists", 1, 2, "List", nullptr, "Ordered/Unordered lists", &TToolBar::ListsClick},
    {"TableBut", 1, 3, "", "table", "Create Tables", &TToolBar::TableButClick},
    {"Target", 1, 4, "", "target", "Target", &TToolBar::TargetClick},
    {"BreakBut", 1, 5, "", "break", "Break", &TToolBar::BreakButClick},
    {"Para", 1, 6, "", "para", "Paragraph", &TToolBar::ParaClick},
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
        if (b.icon) {
            btn->setIcon(buttonIcon(QLatin1String(b.icon)));
            btn->setIconSize(QSize(20, 18));
        } else {
            btn->setText(QLatin1String(b.caption));
        }
        const auto handler = b.handler;
        connect(btn, &QToolButton::clicked, this, guarded([this, handler] { (this->*handler)(); }));
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
