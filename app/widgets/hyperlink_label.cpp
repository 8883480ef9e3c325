#include "app/widgets/hyperlink_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace swivio::app {

namespace {
const QColor kLinkColour(0, 0, 238);
const QColor kVisitedColour(0, 0, 255);
} // namespace

HyperlinkLabel::HyperlinkLabel(const QString& text, const QString& url, QWidget* parent)
    : QLabel(text, parent), m_url(url) {
    QFont font = this->font();
    font.setUnderline(true);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setToolTip(url);
    setFocusPolicy(Qt::TabFocus);
    setVisited(false);
}

void HyperlinkLabel::setVisited(bool visited) {
    m_visited = visited;
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, visited ? kVisitedColour : kLinkColour);
    setPalette(palette);
}

void HyperlinkLabel::open() {
    if (QDesktopServices::openUrl(QUrl(m_url)))
        setVisited(true);
    emit opened(m_url);
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        open();
    QLabel::mouseReleaseEvent(event);
}

void HyperlinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        open();
        return;
    }
    QLabel::keyPressEvent(event);
}

} // namespace swivio::app
