// Loads arbitrary bytes as a movie, then plays, seeks and paints its first frames at a small
// size: no input may crash, hang or exhaust memory.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/frame.h"
#include "swf/movie.h"
#include "swf/movie_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace swivio;
    auto movie = swf::Movie::load(std::span<const uint8_t>(data, size));
    if (!movie)
        return 0;
    swf::MoviePlayer player(*movie);
    Frame frame(64, 48);
    swf::RenderViewport viewport = player.viewport(64, 48);
    for (int i = 0; i < 4; ++i) {
        player.render(frame, viewport);
        player.advance();
    }
    player.gotoFrame(player.frameCount() - 1);
    player.gotoFrame(1);
    // An offset, clipped view exercises the grab origin and clip rectangle.
    viewport.originX = -10;
    viewport.originY = 7;
    viewport.clipX = 4;
    viewport.clipY = 4;
    viewport.clipWidth = 40;
    viewport.clipHeight = 30;
    player.render(frame, viewport);
    return 0;
}
