#include "app/record/conversion_run.h"

#include <QMetaObject>

namespace swivio::app {

ConversionRun::ConversionRun(ConversionSettings settings, std::unique_ptr<MovieSource> source,
                             bool overwriteAllowed, QObject* parent)
    : QObject(parent), m_settings(settings), m_task(std::move(settings), std::move(source)) {
    m_task.setOverwriteAllowed(overwriteAllowed);
    watchProgress();
}

ConversionRun::ConversionRun(ConversionJob job, bool overwriteAllowed, QObject* parent)
    : QObject(parent), m_settings(job.settings), m_task(job.settings, nullptr) {
    m_task.setOverwriteAllowed(overwriteAllowed);
    m_task.setRecordedJob(std::move(job));
    watchProgress();
}

void ConversionRun::watchProgress() {
    m_task.setProgressCallback([this](const TaskProgress& p) {
        std::lock_guard lock(m_mutex);
        m_progress = p;
        return true;
    });
}

ConversionRun::~ConversionRun() {
    if (m_thread.joinable()) {
        m_task.requestCancel();
        m_thread.join();
    }
}

void ConversionRun::start() {
    if (m_thread.joinable() || m_done.load())
        return;
    m_thread = std::thread([this] {
        TaskResult result = m_task.run();
        {
            std::lock_guard lock(m_mutex);
            m_result = std::move(result);
        }
        // The result is published before the flag, and the flag before the signal.
        m_done.store(true);
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_thread.joinable())
                    m_thread.join();
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

void ConversionRun::finishRecording() { m_task.requestFinishRecording(); }

void ConversionRun::cancel() { m_task.requestCancel(); }

TaskProgress ConversionRun::progress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

} // namespace swivio::app
