#include "tests/support/picture_files.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "base/byte_writer.h"

namespace swivio::testkit {
namespace {

uint8_t red(uint32_t c) {
    return uint8_t(c);
}
uint8_t green(uint32_t c) {
    return uint8_t(c >> 8);
}
uint8_t blue(uint32_t c) {
    return uint8_t(c >> 16);
}
uint32_t rgb(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

void appendPng(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

} // namespace

std::vector<uint8_t> makeBmp(int bits, int width, int height, bool topDown, const PixelFn& pixel,
                             const std::vector<uint32_t>& palette) {
    const uint32_t stride = ((uint32_t(width) * bits + 31) / 32) * 4;
    const uint32_t paletteBytes = bits <= 8 ? uint32_t(palette.size()) * 4 : 0;
    const uint32_t offset = 14 + 40 + paletteBytes;
    std::vector<uint8_t> v;
    ByteWriter header(v);
    header.text("BM").u32(offset + stride * height).u32(0).u32(offset);
    header.u32(40).u32(uint32_t(width)).u32(uint32_t(topDown ? -height : height));
    header.u16(1).u16(uint16_t(bits)).u32(0).u32(stride * height).u32(2835).u32(2835);
    header.u32(bits <= 8 ? uint32_t(palette.size()) : 0).u32(0);
    if (bits <= 8) {
        for (uint32_t c : palette) {
            v.push_back(blue(c));
            v.push_back(green(c));
            v.push_back(red(c));
            v.push_back(0);
        }
    }
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int y = topDown ? fileRow : height - 1 - fileRow;
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                const int bit = x * bits;
                row[bit / 8] |= uint8_t(c << (8 - bits - bit % 8));
                break;
            }
            case 16: {
                const uint32_t v16 = (red(c) >> 3) << 10 | (green(c) >> 3) << 5 | blue(c) >> 3;
                row[x * 2] = uint8_t(v16);
                row[x * 2 + 1] = uint8_t(v16 >> 8);
                break;
            }
            case 24:
                row[x * 3] = blue(c);
                row[x * 3 + 1] = green(c);
                row[x * 3 + 2] = red(c);
                break;
            case 32:
                row[x * 4] = blue(c);
                row[x * 4 + 1] = green(c);
                row[x * 4 + 2] = red(c);
                row[x * 4 + 3] = 0x55;
                break;
            }
        }
        v.insert(v.end(), row.begin(), row.end());
    }
    return v;
}

std::vector<uint8_t> makePng(int width, int height, int colorType, int bitDepth,
                             const PixelFn& pixel, const std::vector<uint32_t>& palette,
                             bool interlaced) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const int channels = colorType == 0 || colorType == 3 ? 1
                         : colorType == 4                 ? 2
                         : colorType == 2                 ? 3
                                                          : 4;
    const int bytesPerSample = bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<uint8_t>> rows(
        std::size_t(height), std::vector<uint8_t>(std::size_t(width) * channels * bytesPerSample));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            uint8_t samples[4] = {red(c), green(c), blue(c), 0x80};
            if (colorType == 0 || colorType == 4) {
                samples[0] = red(c);
                samples[1] = 0x80;
            } else if (colorType == 3) {
                samples[0] = uint8_t(c);
            }
            for (int s = 0; s < channels; ++s) {
                uint8_t* p = rows[std::size_t(y)].data() + (x * channels + s) * bytesPerSample;
                p[0] = samples[s];
                if (bytesPerSample == 2)
                    p[1] = samples[s]; // 0xABAB reduces to 0xAB
            }
        }
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendPng, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> entries;
    for (uint32_t c : palette)
        entries.push_back(png_color{red(c), green(c), blue(c)});
    if (colorType == 3)
        png_set_PLTE(png, info, entries.data(), int(entries.size()));
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& r : rows)
        pointers.push_back(r.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> makeJpeg(int width, int height, int quality, const PixelFn& pixel) {
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            row[x * 3] = red(c);
            row[x * 3 + 1] = green(c);
            row[x * 3 + 2] = blue(c);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

namespace {
int appendGif(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}
struct GifSource {
    const std::vector<uint8_t>* data;
    std::size_t offset;
};
int readGif(GifFileType* gif, GifByteType* out, int length) {
    auto* s = static_cast<GifSource*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(std::size_t(length), s->data->size() - s->offset);
    std::memcpy(out, s->data->data() + s->offset, n);
    s->offset += n;
    return int(n);
}
} // namespace

std::vector<uint8_t> makeGif(int width, int height, const std::vector<uint32_t>& palette,
                             const std::vector<PixelFn>& frames, bool interlaced) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGif, &error);
    int size = 2;
    while (size < int(palette.size()))
        size *= 2;
    std::vector<GifColorType> colors(std::size_t(size), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < palette.size(); ++i)
        colors[i] = GifColorType{red(palette[i]), green(palette[i]), blue(palette[i])};
    ColorMapObject* map = GifMakeMapObject(size, colors.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const bool inter = interlaced && f == 0;
        EGifPutImageDesc(gif, 0, 0, width, height, inter, nullptr);
        std::vector<GifPixelType> line(static_cast<std::size_t>(width));
        auto putRow = [&](int y) {
            for (int x = 0; x < width; ++x)
                line[std::size_t(x)] = GifPixelType(frames[f](x, y));
            EGifPutLine(gif, line.data(), width);
        };
        if (inter) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < height; y += step[pass])
                    putRow(y);
        } else {
            for (int y = 0; y < height; ++y)
                putRow(y);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

DecodedPicture readPngFile(const std::string& path) {
    DecodedPicture result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        result.error = image.message;
        return result;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
        result.error = image.message;
        return result;
    }
    result.ok = true;
    result.width = int(image.width);
    result.height = int(image.height);
    for (std::size_t i = 0; i + 2 < buffer.size(); i += 3)
        result.pixels.push_back(rgb(buffer[i], buffer[i + 1], buffer[i + 2]));
    return result;
}

