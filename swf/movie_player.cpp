#include "swf/movie_player.h"

#include <algorithm>
#include <cstring>

namespace swivio::swf {

MoviePlayer::MoviePlayer(std::shared_ptr<const Movie> movie)
    : m_movie(std::move(movie)), m_timeline(m_movie->definition()),
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
    const int x0 = std::max(viewport.clipX, 0);
    const int y0 = std::max(viewport.clipY, 0);
    const int x1 = std::min(viewport.clipX + viewport.clipWidth, frame.width());
    const int y1 = std::min(viewport.clipY + viewport.clipHeight, frame.height());
    if (x0 >= x1 || y0 >= y1)
        return;
    // The first row is filled pixel by pixel, the others copied from it.
    const uint32_t background = backgroundColor();
    uint8_t* first = frame.topRow(y0) + std::size_t(x0) * 3;
    for (int x = x0; x < x1; ++x) {
        first[(x - x0) * 3] = colorBlue(background);
        first[(x - x0) * 3 + 1] = colorGreen(background);
        first[(x - x0) * 3 + 2] = colorRed(background);
    }
    for (int y = y0 + 1; y < y1; ++y) {
        std::memcpy(frame.topRow(y) + std::size_t(x0) * 3, first, std::size_t(x1 - x0) * 3);
    }
    m_renderer.render(commands(), m_movie->bitmaps(), viewport, frame);
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
