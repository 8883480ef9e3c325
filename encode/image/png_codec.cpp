#include "encode/image/png_codec.h"

#include <csetjmp>
#include <cstdio>
#include <utility>

#include <png.h>

#include "clib/c_handle.h"
#include "encode/image/picture_file.h"

namespace swivio::png_codec {
namespace {

// libpng reports errors by longjmp; the message goes into this buffer first.
struct PngErrorSink {
    char message[256];
};

[[noreturn]] void onPngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
    if (sink) {
        std::snprintf(sink->message, sizeof sink->message, "%s", message ? message : "");
    }
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// libpng's write struct and info struct, released together.
class PngWriteStructs {
public:
    explicit PngWriteStructs(PngErrorSink* sink) {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, sink, onPngError, onPngWarning);
        if (m_png)
            m_info = png_create_info_struct(m_png);
    }
    ~PngWriteStructs() {
        if (m_png)
            png_destroy_write_struct(&m_png, m_info ? &m_info : nullptr);
    }
    PngWriteStructs(const PngWriteStructs&) = delete;
    PngWriteStructs& operator=(const PngWriteStructs&) = delete;

    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// Every libpng call of a write lives here, beside the setjmp, with only trivially
// destructible locals so that a longjmp skips no destructor.
bool encodeRows(png_structp png, png_infop info, std::FILE* file, int width, int height,
                const uint8_t* const* rows, bool bgr) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // Level 6 without row filters: the adaptive filters cost three times the time for 3%
    // smaller files of flat-coloured frames (bench/png_bench.cpp).
    png_set_compression_level(png, 6);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_write_info(png, info);
    if (bgr)
        png_set_bgr(png);
    png_write_image(png, const_cast<png_bytepp>(rows));
    png_write_end(png, info);
    return true;
}

} // namespace

Status writeRgbRows(const std::string& path, int width, int height, const uint8_t* const* rows,
                    bool bgr) {
    if (width <= 0 || height <= 0 || width > 0x7FFFFFF || height > 0x7FFFFFF)
        return Status::failure("Cannot write an empty picture to " + path);
    Result<clib::File> file = createPictureFile(path);
    if (!file)
        return Status::failure(file.message());
    PngErrorSink sink{};
    bool ok = false;
    {
        PngWriteStructs structs(&sink);
        if (!structs.png() || !structs.info()) {
            std::snprintf(sink.message, sizeof sink.message, "out of memory");
        } else {
            ok = encodeRows(structs.png(), structs.info(), file->get(), width, height, rows, bgr);
        }
    }
    return finishPictureFile(std::move(*file), path, ok, sink.message, "PNG");
}

} // namespace swivio::png_codec
