#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "encode/frame_writer.h"

namespace swivio {

// The MPEG output of the encoding loop as a FrameWriter.
//
// Opens an MpegWriter with the preset of `mpegType` (0 to 5), writing `path` with sound from
// `soundPath` (empty: no sound, silence on a VCD). On failure the message says why; MPEG failures
// are not shown to the user by the GUI, the command line prints the message.
//
// The writer's writeFrame returns true even when a frame fails (MPEG output fails silently
// and the loop carries on); the first failure stays in errorString() and makes finish()
// return false. finish() writes the trailer, closes the file and puts it in place: the file
// is written beside `path` (an OutputFile) and renamed over it only then, so a file at
// `path` is untouched until the output is complete, and abandon() or a failure leaves it
// so. A `path` that is not a regular file is refused; a symbolic link's target file gets
// the output.
Result<std::unique_ptr<FrameWriter>> openMpegOutput(const std::string& path, int mpegType,
                                                    const std::string& soundPath);

} // namespace swivio
