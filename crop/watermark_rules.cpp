#include "crop/watermark_rules.h"

#include <algorithm>

#include "crop/watermark_picture.h"

namespace swivio {

WatermarkRect defaultWatermarkRect(int pictureWidth, int pictureHeight, int cropWidth,
                                   int cropHeight) {
    double scale = 1.0;
    if (pictureWidth > cropWidth / 2)
        scale = std::min(scale, double(cropWidth / 2) / pictureWidth);
    if (pictureHeight > cropHeight / 2)
        scale = std::min(scale, double(cropHeight / 2) / pictureHeight);
    WatermarkRect rect;
    rect.width = std::max(1, int(pictureWidth * scale));
    rect.height = std::max(1, int(pictureHeight * scale));
    return rect;
}

Result<std::shared_ptr<PictureImage>> setWatermark(ConversionSettings& s,
                                                   const WatermarkChoice& choice) {
    using R = Result<std::shared_ptr<PictureImage>>;
    if (choice.rect && (choice.rect->width <= 0 || choice.rect->height <= 0))
        return R::failure("The watermark rectangle is empty.");
    if (choice.opacity && (*choice.opacity < 0 || *choice.opacity > 255))
        return R::failure("The watermark opacity must be 0 to 255.");
    WatermarkPictureResult picture = loadWatermarkPicture(choice.file);
    if (!picture)
        return R::failure(picture.report(choice.file));
    const PictureImage& image = **picture;
    const WatermarkRect rect =
        choice.rect ? *choice.rect
                    : defaultWatermarkRect(image.width(), image.height(), s.cropWidth, s.cropHeight);
    s.watermarkEnabled = true;
    s.watermarkFile = choice.file;
    s.watermarkX = rect.x;
    s.watermarkY = rect.y;
    s.watermarkWidth = rect.width;
    s.watermarkHeight = rect.height;
    if (choice.transparentColor) {
        s.watermarkUseTransparentColor = true;
        s.watermarkTransparentColor = *choice.transparentColor;
    }
    if (choice.opacity) {
        s.watermarkUseTransparency = true;
        s.watermarkTransparency = *choice.opacity;
    }
    return picture;
}

} // namespace swivio
