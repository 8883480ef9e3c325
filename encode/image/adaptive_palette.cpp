#include "encode/image/adaptive_palette.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/frame.h"

namespace swivio {
namespace {

constexpr int kCells = 32 * 32 * 32;
constexpr int kRefineRounds = 2;
// Share of a pixel's error that is diffused, in sixteenths. Three quarters keep gradients
// smooth with less grain than the whole error, which both looks cleaner and packs smaller
// (bench/gif_bench.cpp measures the demo movie).
constexpr int kDiffusedSixteenths = 12;
// How much farther (squared distance) the colour on screen may be from the wanted one
// than the nearest palette entry and still be kept: 4 levels on each channel.
constexpr int kKeepTolerance = 3 * 4 * 4;

int distance(const uint8_t* bgr, const int* want) {
    const int db = bgr[0] - want[0], dg = bgr[1] - want[1], dr = bgr[2] - want[2];
    return db * db + dg * dg + dr * dr;
}

// Weighted sums of a set of samples, enough for its squared error on each axis.
struct Moments {
    double weight = 0;
    double sum[3] = {0, 0, 0};
    double squares[3] = {0, 0, 0};

    template <typename S> void add(const S& s) {
        const float v[3] = {s.r, s.g, s.b};
        weight += s.weight;
        for (int a = 0; a < 3; ++a) {
            sum[a] += double(s.weight) * v[a];
            squares[a] += double(s.weight) * v[a] * v[a];
        }
    }
    double axisError(int a) const {
        return weight > 0 ? std::max(0.0, squares[a] - sum[a] * sum[a] / weight) : 0.0;
    }
    double error() const { return axisError(0) + axisError(1) + axisError(2); }
};

struct Box {
    int begin = 0, end = 0;
    Moments moments;
};

uint8_t roundChannel(double v) {
    return uint8_t(std::clamp(int(std::lround(v)), 0, 255));
}

float channelOf(const auto& s, int axis) {
    return axis == 0 ? s.r : axis == 1 ? s.g : s.b;
}

} // namespace

AdaptivePalette::AdaptivePalette()
    : m_cells(kCells), m_cacheKeys(std::size_t(1) << kCacheBits, kNoKey),
      m_cacheIndexes(std::size_t(1) << kCacheBits, 0) {
    m_usedCells.reserve(kCells);
    m_samples.reserve(kCells);
    m_colors.reserve(kMaxColors);
    m_sorted.reserve(kMaxColors);
}

void AdaptivePalette::clearColors() {
    for (uint32_t cell : m_usedCells)
        m_cells[cell] = Cell{};
    m_usedCells.clear();
}

void AdaptivePalette::fit(int maxColors) {
    maxColors = std::clamp(maxColors, 1, kMaxColors);
    m_samples.clear();
    for (uint32_t index : m_usedCells) {
        const Cell& c = m_cells[index];
        const float n = float(c.count);
        m_samples.push_back(Sample{float((index >> 10) * 8) + float(c.red) / n,
                                   float((index >> 5 & 31) * 8) + float(c.green) / n,
                                   float((index & 31) * 8) + float(c.blue) / n, n});
    }
    m_colors.clear();
    if (m_samples.empty()) {
        m_colors.push_back(makeColor(0, 0, 0));
    } else if (int(m_samples.size()) <= maxColors) {
        for (const Sample& s : m_samples)
            m_colors.push_back(makeColor(roundChannel(s.r), roundChannel(s.g), roundChannel(s.b)));
    } else {
        cut(maxColors);
        prepareSearch();
        for (int round = 0; round < kRefineRounds; ++round)
            refine();
    }
    prepareSearch();
}

void AdaptivePalette::cut(int maxColors) {
    std::vector<Box> boxes;
    boxes.reserve(std::size_t(maxColors));
    Box all{0, int(m_samples.size()), {}};
    for (const Sample& s : m_samples)
        all.moments.add(s);
    boxes.push_back(all);
    while (int(boxes.size()) < maxColors) {
        // The set farthest from its mean is split next.
        int worst = -1;
        double worstError = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
            const double e = boxes[i].end - boxes[i].begin > 1 ? boxes[i].moments.error() : 0;
            if (e > worstError) {
                worstError = e;
                worst = i;
            }
        }
        if (worst < 0)
            break;
        Box& box = boxes[std::size_t(worst)];
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (box.moments.axisError(a) > box.moments.axisError(axis))
                axis = a;
        // The samples' weights and sums by whole value on the axis, then the threshold that
        // leaves the least squared error along it: minimising the halves' error is
        // maximising sum^2 / weight summed over the halves.
        std::array<double, 256> weights{}, sums{};
        const auto valueOf = [axis](const Sample& x) {
            return std::clamp(int(channelOf(x, axis)), 0, 255);
        };
        for (int i = box.begin; i < box.end; ++i) {
            const Sample& x = m_samples[std::size_t(i)];
            weights[std::size_t(valueOf(x))] += x.weight;
            sums[std::size_t(valueOf(x))] += double(x.weight) * channelOf(x, axis);
        }
        const double totalWeight = box.moments.weight;
        const double totalSum = box.moments.sum[axis];
        double weight = 0, sum = 0;
        double bestScore = -1;
        int threshold = 0;
        for (int v = 0; v < 255; ++v) {
            weight += weights[std::size_t(v)];
            sum += sums[std::size_t(v)];
            const double rest = totalWeight - weight;
            if (weights[std::size_t(v)] == 0 || weight <= 0 || rest <= 0)
                continue;
            const double restSum = totalSum - sum;
            const double score = sum * sum / weight + restSum * restSum / rest;
            if (score > bestScore) {
                bestScore = score;
                threshold = v;
            }
        }
        if (bestScore < 0) {
            // All samples share one whole value on the axis of largest spread: their
            // spread is below one level, not worth an entry of its own.
            box.moments = Moments{};
            continue;
        }
        const int split =
            int(std::partition(m_samples.begin() + box.begin, m_samples.begin() + box.end,
                               [&](const Sample& x) { return valueOf(x) <= threshold; }) -
                m_samples.begin());
        Box upper{split, box.end, {}};
        box.end = split;
        box.moments = Moments{};
        for (int i = box.begin; i < box.end; ++i)
            box.moments.add(m_samples[std::size_t(i)]);
        for (int i = upper.begin; i < upper.end; ++i)
            upper.moments.add(m_samples[std::size_t(i)]);
        boxes.push_back(upper);
    }
    for (const Box& box : boxes) {
        const Moments& m = box.moments;
        if (m.weight > 0) {
            m_colors.push_back(makeColor(roundChannel(m.sum[0] / m.weight),
                                         roundChannel(m.sum[1] / m.weight),
                                         roundChannel(m.sum[2] / m.weight)));
        } else {
            // A set whose spread was too small to split (its moments cleared above).
            Moments again;
            for (int i = box.begin; i < box.end; ++i)
                again.add(m_samples[std::size_t(i)]);
            m_colors.push_back(makeColor(roundChannel(again.sum[0] / again.weight),
                                         roundChannel(again.sum[1] / again.weight),
                                         roundChannel(again.sum[2] / again.weight)));
        }
    }
}

