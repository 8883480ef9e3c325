#include "tests/support/bitmap_tags.h"

#include "tests/support/swf_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace swivio::testkit {

RgbaPicture bandPicture(int width, int height, std::vector<uint32_t> colorsRgb, uint8_t alpha) {
    RgbaPicture p{width, height, std::vector<uint8_t>(std::size_t(width) * height * 4)};
    const int bands = static_cast<int>(colorsRgb.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colorsRgb[std::size_t(x * bands / width)];
            uint8_t* px = &p.rgba[(std::size_t(y) * width + x) * 4];
            px[0] = uint8_t(c >> 16);
            px[1] = uint8_t(c >> 8);
            px[2] = uint8_t(c);
            px[3] = alpha;
        }
    }
    return p;
}

namespace {

// Test pictures are small and made by the tests themselves, so libjpeg's default error
// handler (print and exit) is acceptable here.
struct JpegCompressor {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    JpegCompressor(const RgbaPicture& picture, int quality, bool grayscale) {
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
        cinfo.image_width = static_cast<JDIMENSION>(picture.width);
        cinfo.image_height = static_cast<JDIMENSION>(picture.height);
        cinfo.input_components = grayscale ? 1 : 3;
        cinfo.in_color_space = grayscale ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, quality, TRUE);
    }
    ~JpegCompressor() {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    void writeRows(const RgbaPicture& picture, bool grayscale) {
        std::vector<JSAMPLE> row(std::size_t(picture.width) * 3);
        while (cinfo.next_scanline < cinfo.image_height) {
            const int y = static_cast<int>(cinfo.next_scanline);
            for (int x = 0; x < picture.width; ++x) {
                const uint8_t* p = picture.at(x, y);
                if (grayscale)
                    row[std::size_t(x)] = p[0];
                else
                    std::memcpy(&row[std::size_t(x) * 3], p, 3);
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&cinfo, rows, 1);
        }
    }
    std::vector<uint8_t> take() {
        std::vector<uint8_t> out(buffer, buffer + size);
        std::free(buffer);
        buffer = nullptr;
        size = 0;
        return out;
    }
};

} // namespace

std::vector<uint8_t> encodeJpeg(const RgbaPicture& picture, JpegOptions options) {
    JpegCompressor c(picture, options.quality, options.grayscale);
    if (options.progressive)
        jpeg_simple_progression(&c.cinfo);
    jpeg_start_compress(&c.cinfo, TRUE);
    c.writeRows(picture, options.grayscale);
    jpeg_finish_compress(&c.cinfo);
    return c.take();
}

SplitJpeg encodeSplitJpeg(const RgbaPicture& picture, int quality) {
    JpegCompressor c(picture, quality, false);
    SplitJpeg out;
    jpeg_write_tables(&c.cinfo); // tables-only datastream; marks the tables as written
    out.tables = c.take();
    jpeg_mem_dest(&c.cinfo, &c.buffer, &c.size);
    jpeg_start_compress(&c.cinfo, FALSE); // abbreviated: the written tables are left out
    c.writeRows(picture, false);
    jpeg_finish_compress(&c.cinfo);
    out.image = c.take();
    return out;
}

std::vector<uint8_t> encodePng(const RgbaPicture& picture, bool palette) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    std::vector<uint8_t> indices;
    std::vector<uint8_t> colormap;
    const void* pixels = picture.rgba.data();
    if (palette) {
        std::map<uint32_t, uint8_t> seen;
        for (std::size_t i = 0; i < picture.rgba.size(); i += 4) {
            uint32_t key;
            std::memcpy(&key, &picture.rgba[i], 4);
            auto [it, added] = seen.emplace(key, static_cast<uint8_t>(seen.size()));
            if (added)
                colormap.insert(colormap.end(), &picture.rgba[i], &picture.rgba[i] + 4);
            indices.push_back(it->second);
        }
        image.format = PNG_FORMAT_RGBA_COLORMAP;
        image.colormap_entries = static_cast<png_uint_32>(seen.size());
        pixels = indices.data();
    } else {
        image.format = PNG_FORMAT_RGBA;
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0,
                                   palette ? colormap.data() : nullptr))
        throw std::runtime_error(image.message);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0,
                                   palette ? colormap.data() : nullptr))
        throw std::runtime_error(image.message);
    out.resize(size);
    return out;
}

namespace {

int writeGif(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

} // namespace

std::vector<uint8_t> encodeGif(const GifImage& im) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeGif, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen failed");
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(im.paletteRgb.size()), nullptr);
    for (std::size_t i = 0; i < im.paletteRgb.size(); ++i)
        map->Colors[i] = {GifByteType(im.paletteRgb[i] >> 16), GifByteType(im.paletteRgb[i] >> 8),
                          GifByteType(im.paletteRgb[i])};
    bool ok = EGifPutScreenDesc(gif, im.screenWidth, im.screenHeight, map->BitsPerPixel, 0, map) !=
              GIF_ERROR;
    if (im.transparentIndex >= 0) {
        const GifByteType gce[4] = {1, 0, 0, GifByteType(im.transparentIndex)};
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce) != GIF_ERROR;
    }
    ok = ok && EGifPutImageDesc(gif, im.left, im.top, im.width, im.height, im.interlaced,
                                nullptr) != GIF_ERROR;
    // Interlaced rows go out in the order of the four passes.
    std::vector<int> order;
    if (im.interlaced) {
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < im.height; y += step[pass])
                order.push_back(y);
    } else {
        for (int y = 0; y < im.height; ++y)
            order.push_back(y);
    }
    for (int y : order) {
        std::vector<GifPixelType> line(im.indices.begin() + std::ptrdiff_t(y) * im.width,
                                       im.indices.begin() + std::ptrdiff_t(y + 1) * im.width);
        ok = ok && EGifPutLine(gif, line.data(), im.width) != GIF_ERROR;
    }
    GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    if (!ok)
        throw std::runtime_error("GIF encoding failed");
    return out;
}

std::vector<uint8_t> jpegWithAlphaBody(const std::vector<uint8_t>& picture,
                                       const std::vector<uint8_t>& alphaPlane, int deblocking) {
    std::vector<uint8_t> body;
    const uint32_t n = static_cast<uint32_t>(picture.size());
    body = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    if (deblocking >= 0) {
        body.push_back(uint8_t(deblocking));
        body.push_back(uint8_t(deblocking >> 8));
    }
    body.insert(body.end(), picture.begin(), picture.end());
    if (!alphaPlane.empty()) {
        const std::vector<uint8_t> z = zlibCompress(alphaPlane);
        body.insert(body.end(), z.begin(), z.end());
    }
    return body;
}

} // namespace swivio::testkit
