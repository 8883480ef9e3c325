#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "capture/conversion_task.h"

namespace swivio::app {

// One conversion running off the window thread: the recording and then the encoding of
// the conversion task, which the Record window and then the Converting window watch. The
// windows read progress() when they repaint (so progress costs nothing between paints);
// finished() arrives on the window thread once the task has ended.
class ConversionRun : public QObject {
    Q_OBJECT
public:
    ConversionRun(ConversionSettings settings, std::unique_ptr<MovieSource> source,
                  bool overwriteAllowed, QObject* parent = nullptr);
    // A run that only encodes `job`, what a finished recording made; the run owns its
    // temporary files from here and deletes them whatever happens.
    ConversionRun(ConversionJob job, bool overwriteAllowed, QObject* parent = nullptr);
    // Cancels a task still running and waits for it.
    ~ConversionRun() override;

    // Before start: the recording and the encoding one after the other instead of at once.
    void setRecordWhileEncoding(bool atOnce) { m_task.setRecordWhileEncoding(atOnce); }

    void start();
    // Ends the recording before its next frame; what it recorded is encoded.
    void finishRecording();
    // Stops the running phase before its next frame.
    void cancel();

    TaskProgress progress() const;
    bool isDone() const { return m_done.load(); }
    // Valid once done.
    const TaskResult& result() const { return m_result; }
    const ConversionSettings& settings() const { return m_settings; }

signals:
    void finished();

private:
    void watchProgress();

    ConversionSettings m_settings;
    ConversionTask m_task;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    TaskProgress m_progress;
    TaskResult m_result;
    std::atomic<bool> m_done{false};
};

} // namespace swivio::app
