#include <string>

#include <gtest/gtest.h>

#include "cli/progress_bar.h"

namespace swivio::cli {
namespace {

// Whatever the terminal's width, the line stays short of its last column (so it cannot wrap
// and scroll) and keeps the frame counts while there is room for them.
class ProgressWidths : public testing::TestWithParam<int> {};

TEST_P(ProgressWidths, LineFitsTheTerminal) {
    const int columns = GetParam();
    for (const int done : {0, 517, 9600}) {
        const std::string line = ProgressBar::format("Recording", done, 9600, 12.5, columns);
        EXPECT_LT(int(line.size()), std::max(columns, 1)) << line;
        if (columns >= 40) {
            EXPECT_NE(line.find(std::to_string(done) + "/9600 frames"), std::string::npos) << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Columns, ProgressWidths, testing::Values(0, 10, 40, 50, 80, 200));

} // namespace
} // namespace swivio::cli
