#pragma once

#include <memory>
#include <string>
#include <utility>

#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

inline constexpr char kUnsupportedFileTypeMessage[] = "Unsupported file type!";
inline constexpr char kBadPictureFileMessage[] = "The file format is not correct!";

// The largest side of a watermark picture.
inline constexpr int kMaxWatermarkSide = 1000;

// The size a loaded picture of width x height is kept at: its own when neither side is over
// 1000; otherwise the longer side becomes 1000 and the other side scales with truncation
// (2000 x 500 -> 1000 x 250, 1001 x 10 -> 1000 x 9), but never below 1 pixel.
std::pair<int, int> watermarkPictureSize(int width, int height);

// `image` stretched to width x height by dropping and repeating pixels (no averaging); a
// 24-bit picture. Null when the size is out of range.
PictureImage stretchPicture(const PictureImage& image, int width, int height);

// Loads a watermark picture as the crop and watermark dialog does: the type from the
// extension (kUnsupportedFileTypeMessage otherwise), the file decoded as that type
// (kBadPictureFileMessage when it cannot be), then shrunk to watermarkPictureSize. The
// failure text is exactly one of the two messages; `detail` (when given) receives the
// decoder's reason.
Result<std::shared_ptr<PictureImage>> loadWatermarkPicture(const std::string& path,
                                                           std::string* detail = nullptr);

} // namespace swivio
