#pragma once

#include <QLabel>

namespace swivio::app {

// A text that acts as a link: coloured and underlined, the hand cursor over it, its address
// as the tool tip; a click opens the address with the desktop's handler, after which it
// takes the visited colour.
class HyperlinkLabel : public QLabel {
    Q_OBJECT
public:
    HyperlinkLabel(const QString& text, const QString& url, QWidget* parent = nullptr);

    const QString& url() const { return m_url; }
    bool isVisited() const { return m_visited; }
    void setVisited(bool visited);

signals:
    void opened(const QString& url);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open();

    QString m_url;
    bool m_visited = false;
};

} // namespace swivio::app
