#include "source/flv_stream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "clib/ffmpeg_decoders.h"
#include "clib/ffmpeg_handles.h"

namespace swivio {

namespace {

using Clock = std::chrono::steady_clock;

// Packets waiting for the picture decoder while the sound is read ahead (and the other way
// round): a file whose streams drift this far apart is read no further ahead.
constexpr std::size_t kMostQueuedPackets = 2048;
constexpr std::size_t kMostQueuedBytes = 64u << 20;
// Read errors in a row after which the file counts as ended.
constexpr int kMostReadErrors = 64;
// Sound kept before the sample asked for last, in sample frames (a file read far ahead).
constexpr int64_t kMostSoundBuffered = int64_t(kFlvSoundRate) * 120;
// Sound placed this close to where the previous packet ended follows it without a gap.
constexpr int64_t kSoundJitter = kFlvSoundRate / 20;
// Timestamps count milliseconds: a picture at 0.7 s (700 x 0.001, a hair above 0.7) is due
// at frame 7 of 10 a second.
constexpr double kTimeSlack = 0.0005;
// A timestamp further than this past the one before it is damage, not a pause: what it
// stamps follows on from what came before. Also how long past its stated length a video
// may run on.
constexpr double kMostTimeJump = 30.0;
// Seeking ahead is cheaper than decoding on beyond this many seconds.
constexpr double kDecodeAheadSeconds = 3.0;

struct Deadline {
    Clock::time_point until{};
    bool active = false;
};

extern "C" int interruptAtDeadline(void* opaque) {
    const auto* deadline = static_cast<const Deadline*>(opaque);
    return deadline->active && Clock::now() > deadline->until ? 1 : 0;
}

std::string codecName(const AVCodecParameters* par) {
    if (par->codec_id == AV_CODEC_ID_NONE)
        return "unknown";
    const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id);
    return d ? std::string(d->long_name ? d->long_name : d->name) : "unknown";
}

bool plausibleRate(AVRational r) {
    if (r.num <= 0 || r.den <= 0)
        return false;
    const double v = av_q2d(r);
    return v >= 0.5 && v <= 120.0;
}

clib::AvCodecContext openDecoder(const AVStream* stream, std::string& error) {
    const AVCodec* codec = clib::findDecoder(stream->codecpar->codec_id);
    if (!codec) {
        error = "no decoder for " + codecName(stream->codecpar);
        return nullptr;
    }
    clib::AvCodecContext ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) {
        error = "the decoder for " + codecName(stream->codecpar) + " could not be set up";
        return nullptr;
    }
    ctx->pkt_timebase = stream->time_base;
    // A damaged picture header cannot make the decoder allocate a huge picture.
    ctx->max_pixels = int64_t(kFlvMaxSide) * kFlvMaxSide;
    if (const int rc = avcodec_open2(ctx.get(), codec, nullptr); rc < 0) {
        error = "the decoder for " + codecName(stream->codecpar) +
                " could not be opened: " + clib::ffmpegErrorText(rc);
        return nullptr;
    }
    return ctx;
}

// libavformat reads the shared file through this: each stream keeps its own position.
struct FileCursor {
    FlvFile* file = nullptr;
    int64_t at = 0;
};

extern "C" int readFromFile(void* opaque, uint8_t* buffer, int size) {
    auto* cursor = static_cast<FileCursor*>(opaque);
    const int64_t n = cursor->file->read(cursor->at, buffer, size);
    if (n < 0)
        return AVERROR(EIO);
    if (n == 0)
        return AVERROR_EOF;
    cursor->at += n;
    return int(n);
}

extern "C" int64_t seekInFile(void* opaque, int64_t offset, int whence) {
    auto* cursor = static_cast<FileCursor*>(opaque);
    const int64_t size = cursor->file->size();
    int64_t to = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        to = offset;
        break;
    case SEEK_CUR:
        to = cursor->at + offset;
        break;
    case SEEK_END:
        to = size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (to < 0)
        return AVERROR(EINVAL);
    cursor->at = to;
    return to;
}

