#include "crop/crop_rules.h"

#include <algorithm>
#include <limits>

namespace swivio {

IntRange cropFieldRange(CropField field, int32_t movieWidth, int32_t movieHeight, int64_t cropX,
                        int64_t cropY) {
    const int32_t mw = std::max(movieWidth, 1), mh = std::max(movieHeight, 1);
    const int32_t x = int32_t(std::clamp<int64_t>(cropX, 0, mw - 1));
    const int32_t y = int32_t(std::clamp<int64_t>(cropY, 0, mh - 1));
    switch (field) {
    case CropField::X:
        return {0, mw - 1};
    case CropField::Y:
        return {0, mh - 1};
    case CropField::Width:
        return {1, mw - x};
    case CropField::Height:
        return {1, mh - y};
    }
    return {};
}

std::string integerRangeMessage(IntRange range) {
    return "Please enter an integer between " + std::to_string(range.min) + " and " +
           std::to_string(range.max) + ".";
}

std::optional<int64_t> parseDigits(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::nullopt;
    }
    return value;
}

std::optional<CropProblem> checkCropTexts(std::string_view x, std::string_view y,
                                          std::string_view width, std::string_view height,
                                          int32_t movieWidth, int32_t movieHeight) {
    const std::string_view texts[] = {x, y, width, height};
    const CropField fields[] = {CropField::X, CropField::Y, CropField::Width, CropField::Height};
    int64_t values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const IntRange range =
            cropFieldRange(fields[i], movieWidth, movieHeight, values[0], values[1]);
        if (texts[i].empty())
            return CropProblem{fields[i], kEnterIntegerMessage};
        const std::optional<int64_t> v = parseDigits(texts[i]);
        if (!v || !range.contains(*v))
            return CropProblem{fields[i], integerRangeMessage(range)};
        values[i] = *v;
    }
    return std::nullopt;
}

} // namespace swivio