DecodedPicture readJpegFile(const std::string& path) {
    DecodedPicture result;
    const std::vector<uint8_t> bytes = readFileBytes(path);
    if (bytes.size() < 4) {
        result.error = "too short";
        return result;
    }
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), (unsigned long)bytes.size());
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        result.error = "no header";
        return result;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    result.width = int(info.output_width);
    result.height = int(info.output_height);
    std::vector<uint8_t> row(std::size_t(result.width) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&info, &r, 1);
        for (int x = 0; x < result.width; ++x)
            result.pixels.push_back(rgb(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    result.ok = true;
    return result;
}

DecodedGif readGifFile(const std::string& path) {
    DecodedGif result;
    const std::vector<uint8_t> bytes = readFileBytes(path);
    GifSource source{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, readGif, &error);
    if (!gif) {
        result.error = GifErrorString(error);
        return result;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        result.error = GifErrorString(gif->Error);
        DGifCloseFile(gif, &error);
        return result;
    }
    result.ok = true;
    result.screenWidth = gif->SWidth;
    result.screenHeight = gif->SHeight;
    if (gif->SColorMap) {
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            result.globalPalette.push_back(rgb(c.Red, c.Green, c.Blue));
        }
    }
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        DecodedGif::Image image;
        image.left = saved.ImageDesc.Left;
        image.top = saved.ImageDesc.Top;
        image.width = saved.ImageDesc.Width;
        image.height = saved.ImageDesc.Height;
        image.interlaced = saved.ImageDesc.Interlace;
        image.hasLocalPalette = saved.ImageDesc.ColorMap != nullptr;
        if (const ColorMapObject* map = saved.ImageDesc.ColorMap) {
            for (int c = 0; c < map->ColorCount; ++c)
                image.localPalette.push_back(
                    rgb(map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue));
        }
        image.indexes.assign(saved.RasterBits,
                             saved.RasterBits + std::size_t(image.width) * image.height);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            image.delay = gcb.DelayTime;
            image.disposal = gcb.DisposalMode;
            image.transparentIndex = gcb.TransparentColor;
        }
        for (int e = 0; e + 1 < saved.ExtensionBlockCount; ++e) {
            const ExtensionBlock& b = saved.ExtensionBlocks[e];
            if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
                const ExtensionBlock& d = saved.ExtensionBlocks[e + 1];
                if (d.ByteCount >= 3)
                    result.loopCount = d.Bytes[1] | d.Bytes[2] << 8;
            }
        }
        result.images.push_back(std::move(image));
    }
    DGifCloseFile(gif, &error);
    return result;
}

std::vector<DecodedPicture> composeGifFrames(const DecodedGif& gif) {
    std::vector<DecodedPicture> shown;
    DecodedPicture screen;
    screen.ok = gif.ok;
    screen.width = gif.screenWidth;
    screen.height = gif.screenHeight;
    screen.pixels.assign(std::size_t(screen.width) * std::size_t(screen.height), 0);
    for (const DecodedGif::Image& image : gif.images) {
        const std::vector<uint32_t>& palette =
            image.hasLocalPalette ? image.localPalette : gif.globalPalette;
        const DecodedPicture before = screen;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const int sx = image.left + x, sy = image.top + y;
                const int index = image.indexes[std::size_t(y) * image.width + x];
                if (sx >= screen.width || sy >= screen.height || index == image.transparentIndex)
                    continue;
                screen.pixels[std::size_t(sy) * screen.width + sx] =
                    index < int(palette.size()) ? palette[std::size_t(index)] : 0;
            }
        shown.push_back(screen);
        if (image.disposal == 2 || image.disposal == 3) {
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x) {
                    const int sx = image.left + x, sy = image.top + y;
                    if (sx >= screen.width || sy >= screen.height)
                        continue;
                    const std::size_t at = std::size_t(sy) * screen.width + sx;
                    screen.pixels[at] = image.disposal == 2 ? 0 : before.pixels[at];
                }
        }
    }
    return shown;
}

} // namespace swivio::testkit
