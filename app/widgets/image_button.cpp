#include "app/widgets/image_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace swivio::app {

QPoint imagePosition(const QRect& content, const QSize& size, ImageAlign across,
                     ImageAlign down) {
    const int l = content.left();
    const int t = content.top();
    const int w = content.width();
    const int h = content.height();
    int x = l;
    if (w >= size.width() && across != ImageAlign::Start)
        x = across == ImageAlign::End ? l + w - size.width() : l + (w - size.width()) / 2;
    int y = t;
    if (down != ImageAlign::Start) {
        const int ih = std::min(size.height(), h);
        y = down == ImageAlign::End ? t + h - ih : t + (h - ih) / 2;
    }
    return {x, y};
}

ImageButton::ImageButton(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

QSize ImageButton::sizeHint() const {
    const QSize icon = iconSize();
    return {std::max(icon.width() + 14, 28), std::max(icon.height() + 10, 26)};
}

void ImageButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.features = QStyleOptionButton::None;
    if (isDown())
        option.state |= QStyle::State_Sunken;
    else
        option.state |= QStyle::State_Raised;
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect content = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QIcon::Mode mode = !isEnabled() ? QIcon::Disabled
                             : underMouse() ? QIcon::Active
                                            : QIcon::Normal;
    const QPixmap pixmap = icon().pixmap(iconSize(), devicePixelRatio(), mode);
    const QSize size = pixmap.deviceIndependentSize().toSize();
    const QPoint at = imagePosition(content, size, ImageAlign::Centre, ImageAlign::Centre);
    painter.drawPixmap(at, pixmap);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = content;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace swivio::app
