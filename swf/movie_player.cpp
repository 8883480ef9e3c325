#include "swf/movie_player.h"

#include <algorithm>

namespace swivio::swf {

MoviePlayer::MoviePlayer(std::shared_ptr<const Movie> movie, ScriptHook* scriptHook)
    : m_movie(std::move(movie)), m_timeline(m_movie->definition(), nullptr, scriptHook),
      m_emitter(m_movie->definition(), m_movie->bitmaps()) {}

MoviePlayer::~MoviePlayer() = default;

void MoviePlayer::advance() {
    m_timeline.advance();
}

void MoviePlayer::gotoFrame(int frame) {
    m_timeline.gotoFrame(frame);
}

void MoviePlayer::rewind() {
    m_timeline.stop();
    m_timeline.gotoFrame(0);
}

uint32_t MoviePlayer::backgroundColor() const {
    const Rgba c = m_timeline.backgroundColor();
    return makeColor(c.r, c.g, c.b);
}

const RenderCommandList& MoviePlayer::commands() {
    m_emitter.emit(m_timeline.root(), m_commands);
    return m_commands;
}

void MoviePlayer::render(Frame& frame, const RenderViewport& viewport) {
    m_renderer.render(commands(), m_movie->bitmaps(), viewport, frame, backgroundColor());
}

RenderViewport MoviePlayer::viewport(int width, int height) const {
    RenderViewport v;
    v.stage = m_movie->stage();
    v.playerWidth = width;
    v.playerHeight = height;
    v.clipWidth = width;
    v.clipHeight = height;
    return v;
}

} // namespace swivio::swf
