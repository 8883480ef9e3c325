#include <cstdio>
#include <cstring>
#include <new>

#include "clib/jpeg_errors.h"
#include "swf/image/picture_decoders.h"
#include "swf/image/pixel.h"

namespace swivio::swf::image {

namespace {

// Refuses streams with absurd numbers of scans, which would take very long to decode.
struct JpegProgress {
    jpeg_progress_mgr base;
    clib::JpegErrors* errors;
};

void onJpegProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans)
        clib::failJpeg(*reinterpret_cast<JpegProgress*>(cinfo->progress)->errors, "too many scans");
}

// Kept out of line so that none of their locals become locals of the setjmp function.
[[gnu::noinline]] bool allocatePixels(Bitmap* out, int width, int height) noexcept {
    try {
        out->width = width;
        out->height = height;
        out->pixels.assign(static_cast<std::size_t>(width) * height, packPixel(0, 0, 0, 255));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

[[gnu::noinline]] void storeRow(Bitmap* out, int y, const JSAMPLE* row, bool cmyk) {
    uint32_t* dst = out->pixels.data() + static_cast<std::size_t>(y) * out->width;
    for (int x = 0; x < out->width; ++x) {
        if (cmyk) {
            // Adobe's CMYK JPEGs store the inks inverted, so each value is already 255 - ink.
            const JSAMPLE* p = row + 4 * x;
            dst[x] = packPixel(uint8_t(p[0] * p[3] / 255), uint8_t(p[1] * p[3] / 255),
                               uint8_t(p[2] * p[3] / 255), 255);
        } else {
            const JSAMPLE* p = row + 3 * x;
            dst[x] = packPixel(p[0], p[1], p[2], 255);
        }
    }
}

// Every libjpeg call of a decode lives here (see clib/jpeg_errors.h). message receives the
// reason on failure.
bool decodeJpegInto(const uint8_t* data, std::size_t size, const PictureLimits* limits, Bitmap* out,
                    char* message, std::size_t messageSize) {
    jpeg_decompress_struct cinfo;
    clib::JpegErrors errors;
    JpegProgress progress;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&progress, 0, sizeof progress);
    progress.base.progress_monitor = onJpegProgress;
    progress.errors = &errors;
    cinfo.err = clib::initJpegErrors(errors);
    if (setjmp(errors.jump)) {
        std::snprintf(message, messageSize, "JPEG data: %s", errors.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress.base;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (!bitmapSizeAllowed(cinfo.image_width, cinfo.image_height, *limits)) {
        std::snprintf(message, messageSize, "JPEG data: bitmap size %ux%u not allowed",
                      cinfo.image_width, cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (!allocatePixels(out, static_cast<int>(cinfo.output_width),
                        static_cast<int>(cinfo.output_height))) {
        std::snprintf(message, messageSize, "JPEG data: out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * cinfo.output_components, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1)
            break;
        storeRow(out, y, row[0], cmyk);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

Result<Bitmap> decodeJpeg(std::span<const uint8_t> stream, const DecodeOptions& options) {
    Bitmap bitmap;
    char message[JMSG_LENGTH_MAX + 64];
    if (!decodeJpegInto(stream.data(), stream.size(), &options.limits, &bitmap, message,
                        sizeof message))
        return Result<Bitmap>::failure(message);
    bitmap.opaque = true;
    return bitmap;
}

} // namespace swivio::swf::image
