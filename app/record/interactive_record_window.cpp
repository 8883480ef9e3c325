#include "app/record/interactive_record_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/main_window_rules.h"
#include "app/record/cursor_picture.h"
#include "app/record/player_view.h"
#include "capture/interactive_recording.h"
#include "settings/settings_persistence.h"

namespace swivio::app {

namespace {
// Progress is read from the player ten times a second.
constexpr int kPollMs = 100;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

InteractiveRecordWindow::InteractiveRecordWindow(InteractiveRecording& recording,
                                                 const ConversionSettings& settings,
                                                 SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_recording(recording), m_store(store),
      m_geometry(computeFrameGeometry(settings)), m_captureCursor(settings.captureCursor),
      m_withSound(settings.audioSource == AudioSource::RecordFromMovie &&
                  settings.convertType != OutputType::ImageSeries),
      m_captureRate(recording.captureRate()) {
    setWindowTitle("Record");
    setObjectName("RecordWindow");
    setProperty("helpPage", "convert.html");
    // No close box: the window ends through Finish (or the cancel key before Record).
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);

    MovieSource& player = recording.player();
    QSize movieSize;
    {
        const std::lock_guard lock(recording.playerMutex());
        m_flv = player.isFlv();
        m_length = player.movieLength();
        movieSize = QSize(std::max(1, player.movieWidth()), std::max(1, player.movieHeight()));
    }

    m_view = new PlayerView(this);
    m_view->setSourceMutex(&recording.playerMutex());
    m_view->setSource(&player);
    m_view->setInputEnabled(true);
    m_view->installEventFilter(this);
    // The movie at the size it is recorded at, where the screen allows.
    QSize shown(m_geometry.playerWidth, m_geometry.playerHeight);
    if (shown.isEmpty())
        shown = movieSize;
    m_view->fitToScreen(shown, QSize(40, 180));

    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(10);
    m_progress->setRange(m_flv ? 0 : 1, std::max(m_length, m_flv ? 0 : 1));

    m_autoFinish = new QCheckBox("Finish &automatically after the last frame", this);
    m_autoFinish->setChecked(readAutofinish(store));
    m_progressText = new QLabel(this);
    m_progressText->setObjectName("positionText");
    m_progressText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_status = new QLabel(this);
    m_status->setObjectName("recordStatus");
    m_status->setWordWrap(true);
    m_status->setText("Not recording yet");

    m_play = new QPushButton("&Play", this);
    m_play->setToolTip("Start to play the movie without recording");
    m_record = new QPushButton("&Record", this);
    m_record->setToolTip("Start to play the movie and record it");
    m_record->setDefault(true);
    m_pause = new QPushButton("Pa&use", this);
    m_pause->setObjectName("pauseButton");
    m_pause->setToolTip("Hold the recording while the movie goes on");
    m_finish = new QPushButton("&Finish", this);
    m_finish->setToolTip("Stop all and exit");
    // Buttons never take the focus from the movie, which hears Enter and Space itself.
    for (QPushButton* button : {m_play, m_record, m_pause, m_finish})
        button->setFocusPolicy(Qt::TabFocus);

    auto* info = new QHBoxLayout;
    info->addWidget(m_autoFinish);
    info->addStretch(1);
    info->addWidget(m_progressText);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_play, m_record, m_pause, m_finish})
        buttons->addWidget(button);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_progress);
    layout->addLayout(info);
    layout->addLayout(buttons);
    layout->addWidget(m_status);
    // The movie's picture fills the view: the rest of the window takes what it needs.
    const int below = layout->sizeHint().height() - m_view->sizeHint().height();
    resize(std::max(m_view->width() + 8, 420), m_view->height() + below);

    connect(m_play, &QPushButton::clicked, this, &InteractiveRecordWindow::play);
    connect(m_record, &QPushButton::clicked, this, &InteractiveRecordWindow::startRecording);
    connect(m_pause, &QPushButton::clicked, this, &InteractiveRecordWindow::togglePause);
    connect(m_finish, &QPushButton::clicked, this, &InteractiveRecordWindow::finish);
    // Every frame played is looked at, so a looping movie's last frame is never missed
    // between two polls.
    connect(m_view, &PlayerView::advanced, this, &InteractiveRecordWindow::onAdvanced);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &InteractiveRecordWindow::onPoll);
    m_poll.start();
    onPoll();
    m_view->setFocus();
}

InteractiveRecordWindow::~InteractiveRecordWindow() {
    m_poll.stop();
    // The view's sound output closes while the recording can still hear it.
    m_view->setSource(nullptr);
}

void InteractiveRecordWindow::startPlaying() {
    {
        const std::lock_guard lock(m_recording.playerMutex());
        m_recording.player().play();
    }
    m_view->setAnimating(true);
    m_autoFinishWatch.restart();
}

void InteractiveRecordWindow::play() {
    if (m_stage != Stage::Opened)
        return;
    startPlaying();
    m_stage = Stage::Previewing;
    applyStates();
}

void InteractiveRecordWindow::startRecording() {
    if (m_stage != Stage::Opened && m_stage != Stage::Previewing)
        return;
    if (Status started = m_recording.start(); !started) {
        report(qs(started.message()));
        return;
    }
    if (m_captureCursor)
        updateCursor(m_pointer);
    // A preview that was playing goes on as it is; a still movie starts now.
    if (m_stage == Stage::Opened)
        startPlaying();
    else
        m_autoFinishWatch.restart();
    m_stage = Stage::Recording;
    applyStates();
    onPoll();
}

