// Loads arbitrary bytes as content loaded into a clip and into a level of a playing movie
// (a SWF, a picture, or neither), then plays and paints it: no input may crash, hang or
// exhaust memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "base/frame.h"
#include "swf/player/loaded_movie.h"
#include "swf/player/render_emitter.h"
#include "swf/player/timeline_player.h"
#include "swf/raster/renderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace swivio;
    auto host = std::make_shared<swf::MovieDefinition>();
    host->file.version = 8;
    host->file.stage = {0, 1280, 0, 960};
    host->root.frames.resize(1);
    auto bitmaps = std::make_unique<swf::BitmapLibrary>(host);
    auto loaded = swf::makeLoadedMovie(std::span<const uint8_t>(data, size), "f.swf?a=1", 8);
    swf::TimelinePlayer player(host);
    swf::DisplayObject* clip = player.createEmptyClip(player.root(), "c", swf::kFirstScriptDepth);
    if (clip)
        player.loadInto(*clip, loaded);
    player.loadLevel(1, loaded);
    swf::RenderEmitter emitter(host, *bitmaps);
    swf::Renderer renderer;
    swf::RenderViewport viewport;
    viewport.stage = host->file.stage;
    viewport.playerWidth = viewport.clipWidth = 64;
    viewport.playerHeight = viewport.clipHeight = 48;
    Frame frame(64, 48);
    for (int i = 0; i < 3; ++i) {
        swf::RenderCommandList commands;
        emitter.emit(player.root(), commands);
        for (auto& [n, level] : player.levels())
            emitter.append(*level, commands);
        renderer.render(commands, *bitmaps, viewport, frame, 0xFFFFFF);
        player.advance();
    }
    player.unloadLevel(1);
    return 0;
}
