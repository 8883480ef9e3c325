#include "app/crop/crop_canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstring>

#include "base/frame.h"
#include "crop/watermark.h"
#include "encode/image/picture_image.h"
#include "source/movie_source.h"

namespace swivio::app {

namespace {

constexpr int kLargestSnapshotSide = 2048;

QImage toImage(const Frame& frame) {
    QImage image(frame.width(), frame.height(), QImage::Format_BGR888);
    for (int y = 0; y < frame.height(); ++y)
        std::memcpy(image.scanLine(y), frame.topRow(y), frame.stride());
    return image;
}

Qt::CursorShape shapeOf(CanvasCursor cursor) {
    switch (cursor) {
    case CanvasCursor::SizeNwSe:
        return Qt::SizeFDiagCursor;
    case CanvasCursor::SizeNeSw:
        return Qt::SizeBDiagCursor;
    case CanvasCursor::SizeVertical:
        return Qt::SizeVerCursor;
    case CanvasCursor::SizeHorizontal:
        return Qt::SizeHorCursor;
    case CanvasCursor::Move:
        return Qt::SizeAllCursor;
    case CanvasCursor::Arrow:
        break;
    }
    return Qt::ArrowCursor;
}

QRect toQRect(const CanvasRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

// A 1-pixel outline just outside the rectangle in white and black dashes of 3, then the
// handle squares filled with the tracker's colour.
void drawTracker(QPainter& painter, TrackerKind kind, const CanvasRect& r, const QColor& color) {
    const QRect outline(r.left - 1, r.top - 1, r.width() + 1, r.height() + 1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(outline);
    QPen dashes(Qt::white, 1, Qt::CustomDashLine);
    dashes.setDashPattern({3, 3});
    painter.setPen(dashes);
    painter.drawRect(outline);
    for (int h = 0; h < 8; ++h) {
        if (handleExists(r, h))
            painter.fillRect(toQRect(handleSquare(kind, r, h)), color);
    }
}

} // namespace

QImage movieSnapshot(MovieSource& source) {
    int width = source.movieWidth(), height = source.movieHeight();
    if (width <= 0 || height <= 0)
        return {};
    if (std::max(width, height) > kLargestSnapshotSide) {
        const bool wide = width >= height;
        const int64_t shorter =
            int64_t(wide ? height : width) * kLargestSnapshotSide / (wide ? width : height);
        (wide ? width : height) = kLargestSnapshotSide;
        (wide ? height : width) = std::max<int>(1, int(shorter));
    }
    Frame frame(width, height);
    SourceViewport viewport;
    viewport.playerWidth = viewport.clipWidth = width;
    viewport.playerHeight = viewport.clipHeight = height;
    source.paint(frame, viewport);
    return toImage(frame);
}

CropCanvas::CropCanvas(QWidget* parent) : QWidget(parent) {
    setFixedSize(sizeHint());
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Crop area"));
}

void CropCanvas::setSnapshot(const QImage& snapshot, int movieWidth, int movieHeight,
                             MovieRect crop) {
    m_snapshot = snapshot;
    m_model.setSnapshot(width(), height(), snapshot.width(), snapshot.height(), movieWidth,
                        movieHeight, crop);
    const CanvasRect& p = m_model.pictureRect();
    m_fitted =
        snapshot.isNull() || p.width() <= 0 || p.height() <= 0
            ? QImage()
            : snapshot.convertToFormat(QImage::Format_BGR888)
                  .scaled(p.width(), p.height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    update();
}

void CropCanvas::setWatermarkPicture(std::shared_ptr<const PictureImage> picture, bool reset,
                                     MovieRect rect) {
    m_picture = std::move(picture);
    const int w = m_picture ? m_picture->width() : 0, h = m_picture ? m_picture->height() : 0;
    if (reset)
        m_model.resetWatermark(w, h);
    else
        m_model.setWatermark(w, h, rect);
    update();
}

void CropCanvas::setComposition(const ConversionSettings& settings) {
    m_composition = settings;
    m_composition.watermarkEnabled = true;
    update();
}

void CropCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect picture = toQRect(m_model.pictureRect());
    const QRegion around = QRegion(rect()).subtracted(QRegion(picture));
    for (const QRect& r : around)
        painter.fillRect(r, QColor(120, 120, 120));
    if (!m_fitted.isNull())
        painter.drawImage(picture.topLeft(), m_fitted);
    else
        painter.fillRect(picture, Qt::black);
    if (m_model.watermarkShown())
        paintWatermark(painter);
    drawTracker(painter, TrackerKind::Crop, m_model.cropRect(), QColor(255, 0, 0));
    if (m_model.watermarkShown())
        drawTracker(painter, TrackerKind::Watermark, m_model.watermarkRect(), QColor(0, 0, 255));
}

// The watermark as the conversion stamps it, over the snapshot under it: the preview and
// the output share one composition.
void CropCanvas::paintWatermark(QPainter& painter) {
    const CanvasRect& w = m_model.watermarkRect();
    if (w.width() <= 0 || w.height() <= 0 || !m_picture)
        return;
    const CanvasRect& p = m_model.pictureRect();
    Frame frame(w.width(), w.height());
    frame.fill(0x787878);
    for (int y = 0; y < w.height(); ++y) {
        const int sy = w.top + y - p.top;
        if (m_fitted.isNull() || sy < 0 || sy >= m_fitted.height())
            continue;
        const int x0 = std::max(w.left, p.left), x1 = std::min(w.right, p.right);
        if (x1 > x0)
            std::memcpy(frame.topRow(y) + std::size_t(x0 - w.left) * 3,
                        m_fitted.constScanLine(sy) + std::size_t(x0 - p.left) * 3,
                        std::size_t(x1 - x0) * 3);
    }
    FrameGeometry g;
    g.outputWidth = g.contentWidth = g.outputMarkWidth = w.width();
    g.outputHeight = g.contentHeight = g.outputMarkHeight = w.height();
    const WatermarkStamp stamp(m_composition, g, m_picture.get(), w.width(), w.height());
    stamp.apply(frame);
    painter.drawImage(QPoint(w.left, w.top), toImage(frame));
}

void CropCanvas::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton && m_model.dragging()) {
        m_model.cancel();
        emit valuesChanged();
        update();
        return;
    }
    if (event->button() != Qt::LeftButton || m_model.dragging())
        return;
    if (m_model.press(at.x(), at.y()))
        refreshCursor(at.x(), at.y());
}

void CropCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_model.dragging()) {
        // The pointer is confined by clamping what it sets, never by moving it.
        m_model.moveTo(at.x(), at.y());
        emit valuesChanged();
        update();
        return;
    }
    refreshCursor(at.x(), at.y());
}

void CropCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_model.dragging())
        return;
    const QPoint at = event->position().toPoint();
    m_model.release(at.x(), at.y());
    emit valuesChanged();
    update();
    refreshCursor(at.x(), at.y());
}

void CropCanvas::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_model.dragging()) {
        m_model.cancel();
        emit valuesChanged();
        update();
        return; // taken here, so the dialog does not close
    }
    QWidget::keyPressEvent(event);
}

void CropCanvas::refreshCursor(int x, int y) {
    setCursor(shapeOf(m_model.cursorAt(x, y)));
}

} // namespace swivio::app
