#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <png.h>

#include "swf/image/picture_decoders.h"
#include "swf/image/pixel.h"

namespace swivio::swf::image {

namespace {

// What libpng's callbacks need: the input and where to put an error message.
struct PngInput {
    const uint8_t* data;
    std::size_t size;
    std::size_t pos;
    PictureLimits limits;
    char message[200];
};

[[noreturn]] void onPngError(png_structp png, png_const_charp text) {
    auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
    std::snprintf(input->message, sizeof input->message, "PNG data: %s", text);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void readPng(png_structp png, png_bytep out, std::size_t n) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (input->size - input->pos < n)
        png_error(png, "data truncated");
    std::memcpy(out, input->data + input->pos, n);
    input->pos += n;
}

[[gnu::noinline]] bool allocatePixels(Bitmap* out, int width, int height) noexcept {
    try {
        out->width = width;
        out->height = height;
        out->pixels.assign(static_cast<std::size_t>(width) * height, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Every libpng call lives here, with only trivially destructible locals, because libpng
// reports errors by longjmp. Rows are read straight into the pixels as R, G, B, A bytes.
bool decodePngInto(PngInput* input, Bitmap* out) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, input, onPngError, onPngWarning);
    if (!png) {
        std::snprintf(input->message, sizeof input->message, "PNG data: out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(input->message, sizeof input->message, "PNG data: out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, input, readPng);
    png_set_user_limits(png, static_cast<png_uint_32>(input->limits.maxSide),
                        static_cast<png_uint_32>(input->limits.maxSide));
    // Bounds what one ancillary chunk (text, profiles) may make libpng allocate.
    png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!bitmapSizeAllowed(width, height, input->limits))
        png_error(png, "bitmap size not allowed");

    png_set_expand(png); // palette and low bit depths to 8-bit, tRNS to alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 4)
        png_error(png, "unexpected row layout");
    if (!allocatePixels(out, static_cast<int>(width), static_cast<int>(height)))
        png_error(png, "out of memory");
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<png_bytep>(out->pixels.data() + std::size_t(y) * width);
            png_read_row(png, row, nullptr);
        }
    }
    // The end of the file (and its checksums) may be missing; the pixels are complete.
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

Result<Bitmap> decodePng(std::span<const uint8_t> data, const DecodeOptions& options) {
    PngInput input{data.data(), data.size(), 0, options.limits, {}};
    Bitmap bitmap;
    if (!decodePngInto(&input, &bitmap))
        return Result<Bitmap>::failure(input.message);
    bool opaque = true;
    for (uint32_t& pixel : bitmap.pixels) {
        uint8_t p[4];
        std::memcpy(p, &pixel, 4);
        if (p[3] != 255) {
            opaque = false;
            if (options.alpha == AlphaForm::Premultiplied)
                pixel = premultipliedPixel(p[0], p[1], p[2], p[3]);
        }
    }
    bitmap.opaque = opaque;
    return bitmap;
}

} // namespace swivio::swf::image
