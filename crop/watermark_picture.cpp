#include "crop/watermark_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "encode/image/picture_file.h"

namespace swivio {

std::pair<int, int> watermarkPictureSize(int width, int height) {
    if (width <= kMaxWatermarkSide && height <= kMaxWatermarkSide)
        return {width, height};
    const uint64_t w = uint64_t(std::max(width, 1)), h = uint64_t(std::max(height, 1));
    // A very thin picture would round its short side to 0; keep one pixel of it.
    if (w > h)
        return {kMaxWatermarkSide, std::max(1, int(h * kMaxWatermarkSide / w))};
    return {std::max(1, int(w * kMaxWatermarkSide / h)), kMaxWatermarkSide};
}

PictureImage stretchPicture(const PictureImage& image, int width, int height) {
    if (image.isNull())
        return {};
    PictureImage out(width, height, 24);
    if (out.isNull())
        return out;
    std::vector<int> sourceX(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        sourceX[std::size_t(x)] = int(int64_t(x) * image.width() / width);
    std::vector<uint8_t> alpha;
    if (image.hasAlpha())
        alpha.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const int sy = int(int64_t(y) * image.height() / height);
        for (int x = 0; !alpha.empty() && x < width; ++x)
            alpha[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                image.alphaAt(sourceX[std::size_t(x)], sy);
        uint8_t* dst = out.topRow(y);
        if (image.bitsPerPixel() == 24) {
            const uint8_t* src = image.topRow(sy);
            for (int x = 0; x < width; ++x)
                std::memcpy(dst + x * 3, src + sourceX[std::size_t(x)] * 3, 3);
        } else {
            for (int x = 0; x < width; ++x) {
                const uint32_t c = image.pixel(sourceX[std::size_t(x)], sy);
                dst[x * 3] = colorBlue(c);
                dst[x * 3 + 1] = colorGreen(c);
                dst[x * 3 + 2] = colorRed(c);
            }
        }
    }
    out.setAlpha(std::move(alpha));
    return out;
}

WatermarkPictureResult loadWatermarkPicture(const std::string& path) {
    using R = WatermarkPictureResult;
    const std::optional<PictureFileType> type = pictureFileTypeForPath(path);
    if (!type)
        return R::failure(kUnsupportedFileTypeMessage);
    Result<PictureImage> loaded = loadPictureFile(path, *type);
    if (!loaded)
        return R::failure(kBadPictureFileMessage, loaded.message());
    const auto [width, height] = watermarkPictureSize(loaded->width(), loaded->height());
    if (width == loaded->width() && height == loaded->height())
        return std::make_shared<PictureImage>(std::move(*loaded));
    PictureImage shrunk = stretchPicture(*loaded, width, height);
    if (shrunk.isNull())
        return R::failure(kBadPictureFileMessage);
    return std::make_shared<PictureImage>(std::move(shrunk));
}

} // namespace swivio
