#include "source/player_host.h"

#include <algorithm>
#include <cctype>

#include "source/movie_header.h"
#include "swf/movie.h"
#include "swf/movie_player.h"

namespace swivio {

namespace {

// The extension test of the loader: the last four characters, without regard to case.
bool endsWithNoCase(const std::string& path, const char* ext) {
    const std::size_t n = std::char_traits<char>::length(ext);
    if (path.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char a = static_cast<unsigned char>(path[path.size() - n + i]);
        if (std::tolower(a) != std::tolower(static_cast<unsigned char>(ext[i])))
            return false;
    }
    return true;
}

} // namespace

PlayerHost::PlayerHost() = default;
PlayerHost::~PlayerHost() = default;

bool PlayerHost::load(const std::string& path) {
    m_error.clear();
    if (endsWithNoCase(path, ".flv")) {
        m_error = "FLV videos cannot be played yet: " + path;
        return false;
    }
    if (!endsWithNoCase(path, ".swf")) {
        m_error = "Not an SWF or FLV file name: " + path;
        return false;
    }
    MovieHeader header;
    if (!header.read(path)) {
        m_error = kInvalidMovieMessage;
        return false;
    }
    auto movie = swf::Movie::loadFile(path);
    if (!movie) {
        m_error = std::string(kInvalidMovieMessage) + " (" + movie.message() + ")";
        return false;
    }
    m_player = std::make_unique<swf::MoviePlayer>(movie.value());
    // A freshly loaded movie waits on its first frame until asked to play.
    m_player->stop();
    m_isFlv = false;
    m_movieWidth = header.width;
    m_movieHeight = header.height;
    m_movieLength = header.frameCount;
    m_movieFrameRate = header.frameRate;
    return true;
}

void PlayerHost::setMovie(const std::string& path) {
    if (path.empty()) {
        m_player.reset();
        return;
    }
    auto movie = swf::Movie::loadFile(path);
    if (movie)
        m_player = std::make_unique<swf::MoviePlayer>(movie.value());
    else
        m_player.reset();
}

void PlayerHost::play() {
    if (m_player)
        m_player->play();
}

void PlayerHost::pause() {
    if (m_player)
        m_player->stop();
}

void PlayerHost::stop() {
    if (m_player)
        m_player->rewind();
}

void PlayerHost::seek(int position) {
    if (m_player)
        m_player->gotoFrame(position);
}

int PlayerHost::position() const { return currentFrame() + 1; }

bool PlayerHost::isPlaying() const { return m_player && m_player->isPlaying(); }

int PlayerHost::readyState() const { return m_player ? 4 : 0; }

void PlayerHost::tick() {
    if (m_player)
        m_player->advance();
}

void PlayerHost::gotoFrame(int frame) {
    if (m_player)
        m_player->gotoFrame(frame);
}

int PlayerHost::currentFrame() const { return m_player ? m_player->currentFrame() : 0; }

uint32_t PlayerHost::backgroundColor() const {
    return m_player ? m_player->backgroundColor() : makeColor(255, 255, 255);
}

void PlayerHost::paint(Frame& frame, int playerWidth, int playerHeight, int originX,
                       int originY, int clipX, int clipY, int clipWidth, int clipHeight) {
    if (!m_player)
        return;
    m_viewport.stage = m_player->movie().stage();
    m_viewport.playerWidth = playerWidth;
    m_viewport.playerHeight = playerHeight;
    m_viewport.originX = originX;
    m_viewport.originY = originY;
    m_viewport.clipX = clipX;
    m_viewport.clipY = clipY;
    m_viewport.clipWidth = clipWidth;
    m_viewport.clipHeight = clipHeight;
    m_player->render(frame, m_viewport);
}

} // namespace swivio
