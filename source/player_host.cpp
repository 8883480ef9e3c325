#include "source/player_host.h"

#include <algorithm>
#include <cctype>

#include "source/engine_input.h"
#include "source/flv_player.h"
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

void PlayerHost::show(std::shared_ptr<const swf::Movie> movie, bool playing) {
    m_movie = std::move(movie);
    swf::PlayerOptions options;
    options.moviePath = m_moviePath;
    m_player = m_movie ? std::make_unique<swf::MoviePlayer>(m_movie, options) : nullptr;
    // A freshly loaded movie waits on its first frame until asked to play.
    if (m_player && !playing)
        m_player->stop();
    m_isFlv = false;
    m_flv.reset();
    // Making the player ran the first frame.
    m_framesRun = m_player ? 1 : 0;
    deliverScriptedInput();
}

bool PlayerHost::load(const std::string& path) {
    m_error.clear();
    if (endsWithNoCase(path, ".flv")) {
        auto flv = std::make_unique<FlvPlayer>();
        if (!flv->open(path)) {
            m_error = flv->errorString();
            return false;
        }
        show(nullptr);
        m_moviePath = path;
        m_flv = std::move(flv);
        m_isFlv = true;
        m_movieWidth = m_flv->movieWidth();
        m_movieHeight = m_flv->movieHeight();
        m_movieLength = m_flv->movieLength();
        m_movieFrameRate = m_flv->movieFrameRate();
        return true;
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
    m_moviePath = path;
    show(file->movie);
    takeProperties(*file);
    return true;
}

void PlayerHost::setMovie(const std::string& path) {
    m_moviePath = path;
    if (path.empty()) {
        show(nullptr);
        return;
    }
    auto movie = swf::Movie::loadFile(path);
    show(movie ? *movie : nullptr);
}

int PlayerHost::readyState() const { return m_player || m_flv ? 4 : 0; }

const std::vector<std::string>& PlayerHost::warnings() const {
    if (m_flv)
        return m_flv->warnings();
    return m_movie ? m_warnings : kNoWarnings;
}

void PlayerHost::play() {
    if (m_flv)
        return m_flv->play();
    if (m_player)
        m_player->play();
}

void PlayerHost::pause() {
    if (m_flv)
        return m_flv->pause();
    if (m_player)
        m_player->stop();
}

void PlayerHost::stop() {
    if (m_flv)
        return m_flv->stop();
    if (m_player)
        m_player->rewind();
}

void PlayerHost::seek(int position) {
    if (m_flv)
        return m_flv->seek(position);
    if (m_player)
        m_player->gotoFrame(position);
}

int PlayerHost::position() const { return m_flv ? m_flv->position() : currentFrame() + 1; }

bool PlayerHost::isPlaying() const {
    return m_flv ? m_flv->isPlaying() : m_player && m_player->isPlaying();
}

bool PlayerHost::hasSound() const {
    return m_flv ? m_flv->hasSound() : m_player && m_player->hasSound();
}

std::vector<int16_t> PlayerHost::takeFrameSound(double frameRate) {
    if (m_flv)
        return m_flv->takeFrameSound(frameRate);
    return m_player ? m_player->takeFrameSound(frameRate) : std::vector<int16_t>{};
}

std::vector<std::string> PlayerHost::soundWarnings() {
    if (m_flv)
        return m_flv->soundWarnings();
    return m_player ? m_player->soundWarnings() : std::vector<std::string>{};
}

void PlayerHost::tick() {
    if (m_flv)
        return m_flv->tick();
    if (!m_player)
        return;
    m_player->advance();
    ++m_framesRun;
    deliverScriptedInput();
}

void PlayerHost::handleInput(const UserInput& input) {
    if (m_player)
        m_player->handleInput(toEngineInput(input));
}

UserCursor PlayerHost::cursor() const {
    if (!m_player)
        return UserCursor::Arrow;
    switch (m_player->cursor()) {
    case swf::Cursor::Hand: return UserCursor::Hand;
    case swf::Cursor::IBeam: return UserCursor::IBeam;
    case swf::Cursor::Arrow: break;
    }
    return UserCursor::Arrow;
}

bool PlayerHost::pointerHidden() const { return m_player && m_player->pointerHidden(); }

void PlayerHost::setScriptedInput(std::vector<TimedInput> input) {
    m_scriptedSteps = inputSteps(input);
}

void PlayerHost::deliverScriptedInput() {
    if (m_framesRun < 1 || size_t(m_framesRun) > m_scriptedSteps.size())
        return;
    for (const UserInput& input : m_scriptedSteps[size_t(m_framesRun) - 1])
        handleInput(input);
}

void PlayerHost::gotoFrame(int frame) {
    if (m_flv)
        return m_flv->gotoFrame(frame);
    if (m_player)
        m_player->gotoFrame(frame);
}

int PlayerHost::currentFrame() const {
    if (m_flv)
        return m_flv->currentFrame();
    return m_player ? m_player->currentFrame() : 0;
}

bool PlayerHost::atEnd() const {
    if (m_flv)
        return m_flv->atEnd();
    return !m_player ||
           (!m_player->isPlaying() && m_player->currentFrame() + 1 >= m_player->frameCount());
}

void PlayerHost::restart() {
    if (m_flv)
        return m_flv->restart();
    // A new player: the scripts' state and the first frame's scripts start over, and
    // whether the root plays is theirs to say.
    if (!m_movie)
        return;
    show(m_movie, true);
}

void PlayerHost::forceFrame(int frame) {
    if (m_flv)
        return m_flv->forceFrame(frame);
    if (!m_player)
        return;
    frame = std::clamp(frame, 0, std::max(m_player->frameCount() - 1, 0));
    if (m_player->currentFrame() == frame)
        return;
    m_player->gotoFrame(frame);
    // The frame's own scripts sent the root elsewhere (a gotoAndPlay back to the start):
    // running them again would do the same, so the timeline alone is seeked.
    if (m_player->currentFrame() != frame)
        m_player->gotoFrame(m_player->root(), frame);
}

uint64_t PlayerHost::displaySignature() {
    if (m_flv)
        return m_flv->displaySignature();
    if (!m_player)
        return 0;
    // FNV-1a over the fields that decide the picture. Shapes are shared, never rebuilt for
    // a frame, so their addresses stand for their contents.
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ bytes[i]) * 1099511628211ull;
    };
    auto mixValue = [&mix](const auto& value) { mix(&value, sizeof value); };
    mixValue(m_player->backgroundColor());
    for (const swf::RenderCommand& c : m_player->commands()) {
        mixValue(c.kind);
        mixValue(c.shape.get());
        const swf::Matrix& m = c.matrix;
        for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty})
            mixValue(v);
        const swf::ColorTransform& t = c.colorTransform;
        for (float v : {t.mr, t.mg, t.mb, t.ma, t.ar, t.ag, t.ab, t.aa})
            mixValue(v);
        mixValue(c.blendMode);
        mixValue(c.filters.size());
        for (const swf::Filter& f : c.filters) {
            mixValue(f.type);
            mixValue(f.color);
            for (float v : {f.blurX, f.blurY, f.angle, f.distance, f.strength})
                mixValue(v);
        }
    }
    return hash;
}

uint32_t PlayerHost::backgroundColor() const {
    if (m_flv)
        return m_flv->backgroundColor();
    return m_player ? m_player->backgroundColor() : makeColor(255, 255, 255);
}

void PlayerHost::paint(Frame& frame, const SourceViewport& viewport) {
    if (m_flv)
        return m_flv->paint(frame, viewport);
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
    if (m_flv)
        return m_flv->openAnother();
    auto other = std::make_unique<PlayerHost>();
    other->m_moviePath = m_moviePath;
    other->show(m_movie);
    other->m_movieWidth = m_movieWidth;
    other->m_movieHeight = m_movieHeight;
    other->m_movieLength = m_movieLength;
    other->m_movieFrameRate = m_movieFrameRate;
    other->m_warnings = m_warnings;
    return other;
}

} // namespace swivio
