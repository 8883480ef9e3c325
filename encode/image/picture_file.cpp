#include "encode/image/picture_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "clib/c_handle.h"
#include "encode/image/bmp_file.h"
#include "encode/image/gif_encoder.h"
#include "encode/image/jpeg_file.h"
#include "encode/image/png_file.h"
#include "swf/image/picture_decoders.h"

namespace swivio {
namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

// Picture files are decoded by the movie's bitmap decoders, up to PictureImage's own size
// limits, with colours as stored: a PictureImage has no alpha, so a transparent or
// translucent pixel keeps the colour the file gives it.
constexpr swf::image::DecodeOptions kPictureFileDecoding{
    {PictureImage::kMaxSide, PictureImage::kMaxPixels}, swf::image::AlphaForm::Straight};

Result<PictureImage> toPicture(const Result<swf::Bitmap>& decoded) {
    if (!decoded)
        return Result<PictureImage>::failure(decoded.message());
    PictureImage image(decoded->width, decoded->height, 24);
    if (image.isNull())
        return Result<PictureImage>::failure("the picture size " + std::to_string(decoded->width) +
                                             " x " + std::to_string(decoded->height) +
                                             " is not allowed");
    std::vector<uint8_t> alpha(std::size_t(image.width()) * std::size_t(image.height()));
    bool translucent = false;
    for (int y = 0; y < image.height(); ++y) {
        uint8_t* row = image.topRow(y);
        const uint32_t* source = decoded->pixels.data() + std::size_t(y) * decoded->width;
        uint8_t* alphaRow = alpha.data() + std::size_t(y) * std::size_t(image.width());
        for (int x = 0; x < image.width(); ++x) {
            uint8_t rgba[4];
            std::memcpy(rgba, source + x, sizeof rgba);
            row[x * 3] = rgba[2];
            row[x * 3 + 1] = rgba[1];
            row[x * 3 + 2] = rgba[0];
            alphaRow[x] = rgba[3];
            translucent = translucent || rgba[3] != 255;
        }
    }
    // Colours stay as stored; the alpha channel is kept beside them when it says anything.
    if (translucent)
        image.setAlpha(std::move(alpha));
    return image;
}

} // namespace

std::optional<PictureFileType> pictureFileTypeForPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const std::string extension = lowerCase(path.substr(dot + 1));
    if (extension == "bmp")
        return PictureFileType::Bmp;
    if (extension == "png")
        return PictureFileType::Png;
    if (extension == "jpg" || extension == "jpeg")
        return PictureFileType::Jpeg;
    if (extension == "gif")
        return PictureFileType::Gif;
    return std::nullopt;
}

Result<PictureImage> decodePicture(std::span<const uint8_t> data, PictureFileType type) {
    switch (type) {
    case PictureFileType::Bmp:
        return decodeBmp(data);
    case PictureFileType::Png:
        return toPicture(swf::image::decodePng(data, kPictureFileDecoding));
    case PictureFileType::Jpeg:
        return toPicture(swf::image::decodeJpeg(data, kPictureFileDecoding));
    case PictureFileType::Gif:
        return toPicture(swf::image::decodeGif(data, kPictureFileDecoding));
    }
    return Result<PictureImage>::failure("unknown picture type");
}

Result<PictureImage> loadPictureFile(const std::string& path, PictureFileType type) {
    using R = Result<PictureImage>;
    clib::File file = clib::openFile(path.c_str(), "rb");
    if (!file)
        return R::failure("Cannot open " + path + ": " + std::strerror(errno));
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    while (true) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n == 0)
            break;
        if (data.size() + n > kMaxPictureFileSize)
            return R::failure(path + " is too large for a picture file");
        data.insert(data.end(), chunk, chunk + n);
    }
    if (std::ferror(file.get()))
        return R::failure("Cannot read " + path);
    Result<PictureImage> image = decodePicture(data, type);
    if (!image)
        return R::failure(path + ": " + image.message());
    return image;
}

Result<clib::File> createPictureFile(const std::string& path) {
    clib::File file = clib::openFile(path.c_str(), "wb");
    if (!file)
        return Result<clib::File>::failure("Cannot create " + path + ": " + std::strerror(errno));
    return file;
}

Status finishPictureFile(clib::File file, const std::string& path, bool written, std::string reason,
                         const char* format) {
    bool ok = written;
    if (ok && std::fflush(file.get()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    const bool closed = std::fclose(file.release()) == 0;
    if (ok && !closed) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok)
        return {};
    std::remove(path.c_str());
    return Status::failure(std::string("Cannot write the ") + format + " file " + path + ": " +
                           reason);
}

Status writeWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
    Result<clib::File> file = createPictureFile(path);
    if (!file)
        return Status::failure(file.message());
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file->get()) == bytes.size();
    ok = std::fclose(file->release()) == 0 && ok;
    if (ok)
        return {};
    Status failed = Status::failure("Cannot write " + path + ": " + std::strerror(errno));
    std::remove(path.c_str());
    return failed;
}

Status savePictureFile(const PictureImage& image, PictureFileType type, const std::string& path) {
    if (image.isNull())
        return Status::failure("Cannot save an empty picture as " + path);
    switch (type) {
    case PictureFileType::Bmp:
        return writeWholeFile(path, encodeBmp(image));
    case PictureFileType::Png:
        return writePngFile(image, path);
    case PictureFileType::Jpeg:
        return writeJpegFile(image, path);
    case PictureFileType::Gif:
        if (image.bitsPerPixel() != 8)
            return Status::failure("Only 8-bit pictures can be saved as GIF: " + path);
        return writeWholeFile(path, encodeSingleGif(image));
    }
    return Status::failure("Unknown picture file type for " + path);
}

} // namespace swivio