void freeIoContext(AVIOContext* io) {
    av_freep(&io->buffer);
    avio_context_free(&io);
}
using AvIoContext = clib::CHandle<AVIOContext, freeIoContext>;

constexpr int kIoBufferBytes = 64 << 10;

} // namespace

struct FlvStream::State {
    Deadline deadline;
    std::shared_ptr<FlvFile> file;
    FileCursor cursor;
    // Declared before the format context, which reads through it, so that it goes after.
    AvIoContext io;
    clib::AvInputContext format;
    int videoIndex = -1;
    int audioIndex = -1;
    clib::AvCodecContext video;
    clib::AvCodecContext audio;
    clib::AvPacket packet;
    clib::AvFrame soundFrame;
    clib::SwrContextHandle resampler;
    // The resampler's input, to rebuild it when the sound's format changes mid-file.
    int resamplerRate = 0;
    int resamplerFormat = -1;
    AVChannelLayout resamplerLayout{};
    std::vector<int16_t> resampled;
    std::deque<clib::AvPacket> videoPackets;
    std::size_t queuedBytes = 0;
    // The picture shown, and the next one decoded (its time decides when it is shown).
    clib::AvFrame current;
    clib::AvFrame next;
    double currentTime = 0;
    double nextTime = 0;
    // The time of the last picture decoded (negative: none since the last seek), and where
    // the last seek went.
    double lastDecodedTime = -1;
    double seekTarget = 0;
    // Seconds of the file's first timestamp: times count from there.
    double origin = 0;
    bool hasCurrent = false;
    bool hasNext = false;
    bool readEnded = false;
    bool videoFlushed = false;
    bool videoEnded = false;
    int readErrors = 0;
};

std::optional<double> flvLastTimestamp(FlvFile& file) {
    const int64_t size = file.size();
    uint8_t tail[4];
    if (size < 9 + 4 + 11 || file.read(size - 4, tail, 4) != 4)
        return std::nullopt;
    // Every tag is followed by its own size (header and body), so the last tag is found
    // from the end; a size that does not fit the file means the tail is damaged.
    const uint32_t tagSize =
        (uint32_t(tail[0]) << 24) | (uint32_t(tail[1]) << 16) | (uint32_t(tail[2]) << 8) | tail[3];
    if (tagSize < 11 || int64_t(tagSize) > size - 9 - 4 - 4)
        return std::nullopt;
    uint8_t header[11];
    if (file.read(size - 4 - int64_t(tagSize), header, 11) != 11)
        return std::nullopt;
    const uint8_t type = header[0] & 0x1F;
    const uint32_t bodySize = (uint32_t(header[1]) << 16) | (uint32_t(header[2]) << 8) | header[3];
    if ((type != 8 && type != 9 && type != 18) || bodySize + 11 != tagSize)
        return std::nullopt;
    // The timestamp's extension byte holds its top 8 bits.
    const uint32_t ms = (uint32_t(header[7]) << 24) | (uint32_t(header[4]) << 16) |
                        (uint32_t(header[5]) << 8) | header[6];
    return ms / 1000.0;
}

FlvStream::FlvStream(std::unique_ptr<State> state) : m_state(std::move(state)) {}

FlvStream::~FlvStream() {
    if (m_state)
        av_channel_layout_uninit(&m_state->resamplerLayout);
}

Result<std::unique_ptr<FlvStream>> FlvStream::open(const std::string& path) {
    Result<std::shared_ptr<FlvFile>> file = FlvFile::open(path);
    if (!file)
        return Status::failure(file.message());
    return open(std::move(*file));
}

