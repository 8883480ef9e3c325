#include "swf/image/bitmap_ops.h"

#include <algorithm>
#include <cmath>

namespace swivio::swf::image {

namespace {

constexpr int kShifts[4] = {24, 16, 8, 0}; // alpha, red, green, blue

uint32_t channelOf(uint32_t argb, int shift) {
    return (argb >> shift) & 0xFF;
}

int clampByte(int value) {
    return std::clamp(value, 0, 255);
}

} // namespace

uint32_t premultiplyArgb(uint32_t argb) {
    const uint32_t alpha = argb >> 24;
    if (alpha == 255)
        return argb;
    if (alpha == 0)
        return 0;
    uint32_t out = alpha << 24;
    for (int shift : {16, 8, 0})
        out |= ((channelOf(argb, shift) * alpha + 127) / 255) << shift;
    return out;
}

uint32_t unmultiplyArgb(uint32_t stored) {
    const uint32_t alpha = stored >> 24;
    if (alpha == 255)
        return stored;
    if (alpha == 0)
        return 0;
    // The player divides through a table of 255 * 256 / alpha, rounding just under half up.
    const uint32_t reciprocal = (255u << 8) / alpha;
    uint32_t out = alpha << 24;
    for (int shift : {16, 8, 0})
        out |= std::min((channelOf(stored, shift) * reciprocal + 127) >> 8, 255u) << shift;
    return out;
}

CopyArea clipCopy(const BitmapPixels& source, PixelRect rect, const BitmapPixels& dest, int destX,
                  int destY) {
    // Work in 64 bits: a script's rectangle may be near the int range.
    int64_t sx = rect.x, sy = rect.y, dx = destX, dy = destY;
    int64_t w = std::max(rect.width, 0), h = std::max(rect.height, 0);
    // A source corner outside the source moves the destination with it.
    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    w = std::min({w, int64_t(source.width) - sx, int64_t(dest.width) - dx});
    h = std::min({h, int64_t(source.height) - sy, int64_t(dest.height) - dy});
    CopyArea area;
    if (w <= 0 || h <= 0)
        return area;
    area.sx = int(sx);
    area.sy = int(sy);
    area.dx = int(dx);
    area.dy = int(dy);
    area.width = int(w);
    area.height = int(h);
    return area;
}

namespace {

// Runs fn(sourceStraight, destX, destY) over a clipped copy area, reading the whole source
// area first so that a bitmap may be its own source.
template <typename Fn>
void forEachCopied(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                   int destY, Fn fn) {
    const CopyArea area = clipCopy(source, rect, dest, destX, destY);
    std::vector<uint32_t> copied;
    copied.reserve(std::size_t(area.width) * std::size_t(area.height));
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
            copied.push_back(source.straight(area.sx + x, area.sy + y));
    std::size_t index = 0;
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
            fn(copied[index++], area.dx + x, area.dy + y);
}

} // namespace

void copyPixels(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                int destY) {
    forEachCopied(dest, source, rect, destX, destY,
                  [&](uint32_t from, int x, int y) { dest.setStraight(x, y, from); });
}

void colorTransform(BitmapPixels& bitmap, PixelRect rect, const ChannelTransform& t) {
    // Multipliers work in 1/256 steps, as the player's fixed-point transform does.
    auto fixed = [](double m) {
        return std::isfinite(m) ? int(std::clamp(m * 256, -32768.0, 32767.0)) : 0;
    };
    auto whole = [](double o) {
        return std::isfinite(o) ? int(std::clamp(o, -65536.0, 65536.0)) : 0;
    };
    const int mult[4] = {fixed(t.alphaMultiplier), fixed(t.redMultiplier), fixed(t.greenMultiplier),
                         fixed(t.blueMultiplier)};
    const int add[4] = {whole(t.alphaOffset), whole(t.redOffset), whole(t.greenOffset),
                        whole(t.blueOffset)};
    const CopyArea area = clipCopy(bitmap, rect, bitmap, rect.x, rect.y);
    for (int y = area.dy; y < area.dy + area.height; ++y) {
        for (int x = area.dx; x < area.dx + area.width; ++x) {
            const uint32_t argb = bitmap.straight(x, y);
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                const int value = int(channelOf(argb, kShifts[c]));
                out |= uint32_t(clampByte(((value * mult[c]) >> 8) + add[c])) << kShifts[c];
            }
            bitmap.setStraight(x, y, out);
        }
    }
}

