#include "app/record/player_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/record/view_input.h"
#include "audio/audio_output.h"
#include "audio/qt/system_audio_device.h"
#include "source/movie_source.h"

namespace swivio::app {

namespace {
// Fine enough that frames land within a few milliseconds of their time at any movie rate.
constexpr int kTimerMs = 5;
} // namespace

PlayerView::PlayerView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setMinimumSize(120, 90);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTimerMs);
    connect(&m_timer, &QTimer::timeout, this, &PlayerView::onTimer);
}

PlayerView::~PlayerView() = default;

void PlayerView::setSource(MovieSource* source) {
    if (source != m_source) {
        // Each movie has an opening of its own: the old one is closed before the new one opens.
        m_sound.reset();
        if (source) {
            m_sound = std::make_unique<audio::AudioOutput>(audio::makeSystemAudioDevice());
            m_sound->open();
        }
    }
    m_source = source;
    m_wheelPending = 0;
    setAnimating(false);
    refresh();
    showMovieCursor();
}

void PlayerView::setInputEnabled(bool enabled) {
    m_inputEnabled = enabled;
    showMovieCursor();
}

void PlayerView::setAnimating(bool animating) {
    animating = animating && m_source && m_source->movieFrameRate() > 0;
    if (animating == m_animating)
        return;
    m_animating = animating;
    if (animating) {
        m_clock.start(m_source->movieFrameRate(), PlaybackClock::Clock::now());
        m_timer.start();
    } else {
        m_timer.stop();
        if (m_sound)
            m_sound->flush();
    }
}

void PlayerView::refresh() {
    m_stale = true;
    update();
}

void PlayerView::onTimer() {
    if (!m_source)
        return;
    const int due = m_clock.framesDue(PlaybackClock::Clock::now());
    if (due <= 0)
        return;
    for (int i = 0; i < due; ++i) {
        std::vector<int16_t> sound;
        {
            // One frame per hold, so a grab waiting for the lock waits one frame at most.
            const auto lock = lockSource();
            m_source->tick();
            // Each frame's sound is taken before the next tick, which would drop it.
            sound = m_source->takeFrameSound(0);
        }
        if (m_sound)
            m_sound->write(sound);
    }
    refresh();
    showMovieCursor();
    emit advanced();
}

void PlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_stale = true;
}

void PlayerView::render() {
    m_stale = false;
    if (!m_source) {
        m_image = QImage();
        return;
    }
    const int mw = m_source->movieWidth();
    const int mh = m_source->movieHeight();
    m_fit = fitMovie(mw, mh, width(), height());
    if (m_fit.width <= 0 || m_fit.height <= 0) {
        m_image = QImage();
        return;
    }
    if (m_frame.width() != m_fit.width || m_frame.height() != m_fit.height)
        m_frame = Frame(m_fit.width, m_fit.height);
    SourceViewport viewport;
    viewport.playerWidth = m_fit.width;
    viewport.playerHeight = m_fit.height;
    viewport.clipWidth = m_fit.width;
    viewport.clipHeight = m_fit.height;
    {
        const auto lock = lockSource();
        m_source->paint(m_frame, viewport);
        m_background = m_source->backgroundColor();
    }
    if (m_image.width() != m_fit.width || m_image.height() != m_fit.height)
        m_image = QImage(m_fit.width, m_fit.height, QImage::Format_BGR888);
    for (int y = 0; y < m_fit.height; ++y)
        std::memcpy(m_image.scanLine(y), m_frame.topRow(y), m_frame.stride());
}

void PlayerView::paintEvent(QPaintEvent*) {
    if (m_stale)
        render();
    QPainter painter(this);
    const QColor window = palette().color(QPalette::Window);
    if (m_image.isNull()) {
        painter.fillRect(rect(), window);
        return;
    }
    const QRect picture(m_fit.x, m_fit.y, m_fit.width, m_fit.height);
    // The margins beside the picture take the movie's own background, as a player would.
    const uint32_t bg = m_background;
    const QColor background(colorRed(bg), colorGreen(bg), colorBlue(bg));
    const QRegion margins = QRegion(rect()).subtracted(QRegion(picture));
    for (const QRect& r : margins)
        painter.fillRect(r, background);
    painter.drawImage(picture.topLeft(), m_image);
}

