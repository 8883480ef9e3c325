#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swivio::swf::writer {

// Builds SWF records bit by bit, most significant bit first, and bytes little-endian.
class SwfBits {
public:
    SwfBits& u8(uint8_t v);
    SwfBits& u16(uint16_t v);
    SwfBits& u32(uint32_t v);
    SwfBits& s16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    SwfBits& fixed8(double v);   // 8.8
    SwfBits& fixed16(double v);  // 16.16
    SwfBits& bytes(const std::vector<uint8_t>& data);
    SwfBits& cstring(const std::string& s);

    SwfBits& ub(int n, uint32_t value);
    SwfBits& sb(int n, int32_t value);
    SwfBits& fb(int n, double value);
    SwfBits& flag(bool v) { return ub(1, v ? 1 : 0); }
    // Flushes a partly written byte with zero bits.
    SwfBits& align();

    // Smallest field widths that hold the given values.
    static int bitsForUnsigned(uint32_t v);
    static int bitsForSigned(int32_t v);

    // RECT in twips, with the smallest common field width.
    SwfBits& rect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);
    // MATRIX: scale and rotate/skew are 16.16, translation in twips.
    SwfBits& matrix(double scaleX = 1, double scaleY = 1, double rotateSkew0 = 0,
                    double rotateSkew1 = 0, int32_t translateX = 0, int32_t translateY = 0);
    // CXFORM (withAlpha false) or CXFORMWITHALPHA; terms are 8.8 multipliers (256 = 1.0)
    // and additions, in order red, green, blue, alpha.
    SwfBits& cxform(bool withAlpha, const int mult[4], const int add[4]);

    const std::vector<uint8_t>& data();
    std::size_t size() { return data().size(); }

private:
    std::vector<uint8_t> m_out;
    uint8_t m_bitBuffer = 0;
    int m_bitCount = 0;
};

// Common tag codes.
enum class TagCode : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DefineBits = 6,
    DefineButton = 7,
    JpegTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineBitsLossless = 20,
    DefineBitsJpeg2 = 21,
    DefineShape2 = 22,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJpeg3 = 35,
    DefineBitsLossless2 = 36,
    DefineSprite = 39,
    FrameLabel = 43,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    ExportAssets = 56,
    DoInitAction = 59,
    ScriptLimits = 65,
    FileAttributes = 69,
    PlaceObject3 = 70,
    DefineFont3 = 75,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    DefineBitsJpeg4 = 90,
};

enum class Compression { None, Zlib, Lzma };

// A whole movie: header fields and a list of tags. build() lays them out as a file would,
// with the declared length computed unless overridden (to make damaged movies on purpose).
class SwfWriter {
public:
    int version = 10;
    Compression compression = Compression::None;
    int32_t xMin = 0, xMax = 11000, yMin = 0, yMax = 8000; // twips
    uint16_t frameRate88 = 12 << 8;                        // 8.8 fixed
    uint16_t frameCount = 1;
    // When set, written instead of the true uncompressed length.
    int64_t declaredLengthOverride = -1;

    SwfWriter& tag(TagCode code, const std::vector<uint8_t>& body);
    SwfWriter& tag(uint16_t code, const std::vector<uint8_t>& body);
    // Tag header in long form even when the body is short (some tags require it).
    SwfWriter& longTag(uint16_t code, const std::vector<uint8_t>& body);
    SwfWriter& showFrame() { return tag(TagCode::ShowFrame, {}); }
    SwfWriter& backgroundColor(uint8_t r, uint8_t g, uint8_t b);
    SwfWriter& end() { return tag(TagCode::End, {}); }

    // The body of the movie after the 8-byte header, uncompressed.
    std::vector<uint8_t> body() const;
    std::vector<uint8_t> build() const;
    bool writeFile(const std::string& path) const;

    // A tag record (header and body) as it stands inside a movie or a sprite.
    static std::vector<uint8_t> tagRecord(uint16_t code, const std::vector<uint8_t>& body,
                                          bool forceLong = false);

private:
    std::vector<uint8_t> m_tags;
};

// zlib compression at `level` (-1: zlib's default).
std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& data, int level = -1);

// Writes bytes to a file; false if it could not be written whole.
bool writeBytes(const std::string& path, const std::vector<uint8_t>& data);

} // namespace swivio::swf::writer