void AdaptivePalette::refine() {
    std::vector<Moments> sums(m_colors.size());
    for (const Sample& s : m_samples) {
        const int index =
            search(int(std::lround(s.r)), int(std::lround(s.g)), int(std::lround(s.b)));
        sums[std::size_t(index)].add(s);
    }
    for (std::size_t i = 0; i < m_colors.size(); ++i) {
        const Moments& m = sums[i];
        if (m.weight > 0)
            m_colors[i] =
                makeColor(roundChannel(m.sum[0] / m.weight), roundChannel(m.sum[1] / m.weight),
                          roundChannel(m.sum[2] / m.weight));
    }
    prepareSearch();
}

void AdaptivePalette::prepareSearch() {
    m_sorted.clear();
    for (std::size_t i = 0; i < m_colors.size(); ++i) {
        const uint32_t c = m_colors[i];
        m_sorted.push_back(
            Entry{int16_t(colorGreen(c)), int16_t(colorRed(c)), int16_t(colorBlue(c)), uint8_t(i)});
    }
    std::sort(m_sorted.begin(), m_sorted.end(), [](const Entry& a, const Entry& b) {
        return a.g != b.g ? a.g < b.g : a.index < b.index;
    });
    std::size_t i = 0;
    for (int g = 0; g < 256; ++g) {
        while (i < m_sorted.size() && m_sorted[i].g < g)
            ++i;
        m_start[std::size_t(g)] = uint16_t(std::min(i, m_sorted.size() - 1));
    }
    std::fill(m_cacheKeys.begin(), m_cacheKeys.end(), kNoKey);
}

