#include "swf/movie_player.h"

#include <algorithm>

#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/player_sound.h"

namespace swivio::swf {

namespace {

std::unique_ptr<avm1::ScriptRuntime> makeScripts(const Movie& movie, const PlayerOptions& options,
                                                 PlayerSound* sound) {
    if (!options.runScripts || movie.definition()->usesActionScript3())
        return nullptr;
    auto scripts = std::make_unique<avm1::ScriptRuntime>(movie.definition(), options.moviePath,
                                                         options.actionBudget);
    scripts->setSounds(&sound->sounds());
    return scripts;
}

} // namespace

MoviePlayer::MoviePlayer(std::shared_ptr<const Movie> movie, PlayerOptions options)
    : MoviePlayer(std::move(movie), std::move(options), nullptr) {}

MoviePlayer::MoviePlayer(std::shared_ptr<const Movie> movie, PlayerOptions options,
                         const std::function<void(avm1::ScriptRuntime&)>& prepare)
    : m_movie(std::move(movie)),
      m_sound(std::make_unique<PlayerSound>(m_movie->definition(), m_movie->frameRate())),
      m_scripts(makeScripts(*m_movie, options, m_sound.get())),
      m_timeline(m_movie->definition(), m_sound.get(), m_scripts.get()),
      m_emitter(m_movie->definition(), m_movie->bitmaps()) {
    if (m_scripts) {
        // Sound objects and volumes are the scripts'.
        avm1::ScriptRuntime* scripts = m_scripts.get();
        TimelinePlayer* timeline = &m_timeline;
        m_sound->sounds().mixer().setLevelSource([scripts, timeline](uint64_t scope) {
            return avm1::soundLevelsFor(*scripts, timeline->find(DisplayObjectHandle{scope}));
        });
    }
    if (m_scripts && prepare)
        prepare(*m_scripts);
    if (m_scripts) {
        m_scripts->attach(m_timeline);
        m_scripts->runQueued();
    }
}

MoviePlayer::MoviePlayer(std::shared_ptr<const Movie> movie, ScriptHook* scriptHook)
    : m_movie(std::move(movie)),
      m_sound(std::make_unique<PlayerSound>(m_movie->definition(), m_movie->frameRate())),
      m_timeline(m_movie->definition(), m_sound.get(), scriptHook),
      m_emitter(m_movie->definition(), m_movie->bitmaps()) {}

MoviePlayer::~MoviePlayer() = default;

void MoviePlayer::advance() {
    m_sound->beforeTick();
    if (m_scripts)
        m_scripts->tick();
    else
        m_timeline.advance();
}

void MoviePlayer::gotoFrame(int frame) {
    if (m_scripts)
        m_scripts->gotoFrame(frame);
    else
        m_timeline.gotoFrame(frame);
}

sound::MovieSounds& MoviePlayer::sounds() { return m_sound->sounds(); }

bool MoviePlayer::hasSound() const { return m_sound->sounds().movieHasSound(); }

std::vector<int16_t> MoviePlayer::takeFrameSound(double rate) {
    return rate > 0 ? m_sound->takeFrameSound(rate) : m_sound->takeFrameSound();
}

std::vector<std::string> MoviePlayer::soundWarnings() const { return m_sound->sounds().warnings(); }

void MoviePlayer::rewind() {
    m_timeline.stop();
    m_timeline.gotoFrame(0);
}

uint32_t MoviePlayer::backgroundColor() const {
    const Rgba c = m_timeline.backgroundColor();
    return makeColor(c.r, c.g, c.b);
}

void MoviePlayer::handleInput(const InputEvent& event) {
    if (m_scripts)
        m_scripts->handleInput(event);
}

Cursor MoviePlayer::cursor() const {
    return m_scripts ? m_scripts->cursor() : Cursor::Arrow;
}

bool MoviePlayer::pointerHidden() const {
    return m_scripts && m_scripts->pointerHidden();
}

const RenderCommandList& MoviePlayer::commands() {
    m_emitter.emit(m_timeline.root(), m_commands);
    for (auto& [n, level] : m_timeline.levels())
        m_emitter.append(*level, m_commands);
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
