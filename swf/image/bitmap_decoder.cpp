#include "swf/image/bitmap_decoder.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "swf/image/inflate_bounded.h"
#include "swf/image/jpeg_stream.h"
#include "swf/image/lossless_decoder.h"
#include "swf/image/picture_decoders.h"
#include "swf/image/pixel.h"

namespace swivio::swf {

namespace {

using image::decodeGif;
using image::decodeJpeg;
using image::decodePng;

const char* tagName(BitmapTag tag) {
    switch (tag) {
    case BitmapTag::Bits:
        return "DefineBits";
    case BitmapTag::BitsJpeg2:
        return "DefineBitsJPEG2";
    case BitmapTag::BitsJpeg3:
        return "DefineBitsJPEG3";
    case BitmapTag::BitsJpeg4:
        return "DefineBitsJPEG4";
    case BitmapTag::BitsLossless:
        return "DefineBitsLossless";
    case BitmapTag::BitsLossless2:
        return "DefineBitsLossless2";
    }
    return "bitmap";
}

bool startsWith(std::span<const uint8_t> data, std::initializer_list<uint8_t> prefix) {
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

bool isPng(std::span<const uint8_t> d) {
    return startsWith(d, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
}
bool isGif(std::span<const uint8_t> d) {
    return startsWith(d, {'G', 'I', 'F', '8', '9', 'a'}) ||
           startsWith(d, {'G', 'I', 'F', '8', '7', 'a'});
}

Result<Bitmap> decodeJpegParts(std::span<const uint8_t> tables, std::span<const uint8_t> data) {
    const image::JpegStream stream = image::joinJpegStream(tables, data);
    if (stream.scans > image::kMaxJpegScans)
        return Result<Bitmap>::failure("JPEG data: too many scans");
    return decodeJpeg(stream.bytes);
}

// The picture of a JPEG2/3/4 tag: JPEG, or from SWF 8 on PNG or GIF, told by signature.
Result<Bitmap> decodeEmbeddedPicture(std::span<const uint8_t> data, bool* isJpeg) {
    *isJpeg = false;
    if (isPng(data))
        return decodePng(data);
    if (isGif(data))
        return decodeGif(data);
    *isJpeg = true;
    return decodeJpegParts({}, data);
}

// Applies a zlib-compressed plane of one alpha byte per pixel, premultiplying the colours.
// Missing alpha bytes (a short plane) leave their pixels opaque.
void applyAlphaPlane(Bitmap& bitmap, std::span<const uint8_t> compressedAlpha) {
    if (compressedAlpha.empty())
        return;
    std::vector<uint8_t> alpha(bitmap.pixels.size(), 255);
    image::inflateBounded(compressedAlpha, alpha);
    bool opaque = true;
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        const uint8_t a = alpha[i];
        if (a == 255)
            continue;
        opaque = false;
        uint8_t p[4];
        std::memcpy(p, &bitmap.pixels[i], 4);
        bitmap.pixels[i] = image::premultipliedPixel(p[0], p[1], p[2], a);
    }
    bitmap.opaque = opaque;
}

Result<Bitmap> decodeJpegWithAlpha(BitmapTag tag, std::span<const uint8_t> body) {
    ByteReader reader(body);
    const uint32_t imageSize = reader.u32();
    if (tag == BitmapTag::BitsJpeg4)
        reader.u16(); // deblocking filter strength: smoothing is not applied
    if (!reader.ok())
        return Result<Bitmap>::failure(std::string(tagName(tag)) + ": header truncated");
    if (imageSize > reader.remaining())
        return Result<Bitmap>::failure(std::string(tagName(tag)) +
                                       ": picture data runs past the end of the tag");
    const std::span<const uint8_t> picture = reader.bytes(imageSize);
    const std::span<const uint8_t> alpha = body.subspan(reader.offset());
    bool isJpeg = false;
    Result<Bitmap> bitmap = decodeEmbeddedPicture(picture, &isJpeg);
    // PNG and GIF pictures carry their own transparency; the plane is for JPEG only.
    if (bitmap && isJpeg)
        applyAlphaPlane(*bitmap, alpha);
    return bitmap;
}

Result<Bitmap> withContext(BitmapTag tag, Result<Bitmap> result) {
    if (result)
        return result;
    if (result.message().rfind(tagName(tag), 0) == 0)
        return result;
    return Result<Bitmap>::failure(std::string(tagName(tag)) + ": " + result.message());
}

} // namespace

bool isBitmapTag(uint16_t tagCode) {
    switch (BitmapTag(tagCode)) {
    case BitmapTag::Bits:
    case BitmapTag::BitsJpeg2:
    case BitmapTag::BitsJpeg3:
    case BitmapTag::BitsJpeg4:
    case BitmapTag::BitsLossless:
    case BitmapTag::BitsLossless2:
        return true;
    }
    return false;
}

Result<Bitmap> decodeBitmapTag(uint16_t tagCode, std::span<const uint8_t> body,
                               std::span<const uint8_t> jpegTables) {
    if (!isBitmapTag(tagCode))
        return Result<Bitmap>::failure("tag " + std::to_string(tagCode) + " is not a bitmap");
    const BitmapTag tag = BitmapTag(tagCode);
    switch (tag) {
    case BitmapTag::Bits:
        return withContext(tag, decodeJpegParts(jpegTables, body));
    case BitmapTag::BitsJpeg2: {
        bool isJpeg = false;
        return withContext(tag, decodeEmbeddedPicture(body, &isJpeg));
    }
    case BitmapTag::BitsJpeg3:
    case BitmapTag::BitsJpeg4:
        return withContext(tag, decodeJpegWithAlpha(tag, body));
    case BitmapTag::BitsLossless:
        return image::decodeLossless(body, false);
    case BitmapTag::BitsLossless2:
        return image::decodeLossless(body, true);
    }
    return Result<Bitmap>::failure("tag " + std::to_string(tagCode) + " is not a bitmap");
}

} // namespace swivio::swf
