#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "clib/c_handle.h"
#include "swf/image/picture_decoders.h"
#include "swf/image/pixel.h"

namespace swivio::swf::image {

namespace {

void closeGif(GifFileType* gif) {
    int error = 0;
    DGifCloseFile(gif, &error);
}
using GifHandle = clib::CHandle<GifFileType, closeGif>;

struct GifInput {
    std::span<const uint8_t> data;
    std::size_t pos = 0;
};

int readGif(GifFileType* gif, GifByteType* out, int n) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    const std::size_t count = std::min<std::size_t>(n < 0 ? 0 : n, input->data.size() - input->pos);
    std::memcpy(out, input->data.data() + input->pos, count);
    input->pos += count;
    return static_cast<int>(count);
}

Result<Bitmap> gifFailure(const char* what, int error) {
    const char* text = GifErrorString(error);
    return Result<Bitmap>::failure(std::string("GIF data: ") + what +
                                   (text ? std::string(" (") + text + ")" : std::string()));
}

struct Transparency {
    bool enabled = false;
    int index = -1;
};

} // namespace

Result<Bitmap> decodeGif(std::span<const uint8_t> data, const DecodeOptions& options) {
    GifInput input{data, 0};
    int error = 0;
    GifHandle gif(DGifOpen(&input, readGif, &error));
    if (!gif)
        return gifFailure("not readable", error);

    Transparency transparency;
    while (true) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            return gifFailure("damaged", gif->Error);
        if (record == TERMINATE_RECORD_TYPE)
            return Result<Bitmap>::failure("GIF data: no image");
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR)
                return gifFailure("damaged extension", gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                transparency.enabled = (ext[1] & 1) != 0;
                transparency.index = ext[4];
            }
            while (ext) {
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR)
                    return gifFailure("damaged extension", gif->Error);
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            continue;

        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return gifFailure("damaged image descriptor", gif->Error);
        const GifImageDesc& desc = gif->Image;
        const ColorMapObject* colors = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        if (!colors)
            return Result<Bitmap>::failure("GIF data: no colour table");
        if (!bitmapSizeAllowed(desc.Width, desc.Height, options.limits))
            return Result<Bitmap>::failure(
                "GIF data: " + checkBitmapSize(desc.Width, desc.Height, options.limits));
        // The picture is the logical screen, with the first image placed on it.
        const int width = gif->SWidth > 0 ? gif->SWidth : desc.Left + desc.Width;
        const int height = gif->SHeight > 0 ? gif->SHeight : desc.Top + desc.Height;
        if (const std::string problem = checkBitmapSize(width, height, options.limits);
            !problem.empty())
            return Result<Bitmap>::failure("GIF data: " + problem);

        Bitmap bitmap;
        bitmap.width = width;
        bitmap.height = height;
        bitmap.pixels.assign(static_cast<std::size_t>(width) * height, 0);
        std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
        // Interlaced images deliver rows 0, 8, 16...; 4, 12...; 2, 6...; 1, 3...
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        const int passes = desc.Interlace ? 4 : 1;
        const bool straight = options.alpha == AlphaForm::Straight;
        bool opaque = true;
        for (int pass = 0; pass < passes; ++pass) {
            const int start = desc.Interlace ? kStart[pass] : 0;
            const int step = desc.Interlace ? kStep[pass] : 1;
            for (int row = start; row < desc.Height; row += step) {
                if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR)
                    return gifFailure("damaged image data", gif->Error);
                const int y = desc.Top + row;
                if (y < 0 || y >= height)
                    continue;
                for (int col = 0; col < desc.Width; ++col) {
                    const int x = desc.Left + col;
                    if (x < 0 || x >= width)
                        continue;
                    const int index = line[static_cast<std::size_t>(col)];
                    if (index >= colors->ColorCount)
                        continue;
                    const bool clear = transparency.enabled && index == transparency.index;
                    if (clear && !straight)
                        continue;
                    const GifColorType& c = colors->Colors[index];
                    bitmap.pixels[static_cast<std::size_t>(y) * width + x] =
                        packPixel(c.Red, c.Green, c.Blue, clear ? 0 : 255);
                }
            }
        }
        for (uint32_t pixel : bitmap.pixels)
            opaque = opaque && pixelAlpha(pixel) == 255;
        bitmap.opaque = opaque;
        return bitmap;
    }
}

} // namespace swivio::swf::image
