#include "encode/image/png_file.h"

#include <vector>

#include "encode/image/png_codec.h"

namespace swivio {

Status writePngFile(const Frame& frame, const std::string& path) {
    std::vector<const uint8_t*> rows(static_cast<std::size_t>(frame.height()));
    for (int y = 0; y < frame.height(); ++y)
        rows[static_cast<std::size_t>(y)] = frame.topRow(y);
    return png_codec::writeRgbRows(path, frame.width(), frame.height(), rows.data(),
                                   /*bgr=*/true);
}

Status writePngFile(const PictureImage& image, const std::string& path) {
    if (image.isNull())
        return Status::failure("Cannot write an empty picture to " + path);
    PictureImage truecolour;
    const PictureImage* source = &image;
    if (image.bitsPerPixel() != 24) {
        truecolour = PictureImage(image.width(), image.height(), 24);
        for (int y = 0; y < image.height(); ++y) {
            uint8_t* row = truecolour.topRow(y);
            for (int x = 0; x < image.width(); ++x) {
                const uint32_t c = image.pixel(x, y);
                row[x * 3] = colorBlue(c);
                row[x * 3 + 1] = colorGreen(c);
                row[x * 3 + 2] = colorRed(c);
            }
        }
        source = &truecolour;
    }
    std::vector<const uint8_t*> rows(static_cast<std::size_t>(source->height()));
    for (int y = 0; y < source->height(); ++y)
        rows[static_cast<std::size_t>(y)] = source->topRow(y);
    return png_codec::writeRgbRows(path, source->width(), source->height(), rows.data(),
                                   /*bgr=*/true);
}

} // namespace swivio
