#include "source/player_host.h"

#include <cctype>

#include "source/swf_movie_file.h"
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

const std::vector<std::string> kNoWarnings;

} // namespace

PlayerHost::PlayerHost() = default;

PlayerHost::PlayerHost(const SwfMovieFile& file) {
    show(file.movie);
    takeProperties(file);
}

void PlayerHost::takeProperties(const SwfMovieFile& file) {
    m_movieWidth = file.header.width;
    m_movieHeight = file.header.height;
    m_movieLength = file.header.frameCount;
    m_movieFrameRate = file.header.frameRate;
    m_warnings = movieFileWarnings(file);
}

PlayerHost::~PlayerHost() = default;

void PlayerHost::show(std::shared_ptr<const swf::Movie> movie) {
    m_movie = std::move(movie);
    m_player = m_movie ? std::make_unique<swf::MoviePlayer>(m_movie) : nullptr;
    // A freshly loaded movie waits on its first frame until asked to play.
    if (m_player)
        m_player->stop();
    m_isFlv = false;
}

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
    auto file = loadSwfMovieFile(path);
    if (!file) {
        m_error = file.message();
        return false;
    }
    show(file->movie);
    takeProperties(*file);
    return true;
}

void PlayerHost::setMovie(const std::string& path) {
    if (path.empty()) {
        show(nullptr);
        return;
    }
    auto movie = swf::Movie::loadFile(path);
    show(movie ? *movie : nullptr);
}

int PlayerHost::readyState() const { return m_player ? 4 : 0; }

const std::vector<std::string>& PlayerHost::warnings() const {
    return m_movie ? m_warnings : kNoWarnings;
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

void PlayerHost::tick() {
    if (m_player)
        m_player->advance();
}

void PlayerHost::gotoFrame(int frame) {
    if (m_player)
        m_player->gotoFrame(frame);
}

int PlayerHost::currentFrame() const { return m_player ? m_player->currentFrame() : 0; }

bool PlayerHost::atEnd() const {
    return !m_player ||
           (!m_player->isPlaying() && m_player->currentFrame() + 1 >= m_player->frameCount());
}

uint32_t PlayerHost::backgroundColor() const {
    return m_player ? m_player->backgroundColor() : makeColor(255, 255, 255);
}

void PlayerHost::paint(Frame& frame, const SourceViewport& viewport) {
    if (!m_player)
        return;
    swf::RenderViewport engine;
    engine.stage = m_player->movie().stage();
    engine.playerWidth = viewport.playerWidth;
    engine.playerHeight = viewport.playerHeight;
    engine.originX = viewport.originX;
    engine.originY = viewport.originY;
    engine.clipX = viewport.clipX;
    engine.clipY = viewport.clipY;
    engine.clipWidth = viewport.clipWidth;
    engine.clipHeight = viewport.clipHeight;
    m_player->render(frame, engine);
}

std::unique_ptr<MovieSource> PlayerHost::openAnother() const {
    auto other = std::make_unique<PlayerHost>();
    other->show(m_movie);
    other->m_movieWidth = m_movieWidth;
    other->m_movieHeight = m_movieHeight;
    other->m_movieLength = m_movieLength;
    other->m_movieFrameRate = m_movieFrameRate;
    other->m_warnings = m_warnings;
    return other;
}

} // namespace swivio
