#include "encode/image/gif_decoder.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "clib/c_handle.h"

namespace swivio {
namespace {

struct MemorySource {
    const uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t available = source->size - source->offset;
    const std::size_t n = std::min<std::size_t>(available, std::size_t(length));
    std::memcpy(out, source->data + source->offset, n);
    source->offset += n;
    return int(n);
}

void closeGif(GifFileType* gif) {
    int error = 0;
    DGifCloseFile(gif, &error);
}
using GifHandle = clib::CHandle<GifFileType, closeGif>;

std::string gifError(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "unknown error";
}

} // namespace

Result<PictureImage> decodeGif(std::span<const uint8_t> data) {
    using R = Result<PictureImage>;
    MemorySource source{data.data(), data.size(), 0};
    int error = 0;
    GifHandle gif(DGifOpen(&source, readFromMemory, &error));
    if (!gif)
        return R::failure("not a readable GIF: " + gifError(error));

    while (true) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            return R::failure("the GIF data is damaged: " + gifError(gif->Error));
        if (type == TERMINATE_RECORD_TYPE)
            return R::failure("the GIF holds no image");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                return R::failure("the GIF data is damaged: " + gifError(gif->Error));
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR)
                    return R::failure("the GIF data is damaged: " + gifError(gif->Error));
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            return R::failure("the GIF data is damaged");
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
            return R::failure("the GIF data is damaged: " + gifError(gif->Error));
        break;
    }

    const GifImageDesc& desc = gif->Image;
    if (!PictureImage::sizeAllowed(desc.Width, desc.Height))
        return R::failure("the GIF image size " + std::to_string(desc.Width) + " x " +
                          std::to_string(desc.Height) + " is empty or too large");
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return R::failure("the GIF image has no colour table");

    const int width = desc.Width, height = desc.Height;
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    PictureImage image(width, height, 24);
    if (image.isNull())
        return R::failure("out of memory for the GIF picture");

    auto storeLine = [&](int y) {
        uint8_t* row = image.topRow(y);
        for (int x = 0; x < width; ++x) {
            const int index = line[std::size_t(x)];
            if (index < map->ColorCount) {
                const GifColorType& c = map->Colors[index];
                row[x * 3] = c.Blue;
                row[x * 3 + 1] = c.Green;
                row[x * 3 + 2] = c.Red;
            }
        }
    };
    auto readLine = [&](int y) {
        if (DGifGetLine(gif.get(), line.data(), width) == GIF_ERROR)
            return false;
        storeLine(y);
        return true;
    };

    if (desc.Interlace) {
        // Rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
        // every 2nd from 1.
        static const int kStart[] = {0, 4, 2, 1};
        static const int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < height; y += kStep[pass]) {
                if (!readLine(y))
                    return R::failure("the GIF data is damaged: " + gifError(gif->Error));
            }
        }
    } else {
        for (int y = 0; y < height; ++y) {
            if (!readLine(y))
                return R::failure("the GIF data is damaged: " + gifError(gif->Error));
        }
    }
    return image;
}

} // namespace swivio
