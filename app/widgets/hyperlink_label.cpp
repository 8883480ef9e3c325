#include "app/widgets/hyperlink_label.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace swivio::app {

namespace {
const QColor kLinkColour(0, 0, 238);
const QColor kVisitedColour(0, 0, 255);
// Opening fails on a desktop when nothing handles the address's kind.
constexpr char kNoHandlerMessage[] =
    "There is no application associated\nwith the given filename extension.";
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
    // A label without an address opens its own text.
    const QString address = m_url.isEmpty() ? text() : m_url;
    emit opened(address);
    if (QDesktopServices::openUrl(QUrl(address))) {
        setVisited(true);
        return;
    }
    QApplication::beep();
    QMessageBox::warning(this, window()->windowTitle(),
                         QString("Unable to open hyperlink:\n\n") + kNoHandlerMessage);
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
