#pragma once

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace swivio {
struct ConversionSettings;
class SettingsStore;
} // namespace swivio

namespace swivio::app {

class ConversionRun;

// An interactive conversion up to the encoding: opens the movie for recording (when it
// cannot be opened, `tell` shows why and no window opens), runs the Record window, and hands
// what was recorded to a conversion run that encodes it. Returns that run, started (the
// Converting window watches it), or null when nothing is to be encoded: cancelled before
// Record, or the recording failed (the window said why). `settings` are complete and
// checked; `overwriteAllowed` as the conversion run takes it.
std::unique_ptr<ConversionRun>
recordInteractively(const ConversionSettings& settings, SettingsStore& store, bool overwriteAllowed,
                    QWidget* parent, const std::function<void(QWidget*, const QString&)>& tell);

} // namespace swivio::app