Result<std::unique_ptr<FlvStream>> FlvStream::open(std::shared_ptr<FlvFile> file) {
    using R = Result<std::unique_ptr<FlvStream>>;
    const std::string path = file->path();
    // The signature first: anything else named .flv is refused without probing.
    uint8_t head[9] = {};
    if (file->read(0, head, sizeof head) != sizeof head || std::memcmp(head, "FLV", 3) != 0)
        return R::failure(path + " is not an FLV video (no FLV signature)");
    auto state = std::make_unique<State>();
    State& s = *state;
    s.file = std::move(file);
    s.cursor.file = s.file.get();
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    if (buffer)
        s.io.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, &s.cursor, readFromFile, nullptr,
                                      seekInFile));
    if (!s.io) {
        av_free(buffer);
        return R::failure("out of memory opening " + path);
    }
    s.deadline.until = Clock::now() + std::chrono::seconds(kFlvOpenSeconds);
    s.deadline.active = true;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return R::failure("out of memory opening " + path);
    raw->pb = s.io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->interrupt_callback.callback = interruptAtDeadline;
    raw->interrupt_callback.opaque = &s.deadline;
    // Probing reads a bounded head of the file: a file without metadata cannot keep it
    // reading on.
    raw->probesize = 4 << 20;
    raw->max_analyze_duration = 5 * AV_TIME_BASE;
    const AVInputFormat* flv = av_find_input_format("flv");
    if (const int rc = avformat_open_input(&raw, path.c_str(), flv, nullptr); rc < 0)
        return R::failure("cannot read " + path + ": " + clib::ffmpegErrorText(rc));
    s.format.reset(raw);
    if (const int rc = avformat_find_stream_info(raw, nullptr); rc < 0)
        return R::failure("cannot read the streams of " + path + ": " +
                          clib::ffmpegErrorText(rc));
    s.videoIndex = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s.videoIndex < 0)
        return R::failure(path + " holds no video (a sound-only FLV is not played)");
    s.audioIndex = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const AVStream* vs = raw->streams[s.videoIndex];
    const AVCodecParameters* vp = vs->codecpar;
    if (vp->width <= 0 || vp->height <= 0 || vp->width > kFlvMaxSide ||
        vp->height > kFlvMaxSide)
        return R::failure(path + ": the video's size " + std::to_string(vp->width) + " x " +
                          std::to_string(vp->height) + " is not playable (1 to " +
                          std::to_string(kFlvMaxSide) + " pixels a side)");

    FlvStreamInfo info;
    info.width = vp->width;
    info.height = vp->height;
    info.videoCodec = codecName(vp);
    // The metadata's frame rate arrives as the stream's average; a stream without one is
    // measured, and 25 stands in when neither is sound (the capture rate divides by it).
    if (plausibleRate(vs->avg_frame_rate))
        info.frameRate = av_q2d(vs->avg_frame_rate);
    else if (plausibleRate(vs->r_frame_rate))
        info.frameRate = av_q2d(vs->r_frame_rate);
    else
        info.frameRate = 25;
    if (raw->duration > 0 && raw->duration != AV_NOPTS_VALUE)
        info.duration = double(raw->duration) / AV_TIME_BASE;
    else if (std::optional<double> last = flvLastTimestamp(*s.file); last && *last > 0)
        info.duration = *last + 1.0 / info.frameRate;

    if (raw->start_time != AV_NOPTS_VALUE && raw->start_time > 0)
        s.origin = double(raw->start_time) / AV_TIME_BASE;
    std::string error;
    s.video = openDecoder(vs, error);
    if (!s.video)
        return R::failure(path + ": " + error);
    auto stream = std::unique_ptr<FlvStream>(new FlvStream(std::move(state)));
    if (s.audioIndex >= 0) {
        const AVStream* as = raw->streams[s.audioIndex];
        stream->m_info.audioCodec = codecName(as->codecpar);
        s.audio = openDecoder(as, error);
        if (!s.audio)
            stream->warnOnce("the sound cannot be played: " + error);
    }
    info.audioCodec = stream->m_info.audioCodec;
    info.hasSound = s.audio != nullptr;
    s.packet.reset(av_packet_alloc());
    s.soundFrame.reset(av_frame_alloc());
    s.current.reset(av_frame_alloc());
    s.next.reset(av_frame_alloc());
    if (!s.packet || !s.soundFrame || !s.current || !s.next)
        return R::failure("out of memory opening " + path);
    s.deadline.active = false;
    stream->m_info = info;
    stream->m_path = path;
    return R(std::move(stream));
}

const std::shared_ptr<FlvFile>& FlvStream::file() const {
    return m_state->file;
}

