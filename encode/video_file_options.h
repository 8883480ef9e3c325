#pragma once

#include "encode/conversion_job.h"
#include "encode/video_file/video_file_codecs.h"
#include "encode/video_file/video_file_writer.h"

namespace swivio {

// The video file writer's options for a conversion: its container, codec, quality and speed,
// the frame of the job's geometry at the output frame rate, and the job's sound (none when
// the audio source is None or there is no sound file).
VideoFileOptions videoFileOptions(const ConversionJob& job);

} // namespace swivio
