#pragma once

#include <QImage>
#include <QWidget>

#include <memory>

#include "app/crop/crop_canvas_model.h"
#include "settings/conversion_settings.h"

namespace swivio {
class PictureImage;
class MovieSource;
} // namespace swivio

namespace swivio::app {

// The movie at its own size (at most 2048 pixels on its longer side), as the player shows it
// now: what the crop canvas is drawn over. Null when the source has no picture.
QImage movieSnapshot(MovieSource& source);

// The picture area of the crop and watermark dialog: the snapshot fitted into it, the crop
// rectangle with red handles and, while shown, the watermark with blue handles drawn as it
// will be stamped. Both rectangles are dragged by their handles or insides; Escape or the
// right button puts a drag back. The rules live in model().
class CropCanvas : public QWidget {
    Q_OBJECT
public:
    explicit CropCanvas(QWidget* parent = nullptr);

    // The canvas keeps its size from here on: the picture area is laid out once.
    void setSnapshot(const QImage& snapshot, int movieWidth, int movieHeight, MovieRect crop);
    // The dialog's picture, borrowed for drawing (may be null); `reset` places it at its
    // default size in the crop corner, otherwise at `rect`.
    void setWatermarkPicture(std::shared_ptr<const PictureImage> picture, bool reset,
                             MovieRect rect = {});
    // How the watermark is stamped: the watermark fields of `settings` are read.
    void setComposition(const ConversionSettings& settings);

    CropCanvasModel& model() { return m_model; }
    const CropCanvasModel& model() const { return m_model; }

    QSize sizeHint() const override { return {540, 280}; }

signals:
    // A drag, "&Full area" or keep-aspect moved a rectangle: the number boxes follow.
    void valuesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void paintWatermark(QPainter& painter);
    void refreshCursor(int x, int y);

    CropCanvasModel m_model;
    QImage m_snapshot;
    QImage m_fitted; // the snapshot stretched onto the picture area, averaged
    std::shared_ptr<const PictureImage> m_picture;
    ConversionSettings m_composition;
};

} // namespace swivio::app