void FlvStream::warnOnce(const std::string& text) {
    if (std::find(m_said.begin(), m_said.end(), text) != m_said.end())
        return;
    m_said.push_back(text);
    m_warnings.push_back(text);
}

std::vector<std::string> FlvStream::takeWarnings() { return std::exchange(m_warnings, {}); }

bool FlvStream::readPacket() {
    State& s = *m_state;
    if (s.readEnded)
        return false;
    if (s.videoPackets.size() >= kMostQueuedPackets || s.queuedBytes >= kMostQueuedBytes)
        return false;
    for (;;) {
        const int rc = av_read_frame(s.format.get(), s.packet.get());
        if (rc == AVERROR_EOF || (rc < 0 && ++s.readErrors >= kMostReadErrors)) {
            s.readEnded = true;
            return false;
        }
        if (rc < 0)
            continue; // the demuxer resynchronises on the next tag
        s.readErrors = 0;
        if (s.packet->stream_index == s.videoIndex) {
            s.videoPackets.emplace_back(av_packet_alloc());
            if (!s.videoPackets.back()) {
                s.videoPackets.pop_back();
                av_packet_unref(s.packet.get());
                return true;
            }
            av_packet_move_ref(s.videoPackets.back().get(), s.packet.get());
            s.queuedBytes += std::size_t(std::max(s.videoPackets.back()->size, 0));
            return true;
        }
        if (s.packet->stream_index == s.audioIndex && s.audio)
            decodeSound(s.packet.get());
        av_packet_unref(s.packet.get());
        return true;
    }
}

bool FlvStream::decodeNextPicture() {
    State& s = *m_state;
    for (;;) {
        const int got = avcodec_receive_frame(s.video.get(), s.next.get());
        if (got == 0) {
            const int64_t ts = s.next->best_effort_timestamp != AV_NOPTS_VALUE
                                   ? s.next->best_effort_timestamp
                                   : s.next->pts;
            const AVRational base = s.format->streams[s.videoIndex]->time_base;
            // A picture without a time follows the one before it.
            const double previous = s.lastDecodedTime >= 0 ? s.lastDecodedTime : s.seekTarget;
            double time = ts != AV_NOPTS_VALUE ? double(ts) * av_q2d(base) - s.origin : -1;
            // A picture without a time, or with a damaged one, follows the one before it.
            if (time < 0 || time > previous + kMostTimeJump)
                time = s.lastDecodedTime >= 0 ? previous + 1.0 / m_info.frameRate : previous;
            s.nextTime = time;
            s.lastDecodedTime = time;
            s.hasNext = true;
            return true;
        }
        if (got == AVERROR_EOF) {
            s.videoEnded = true;
            return false;
        }
        if (got != AVERROR(EAGAIN)) {
            warnOnce("a damaged picture was skipped");
            continue;
        }
        if (s.videoPackets.empty() && !readPacket() && s.videoPackets.empty()) {
            if (!s.readEnded)
                return false; // the sound ran too far ahead; try again later
            if (!s.videoFlushed) {
                avcodec_send_packet(s.video.get(), nullptr);
                s.videoFlushed = true;
            }
            continue;
        }
        if (s.videoPackets.empty())
            continue;
        clib::AvPacket packet = std::move(s.videoPackets.front());
        s.videoPackets.pop_front();
        s.queuedBytes -= std::min(s.queuedBytes, std::size_t(std::max(packet->size, 0)));
        const int sent = avcodec_send_packet(s.video.get(), packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN))
            warnOnce("a damaged picture was skipped");
    }
}

