#include "encode/image/jpeg_file.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "clib/c_handle.h"
#include "clib/jpeg_errors.h"
#include "encode/image/picture_file.h"

namespace swivio {
namespace {

// Every libjpeg call of a write lives here (see clib/jpeg_errors.h); `reason` receives the
// message on failure.
bool compressRows(std::FILE* file, int width, int height, int quality, uint8_t* const* rows,
                  char* reason, std::size_t reasonSize) {
    jpeg_compress_struct info;
    clib::JpegErrors errors;
    std::memset(&info, 0, sizeof info);
    info.err = clib::initJpegErrors(errors);
    if (setjmp(errors.jump)) {
        std::snprintf(reason, reasonSize, "%s", errors.message);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rows[info.next_scanline];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

Status writeJpegFile(const PictureImage& image, const std::string& path) {
    if (image.isNull() || image.bitsPerPixel() != 24)
        return Status::failure("Only 24-bit pictures can be written as JPEG: " + path);
    Result<clib::File> file = createPictureFile(path);
    if (!file)
        return Status::failure(file.message());
    std::vector<uint8_t*> rows(static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[std::size_t(y)] = const_cast<uint8_t*>(image.topRow(y));
    char reason[JMSG_LENGTH_MAX] = {};
    const bool ok = compressRows(file->get(), image.width(), image.height(), image.jpegQuality(),
                                 rows.data(), reason, sizeof reason);
    return finishPictureFile(std::move(*file), path, ok, reason, "JPEG");
}

} // namespace swivio
