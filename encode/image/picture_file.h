#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "clib/c_handle.h"
#include "encode/image/picture_image.h"

namespace swivio {

enum class PictureFileType { Bmp, Png, Jpeg, Gif };

// The type of a picture file by its extension, the text after the last '.', compared
// without regard to case: "bmp", "png", "jpg" or "jpeg", "gif". Empty for anything else.
std::optional<PictureFileType> pictureFileTypeForPath(const std::string& path);

// The largest picture file the loaders read (bytes).
inline constexpr std::size_t kMaxPictureFileSize = std::size_t(256) << 20;

// Decodes a picture file held in memory as `type` into a 24-bit picture.
Result<PictureImage> decodePicture(std::span<const uint8_t> data, PictureFileType type);
// Reads the file at `path` and decodes it as `type`.
Result<PictureImage> loadPictureFile(const std::string& path, PictureFileType type);

// Saves `image` at `path`, replacing any file there: BMP (24 bits), PNG (truecolour), JPEG
// (24-bit pictures only, at the picture's jpegQuality) or a single-picture GIF (8-bit
// pictures only). On failure a partial file is removed and the message says why.
Status savePictureFile(const PictureImage& image, PictureFileType type, const std::string& path);

// Creates (or truncates) the file at `path` for a picture writer; fails with
// "Cannot create <path>: <reason>".
Result<clib::File> createPictureFile(const std::string& path);

// Completes a file that a picture writer has filled: flushes and closes it, checking both.
// When that fails, or the writing did (`written` false, with `reason`), the file is removed
// and the message says "Cannot write the <format> file <path>: <reason>".
Status finishPictureFile(clib::File file, const std::string& path, bool written, std::string reason,
                         const char* format);

// Writes `bytes` as the whole file at `path`; on failure a partial file is removed.
Status writeWholeFile(const std::string& path, std::span<const uint8_t> bytes);

} // namespace swivio
