#pragma once

#include <string>

#include "base/frame.h"
#include "base/result.h"
#include "encode/image/picture_file.h"

namespace swivio {

// The picture type a file name asks for by its extension (".bmp", ".png", ".jpg", ".jpeg",
// ".gif", without regard to case); PNG for any other name.
PictureFileType pictureFileTypeForName(const std::string& path);

// Saves one frame as a picture file of `type`: a GIF is reduced to 256 colours first (with
// dithering when `dither` is set), a JPEG takes `jpegQuality` (1 to 100).
Status saveFramePicture(const Frame& frame, PictureFileType type, const std::string& path,
                        int jpegQuality = 80, bool dither = true);

} // namespace swivio
