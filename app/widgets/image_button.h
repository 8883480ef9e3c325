#pragma once

#include <QRect>
#include <QToolButton>

namespace swivio::app {

enum class ImageAlign { Start, Centre, End };

// Where an image of `size` goes in a button's content rectangle. Across: at the start
// when it does not fit; down: limited to the rectangle's height first.
QPoint imagePosition(const QRect& content, const QSize& size, ImageAlign across,
                     ImageAlign down);

// A push button that shows only an image: the style's push-button face for its state, the
// image inside the face's content area (greyed when disabled), then the focus frame.
class ImageButton : public QToolButton {
public:
    explicit ImageButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace swivio::app
