#include "app/record/record_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/main_window_rules.h"
#include "app/record/conversion_run.h"
#include "app/record/player_view.h"
#include "settings/settings_persistence.h"
#include "source/movie_source.h"

namespace swivio::app {

namespace {
// Progress is shown ten times a second however fast the recording runs.
constexpr int kPollMs = 100;
} // namespace

RecordWindow::RecordWindow(ConversionRun& run, const MovieSource& movie, SettingsStore& store,
                           QWidget* parent)
    : QDialog(parent), m_run(run), m_store(store), m_player(movie.openAnother()) {
    setWindowTitle("Record");
    setObjectName("RecordWindow");
    setProperty("helpPage", "convert.html");
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);

    m_view = new PlayerView(this);
    m_view->setSource(m_player.get());
    // The movie shown follows the recording frame by frame: a click would only make it
    // differ from what is recorded.
    m_view->setInputEnabled(false);
    // The movie at its own size where the screen allows.
    m_view->fitToScreen(QSize(std::max(1, movie.movieWidth()), std::max(1, movie.movieHeight())),
                        QSize(40, 160));

    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(10);
    const TaskProgress planned = run.progress();
    m_progress->setRange(0, std::max(planned.count, movie.movieLength()));

    m_autoFinish = new QCheckBox("Finish &automatically after the last frame", this);
    m_autoFinish->setChecked(readAutofinish(store));
    m_progressText = new QLabel(this);
    m_progressText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_play = new QPushButton("&Play", this);
    m_play->setToolTip("Start to play the movie without recording");
    // Frame by frame, the movie is only ever stepped by the recording.
    m_play->setEnabled(false);
    m_record = new QPushButton("&Record", this);
    m_record->setToolTip("Start to play the movie and record it");
    m_record->setDefault(true);
    m_finish = new QPushButton("&Finish", this);
    m_finish->setToolTip("Stop all and exit");

    auto* info = new QHBoxLayout;
    info->addWidget(m_autoFinish);
    info->addStretch(1);
    info->addWidget(m_progressText);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_play);
    buttons->addWidget(m_record);
    buttons->addWidget(m_finish);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 8);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_progress);
    layout->addLayout(info);
    layout->addLayout(buttons);
    resize(std::max(m_view->width() + 8, 360), m_view->height() + 110);

    connect(m_record, &QPushButton::clicked, this, &RecordWindow::startRecording);
    connect(m_finish, &QPushButton::clicked, this, &RecordWindow::onFinish);
    connect(&run, &ConversionRun::finished, this, &RecordWindow::onRunFinished);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &RecordWindow::onPoll);
}

RecordWindow::~RecordWindow() { m_view->setSource(nullptr); }

void RecordWindow::startRecording() {
    if (m_recording)
        return;
    m_recording = true;
    m_record->setEnabled(false);
    m_play->setEnabled(false);
    m_run.start();
    m_poll.start();
    onPoll();
}

void RecordWindow::onPoll() {
    if (!m_recording)
        return;
    const TaskProgress p = m_run.progress();
    if (p.phase == ConversionPhase::Encoding || m_run.isDone()) {
        if (m_run.isDone())
            onRunFinished();
        else
            accept();
        return;
    }
    if (p.count > 0) {
        m_progress->setRange(0, p.count);
        m_progress->setValue(std::min(p.index, p.count));
        m_progressText->setText(QString::fromStdString(
            positionText(false, std::min(p.index + 1, p.count), p.count)));
    }
    if (p.index != m_shownIndex) {
        m_shownIndex = p.index;
        const ConversionSettings& s = m_run.settings();
        const int first = s.firstRecordedFrame > 0 ? s.firstRecordedFrame - 1 : 0;
        m_player->gotoFrame(first + p.index);
        m_view->refresh();
    }
}

void RecordWindow::onFinish() {
    if (!m_recording) {
        reject();
        return;
    }
    // The recording ends before its next frame and what it holds is encoded.
    m_run.finishRecording();
    m_finish->setEnabled(false);
}

void RecordWindow::onRunFinished() {
    if (!isVisible() || result() != 0)
        return;
    m_poll.stop();
    const TaskResult& r = m_run.result();
    if (r.phase == ConversionPhase::Encoding) {
        accept();
        return;
    }
    if (r.outcome == ConversionResult::Outcome::Failed && !r.message.empty())
        QMessageBox::warning(this, "Record", QString::fromStdString(r.message));
    reject();
}

void RecordWindow::keyPressEvent(QKeyEvent* event) {
    // Escape cancels only while nothing is being recorded.
    if (event->key() == Qt::Key_Escape && m_recording) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RecordWindow::closeEvent(QCloseEvent* event) {
    if (m_recording) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void RecordWindow::done(int result) {
    m_poll.stop();
    writeAutofinish(m_store, m_autoFinish->isChecked());
    QDialog::done(result);
}

} // namespace swivio::app
