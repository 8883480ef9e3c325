#include <gtest/gtest.h>

#include "crop/crop_rules.h"

namespace swivio {
namespace {

TEST(CropRulesTest, DigitsParseWithoutWrappingRound) {
    const std::pair<const char*, std::optional<int64_t>> cases[] = {
        {"0", 0},
        {"550", 550},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"12a", std::nullopt},
        {"-1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseDigits(c.first), c.second) << c.first;
}

TEST(CropRulesTest, EachFieldKeepsTheCropInsideTheMovieAndNeverEmpty) {
    struct Case {
        const char *x, *y, *w, *h;
        std::optional<CropField> field;
        const char* message;
    };
    // A 550 x 400 movie.
    const Case cases[] = {
        {"0", "0", "550", "400", std::nullopt, ""},
        {"100", "50", "450", "350", std::nullopt, ""},
        {"550", "0", "1", "1", CropField::X, "Please enter an integer between 0 and 549."},
        {"0", "400", "1", "1", CropField::Y, "Please enter an integer between 0 and 399."},
        {"100", "0", "451", "400", CropField::Width, "Please enter an integer between 1 and 450."},
        {"0", "0", "0", "400", CropField::Width, "Please enter an integer between 1 and 550."},
        {"0", "399", "550", "2", CropField::Height, "Please enter an integer between 1 and 1."},
        {"0", "0", "", "400", CropField::Width, "Please enter an integer."},
        {"0", "0", "550", "4294967696", CropField::Height,
         "Please enter an integer between 1 and 400."},
    };
    for (const Case& c : cases) {
        const std::optional<CropProblem> p = checkCropTexts(c.x, c.y, c.w, c.h, 550, 400);
        ASSERT_EQ(p.has_value(), c.field.has_value())
            << c.x << " " << c.y << " " << c.w << " " << c.h;
        if (p) {
            EXPECT_EQ(p->field, *c.field);
            EXPECT_EQ(p->message, c.message);
        }
    }
}

TEST(CropRulesTest, AMovieWithoutASizeNeverGivesAReversedRange) {
    for (const CropField f : {CropField::X, CropField::Y, CropField::Width, CropField::Height}) {
        const IntRange r = cropFieldRange(f, 0, 0, 5, -3);
        EXPECT_LE(r.min, r.max);
    }
}

} // namespace
} // namespace swivio
