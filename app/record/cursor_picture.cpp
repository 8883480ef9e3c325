#include "app/record/cursor_picture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <iterator>

namespace swivio::app {

namespace {

// Black outlines over white, so the pointer shows on any movie.
QImage arrowImage(QPoint& hot) {
    QImage image(12, 19, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // Drawn aliased on whole pixels: the tip is the top-left pixel.
    const QPoint outline[] = {{0, 0}, {0, 16}, {4, 12}, {7, 18}, {9, 17}, {6, 11}, {11, 11}};
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(outline, static_cast<int>(std::size(outline)));
    hot = QPoint(0, 0);
    return image;
}

QImage handImage(QPoint& hot) {
    QImage image(17, 23, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The pointing finger on the left, the folded fingers' knuckles beside it, the thumb
    // across the palm's left side.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(4.5, 0.5, 4, 13), 2, 2);
    hand.addRoundedRect(QRectF(8.5, 6.5, 3, 7), 1.5, 1.5);
    hand.addRoundedRect(QRectF(11.5, 7.5, 3, 6), 1.5, 1.5);
    hand.addRoundedRect(QRectF(14.0, 9.0, 2.5, 5), 1.2, 1.2);
    hand.addRoundedRect(QRectF(3.5, 11.5, 13, 11), 3, 3);
    hand.addRoundedRect(QRectF(0.5, 10.5, 6, 5), 2.5, 2.5);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand.simplified());
    p.drawLine(QPointF(8.5, 8.5), QPointF(8.5, 12.5));
    p.drawLine(QPointF(11.5, 9.0), QPointF(11.5, 12.5));
    p.drawLine(QPointF(14.2, 10.5), QPointF(14.2, 12.5));
    hot = QPoint(6, 0);
    return image;
}

QImage beamImage(QPoint& hot) {
    QImage image(9, 19, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    auto beam = [&p](const QColor& colour, int width) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap));
        p.drawLine(QPointF(2.5, 1.5), QPointF(6.5, 1.5));
        p.drawLine(QPointF(4.5, 1.5), QPointF(4.5, 17.5));
        p.drawLine(QPointF(2.5, 17.5), QPointF(6.5, 17.5));
    };
    beam(Qt::white, 3);
    beam(Qt::black, 1);
    hot = QPoint(4, 9);
    return image;
}

} // namespace

CursorPicture cursorPictureFromImage(const QImage& image, QPoint hotSpot) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    CursorPicture picture;
    picture.width = argb.width();
    picture.height = argb.height();
    picture.hotX = hotSpot.x();
    picture.hotY = hotSpot.y();
    picture.bgra.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
    uint8_t* out = picture.bgra.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = row[x];
            *out++ = static_cast<uint8_t>(qBlue(c));
            *out++ = static_cast<uint8_t>(qGreen(c));
            *out++ = static_cast<uint8_t>(qRed(c));
            *out++ = static_cast<uint8_t>(qAlpha(c));
        }
    }
    return picture;
}

std::optional<CursorPicture> cursorPicture(const QCursor& cursor, int x, int y) {
    QImage image;
    QPoint hot;
    switch (cursor.shape()) {
    case Qt::BlankCursor:
        return std::nullopt;
    case Qt::BitmapCursor:
        image = cursor.pixmap().toImage();
        hot = cursor.hotSpot();
        break;
    case Qt::PointingHandCursor:
        image = handImage(hot);
        break;
    case Qt::IBeamCursor:
        image = beamImage(hot);
        break;
    default:
        image = arrowImage(hot);
        break;
    }
    if (image.isNull())
        image = arrowImage(hot);
    CursorPicture picture = cursorPictureFromImage(image, hot);
    picture.x = x;
    picture.y = y;
    return picture;
}

} // namespace swivio::app
