#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace swivio {
class MovieSource;
class SettingsStore;
} // namespace swivio

namespace swivio::app {

class ConversionRun;
class PlayerView;

// The recording phase, frame by frame: shows the movie while the conversion run records
// every frame. Accepted once the recording has handed over to the encoding (the Converting
// window watches the rest of the run); rejected when it was cancelled or failed.
class RecordWindow : public QDialog {
    Q_OBJECT
public:
    // `movie` is the open movie; the window shows a player of its own of it. `store` keeps
    // the auto-finish choice.
    RecordWindow(ConversionRun& run, const MovieSource& movie, SettingsStore& store,
                 QWidget* parent = nullptr);
    ~RecordWindow() override;

    // Starts recording, as the Record button does.
    void startRecording();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void onPoll();
    void onFinish();
    void onRunFinished();

    ConversionRun& m_run;
    SettingsStore& m_store;
    std::unique_ptr<MovieSource> m_player;
    PlayerView* m_view = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_progressText = nullptr;
    QCheckBox* m_autoFinish = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_finish = nullptr;
    QTimer m_poll;
    bool m_recording = false;
    int m_shownIndex = -1;
};

} // namespace swivio::app
