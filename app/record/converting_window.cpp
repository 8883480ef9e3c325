#include "app/record/converting_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/record/conversion_run.h"

namespace swivio::app {

namespace {
constexpr int kPollMs = 100;
// The finished window stays up this long so that the user sees it end.
constexpr int kCloseDelayMs = 1000;
} // namespace

ConvertingWindow::ConvertingWindow(ConversionRun& run, QWidget* parent)
    : QDialog(parent), m_run(run) {
    setWindowTitle("Converting...");
    setObjectName("ConvertingWindow");
    setProperty("helpPage", "convert.html");
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* label = new QLabel("Waiting for converting...", this);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_percent = new QLabel("0%", this);
    m_percent->setAlignment(Qt::AlignCenter);
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_progress);
    layout->addWidget(m_percent);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(m_cancel, &QPushButton::clicked, this, &ConvertingWindow::reject);
    connect(&run, &ConversionRun::finished, this, &ConvertingWindow::onRunFinished);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &ConvertingWindow::onPoll);
    m_poll.start();
    if (run.isDone())
        QTimer::singleShot(0, this, &ConvertingWindow::onRunFinished);
}

void ConvertingWindow::onPoll() {
    const TaskProgress p = m_run.progress();
    if (p.phase != ConversionPhase::Encoding || p.count <= 0)
        return;
    const int written = std::min(p.index + 1, p.count);
    m_progress->setRange(0, p.count);
    m_progress->setValue(written);
    const int percent = static_cast<int>(100LL * written / p.count);
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        m_percent->setText(QString::number(percent) + "%");
    }
}

bool ConvertingWindow::askCancel() {
    if (m_ask)
        return m_ask();
    return QMessageBox::question(this, windowTitle(), kCancelEncodingQuestion,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void ConvertingWindow::reject() {
    if (m_ended || m_cancelRequested)
        return;
    if (!askCancel())
        return;
    // The run stops before its next frame and completes what it wrote; the window closes
    // when it has.
    m_cancelRequested = true;
    m_cancel->setEnabled(false);
    m_run.cancel();
    if (m_run.isDone())
        onRunFinished();
}

void ConvertingWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void ConvertingWindow::onRunFinished() {
    if (m_ended)
        return;
    m_ended = true;
    m_poll.stop();
    onPoll();
    m_cancel->setEnabled(false);
    const TaskResult& r = m_run.result();
    if (m_cancelRequested || r.outcome == ConversionResult::Outcome::Cancelled) {
        QDialog::done(QDialog::Rejected);
        return;
    }
    if (r.outcome == ConversionResult::Outcome::Failed && !r.message.empty())
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(r.message));
    QTimer::singleShot(kCloseDelayMs, this, [this] { QDialog::done(QDialog::Accepted); });
}

} // namespace swivio::app
