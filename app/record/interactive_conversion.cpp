#include "app/record/interactive_conversion.h"

#include "app/record/conversion_run.h"
#include "app/record/interactive_record_window.h"
#include "capture/interactive_recording.h"

namespace swivio::app {

std::unique_ptr<ConversionRun>
recordInteractively(const ConversionSettings& settings, SettingsStore& store, bool overwriteAllowed,
                    QWidget* parent, const std::function<void(QWidget*, const QString&)>& tell) {
    // The recording hears the player's sound from its first opening, so it opens first and
    // the window's player comes from it.
    InteractiveRecording recording(settings);
    if (Status opened = recording.open(); !opened) {
        tell(parent, QString::fromStdString(opened.message()));
        return nullptr;
    }
    std::optional<ConversionJob> job;
    {
        InteractiveRecordWindow window(recording, settings, store, parent);
        if (window.exec() == QDialog::Accepted)
            job = window.takeJob();
    }
    if (!job)
        return nullptr;
    auto run = std::make_unique<ConversionRun>(std::move(*job), overwriteAllowed);
    run->start();
    return run;
}

} // namespace swivio::app
