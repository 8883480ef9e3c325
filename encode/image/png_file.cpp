#include "encode/image/png_file.h"

#include <vector>

#include "encode/image/png_codec.h"

namespace swivio {

bool writePngFile(const Frame& frame, const std::string& path, std::string* error) {
    std::vector<const uint8_t*> rows(static_cast<std::size_t>(frame.height()));
    for (int y = 0; y < frame.height(); ++y)
        rows[static_cast<std::size_t>(y)] = frame.topRow(y);
    return png_codec::writeRgbRows(path, frame.width(), frame.height(), rows.data(),
                                   /*bgr=*/true, error);
}

} // namespace swivio
