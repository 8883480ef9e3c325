#pragma once

#include <functional>

#include "settings/conversion_settings.h"

class QWidget;

namespace swivio::app {

// Runs the crop and watermark dialog over `settings`: it edits the crop rectangle and the
// watermark fields in place and returns true on OK; on Cancel it returns false and leaves
// them as they were.
using CropDialogRunner = std::function<bool(QWidget* parent, ConversionSettings& settings)>;

// The dialog the Video page's "&Setting..." button runs. Empty until the crop and watermark
// dialog is linked in; while empty the button is disabled.
CropDialogRunner& cropDialogRunner();

} // namespace swivio::app
