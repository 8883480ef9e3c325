#include "encode/image/jpeg_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "clib/c_handle.h"

namespace swivio {
namespace {

// libjpeg's error manager extended with the jump target and the last message.
struct JpegErrorSink {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    auto* sink = reinterpret_cast<JpegErrorSink*>(info->err);
    (*info->err->format_message)(info, sink->message);
    std::longjmp(sink->jump, 1);
}

void onJpegMessage(j_common_ptr, int) {}

void initSink(JpegErrorSink& sink) {
    jpeg_std_error(&sink.manager);
    sink.manager.error_exit = onJpegError;
    sink.manager.emit_message = onJpegMessage;
    sink.message[0] = '\0';
}

class JpegCompressor {
public:
    explicit JpegCompressor(JpegErrorSink& sink) { m_info.err = &sink.manager; }
    ~JpegCompressor() {
        if (m_created)
            jpeg_destroy_compress(&m_info);
    }
    JpegCompressor(const JpegCompressor&) = delete;
    JpegCompressor& operator=(const JpegCompressor&) = delete;
    jpeg_compress_struct* get() { return &m_info; }
    void markCreated() { m_created = true; }

private:
    jpeg_compress_struct m_info{};
    bool m_created = false;
};

// All libjpeg calls of a write, beside the setjmp; locals trivially destructible.
bool compressRows(JpegCompressor& compressor, JpegErrorSink& sink, std::FILE* file, int width,
                  int height, int quality, uint8_t* const* rows) {
    jpeg_compress_struct* info = compressor.get();
    if (setjmp(sink.jump))
        return false;
    jpeg_create_compress(info);
    compressor.markCreated();
    jpeg_stdio_dest(info, file);
    info->image_width = JDIMENSION(width);
    info->image_height = JDIMENSION(height);
    info->input_components = 3;
    info->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = rows[info->next_scanline];
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

void setError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

} // namespace

bool writeJpegFile(const PictureImage& image, const std::string& path, std::string* error) {
    if (image.isNull() || image.bitsPerPixel() != 24) {
        setError(error, "Only 24-bit pictures can be written as JPEG: " + path);
        return false;
    }
    clib::File file = clib::openFile(path.c_str(), "wb");
    if (!file) {
        setError(error, "Cannot create " + path + ": " + std::strerror(errno));
        return false;
    }
    std::vector<uint8_t*> rows(static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[std::size_t(y)] = const_cast<uint8_t*>(image.topRow(y));
    JpegErrorSink sink;
    initSink(sink);
    bool ok;
    {
        JpegCompressor compressor(sink);
        ok = compressRows(compressor, sink, file.get(), image.width(), image.height(),
                          image.jpegQuality(), rows.data());
    }
    if (ok && std::fflush(file.get()) != 0) {
        ok = false;
        std::snprintf(sink.message, sizeof sink.message, "%s", std::strerror(errno));
    }
    const bool closed = std::fclose(file.release()) == 0;
    if (ok && !closed) {
        ok = false;
        std::snprintf(sink.message, sizeof sink.message, "%s", std::strerror(errno));
    }
    if (!ok) {
        std::remove(path.c_str());
        setError(error, "Cannot write the JPEG file " + path + ": " + sink.message);
    }
    return ok;
}

} // namespace swivio
