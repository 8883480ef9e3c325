// Loads arbitrary bytes as a movie, then plays, seeks and paints its first frames at a small
// size, with a script hook listening and the scripts' display list operations run on what the
// movie placed: no input may crash, hang or exhaust memory.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/frame.h"
#include "swf/movie.h"
#include "swf/movie_player.h"

namespace {

// Walks to every object it hears of, so a dangling one shows under the sanitizers.
class TouchingHook : public swivio::swf::ScriptHook {
public:
    void objectPlaced(swivio::swf::DisplayObject& object,
                      const swivio::swf::PlaceObject*) override {
        m_sum += object.depth;
    }
    void frameEntered(swivio::swf::DisplayObject& clip, int frame, bool) override {
        m_sum += clip.depth + frame;
    }
    void objectRemoving(swivio::swf::DisplayObject& object) override { m_sum += object.depth; }

private:
    long m_sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace swivio;
    auto movie = swf::Movie::load(std::span<const uint8_t>(data, size));
    if (!movie)
        return 0;
    TouchingHook hook;
    swf::MoviePlayer player(*movie, &hook);
    (void)(*movie)->definition()->exportedCharacter("a", false);
    Frame frame(64, 48);
    swf::RenderViewport viewport = player.viewport(64, 48);
    for (int i = 0; i < 4; ++i) {
        player.render(frame, viewport);
        player.advance();
    }
    player.gotoFrame(player.frameCount() - 1);
    if (!player.root().children().empty()) {
        swf::DisplayObject& first = *player.root().children().begin()->second;
        const swf::DisplayObjectHandle handle = first.handle();
        player.duplicateByScript(first, "copy", swf::kFirstScriptDepth);
        player.createEmptyClip(first, "empty", 1);
        if (swf::DisplayObject* object = player.find(handle)) {
            player.swapDepths(*object, swf::kFirstScriptDepth);
            player.advance();
        }
        if (swf::DisplayObject* object = player.find(handle))
            player.removeByScript(*object);
    }
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
