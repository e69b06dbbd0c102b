#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
void drawShape(QPainter &p, const QString &name, bool greyed)
{
    const QColor ink = greyed ? QColor(150, 150, 150) : QColor(20, 20, 20);
    const QColor fill = greyed ? QColor(210, 210, 210) : QColor(255, 255, 230);
    const QColor accent = greyed ? QColor(170, 170, 170) : QColor(0, 100, 180);
    p.setPen(QPen(ink, 1.2));
    if (name == QLatin1String("new")) {
        QPainterPath page;
        page.moveTo(4, 2); page.lineTo(11, 2); page.lineTo(14, 5);
        page.lineTo(14, 18); page.lineTo(4, 18); page.closeSubpath();
        p.fillPath(page, Qt::white);
        p.drawPath(page);
        p.drawLine(QPointF(11, 2), QPointF(11, 5));
        p.drawLine(QPointF(11, 5), QPointF(14, 5));
    } else if (name == QLatin1String("open")) {
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(2, 6, 14, 10));
        p.drawRect(QRectF(2, 4, 6, 2));
        p.setBrush(QColor(250, 225, 120));
        QPolygonF flap({QPointF(5, 9), QPointF(18, 9), QPointF(15, 16), QPointF(2, 16)});
        p.drawPolygon(flap);
    } else if (name == QLatin1String("save")) {
        p.setBrush(accent);
        p.drawRect(QRectF(2, 2, 14, 14));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 2, 8, 5));
        p.drawRect(QRectF(5, 10, 8, 6));
    } else if (name == QLatin1String("center")) {
        for (int i = 0; i < 5; ++i) {
            const qreal w = (i % 2) ? 8 : 14;
            p.drawLine(QPointF(9 - w / 2, 3.5 + i * 3), QPointF(9 + w / 2, 3.5 + i * 3));
        }
    } else if (name == QLatin1String("para")) {
        QFont f(QStringLiteral("Times New Roman"));
        f.setPixelSize(17);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, 18, 18), Qt::AlignCenter, QString(QChar(0x00B6)));
    } else if (name == QLatin1String("break")) {
        p.setPen(QPen(ink, 1.8));
        QPainterPath arrow;
        arrow.moveTo(15, 3); arrow.lineTo(15, 11); arrow.lineTo(4, 11);
        p.drawPath(arrow);
        p.drawLine(QPointF(4, 11), QPointF(8, 7));
        p.drawLine(QPointF(4, 11), QPointF(8, 15));
    } else if (name == QLatin1String("link")) {
        p.setPen(QPen(accent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(1.5, 6, 9, 6), 3, 3);
        p.drawRoundedRect(QRectF(7.5, 6, 9, 6), 3, 3);
    } else if (name == QLatin1String("image")) {
        p.setBrush(QColor(200, 230, 255));
        p.drawRect(QRectF(1.5, 3, 15, 12));
        p.setBrush(QColor(60, 150, 60));
        p.drawPolygon(QPolygonF({QPointF(2, 15), QPointF(7, 8), QPointF(11, 13),
                                 QPointF(13, 10), QPointF(16, 15)}));
        p.setBrush(QColor(250, 200, 0));
        p.drawEllipse(QPointF(13, 6), 1.6, 1.6);
    } else if (name == QLatin1String("table")) {
        p.setBrush(fill);
        p.drawRect(QRectF(1.5, 2.5, 15, 13));
        p.fillRect(QRectF(2, 3, 14, 3), accent);
        for (int x : {6, 11})
            p.drawLine(QPointF(x + 0.5, 2.5), QPointF(x + 0.5, 15.5));
        for (int y : {6, 9, 12})
            p.drawLine(QPointF(1.5, y + 0.5), QPointF(16.5, y + 0.5));
    } else if (name == QLatin1String("target")) {
        p.setBrush(Qt::white);
        p.setPen(QPen(greyed ? ink : QColor(200, 0, 0), 1.5));
        p.drawEllipse(QPointF(9, 9), 7, 7);
        p.drawEllipse(QPointF(9, 9), 4, 4);
        p.setBrush(greyed ? ink : QColor(200, 0, 0));
        p.drawEllipse(QPointF(9, 9), 1.5, 1.5);
    } else if (name == QLatin1String("handup") || name == QLatin1String("handdown")) {
        if (name == QLatin1String("handdown")) {
            p.translate(0, 18);
            p.scale(1, -1);
        }
        // A hand with its index finger pointing up.
        p.setBrush(greyed ? fill : QColor(255, 220, 180));
        QPainterPath hand;
        hand.moveTo(7, 1.5); hand.lineTo(9.5, 1.5); hand.lineTo(9.5, 8);
        hand.lineTo(14, 8.5); hand.lineTo(14.5, 15); hand.lineTo(12, 17);
        hand.lineTo(6, 17); hand.lineTo(3.5, 12); hand.lineTo(4, 9.5);
        hand.lineTo(7, 11); hand.closeSubpath();
        p.drawPath(hand);
        p.drawLine(QPointF(9.5, 11), QPointF(14, 11));
    }
}

QPixmap render(const QString &name, bool greyed)
{
    QPixmap pm(36, 36);
    pm.setDevicePixelRatio(2.0);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawShape(p, name, greyed);
    return pm;
}
} // namespace

QIcon buttonIcon(const QString &name)
{
    QIcon icon;
    icon.addPixmap(render(name, false), QIcon::Normal);
    icon.addPixmap(render(name, true), QIcon::Disabled);
    return icon;
}
