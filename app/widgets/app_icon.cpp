#include "app/widgets/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace swivio::app {

namespace {

QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x57, 0x97));
    p.drawRoundedRect(QRectF(4, 10, 56, 44), 6, 6);
    p.setBrush(QColor(0x1d, 0x3f, 0x70));
    p.drawRoundedRect(QRectF(4, 10, 56, 8), 3, 3);
    p.drawRoundedRect(QRectF(4, 46, 56, 8), 3, 3);
    p.setBrush(Qt::white);
    for (int x = 14; x <= 54; x += 10) {
        p.drawEllipse(QPointF(x, 14), 1.6, 1.6);
        p.drawEllipse(QPointF(x, 50), 1.6, 1.6);
    }
    QPainterPath play;
    play.moveTo(26, 22);
    play.lineTo(44, 32);
    play.lineTo(26, 42);
    play.closeSubpath();
    p.drawPath(play);
    return pixmap;
}

} // namespace

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace swivio::app