void InteractiveRecordWindow::togglePause() {
    if (m_stage == Stage::Recording) {
        m_recording.pause();
        m_stage = Stage::Paused;
    } else if (m_stage == Stage::Paused) {
        m_recording.resume();
        m_stage = Stage::Recording;
    } else {
        return;
    }
    applyStates();
    onPoll();
}

void InteractiveRecordWindow::finish() {
    if (m_stage == Stage::Ended)
        return;
    if (m_stage == Stage::Opened || m_stage == Stage::Previewing) {
        reject();
        return;
    }
    m_stage = Stage::Ended;
    m_poll.stop();
    m_view->setAnimating(false);
    Result<ConversionJob> job = m_recording.finish();
    if (!job) {
        report(qs(job.message()));
        reject();
        return;
    }
    m_job = std::move(*job);
    accept();
}

void InteractiveRecordWindow::onPoll() {
    int position = 0;
    bool atEnd = false;
    {
        const std::lock_guard lock(m_recording.playerMutex());
        const MovieSource& player = m_recording.player();
        position = player.position();
        m_playing = player.isPlaying();
        atEnd = player.atEnd();
    }
    m_progressText->setText(qs(positionText(m_flv, position, m_length)));
    m_progress->setValue(std::clamp(position, m_progress->minimum(), m_progress->maximum()));

    const bool recording = m_stage == Stage::Recording || m_stage == Stage::Paused;
    if (recording) {
        const InteractiveStats stats = m_recording.stats();
        QString text =
            qs(recordingStatusText(stats, m_captureRate, m_stage == Stage::Paused, m_withSound));
        for (const std::string& warning : m_recording.warnings())
            text += "\n" + qs(warning);
        m_status->setText(text);
    }
    if (m_captureCursor && m_pointer && m_view->cursor().shape() != m_cursorShape)
        updateCursor(m_pointer);
    applyStates();

    checkAutoFinish(position, atEnd);
}

void InteractiveRecordWindow::onAdvanced() {
    int position = 0;
    bool atEnd = false;
    {
        const std::lock_guard lock(m_recording.playerMutex());
        position = m_recording.player().position();
        atEnd = m_recording.player().atEnd();
    }
    checkAutoFinish(position, atEnd);
}

void InteractiveRecordWindow::checkAutoFinish(int position, bool atEnd) {
    const bool moving = m_stage != Stage::Opened && m_stage != Stage::Ended;
    if (moving && m_autoFinishWatch.arrived(m_flv, position, m_length, atEnd) &&
        m_autoFinish->isChecked())
        finish();
}

void InteractiveRecordWindow::applyStates() {
    const bool before = m_stage == Stage::Opened || m_stage == Stage::Previewing;
    const bool recording = m_stage == Stage::Recording || m_stage == Stage::Paused;
    m_play->setEnabled(m_stage == Stage::Opened && !m_playing);
    m_record->setEnabled(before);
    m_pause->setEnabled(recording);
    m_pause->setText(m_stage == Stage::Paused ? "Res&ume" : "Pa&use");
    m_pause->setToolTip(m_stage == Stage::Paused ? "Go on recording"
                                                 : "Hold the recording while the movie goes on");
    m_finish->setEnabled(m_stage != Stage::Ended);
}

void InteractiveRecordWindow::updateCursor(std::optional<QPoint> at) {
    m_pointer = at;
    if (!m_captureCursor)
        return;
    const QCursor cursor = m_view->cursor();
    m_cursorShape = cursor.shape();
    int x = 0;
    int y = 0;
    const MovieSource& player = m_recording.player();
    const int mw = player.movieWidth();
    const int mh = player.movieHeight();
    if (!at ||
        !viewToPlayer(fitMovie(mw, mh, m_view->width(), m_view->height()), mw, mh,
                      m_geometry.playerWidth, m_geometry.playerHeight, at->x(), at->y(), x, y)) {
        m_recording.setCursor(std::nullopt);
        return;
    }
    m_recording.setCursor(cursorPicture(cursor, x, y));
}

bool InteractiveRecordWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view) {
        switch (event->type()) {
        case QEvent::KeyPress:
            // Before Record the cancel key is the window's; from then on the movie hears it.
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                (m_stage == Stage::Opened || m_stage == Stage::Previewing)) {
                reject();
                return true;
            }
            break;
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            m_pointer = static_cast<QMouseEvent*>(event)->position().toPoint();
            // Taken once the view has handled the event, which may change the pointer's
            // shape (a button under it); a burst of moves makes one update.
            if (m_captureCursor && !m_cursorUpdatePending) {
                m_cursorUpdatePending = true;
                QTimer::singleShot(0, this, [this] {
                    m_cursorUpdatePending = false;
                    updateCursor(m_pointer);
                });
            }
            break;
        case QEvent::Leave:
            updateCursor(std::nullopt);
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void InteractiveRecordWindow::report(const QString& text) {
    if (m_report)
        m_report(text);
    else
        QMessageBox::warning(this, "Record", text);
}

void InteractiveRecordWindow::keyPressEvent(QKeyEvent* event) {
    // The cancel key ends the window only before Record; a recording ends through Finish.
    if (event->key() == Qt::Key_Escape && m_stage != Stage::Opened &&
        m_stage != Stage::Previewing) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void InteractiveRecordWindow::closeEvent(QCloseEvent* event) {
    if (m_stage == Stage::Recording || m_stage == Stage::Paused) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void InteractiveRecordWindow::done(int result) {
    m_poll.stop();
    m_view->setAnimating(false);
    writeAutofinish(m_store, m_autoFinish->isChecked());
    // Whatever ends the window without a job leaves no temporary file behind.
    if (!m_job)
        m_recording.cancel();
    QDialog::done(result);
}

} // namespace swivio::app