int AdaptivePalette::search(int r, int g, int b) const {
    // Outwards from the first entry of this green in both directions, until the green
    // difference alone is as large as the best distance found.
    const int count = int(m_sorted.size());
    const int start = m_start[std::size_t(g)];
    int best = 1 << 30;
    int bestIndex = m_sorted[std::size_t(start)].index;
    for (int i = start; i < count; ++i) {
        const Entry& e = m_sorted[std::size_t(i)];
        const int dg = e.g - g;
        if (dg * dg >= best)
            break;
        const int dr = e.r - r, db = e.b - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            bestIndex = e.index;
        }
    }
    for (int i = start - 1; i >= 0; --i) {
        const Entry& e = m_sorted[std::size_t(i)];
        const int dg = g - e.g;
        if (dg * dg >= best)
            break;
        const int dr = e.r - r, db = e.b - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            bestIndex = e.index;
        }
    }
    return bestIndex;
}

bool AdaptiveReducer::reduce(const PictureImage& source, bool dither, PictureImage& target) {
    restart();
    std::array<int, 4> rect{};
    const bool reduced = reduceNext(source, dither, target, rect);
    restart();
    return reduced;
}

bool AdaptiveReducer::reduceNext(const PictureImage& source, bool dither, PictureImage& target,
                                 std::array<int, 4>& rect) {
    if (source.isNull() || source.bitsPerPixel() != 24)
        return false;
    const int width = source.width();
    const int height = source.height();
    const std::size_t rowBytes = std::size_t(width) * 3;
    m_palette.clearColors();

    if (width != m_width || height != m_height) {
        m_width = width;
        m_height = height;
        m_previous.resize(rowBytes * std::size_t(height));
        m_shown.resize(rowBytes * std::size_t(height));
        rect = {0, 0, width, height};
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = source.topRow(y);
            for (int x = 0; x < width; ++x)
                m_palette.addColor(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
        }
        m_palette.fit(AdaptivePalette::kMaxColors);
        reduceRect(source, dither, false, rect, -1, target);
    } else {
        // The rectangle around the changed pixels.
        int top = height, bottom = -1, left = width, right = -1;
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = source.topRow(y);
            const uint8_t* before = m_previous.data() + rowBytes * std::size_t(y);
            if (std::memcmp(row, before, rowBytes) == 0)
                continue;
            top = std::min(top, y);
            bottom = y;
            int x = 0;
            while (x < left && std::memcmp(row + x * 3, before + x * 3, 3) == 0)
                ++x;
            left = std::min(left, x);
            x = width - 1;
            while (x > right && std::memcmp(row + x * 3, before + x * 3, 3) == 0)
                --x;
            right = std::max(right, x);
        }
        if (bottom < 0) {
            // Nothing changed: one transparent pixel keeps the frame's place and delay.
            if (target.isNull() || target.width() != 1 || target.height() != 1 ||
                target.bitsPerPixel() != 8)
                target = PictureImage(1, 1, 8);
            target.topRow(0)[0] = 0;
            target.setPalette({makeColor(0, 0, 0)});
            target.setTransparentIndex(0);
            rect = {0, 0, 1, 1};
            return true;
        }
        rect = {left, top, right - left + 1, bottom - top + 1};
        for (int y = top; y <= bottom; ++y) {
            const uint8_t* row = source.topRow(y) + left * 3;
            const uint8_t* before = m_previous.data() + rowBytes * std::size_t(y) + left * 3;
            for (int x = 0; x < rect[2]; ++x)
                if (std::memcmp(row + x * 3, before + x * 3, 3) != 0)
                    m_palette.addColor(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
        }
        // One index stays free for the transparent pixels.
        m_palette.fit(AdaptivePalette::kMaxColors - 1);
        reduceRect(source, dither, true, rect, m_palette.size(), target);
    }
    for (int y = rect[1]; y < rect[1] + rect[3]; ++y)
        std::memcpy(m_previous.data() + rowBytes * std::size_t(y) + std::size_t(rect[0]) * 3,
                    source.topRow(y) + std::size_t(rect[0]) * 3, std::size_t(rect[2]) * 3);
    return true;
}