const AVFrame* FlvStream::pictureAt(double seconds) {
    State& s = *m_state;
    const bool back = s.hasCurrent && seconds + kTimeSlack < s.currentTime;
    const bool farAhead = s.hasCurrent && seconds > s.currentTime + kDecodeAheadSeconds &&
                          !(s.hasNext && s.nextTime <= seconds + kDecodeAheadSeconds);
    if (back || farAhead)
        seekTo(seconds);
    if (!s.hasCurrent) {
        if (!decodeNextPicture())
            return nullptr;
        std::swap(s.current, s.next);
        s.currentTime = s.nextTime;
        s.hasCurrent = true;
        s.hasNext = false;
        ++m_pictureSerial;
    }
    for (;;) {
        if (!s.hasNext && !decodeNextPicture())
            break;
        if (s.nextTime > seconds + kTimeSlack)
            break;
        std::swap(s.current, s.next);
        s.currentTime = s.nextTime;
        s.hasNext = false;
        ++m_pictureSerial;
    }
    // Sound read ahead of the pictures is kept only so far back.
    const int64_t keepFrom = int64_t(seconds * kFlvSoundRate) - kMostSoundBuffered;
    if (m_soundPlaced && keepFrom > m_soundStart) {
        const int64_t drop =
            std::min<int64_t>(keepFrom - m_soundStart, int64_t(m_sound.size() / 2));
        m_sound.erase(m_sound.begin(), m_sound.begin() + drop * 2);
        m_soundStart += drop;
    }
    return s.current.get();
}

void FlvStream::seekTo(double seconds) {
    State& s = *m_state;
    const int64_t target = int64_t((std::max(seconds, 0.0) + s.origin) * AV_TIME_BASE);
    s.deadline.until = Clock::now() + std::chrono::seconds(kFlvOpenSeconds);
    s.deadline.active = true;
    int rc = av_seek_frame(s.format.get(), -1, target, AVSEEK_FLAG_BACKWARD);
    if (rc < 0)
        rc = avformat_seek_file(s.format.get(), -1, INT64_MIN, target, target, 0);
    if (rc < 0)
        rc = avformat_seek_file(s.format.get(), -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE);
    s.deadline.active = false;
    if (rc < 0)
        warnOnce("the video could not be seeked: " + clib::ffmpegErrorText(rc));
    avcodec_flush_buffers(s.video.get());
    if (s.audio)
        avcodec_flush_buffers(s.audio.get());
    s.videoPackets.clear();
    s.queuedBytes = 0;
    s.hasCurrent = s.hasNext = false;
    s.lastDecodedTime = -1;
    s.seekTarget = std::max(seconds, 0.0);
    s.readEnded = s.videoFlushed = s.videoEnded = false;
    s.readErrors = 0;
    m_sound.clear();
    m_soundPlaced = false;
}

void FlvStream::decodeSound(const void* packetPointer) {
    State& s = *m_state;
    const auto* packet = static_cast<const AVPacket*>(packetPointer);
    const AVRational base = s.format->streams[s.audioIndex]->time_base;
    if (avcodec_send_packet(s.audio.get(), packet) < 0) {
        warnOnce("damaged sound was skipped");
        return;
    }
    AVFrame* frame = s.soundFrame.get();
    while (avcodec_receive_frame(s.audio.get(), frame) == 0) {
        if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0) {
            av_frame_unref(frame);
            continue;
        }
        if (!s.resampler || frame->sample_rate != s.resamplerRate ||
            frame->format != s.resamplerFormat ||
            av_channel_layout_compare(&frame->ch_layout, &s.resamplerLayout) != 0) {
            AVChannelLayout in{};
            if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                av_channel_layout_default(&in, frame->ch_layout.nb_channels);
            else
                av_channel_layout_copy(&in, &frame->ch_layout);
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            SwrContext* swr = nullptr;
            const int rc = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, kFlvSoundRate,
                                               &in, AVSampleFormat(frame->format),
                                               frame->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&in);
            s.resampler.reset(swr);
            if (rc < 0 || swr_init(swr) < 0) {
                s.resampler.reset();
                warnOnce("the sound's format cannot be converted");
                av_frame_unref(frame);
                continue;
            }
            s.resamplerRate = frame->sample_rate;
            s.resamplerFormat = frame->format;
            av_channel_layout_uninit(&s.resamplerLayout);
            av_channel_layout_copy(&s.resamplerLayout, &frame->ch_layout);
        }
        const int most = int(av_rescale_rnd(swr_get_delay(s.resampler.get(), frame->sample_rate) +
                                                frame->nb_samples,
                                            kFlvSoundRate, frame->sample_rate, AV_ROUND_UP));
        s.resampled.resize(std::size_t(std::max(most, 0)) * 2);
        uint8_t* out = reinterpret_cast<uint8_t*>(s.resampled.data());
        const int made = swr_convert(s.resampler.get(), &out, most,
                                     const_cast<const uint8_t**>(frame->extended_data),
                                     frame->nb_samples);
        const int64_t ts = frame->best_effort_timestamp != AV_NOPTS_VALUE
                               ? frame->best_effort_timestamp
                               : frame->pts;
        const int64_t at =
            ts != AV_NOPTS_VALUE
                ? av_rescale_q(ts, base, AVRational{1, kFlvSoundRate}) -
                      int64_t(s.origin * kFlvSoundRate)
                : -1;
        if (made > 0)
            placeSound(s.resampled.data(), made, at);
        av_frame_unref(frame);
    }
}