void merge(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX, int destY,
           const std::array<int, 4>& argbMultipliers) {
    std::array<uint32_t, 4> m{};
    for (int c = 0; c < 4; ++c)
        m[c] = uint32_t(std::clamp(argbMultipliers[c], 0, 256));
    forEachCopied(dest, source, rect, destX, destY, [&](uint32_t from, int x, int y) {
        const uint32_t to = dest.straight(x, y);
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            const uint32_t mixed =
                (channelOf(from, kShifts[c]) * m[c] + channelOf(to, kShifts[c]) * (256 - m[c])) /
                256;
            out |= mixed << kShifts[c];
        }
        dest.setStraight(x, y, out);
    });
}

void paletteMap(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                int destY, const std::array<PaletteTable, 4>& argbTables) {
    forEachCopied(dest, source, rect, destX, destY, [&](uint32_t from, int x, int y) {
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            const uint32_t value = channelOf(from, kShifts[c]);
            out += argbTables[c] ? (*argbTables[c])[value] : value << kShifts[c];
        }
        dest.setStraight(x, y, out);
    });
}

int threshold(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX, int destY,
              ThresholdTest test, uint32_t thresholdValue, uint32_t color, uint32_t mask,
              bool copySource) {
    const uint32_t against = thresholdValue & mask;
    int passed = 0;
    forEachCopied(dest, source, rect, destX, destY, [&](uint32_t from, int x, int y) {
        const uint32_t value = from & mask;
        bool hit = false;
        switch (test) {
        case ThresholdTest::Less:
            hit = value < against;
            break;
        case ThresholdTest::LessOrEqual:
            hit = value <= against;
            break;
        case ThresholdTest::Greater:
            hit = value > against;
            break;
        case ThresholdTest::GreaterOrEqual:
            hit = value >= against;
            break;
        case ThresholdTest::Equal:
            hit = value == against;
            break;
        case ThresholdTest::NotEqual:
            hit = value != against;
            break;
        }
        if (hit) {
            dest.setStraight(x, y, color);
            ++passed;
        } else if (copySource) {
            dest.setStraight(x, y, from);
        }
    });
    return passed;
}

void copyChannel(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                 int destY, int sourceChannel, int destChannel) {
    auto shiftOf = [](int channel) {
        switch (channel) {
        case 1:
            return 16;
        case 2:
            return 8;
        case 4:
            return 0;
        case 8:
            return 24;
        default:
            return -1;
        }
    };
    const int from = shiftOf(sourceChannel);
    const int to = shiftOf(destChannel);
    if (to < 0)
        return;
    const CopyArea area = clipCopy(source, rect, dest, destX, destY);
    for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
            // A source naming no single channel gives nothing: the channel clears.
            const uint32_t value =
                from < 0 ? 0 : channelOf(source.straight(area.sx + x, area.sy + y), from);
            const uint32_t old = dest.straight(area.dx + x, area.dy + y);
            dest.setStraight(area.dx + x, area.dy + y, (old & ~(0xFFu << to)) | (value << to));
        }
    }
}

void scroll(BitmapPixels& bitmap, int dx, int dy) {
    const PixelRect all{0, 0, bitmap.width, bitmap.height};
    const CopyArea area = clipCopy(bitmap, all, bitmap, dx, dy);
    if (area.width <= 0)
        return;
    const std::vector<uint32_t> before = bitmap.pixels;
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
            bitmap.at(area.dx + x, area.dy + y) =
                before[std::size_t(area.sy + y) * std::size_t(bitmap.width) + area.sx + x];
}

