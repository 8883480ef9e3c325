#pragma once

#include <memory>

#include "base/result.h"
#include "encode/conversion_job.h"
#include "encode/frame_writer.h"

namespace swivio {

inline constexpr char kOutputTypeUnavailableMessage[] = "This output type is not available yet.";

// Opens the one writer of a conversion by convertType:
// - ImageSeries with picture types BMP, PNG, JPEG, GIF: a picture series in outputFolder
//   (nothing is created before the first frame);
// - ImageSeries with AnimatedGif: the animated GIF "<outputFolder>/<movie title>.gif",
//   created now; a file that cannot be created still gives a writer that ignores every
//   frame (its finish() reports the failure);
// - Avi and Mpeg: their writers are connected here.
// Fails, with the message, when no writer can be opened.
Result<std::unique_ptr<FrameWriter>> openOutputWriter(const ConversionJob& job);

} // namespace swivio
