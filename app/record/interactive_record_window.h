#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>

#include "app/record/interactive_record_rules.h"
#include "crop/frame_geometry.h"
#include "encode/conversion_job.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace swivio {
class InteractiveRecording;
class SettingsStore;
} // namespace swivio

namespace swivio::app {

class PlayerView;

// The recording phase, in real time: the movie plays in the window with the person's mouse
// and keys reaching it, Play previews it, Record records it as it plays (Pause holds the
// recording while the movie goes on), and Finish hands what was recorded to the encoding.
// Accepted once the recording has finished (takeJob() gives what it made); rejected when
// cancelled before Record or when the recording failed, and then nothing it made is left.
class InteractiveRecordWindow : public QDialog {
    Q_OBJECT
public:
    // `recording` is open (its player halted on the first frame) and outlives the window;
    // `settings` are the ones it was made with. `store` keeps the auto-finish choice.
    InteractiveRecordWindow(InteractiveRecording& recording, const ConversionSettings& settings,
                            SettingsStore& store, QWidget* parent = nullptr);
    ~InteractiveRecordWindow() override;

    // The buttons' actions.
    void play();
    void startRecording();
    void togglePause();
    void finish();

    // After acceptance: the finished recording's job, once.
    std::optional<ConversionJob> takeJob() { return std::exchange(m_job, std::nullopt); }

    // How failures are told (a message box by default; replaced in tests).
    void setErrorReporter(std::function<void(const QString&)> report) {
        m_report = std::move(report);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Stage { Opened, Previewing, Recording, Paused, Ended };

    void onPoll();
    void onAdvanced();
    // Finishes when the movie has come to its end and the box is checked.
    void checkAutoFinish(int position, bool atEnd);
    void applyStates();
    void startPlaying();
    // The pointer over the view, as the recording draws it; `at` in view coordinates.
    void updateCursor(std::optional<QPoint> at);
    void report(const QString& text);

    InteractiveRecording& m_recording;
    SettingsStore& m_store;
    FrameGeometry m_geometry;
    bool m_flv = false;
    int m_length = 0;
    bool m_captureCursor = false;
    bool m_withSound = false;
    double m_captureRate = 0;

    PlayerView* m_view = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_progressText = nullptr;
    QLabel* m_status = nullptr;
    QCheckBox* m_autoFinish = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_finish = nullptr;
    QTimer m_poll;

    Stage m_stage = Stage::Opened;
    bool m_playing = false;
    AutoFinishWatch m_autoFinishWatch;
    std::optional<QPoint> m_pointer;
    bool m_cursorUpdatePending = false;
    Qt::CursorShape m_cursorShape = Qt::ArrowCursor;
    std::optional<ConversionJob> m_job;
    std::function<void(const QString&)> m_report;
};

} // namespace swivio::app
