// A text field's border as the played movie shows it: one device pixel wide whatever the
// stage's scale, on the pixels where the field's edges fall, and straight under a rotation
// too small to move an edge by a pixel.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/swf_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;

constexpr int kStageWidth = 50, kStageHeight = 40; // pixels
constexpr uint16_t kDefineEditText = 37;

struct BorderCase {
    std::string name;
    int scale;                    // device pixels per stage pixel
    int32_t shiftX;               // twips the field is moved right
    double rotation;              // the field's matrix skew terms, +/-
    int left, right, top, bottom; // device pixels where the border lines lie
};

void PrintTo(const BorderCase& c, std::ostream* os) {
    *os << c.name;
}

// A white stage holding a bordered field without text whose box is x 10..40, y 10..30
// stage pixels, rendered at scale times the stage's size.
Frame renderField(const BorderCase& c) {
    SwfWriter w;
    w.xMax = kStageWidth * 20;
    w.yMax = kStageHeight * 20;
    w.backgroundColor(255, 255, 255);
    SwfBits field;
    field.u16(1).rect(200, 800, 200, 600);
    field.u8(0).u8(0x08); // no text or font; border
    field.cstring("");
    w.tag(kDefineEditText, field.data());
    Place placed = Place().at(1).of(1).translate(c.shiftX, 0);
    placed.rotateSkew0 = c.rotation;
    placed.rotateSkew1 = -c.rotation;
    place(w, placed).showFrame().end();
    const int width = kStageWidth * c.scale, height = kStageHeight * c.scale;
    Frame frame(width, height);
    auto movie = Movie::load(w.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return frame;
    MoviePlayer player(*movie);
    player.render(frame, player.viewport(width, height));
    return frame;
}

bool dark(uint32_t c) {
    return colorRed(c) < 64 && colorGreen(c) < 64 && colorBlue(c) < 64;
}

bool light(uint32_t c) {
    return colorRed(c) > 192 && colorGreen(c) > 192 && colorBlue(c) > 192;
}

class TextFieldBorder : public ::testing::TestWithParam<BorderCase> {};

TEST_P(TextFieldBorder, IsOneCrispPixelOnTheBoxEdges) {
    const BorderCase& c = GetParam();
    const Frame frame = renderField(c);
    for (int y = c.top + 1; y < c.bottom; ++y) {
        for (int x : {c.left, c.right}) {
            EXPECT_TRUE(dark(frame.pixel(x, y))) << "x " << x << ", y " << y;
            EXPECT_TRUE(light(frame.pixel(x - 1, y))) << "x " << x - 1 << ", y " << y;
            EXPECT_TRUE(light(frame.pixel(x + 1, y))) << "x " << x + 1 << ", y " << y;
        }
    }
    for (int x = c.left + 1; x < c.right; ++x) {
        for (int y : {c.top, c.bottom}) {
            EXPECT_TRUE(dark(frame.pixel(x, y))) << "x " << x << ", y " << y;
            EXPECT_TRUE(light(frame.pixel(x, y - 1))) << "x " << x << ", y " << y - 1;
            EXPECT_TRUE(light(frame.pixel(x, y + 1))) << "x " << x << ", y " << y + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Views, TextFieldBorder,
    ::testing::Values(BorderCase{"stage_size", 1, 0, 0, 10, 40, 10, 30},
                      BorderCase{"stage_twice", 2, 0, 0, 20, 80, 20, 60},
                      BorderCase{"stage_four_times", 4, 0, 0, 40, 160, 40, 120},
                      // Edges half way into a device pixel keep that pixel.
                      BorderCase{"half_pixel_in", 2, 5, 0, 20, 80, 20, 60},
                      BorderCase{"slightly_rotated", 1, 0, 0.003, 10, 40, 10, 30}),
    [](const ::testing::TestParamInfo<BorderCase>& row) { return row.param.name; });

} // namespace
} // namespace swivio::swf
