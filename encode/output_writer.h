#pragma once

#include <memory>

#include "base/result.h"
#include "encode/conversion_job.h"
#include "encode/frame_writer.h"

namespace swivio {

// Opens the one writer of a conversion by convertType:
// - ImageSeries with picture types BMP, PNG, JPEG, GIF: a picture series in outputFolder
//   (nothing is created before the first frame);
// - ImageSeries with AnimatedGif: the animated GIF "<outputFolder>/<movie title>.gif",
//   created now; a file that cannot be created still gives a writer that ignores every
//   frame (its finish() reports the failure);
// - Avi: the AVI writer of outputFile with the recorded or imported sound;
// - Mpeg: the MPEG writer of outputFile with the preset of mpegType and the sound;
// - VideoFile: the MP4, MKV or WebM writer of outputFile with the sound.
// Fails, with the message, when no writer can be opened. A sound that cannot be added to an
// AVI file leaves the file without sound and is reported as a warning of the result.
Result<std::unique_ptr<FrameWriter>> openOutputWriter(const ConversionJob& job);

} // namespace swivio
