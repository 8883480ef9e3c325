#include "source/flv_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "clib/ffmpeg_handles.h"
#include "source/flv_request.h"

namespace swivio {

namespace {

// Numbers as ActionScript writes them: integers without a point, others to 15 digits.
std::string numberText(double v) {
    if (v == 0)
        return "0";
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", v);
    return text;
}

const char* boolText(bool v) { return v ? "true" : "false"; }

constexpr char kRan[] = "<undefined/>";

} // namespace

FlvFit fitVideo(double videoWidth, double videoHeight, double stageWidth, double stageHeight) {
    FlvFit fit;
    if (!(videoWidth > 0) || !(videoHeight > 0) || !(stageWidth > 0) || !(stageHeight > 0))
        return fit;
    if (videoWidth / videoHeight > stageWidth / stageHeight) {
        fit.width = stageWidth;
        fit.height = videoHeight / videoWidth * fit.width;
    } else {
        fit.height = stageHeight;
        fit.width = videoWidth / videoHeight * fit.height;
    }
    fit.x = (stageWidth - fit.width) / 2;
    fit.y = (stageHeight - fit.height) / 2;
    return fit;
}

struct FlvPlayer::Scaler {
    clib::SwsContextHandle context;
};

FlvPlayer::FlvPlayer() : m_scaler(std::make_unique<Scaler>()) {}

FlvPlayer::~FlvPlayer() = default;

bool FlvPlayer::open(const std::string& path) {
    Result<std::shared_ptr<FlvFile>> file = FlvFile::open(path);
    if (!file) {
        close();
        m_error = file.message();
        return false;
    }
    return openFile(std::move(*file));
}

void FlvPlayer::close() {
    m_loaded = false;
    m_playing = false;
    m_endLatched = false;
    m_frame = 0;
    m_stream.reset();
    m_warnings.clear();
    m_error.clear();
    m_scaledSerial = 0;
}

bool FlvPlayer::openFile(std::shared_ptr<FlvFile> file) {
    close();
    const std::string path = file->path();
    auto stream = FlvStream::open(std::move(file));
    if (!stream) {
        m_error = stream.message();
        return false;
    }
    m_stream = std::move(*stream);
    if (!m_stream->pictureAt(0)) {
        m_stream.reset();
        m_error = path + " holds no picture that can be decoded";
        return false;
    }
    if (m_stream->info().duration <= 0)
        m_warnings.push_back("The video's length is not known: it plays until its data ends.");
    for (const std::string& w : m_stream->takeWarnings())
        m_warnings.push_back("The video: " + w);
    m_loaded = true;
    return true;
}

std::string FlvPlayer::callFunction(const std::string& text) {
    const std::optional<FlvRequest> request = parseFlvRequest(text);
    if (!request)
        return {};
    const auto& args = request->arguments;
    const std::string& name = request->name;
    if (name == "OpenFile") {
        const auto* path = args.empty() ? nullptr : std::get_if<std::string>(&args[0]);
        if (!path)
            return {};
        open(*path);
        return kRan;
    }
    if (name == "Seek") {
        const auto* seconds = args.empty() ? nullptr : std::get_if<double>(&args[0]);
        if (!seconds)
            return {};
        if (m_loaded)
            seekSeconds(*seconds);
        return kRan;
    }
    if (name == "Play")
        play();
    else if (name == "Pause")
        pause();
    else if (name == "Stop")
        stop();
    else
        return {};
    return kRan;
}

std::string FlvPlayer::getVariable(const std::string& name) const {
    const FlvStreamInfo info = mediaInfo();
    if (name == "g_loaded")
        return boolText(m_loaded);
    if (name == "g_playing")
        return boolText(m_playing);
    if (name == "g_curTime")
        return numberText(currentTime());
    // The rest arrive with the metadata: undefined before.
    if (!m_loaded)
        return {};
    if (name == "g_totalTime")
        return numberText(info.duration);
    if (name == "g_width")
        return numberText(info.width);
    if (name == "g_height")
        return numberText(info.height);
    if (name == "g_frameRate")
        return numberText(info.frameRate);
    return {};
}

FlvStreamInfo FlvPlayer::mediaInfo() const { return m_stream ? m_stream->info() : FlvStreamInfo{}; }

double FlvPlayer::currentTime() const {
    return m_stream ? m_frame / m_stream->info().frameRate : 0.0;
}

int32_t FlvPlayer::movieWidth() const { return m_stream ? m_stream->info().width : 0; }
int32_t FlvPlayer::movieHeight() const { return m_stream ? m_stream->info().height : 0; }
int32_t FlvPlayer::movieLength() const {
    return m_stream ? int32_t(std::min(m_stream->info().duration, 1e9) + 0.5) : 0;
}
float FlvPlayer::movieFrameRate() const {
    return m_stream ? float(m_stream->info().frameRate) : 0.0f;
}

void FlvPlayer::play() {
    if (!m_loaded)
        return;
    m_playing = true;
    m_endLatched = false;
}

void FlvPlayer::pause() { m_playing = false; }

void FlvPlayer::stop() {
    m_playing = false;
    if (m_loaded)
        seekSeconds(0);
}

void FlvPlayer::seek(int position) {
    if (m_loaded)
        seekSeconds(position);
}

int FlvPlayer::position() const { return int(currentTime() + 0.5); }

int FlvPlayer::frameAt(double seconds) const {
    const FlvStreamInfo& info = m_stream->info();
    double frame = std::floor(std::max(seconds, 0.0) * info.frameRate + 1e-6);
    if (info.duration > 0)
        frame = std::min(frame, std::max(std::ceil(info.duration * info.frameRate) - 1, 0.0));
    return int(std::min(frame, 1e9));
}

void FlvPlayer::seekSeconds(double seconds) {
    m_frame = frameAt(seconds);
    m_endLatched = false;
    m_soundGiven = false;
}

void FlvPlayer::gotoFrame(int frame) {
    if (!m_loaded)
        return;
    seekSeconds(std::max(frame, 0) / m_stream->info().frameRate);
}

void FlvPlayer::tick() {
    if (!m_loaded || !m_playing)
        return;
    ++m_frame;
    m_soundGiven = false;
    // The end is latched before the rewind, so whoever polls afterwards still sees it.
    if (m_stream->endedAt(currentTime())) {
        m_playing = false;
        m_endLatched = true;
        m_frame = 0;
    }
}

void FlvPlayer::restart() {
    if (!m_loaded)
        return;
    seekSeconds(0);
    m_playing = true;
}

uint64_t FlvPlayer::displaySignature() {
    if (!m_stream)
        return 0;
    m_stream->pictureAt(currentTime());
    return m_stream->pictureSerial();
}

uint32_t FlvPlayer::backgroundColor() const { return makeColor(255, 255, 255); }

bool FlvPlayer::scalePicture(const SourceViewport& viewport, VideoPlace& place) {
    if (!m_stream)
        return false;
    const AVFrame* picture = m_stream->pictureAt(currentTime());
    if (!picture || picture->width <= 0 || picture->height <= 0)
        return false;
    const FlvFit fit = fitVideo(picture->width, picture->height, viewport.playerWidth,
                                viewport.playerHeight);
    place.x = int(std::lround(fit.x));
    place.y = int(std::lround(fit.y));
    place.width = int(std::lround(fit.width));
    place.height = int(std::lround(fit.height));
    if (place.width <= 0 || place.height <= 0)
        return false;
    if (m_scaledSerial == m_stream->pictureSerial() && m_scaledWidth == place.width &&
        m_scaledHeight == place.height)
        return true;
    SwsContext* sws = sws_getCachedContext(m_scaler->context.release(), picture->width,
                                           picture->height, AVPixelFormat(picture->format),
                                           place.width, place.height, AV_PIX_FMT_BGR24,
                                           SWS_BILINEAR, nullptr, nullptr, nullptr);
    m_scaler->context.reset(sws);
    if (!sws)
        return false;
    m_scaled.resize(std::size_t(place.width) * std::size_t(place.height) * 3);
    uint8_t* planes[4] = {m_scaled.data(), nullptr, nullptr, nullptr};
    int strides[4] = {place.width * 3, 0, 0, 0};
    if (sws_scale(sws, picture->data, picture->linesize, 0, picture->height, planes, strides) !=
        place.height)
        return false;
    m_scaledSerial = m_stream->pictureSerial();
    m_scaledWidth = place.width;
    m_scaledHeight = place.height;
    return true;
}

void FlvPlayer::paint(Frame& frame, const SourceViewport& viewport) {
    const int left = std::max(viewport.clipX, 0);
    const int top = std::max(viewport.clipY, 0);
    const int right = std::min(viewport.clipX + viewport.clipWidth, frame.width());
    const int bottom = std::min(viewport.clipY + viewport.clipHeight, frame.height());
    if (left >= right || top >= bottom)
        return;
    // The frame's columns [x0, x1) and rows [y0, y1) show the video; frame pixel (x, y)
    // shows stage pixel (x + originX, y + originY). Only the rest is painted white.
    VideoPlace place;
    int x0 = left, x1 = left, y0 = top, y1 = top;
    if (scalePicture(viewport, place)) {
        x0 = std::max(left, place.x - viewport.originX);
        x1 = std::min(right, place.x + place.width - viewport.originX);
        y0 = std::max(top, place.y - viewport.originY);
        y1 = std::min(bottom, place.y + place.height - viewport.originY);
    }
    const auto white = [&](int y, int from, int to) {
        if (from < to)
            std::memset(frame.topRow(y) + from * 3, 0xFF, std::size_t(to - from) * 3);
    };
    for (int y = top; y < bottom; ++y) {
        if (y < y0 || y >= y1 || x0 >= x1) {
            white(y, left, right);
            continue;
        }
        white(y, left, x0);
        const int sy = y + viewport.originY - place.y;
        const uint8_t* source = m_scaled.data() +
                                (std::size_t(sy) * std::size_t(place.width) +
                                 std::size_t(x0 + viewport.originX - place.x)) *
                                    3;
        std::memcpy(frame.topRow(y) + x0 * 3, source, std::size_t(x1 - x0) * 3);
        white(y, x1, right);
    }
}

bool FlvPlayer::hasSound() const { return m_stream && m_stream->info().hasSound; }

std::vector<int16_t> FlvPlayer::takeFrameSound(double frameRate) {
    if (!m_loaded || !m_playing || m_soundGiven || !hasSound())
        return {};
    m_soundGiven = true;
    // The stream goes where the clock is first (after a seek, nothing was decoded there).
    m_stream->pictureAt(currentTime());
    const double rate = frameRate > 0 ? frameRate : m_stream->info().frameRate;
    // The share of frame k at this rate runs from floor(k * 44100 / rate) to the next
    // frame's start, so consecutive frames join exactly.
    const auto k = double(std::llround(currentTime() * rate));
    const auto first = int64_t(std::floor(k * kFlvSoundRate / rate));
    const auto end = int64_t(std::floor((k + 1) * kFlvSoundRate / rate));
    return m_stream->sound(first, end - first);
}

std::vector<std::string> FlvPlayer::soundWarnings() {
    return m_stream ? m_stream->takeWarnings() : std::vector<std::string>{};
}

std::unique_ptr<MovieSource> FlvPlayer::openAnother() const {
    auto other = std::make_unique<FlvPlayer>();
    if (m_stream)
        other->openFile(m_stream->file());
    return other;
}

} // namespace swivio