void AdaptiveReducer::reduceRect(const PictureImage& source, bool dither, bool onlyChanged,
                                 const std::array<int, 4>& rect, int transparentIndex,
                                 PictureImage& target) {
    const auto [left, top, width, height] = rect;
    if (target.isNull() || target.width() != width || target.height() != height ||
        target.bitsPerPixel() != 8)
        target = PictureImage(width, height, 8);
    std::vector<uint32_t> palette = m_palette.colors();
    if (transparentIndex >= 0)
        palette.push_back(makeColor(0, 0, 0));
    target.setPalette(std::move(palette));
    target.setTransparentIndex(transparentIndex);
    target.setJpegQuality(source.jpegQuality());
    target.setFrameDelay(source.frameDelay());

    const std::vector<uint32_t>& colors = m_palette.colors();
    const std::size_t errorSize = (std::size_t(width) + 2) * 3;
    m_errorThis.assign(errorSize, 0);
    m_errorNext.assign(errorSize, 0);
    const std::size_t rowBytes = std::size_t(m_width) * 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = source.topRow(top + y) + std::size_t(left) * 3;
        const std::size_t offset = rowBytes * std::size_t(top + y) + std::size_t(left) * 3;
        const uint8_t* before = m_previous.data() + offset;
        uint8_t* shown = m_shown.data() + offset;
        uint8_t* out = target.topRow(y);
        int32_t* error = m_errorThis.data() + 3; // pixel x at error[x * 3]
        int32_t* below = m_errorNext.data() + 3;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = in + x * 3;
            uint8_t* s = shown + x * 3;
            int want[3] = {p[0], p[1], p[2]};
            if (dither)
                for (int c = 0; c < 3; ++c)
                    want[c] = std::clamp(want[c] + ((error[x * 3 + c] + 8) >> 4), 0, 255);
            if (onlyChanged && std::memcmp(p, before + x * 3, 3) == 0) {
                // Left as shown: its colour still counts for the diffusion.
                out[x] = uint8_t(transparentIndex);
            } else {
                const int index = m_palette.nearest(want[2], want[1], want[0]);
                const uint32_t c = colors[std::size_t(index)];
                const uint8_t bgr[3] = {colorBlue(c), colorGreen(c), colorRed(c)};
                // The colour already on screen is kept (transparent) unless the palette's
                // is clearly nearer: transparent runs pack far better, a slowly changing
                // area does not flicker between neighbouring entries, and the difference
                // goes on in the diffusion.
                if (onlyChanged && distance(s, want) <= distance(bgr, want) + kKeepTolerance) {
                    out[x] = uint8_t(transparentIndex);
                } else {
                    out[x] = uint8_t(index);
                    std::memcpy(s, bgr, 3);
                }
            }
            if (!dither)
                continue;
            for (int c = 0; c < 3; ++c) {
                const int e = (want[c] - s[c]) * kDiffusedSixteenths / 16;
                error[(x + 1) * 3 + c] += e * 7;
                below[(x - 1) * 3 + c] += e * 3;
                below[x * 3 + c] += e * 5;
                below[(x + 1) * 3 + c] += e;
            }
        }
        std::swap(m_errorThis, m_errorNext);
        std::fill(m_errorNext.begin(), m_errorNext.end(), 0);
    }
}

} // namespace swivio