bool PlayerView::takesInput() const { return m_source && m_inputEnabled; }

std::unique_lock<std::mutex> PlayerView::lockSource() const {
    return m_sourceMutex ? std::unique_lock<std::mutex>(*m_sourceMutex)
                         : std::unique_lock<std::mutex>();
}

void PlayerView::forward(const UserInput& input) {
    bool changed = false;
    {
        const auto lock = lockSource();
        const uint64_t before = m_source->displaySignature();
        m_source->handleInput(input);
        changed = m_source->displaySignature() != before;
    }
    // What the input changed shows at once, not only on the next frame; a pointer moving
    // over nothing paints nothing.
    if (changed)
        refresh();
    showMovieCursor();
}

void PlayerView::showMovieCursor() {
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (takesInput()) {
        const auto lock = lockSource();
        shape = cursorShape(m_source->cursor(), m_source->pointerHidden());
    }
    if (cursor().shape() != shape)
        setCursor(shape);
}

void PlayerView::forwardPointer(QMouseEvent* event, bool press, bool release) {
    if (!takesInput())
        return;
    const UserInputKind kind = press     ? UserInputKind::MouseDown
                               : release ? UserInputKind::MouseUp
                                         : UserInputKind::MouseMove;
    // The fit of the view's size now: a resize may not have been painted yet.
    const int mw = m_source->movieWidth();
    const int mh = m_source->movieHeight();
    UserInput input;
    if (pointerInput(*event, kind, fitMovie(mw, mh, width(), height()), mw, mh, input))
        forward(input);
}

void PlayerView::forwardKey(QKeyEvent* event, bool press) {
    const std::vector<UserInput> inputs = keyInputs(*event, press);
    for (const UserInput& input : inputs)
        forward(input);
}

void PlayerView::wheelEvent(QWheelEvent* event) {
    if (!takesInput()) {
        QWidget::wheelEvent(event);
        return;
    }
    UserInput input;
    input.kind = UserInputKind::MouseWheel;
    input.wheelDelta =
        wheelLines(event->angleDelta().y(), QApplication::wheelScrollLines(), m_wheelPending);
    const int mw = m_source->movieWidth();
    const int mh = m_source->movieHeight();
    const QPointF at = event->position();
    areaToStage(fitMovie(mw, mh, width(), height()), mw, mh, at.x(), at.y(), input.x, input.y);
    if (input.wheelDelta != 0)
        forward(input);
    event->accept();
}

void PlayerView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (!takesInput())
        return;
    UserInput input;
    input.kind = UserInputKind::FocusGained;
    forward(input);
}

void PlayerView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (!takesInput())
        return;
    UserInput input;
    input.kind = UserInputKind::FocusLost;
    forward(input);
}

bool PlayerView::focusNextPrevChild(bool next) {
    // Tab belongs to the movie (it moves the focus between its buttons and fields).
    if (takesInput())
        return false;
    return QWidget::focusNextPrevChild(next);
}

void PlayerView::mousePressEvent(QMouseEvent* event) { forwardPointer(event, true, false); }
void PlayerView::mouseReleaseEvent(QMouseEvent* event) { forwardPointer(event, false, true); }
void PlayerView::mouseMoveEvent(QMouseEvent* event) { forwardPointer(event, false, false); }

// Keys the movie hears are its own; otherwise they go on to the window (Escape, Enter).
void PlayerView::keyPressEvent(QKeyEvent* event) {
    if (takesInput())
        forwardKey(event, true);
    else
        QWidget::keyPressEvent(event);
}

void PlayerView::keyReleaseEvent(QKeyEvent* event) {
    if (takesInput())
        forwardKey(event, false);
    else
        QWidget::keyReleaseEvent(event);
}

void PlayerView::fitToScreen(QSize wanted, QSize room) {
    if (const QScreen* screen = this->screen()) {
        const QSize free = screen->availableSize() - room;
        if (wanted.width() > free.width() || wanted.height() > free.height())
            wanted.scale(free.expandedTo(QSize(120, 90)), Qt::KeepAspectRatio);
    }
    setMinimumSize(wanted.boundedTo(QSize(320, 240)));
    resize(wanted);
}

} // namespace swivio::app
