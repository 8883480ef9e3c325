// The JSON reader and the recorded-input reader on arbitrary bytes: no input may crash, hang
// or allocate without bound, and a file the reader accepts holds only events it can name.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/json_reader.h"
#include "source/recorded_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    swivio::JsonLimits limits;
    limits.maxDepth = 32;
    auto json = swivio::parseJson(text, limits);
    if (!json && json.message().empty())
        std::abort();
    auto recorded = swivio::parseRecordedInput(text);
    if (recorded) {
        if (recorded->steps.empty())
            std::abort();
        for (const auto& step : recorded->steps)
            for (const auto& input : step)
                if (int(input.kind) > int(swivio::UserInputKind::ClipboardText))
                    std::abort();
    } else if (recorded.message().empty()) {
        std::abort();
    }
    return 0;
}
