#include "toolbar.h"
#include "actions.h"
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

#include <algorithm>

TToolBar *ToolBar = nullptr;

TToolBar::TToolBar(const QPoint &saved, const ActionRegistry *actions, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ToolBar"));
    setWindowTitle(QStringLiteral("Tools!"));
    setFixedSize(198, 50);
    QFont f(QStringLiteral("Times New Roman"));
    f.setPixelSize(12);
    QList<ActionRow> rows;
    for (const ActionRow &r : actions->rows())
        if (r.palette.name)
            rows << r;
    // Made in reading order, row by row.
    std::stable_sort(rows.begin(), rows.end(), [](const ActionRow &x, const ActionRow &y) {
        return std::pair(x.palette.row, x.palette.col) < std::pair(y.palette.row, y.palette.col);
    });
    for (const ActionRow &r : std::as_const(rows)) {
        const PaletteButton &b = r.palette;
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
        QPointer<QAction> item = actions->action(r.id);
        connect(btn, &QToolButton::clicked, this, [item] {
            if (item)
                item->trigger();
        });
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
