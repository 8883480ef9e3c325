// Runs arbitrary bytes as the first frame's DoAction of a small real movie and plays it a
// few frames, so the code runs twice (the root loops) with the state the first run left.
// The first byte picks the movie's version (5 to 8); the movie also exports and places an
// empty sprite, so clip operations have something to act on. A ScriptLimits tag lowers the
// recursion bound. No input may crash, hang or exhaust memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/frame.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"

namespace {

// The fuzz target cannot link the movie writer, so the few records it needs are laid out here.
class Bytes {
public:
    void u8(uint32_t v) { m_out.push_back(uint8_t(v)); }
    void u16(uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void text(std::string_view s) {
        m_out.insert(m_out.end(), s.begin(), s.end());
        u8(0);
    }
    void append(std::span<const uint8_t> data) {
        m_out.insert(m_out.end(), data.begin(), data.end());
    }
    // A tag record, always in long form (any body length).
    void tag(uint16_t code, std::span<const uint8_t> body) {
        u16(uint32_t(code) << 6 | 0x3F);
        u32(uint32_t(body.size()));
        append(body);
    }
    std::vector<uint8_t>& data() { return m_out; }

private:
    std::vector<uint8_t> m_out;
};

// A RECT of 15-bit fields: 0..11000 x 0..8000 twips (550 x 400 pixels).
std::vector<uint8_t> stageRect() {
    std::vector<uint8_t> out;
    uint64_t bits = 0;
    int count = 0;
    auto put = [&](int n, uint32_t v) {
        for (int i = n - 1; i >= 0; --i) {
            bits = bits << 1 | ((v >> i) & 1);
            if (++count == 8) {
                out.push_back(uint8_t(bits));
                bits = 0;
                count = 0;
            }
        }
    };
    put(5, 15);
    for (uint32_t v : {0u, 11000u, 0u, 8000u})
        put(15, v);
    if (count)
        out.push_back(uint8_t(bits << (8 - count)));
    return out;
}

std::vector<uint8_t> buildMovie(int version, std::span<const uint8_t> actions) {
    constexpr uint16_t kDoAction = 12, kShowFrame = 1, kEnd = 0, kDefineSprite = 39,
                       kExportAssets = 56, kPlaceObject2 = 26, kScriptLimits = 65;
    Bytes tags;
    {
        Bytes limits; // recursion 64, timeout 15 s
        limits.u16(64);
        limits.u16(15);
        tags.tag(kScriptLimits, limits.data());
    }
    {
        Bytes sprite; // id 1, one empty frame
        sprite.u16(1);
        sprite.u16(1);
        sprite.u16(kShowFrame << 6);
        sprite.u16(kEnd);
        tags.tag(kDefineSprite, sprite.data());
        Bytes exports;
        exports.u16(1);
        exports.u16(1);
        exports.text("a");
        tags.tag(kExportAssets, exports.data());
        Bytes place; // PlaceObject2: has name, has character
        place.u8(0x22);
        place.u16(1);
        place.u16(1);
        place.text("c");
        tags.tag(kPlaceObject2, place.data());
    }
    tags.tag(kDoAction, actions);
    tags.tag(kShowFrame, {});
    tags.tag(kShowFrame, {});
    tags.tag(kEnd, {});

    Bytes file;
    file.append(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("FWS"), 3));
    file.u8(uint32_t(version));
    const std::vector<uint8_t> rect = stageRect();
    const std::size_t length = 8 + rect.size() + 4 + tags.data().size();
    file.u32(uint32_t(length));
    file.append(rect);
    file.u16(12 << 8); // 12 frames a second
    file.u16(2);
    file.append(tags.data());
    return std::move(file.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace swivio;
    if (size < 1 || size > 60000)
        return 0;
    const int version = 5 + data[0] % 4;
    const std::vector<uint8_t> bytes = buildMovie(version, std::span(data + 1, size - 1));
    auto movie = swf::Movie::load(bytes);
    if (!movie)
        std::abort(); // the movie above is well formed
    // SWIVIO_FUZZ_VERBOSE=1 prints what the scripts say, for looking at one input.
    static const bool verbose = std::getenv("SWIVIO_FUZZ_VERBOSE") != nullptr;
    std::size_t traced = 0;
    const auto sink = [&](std::string_view line) {
        traced += line.size();
        if (verbose)
            std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
    };
    // A small budget keeps each input quick; the bound itself is what is being tried.
    swf::PlayerOptions options;
    options.actionBudget = 200000;
    swf::MoviePlayer player(*movie, options, [&](swf::avm1::ScriptRuntime& runtime) {
        runtime.setTraceSink(sink);
        runtime.setErrorSink(sink);
    });
    Frame frame(32, 24);
    const swf::RenderViewport viewport = player.viewport(32, 24);
    for (int i = 0; i < 3; ++i) {
        player.advance();
        player.render(frame, viewport);
    }
    return traced == size_t(-1);
}