PixelRect colorBoundsRect(const BitmapPixels& bitmap, uint32_t mask, uint32_t color,
                          bool findColor) {
    int x0 = bitmap.width, y0 = bitmap.height, x1 = -1, y1 = -1;
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            const bool same = (bitmap.straight(x, y) & mask) == (color & mask);
            if (same != findColor)
                continue;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    }
    if (x1 < 0)
        return {};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

ParkMiller::ParkMiller(int32_t seed) {
    int64_t start = seed;
    if (start <= 0)
        start = 1 - start;
    m_state = uint32_t(start % 2147483647);
    if (m_state == 0)
        m_state = 1;
}

uint32_t ParkMiller::next() {
    m_state = uint32_t(uint64_t(m_state) * 16807u % 2147483647u);
    return m_state;
}

void noise(BitmapPixels& bitmap, int32_t seed, int low, int high, int channels, bool grayScale) {
    ParkMiller random(seed);
    low = clampByte(low);
    high = clampByte(high);
    const uint32_t span = uint32_t(std::max(high - low, 0) + 1);
    auto next = [&] { return uint32_t(low) + random.next() % span; };
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            uint32_t argb = 0;
            if (grayScale) {
                const uint32_t v = next();
                argb = v << 16 | v << 8 | v;
            } else {
                for (int c = 1; c < 4; ++c)
                    if (channels & (1 << (c - 1)))
                        argb |= next() << kShifts[c];
            }
            // An opaque bitmap draws no number for alpha.
            argb |= (channels & 8) && bitmap.transparent ? next() << 24 : 0xFF000000u;
            bitmap.setStraight(x, y, argb);
        }
    }
}

int32_t pixelDissolve(BitmapPixels& dest, const BitmapPixels& source, PixelRect rect, int destX,
                      int destY, int32_t seed, int64_t pixelCount, std::optional<uint32_t> fill) {
    const CopyArea area = clipCopy(source, rect, dest, destX, destY);
    const uint64_t total = uint64_t(area.width) * uint64_t(area.height);
    if (total == 0 || pixelCount <= 0)
        return seed;
    // A maximal-length shift register just wide enough to number every pixel of the area
    // from 1 visits each once before it repeats.
    static constexpr uint32_t kTaps[33] = {
        0,         0,          0x3,        0x6,        0xC,       0x14,      0x30,
        0x60,      0xB8,       0x110,      0x240,      0x500,     0x829,     0x100D,
        0x2015,    0x6000,     0xD008,     0x12000,    0x20400,   0x40023,   0x90000,
        0x140000,  0x300000,   0x420000,   0xE10000,   0x1200000, 0x2000023, 0x4000013,
        0x9000000, 0x14000000, 0x20000029, 0x48000000, 0x80200003};
    int bits = 2;
    while (bits < 32 && (uint64_t(1) << bits) <= total)
        ++bits;
    const uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    uint32_t state = uint32_t(seed) & mask;
    if (state == 0)
        state = 1;
    const uint64_t count = std::min<uint64_t>(uint64_t(pixelCount), total);
    // Every state comes up once a period, so this bounds the walk whatever the register.
    uint64_t budget = (uint64_t(1) << bits) * 2;
    for (uint64_t done = 0; done < count && budget > 0;) {
        state = (state >> 1) ^ ((state & 1) ? kTaps[bits] : 0);
        --budget;
        if (state == 0 || state > total)
            continue;
        const uint64_t index = state - 1;
        const int x = int(index % uint64_t(area.width));
        const int y = int(index / uint64_t(area.width));
        if (fill)
            dest.setStraight(area.dx + x, area.dy + y, *fill);
        else
            dest.setStraight(area.dx + x, area.dy + y, source.straight(area.sx + x, area.sy + y));
        ++done;
    }
    return int32_t(state);
}

} // namespace swivio::swf::image
