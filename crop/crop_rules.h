#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace swivio {

// The four crop numbers as the Video page edits them, in movie pixels.
enum class CropField { X, Y, Width, Height };

struct IntRange {
    int32_t min = 0;
    int32_t max = 0;
    bool contains(int64_t v) const { return v >= min && v <= max; }
};

// What a crop field accepts so that the crop stays inside the movie and is never empty:
// X 0..movieWidth-1, Y 0..movieHeight-1, width 1..movieWidth-cropX, height
// 1..movieHeight-cropY (the offsets taken inside their own range). Never a reversed range:
// a movie without a size gives 0..0 and 1..1.
IntRange cropFieldRange(CropField field, int32_t movieWidth, int32_t movieHeight, int64_t cropX,
                        int64_t cropY);

// "Please enter an integer between MIN and MAX."
std::string integerRangeMessage(IntRange range);
inline constexpr char kEnterIntegerMessage[] = "Please enter an integer.";

// The text of a digits-only edit as a number: none when it is empty, holds anything but the
// digits 0-9, or is past the largest 32-bit integer (a long run of digits never wraps round).
std::optional<int64_t> parseDigits(std::string_view text);

// The first crop field, in the order X, Y, width, height, that is empty, not a number or
// out of its range, with the message that names its range.
struct CropProblem {
    CropField field;
    std::string message;
};
std::optional<CropProblem> checkCropTexts(std::string_view x, std::string_view y,
                                          std::string_view width, std::string_view height,
                                          int32_t movieWidth, int32_t movieHeight);

} // namespace swivio
