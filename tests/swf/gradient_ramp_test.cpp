// Gradient records as a movie holds them, in any order of ratios, and the colours the
// played movie shows along the gradient.
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using namespace testkit;

// The gradient runs left to right over 512 pixels: entry e of the 256-entry ramp covers
// pixels 2e - 1 and 2e, so pixel 2e shows entry e whatever the rounding at its edges.
constexpr int kWidth = 512;
constexpr int kHeight = 4;

struct Probe {
    int entry;
    uint8_t r, g, b;
};

struct RampCase {
    std::string name;
    std::vector<ShapeBuilder::Stop> stops;
    std::vector<Probe> probes;
};

void PrintTo(const RampCase& c, std::ostream* os) {
    *os << c.name;
}

Frame renderGradient(const std::vector<ShapeBuilder::Stop>& stops) {
    ShapeBuilder s(3);
    const int fill = s.gradientFill(false, stops, kWidth * 20 / 32768.0, kWidth * 20 / 2, 0);
    s.styles(0, fill).rectangle(0, 0, kWidth * 20, kHeight * 20);
    SwfWriter w;
    w.xMax = kWidth * 20;
    w.yMax = kHeight * 20;
    w.tag(TagCode::DefineShape3, s.defineShape(1, 0, kWidth * 20, 0, kHeight * 20));
    place(w, Place().at(1).of(1)).showFrame().end();
    auto movie = Movie::load(w.build());
    Frame frame(kWidth, kHeight);
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return frame;
    MoviePlayer player(*movie);
    player.render(frame, player.viewport(kWidth, kHeight));
    return frame;
}

class GradientRamp : public ::testing::TestWithParam<RampCase> {};

TEST_P(GradientRamp, ShowsEachRecordAtItsEntries) {
    const Frame frame = renderGradient(GetParam().stops);
    for (const Probe& p : GetParam().probes) {
        const uint32_t c = frame.pixel(2 * p.entry, kHeight / 2);
        const bool near = std::abs(colorRed(c) - p.r) <= 3 && std::abs(colorGreen(c) - p.g) <= 3 &&
                          std::abs(colorBlue(c) - p.b) <= 3;
        EXPECT_TRUE(near) << "entry " << p.entry << ": rgb(" << int(colorRed(c)) << ","
                          << int(colorGreen(c)) << "," << int(colorBlue(c)) << "), expected rgb("
                          << int(p.r) << "," << int(p.g) << "," << int(p.b) << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, GradientRamp,
    ::testing::Values(
        // The first colour holds up to its ratio; the last holds beyond its own.
        RampCase{"inner_ratios",
                 {{64, 255, 0, 0, 255}, {192, 0, 0, 255, 255}},
                 {{0, 255, 0, 0},
                  {64, 255, 0, 0},
                  {128, 128, 0, 128},
                  {192, 0, 0, 255},
                  {255, 0, 0, 255}}},
        // Records sharing a ratio: the first holds one entry past it, each middle one shows
        // for one entry, and the last only blends on from that ratio to the next record.
        RampCase{"equal_ratios",
                 {{100, 255, 0, 0, 255},
                  {100, 0, 255, 0, 255},
                  {100, 0, 0, 255, 255},
                  {200, 255, 255, 255, 255}},
                 {{100, 255, 0, 0},
                  {101, 255, 0, 0},
                  {102, 0, 255, 0},
                  {103, 8, 8, 255},
                  {150, 128, 128, 255},
                  {200, 255, 255, 255}}},
        // A ratio that goes back: the earlier colour holds one entry more, then the blend
        // runs from the lower ratio's colour as if it had started there.
        RampCase{"backwards_ratio",
                 {{0, 255, 0, 0, 255},
                  {100, 0, 255, 0, 255},
                  {50, 0, 0, 255, 255},
                  {150, 255, 255, 255, 255}},
                 {{50, 128, 128, 0},
                  {100, 0, 255, 0},
                  {101, 0, 255, 0},
                  {125, 191, 191, 255},
                  {150, 255, 255, 255}}},
        // A last record below its predecessor is reached one entry after it, and holds.
        RampCase{"backwards_last_ratio",
                 {{0, 255, 0, 0, 255}, {200, 0, 0, 255, 255}, {150, 255, 255, 0, 255}},
                 {{100, 128, 0, 128},
                  {200, 0, 0, 255},
                  {201, 0, 0, 255},
                  {202, 255, 255, 0},
                  {255, 255, 255, 0}}},
        // Records still waiting when the ramp ends never show.
        RampCase{"records_past_the_end",
                 {{0, 255, 0, 0, 255}, {255, 0, 255, 0, 255}, {255, 0, 0, 255, 255}},
                 {{0, 255, 0, 0}, {255, 0, 255, 0}}}),
    [](const ::testing::TestParamInfo<RampCase>& row) { return row.param.name; });

} // namespace
} // namespace swivio::swf
