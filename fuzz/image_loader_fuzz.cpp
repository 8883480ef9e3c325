// Feeds every input to the four picture-file loaders (BMP, and PNG, JPEG and GIF through the
// shared swf/image decoders at picture-file size limits) and, for what decodes, to the
// watermark shrink, so one corpus of all four types covers them all.
#include <cstddef>
#include <cstdint>
#include <span>

#include "encode/image/picture_file.h"
#include "crop/watermark_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace swivio;
    const std::span<const uint8_t> bytes(data, size);
    for (PictureFileType type : {PictureFileType::Bmp, PictureFileType::Png, PictureFileType::Jpeg,
                                 PictureFileType::Gif}) {
        Result<PictureImage> image = decodePicture(bytes, type);
        if (!image)
            continue;
        volatile uint32_t sink = image->pixel(image->width() - 1, 0);
        (void)sink;
        const auto [width, height] = watermarkPictureSize(image->width(), image->height());
        if (int64_t(width) * height <= 1 << 20) {
            const PictureImage shrunk = stretchPicture(*image, width, height);
            volatile uint32_t corner = shrunk.pixel(width - 1, height - 1);
            (void)corner;
        }
    }
    return 0;
}
