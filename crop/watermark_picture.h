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
// 24-bit picture that keeps the alpha channel of `image`. Null when the size is out of range.
PictureImage stretchPicture(const PictureImage& image, int width, int height);

// What loadWatermarkPicture gives. A failure's message() is exactly one of the two texts
// above (callers compare it); detail() is the decoder's reason, empty when there is none.
class [[nodiscard]] WatermarkPictureResult : public Result<std::shared_ptr<PictureImage>> {
public:
    WatermarkPictureResult(std::shared_ptr<PictureImage> picture) : Result(std::move(picture)) {}
    static WatermarkPictureResult failure(std::string message, std::string detail = {}) {
        return WatermarkPictureResult(std::move(message), std::move(detail));
    }

    const std::string& detail() const { return m_detail; }
    // The failure as a conversion reports it, with the file the picture came from:
    // "<message> (<path>: <detail>)", or "<message> (<path>)" when there is no detail.
    std::string report(const std::string& path) const {
        return message() + " (" + path + (m_detail.empty() ? "" : ": " + m_detail) + ")";
    }

private:
    WatermarkPictureResult(std::string message, std::string detail)
        : Result(Status::failure(std::move(message))), m_detail(std::move(detail)) {}

    std::string m_detail;
};

// Loads a watermark picture as the crop and watermark dialog does: the type from the
// extension (kUnsupportedFileTypeMessage otherwise), the file decoded as that type
// (kBadPictureFileMessage, with the decoder's reason as the detail, when it cannot be), then
// shrunk to watermarkPictureSize.
WatermarkPictureResult loadWatermarkPicture(const std::string& path);

} // namespace swivio
