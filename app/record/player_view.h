#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <mutex>

#include "app/record/playback_clock.h"
#include "app/record/view_fit.h"
#include "base/frame.h"
#include "source/user_input.h"

namespace swivio {
class MovieSource;
namespace audio {
class AudioOutput;
}
} // namespace swivio

namespace swivio::app {

// The movie on screen, for the main window and the Record window: paints its source fitted
// into the widget with the aspect kept and centred, and, while animating, plays it at the
// movie's rate from a steady clock. The source belongs to the caller and must outlive the
// view's use of it (setSource(nullptr) lets go of it).
//
// While a source is set the view has a sound output of its own, written at real-time pace:
// each frame's sound while animating, silence otherwise.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    ~PlayerView() override;

    void setSource(MovieSource* source);
    // A lock shared with another thread that uses the source too (a recording grabbing its
    // pictures): held around every tick, paint and input while set. Not owned; null (the
    // default) when the view is the source's only user.
    void setSourceMutex(std::mutex* mutex) { m_sourceMutex = mutex; }
    MovieSource* source() const { return m_source; }
    // While on, every frame period ticks the source and plays its sound: the root plays when
    // the movie plays, and what animates inside it moves on either way. Turning it off drops
    // the sound not yet heard (a pause, a stop or a seek is heard at once).
    void setAnimating(bool animating);
    bool isAnimating() const { return m_animating; }
    // Paints again what the source shows now (after a seek or a step).
    void refresh();
    // Whether the person's mouse and keys reach the movie (on by default; off where the
    // movie only follows a recording).
    void setInputEnabled(bool enabled);
    // The output the movie's sound goes to while a source is set; null otherwise.
    audio::AudioOutput* soundOutput() const { return m_sound.get(); }

    // Sizes the view to `wanted` (the movie's size) where the screen leaves `room` for the
    // rest of the window, else as large as fits with the aspect kept.
    void fitToScreen(QSize wanted, QSize room);

    QSize sizeHint() const override { return {400, 300}; }

signals:
    // After the clock has played one or more frames.
    void advanced();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void onTimer();
    void render();
    // Where mouse and keys reach the movie, in stage pixels; the view then shows the
    // cursor the movie asks for.
    bool takesInput() const;
    void forwardPointer(QMouseEvent* event, bool press, bool release);
    void forwardKey(QKeyEvent* event, bool press);
    void forward(const UserInput& input);
    void showMovieCursor();
    // Holds the source's shared lock, when there is one, for the caller's scope.
    std::unique_lock<std::mutex> lockSource() const;

    MovieSource* m_source = nullptr;
    std::mutex* m_sourceMutex = nullptr;
    std::unique_ptr<audio::AudioOutput> m_sound;
    bool m_animating = false;
    QTimer m_timer;
    PlaybackClock m_clock;
    FitRect m_fit;
    Frame m_frame;
    QImage m_image;
    uint32_t m_background = 0; // the source's, as of the last paint
    bool m_stale = true;
    bool m_inputEnabled = true;
    int m_wheelPending = 0;
};

} // namespace swivio::app