void FlvStream::placeSound(const int16_t* samples, int count, int64_t at) {
    const int64_t end = m_soundStart + int64_t(m_sound.size() / 2);
    const auto mostJump = int64_t(kMostTimeJump * kFlvSoundRate);
    if (!m_soundPlaced) {
        const auto from = int64_t(m_state->seekTarget * kFlvSoundRate);
        m_soundStart = at < 0 || at > from + mostJump ? from : at;
        m_soundPlaced = true;
    } else if (at > end + mostJump) {
        // A damaged timestamp: the sound follows on.
    } else if (at > end + kSoundJitter) {
        // A gap in the file's sound is silence.
        m_sound.insert(m_sound.end(), std::size_t(at - end) * 2, int16_t(0));
    } else if (at >= 0 && at + count < end - kSoundJitter) {
        return; // sound that lies wholly before what was placed already
    } else if (at >= 0 && at < end - kSoundJitter) {
        const int64_t skip = end - at;
        samples += skip * 2;
        count -= int(skip);
    }
    if (count > 0)
        m_sound.insert(m_sound.end(), samples, samples + std::size_t(count) * 2);
}

std::vector<int16_t> FlvStream::sound(int64_t first, int64_t count) {
    std::vector<int16_t> out(std::size_t(std::max<int64_t>(count, 0)) * 2, 0);
    if (!m_state->audio || count <= 0)
        return out;
    // Read on until the sound covers the share asked for (or the file or the queue ends).
    while (!m_state->readEnded &&
           (!m_soundPlaced || m_soundStart + int64_t(m_sound.size() / 2) < first + count))
        if (!readPacket())
            break;
    if (!m_soundPlaced)
        return out;
    const int64_t end = m_soundStart + int64_t(m_sound.size() / 2);
    const int64_t from = std::max(first, m_soundStart);
    const int64_t to = std::min(first + count, end);
    for (int64_t i = from; i < to; ++i) {
        out[std::size_t(i - first) * 2] = m_sound[std::size_t(i - m_soundStart) * 2];
        out[std::size_t(i - first) * 2 + 1] = m_sound[std::size_t(i - m_soundStart) * 2 + 1];
    }
    const int64_t drop = std::clamp<int64_t>(first + count - m_soundStart, 0, end - m_soundStart);
    m_sound.erase(m_sound.begin(), m_sound.begin() + drop * 2);
    m_soundStart += drop;
    return out;
}

bool FlvStream::endedAt(double seconds) {
    State& s = *m_state;
    pictureAt(seconds);
    // Data stamped far past the stated length is damage: the video ends anyway.
    if (m_info.duration > 0 && seconds > m_info.duration + kMostTimeJump)
        return true;
    if (!s.videoEnded || s.hasNext)
        return false;
    const double pictureEnd = s.currentTime + 1.0 / m_info.frameRate;
    const double soundEnd =
        m_soundPlaced ? double(m_soundStart + int64_t(m_sound.size() / 2)) / kFlvSoundRate : 0;
    return s.readEnded && seconds + kTimeSlack >= std::max(pictureEnd, soundEnd);
}

} // namespace swivio
