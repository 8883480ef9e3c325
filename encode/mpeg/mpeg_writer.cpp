#include "encode/mpeg/mpeg_writer.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

namespace swivio {

namespace {

// The multiplexer sizes its buffers and rates from the encoder's decoder-buffer model, which
// the encoder publishes as coded side data.
bool copyBufferModel(const AVCodecContext* codec, AVStream* stream) {
    for (int i = 0; i < codec->nb_coded_side_data; ++i) {
        const AVPacketSideData& side = codec->coded_side_data[i];
        if (side.type != AV_PKT_DATA_CPB_PROPERTIES)
            continue;
        uint8_t* copy = av_stream_new_side_data(stream, side.type, side.size);
        if (!copy)
            return false;
        std::memcpy(copy, side.data, side.size);
    }
    return true;
}

// MPEG-1 systems and MPEG-2 program streams end with this code. libavformat leaves it out
// (it eases joining streams); without it a stream has no defined end, and a file with no
// pictures at all would be empty.
constexpr uint8_t kProgramEndCode[4] = {0x00, 0x00, 0x01, 0xB9};
constexpr uint8_t kPackStartCode[4] = {0x00, 0x00, 0x01, 0xBA};
constexpr uint8_t kPaddingStreamId = 0xBE;
constexpr int kMpeg1PackHeader = 12;
constexpr int kMpeg2PackHeader = 14;

// What a pack header says: its clock (90 kHz) and the stream's rate in units of 50 bytes/s.
struct PackClock {
    bool mpeg2 = true;
    int64_t scr = 0;
    uint32_t muxRate = 0;
};

std::optional<PackClock> readPackHeader(const uint8_t* h, std::size_t size) {
    if (size < kMpeg1PackHeader || std::memcmp(h, kPackStartCode, 4) != 0)
        return std::nullopt;
    PackClock clock;
    if ((h[4] & 0xC0) == 0x40) {
        if (size < kMpeg2PackHeader)
            return std::nullopt;
        clock.scr = (int64_t(h[4] & 0x38) << 27) | (int64_t(h[4] & 0x03) << 28) |
                    (int64_t(h[5]) << 20) | (int64_t(h[6] & 0xF8) << 12) |
                    (int64_t(h[6] & 0x03) << 13) | (int64_t(h[7]) << 5) | (h[8] >> 3);
        clock.muxRate = (uint32_t(h[10]) << 14) | (uint32_t(h[11]) << 6) | (h[12] >> 2);
        return clock;
    }
    if ((h[4] & 0xF0) != 0x20)
        return std::nullopt;
    clock.mpeg2 = false;
    clock.scr = (int64_t(h[4] & 0x0E) << 29) | (int64_t(h[5]) << 22) |
                (int64_t(h[6] & 0xFE) << 14) | (int64_t(h[7]) << 7) | (h[8] >> 1);
    clock.muxRate = (uint32_t(h[9] & 0x7F) << 15) | (uint32_t(h[10]) << 7) | (h[11] >> 1);
    return clock;
}

// One whole pack: a pack header at `clock`, a padding packet, and the program end code as its
// last four bytes, so the stream ends without leaving a pack shorter than a disc sector.
std::vector<uint8_t> endPack(const PackClock& clock, int packSize) {
    std::vector<uint8_t> pack(std::size_t(packSize), 0xFF);
    std::memcpy(pack.data(), kPackStartCode, 4);
    const int64_t scr = clock.scr & ((int64_t(1) << 33) - 1);
    uint8_t* h = pack.data();
    int at = 0;
    if (clock.mpeg2) {
        h[4] = uint8_t(0x44 | ((scr >> 27) & 0x38) | ((scr >> 28) & 0x03));
        h[5] = uint8_t(scr >> 20);
        h[6] = uint8_t(0x04 | ((scr >> 12) & 0xF8) | ((scr >> 13) & 0x03));
        h[7] = uint8_t(scr >> 5);
        h[8] = uint8_t(0x04 | ((scr << 3) & 0xF8)); // clock extension 0
        h[9] = 0x01;
        h[10] = uint8_t(clock.muxRate >> 14);
        h[11] = uint8_t(clock.muxRate >> 6);
        h[12] = uint8_t(((clock.muxRate << 2) & 0xFC) | 0x03);
        h[13] = 0xF8; // no stuffing
        at = kMpeg2PackHeader;
    } else {
        h[4] = uint8_t(0x21 | ((scr >> 29) & 0x0E));
        h[5] = uint8_t(scr >> 22);
        h[6] = uint8_t(0x01 | ((scr >> 14) & 0xFE));
        h[7] = uint8_t(scr >> 7);
        h[8] = uint8_t(0x01 | ((scr << 1) & 0xFE));
        h[9] = uint8_t(0x80 | ((clock.muxRate >> 15) & 0x7F));
        h[10] = uint8_t(clock.muxRate >> 7);
        h[11] = uint8_t(((clock.muxRate << 1) & 0xFE) | 0x01);
        at = kMpeg1PackHeader;
    }
    const int paddingLength = packSize - at - 6 - 4;
    h[at] = 0x00;
    h[at + 1] = 0x00;
    h[at + 2] = 0x01;
    h[at + 3] = kPaddingStreamId;
    h[at + 4] = uint8_t(paddingLength >> 8);
    h[at + 5] = uint8_t(paddingLength);
    // MPEG-1 packets other than private stream 2 carry a header byte: no time stamps.
    if (!clock.mpeg2)
        h[at + 6] = 0x0F;
    std::memcpy(h + packSize - 4, kProgramEndCode, 4);
    return pack;
}

// Appends the end pack to the completed file at `path`, whose packs are `packSize` bytes
// each. Its clock follows the last pack's by one pack's time at the stream's rate; an empty
// file gets a pack at clock 0 with `fallback`'s layout and rate. Empty on success, else why.
std::string appendEndPack(const std::string& path, int packSize, const PackClock& fallback) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::ate);
    if (!file)
        return "cannot reopen " + path + " to end the stream";
    const auto size = static_cast<int64_t>(file.tellg());
    if (size < 0 || size % packSize != 0)
        return path + " does not consist of whole " + std::to_string(packSize) + "-byte packs";
    PackClock clock = fallback;
    if (size > 0) {
        std::vector<uint8_t> last(std::size_t(kMpeg2PackHeader), 0);
        file.seekg(size - packSize);
        file.read(reinterpret_cast<char*>(last.data()), std::streamsize(last.size()));
        const std::optional<PackClock> read =
            file ? readPackHeader(last.data(), last.size()) : std::nullopt;
        if (!read || read->muxRate == 0)
            return "the last pack of " + path + " has no pack header";
        clock = *read;
        // One pack's bytes at muxRate x 50 bytes/s, in 90 kHz ticks, rounded up.
        const int64_t bytesPerSecond = int64_t(clock.muxRate) * 50;
        clock.scr += (int64_t(packSize) * 90000 + bytesPerSecond - 1) / bytesPerSecond;
    }
    const std::vector<uint8_t> pack = endPack(clock, packSize);
    file.seekp(size);
    file.write(reinterpret_cast<const char*>(pack.data()), std::streamsize(pack.size()));
    file.close();
    if (!file)
        return "cannot end the stream in " + path;
    return {};
}

} // namespace

MpegWriter::~MpegWriter() {
    if (isOpen())
        close();
}

bool MpegWriter::fail(std::string message) {
    if (m_error.empty())
        m_error = std::move(message);
    return false;
}

bool MpegWriter::selectPreset(int mpegType) {
    const MpegOutputPreset* preset = mpegPreset(mpegType);
    if (!preset || isOpen())
        return false;
    m_preset = preset;
    return true;
}

bool MpegWriter::open(const std::string& path, const std::string& soundPath) {
    if (isOpen())
        return fail("the MPEG writer is already open");
    m_error.clear();
    m_framesWritten = 0;
    if (!m_preset)
        return fail("no MPEG type selected");

    const AVOutputFormat* format = av_guess_format(m_preset->muxer, nullptr, nullptr);
    if (!format)
        format = av_guess_format("mpeg", nullptr, nullptr);
    if (!format)
        return fail("this FFmpeg has no MPEG program-stream multiplexer");

    // The "file:" prefix keeps a name such as "http:x.mpg" a plain file name.
    const std::string url = "file:" + path;
    AVFormatContext* ctx = nullptr;
    int rc = avformat_alloc_output_context2(&ctx, format, nullptr, url.c_str());
    m_output.reset(ctx);
    if (rc < 0 || !ctx) {
        release();
        return fail("cannot set up the MPEG multiplexer: " + clib::ffmpegErrorText(rc));
    }
    ctx->packet_size = static_cast<unsigned>(m_preset->packetSize);

    if (!openStreams(format, soundPath)) {
        release();
        return false;
    }

    if (!(format->flags & AVFMT_NOFILE)) {
        rc = avio_open(&ctx->pb, url.c_str(), AVIO_FLAG_WRITE);
        if (rc < 0) {
            release();
            return fail("cannot create " + path + ": " + clib::ffmpegErrorText(rc));
        }
    }
    AVDictionary* options = nullptr;
    if (m_preset->muxRate > 0)
        av_dict_set_int(&options, "muxrate", m_preset->muxRate, 0);
    if (m_preset->muxPreloadMicros > 0)
        av_dict_set_int(&options, "preload", m_preset->muxPreloadMicros, 0);
    rc = avformat_write_header(ctx, &options);
    av_dict_free(&options);
    if (rc < 0) {
        release();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return fail("cannot start the MPEG file " + path + ": " + clib::ffmpegErrorText(rc));
    }
    m_path = path;
    return true;
}

bool MpegWriter::openStreams(const AVOutputFormat* format, const std::string& soundPath) {
    AVFormatContext* ctx = m_output.get();
    if (format->video_codec == AV_CODEC_ID_NONE)
        return fail(std::string("the ") + format->name + " multiplexer takes no video");

    m_video = std::make_unique<MpegVideoEncoder>();
    std::string error;
    if (!m_video->open(*m_preset, format->video_codec, error))
        return fail(error);
    m_videoStream = addCodedStream(ctx, m_video->context(), "video", error);
    if (!m_videoStream)
        return fail(error);
    m_videoStream->avg_frame_rate = m_video->context()->framerate;
    m_videoStream->sample_aspect_ratio = m_video->context()->sample_aspect_ratio;
    if (!copyBufferModel(m_video->context(), m_videoStream))
        return fail("out of memory for the video stream");
    m_videoSink = [this](AVPacket& p) { return writePacket(p, m_video->context(), m_videoStream); };

    if (soundPath.empty() && !m_preset->needsSound)
        return true;
    const AVCodecID audioCodec =
        m_preset->audioCodec == MpegAudioCodec::Ac3 ? AV_CODEC_ID_AC3 : format->audio_codec;
    if (audioCodec == AV_CODEC_ID_NONE)
        return fail(std::string("the ") + format->name + " multiplexer takes no sound");
    m_audio = std::make_unique<MpegAudioEncoder>();
    if (!m_audio->open(audioCodec, m_preset->sampleRate, m_preset->audioBitRate, error))
        return fail(error);
    m_sound = soundPath.empty() ? makeSilentSoundSource(m_preset->sampleRate)
                                : openMpegSoundSource(soundPath, error);
    if (!m_sound)
        return fail(error);
    m_audioStream = addCodedStream(ctx, m_audio->context(), "sound", error);
    if (!m_audioStream)
        return fail(error);
    m_audioSink = [this](AVPacket& p) { return writePacket(p, m_audio->context(), m_audioStream); };
    m_soundFeed.start(m_audio.get(), m_sound.get(), &m_audioSink);
    return true;
}

bool MpegWriter::writePacket(AVPacket& packet, const AVCodecContext* codec, AVStream* stream) {
    std::string error;
    return writeCodedPacket(m_output.get(), packet, codec, stream, "MPEG file", error) ||
           fail(error);
}

bool MpegWriter::writeFrame(std::span<const uint8_t> frame) {
    if (!isOpen())
        return fail("the MPEG writer is not open");
    const std::size_t expected =
        static_cast<std::size_t>(m_preset->width) * static_cast<std::size_t>(m_preset->height) * 3;
    if (frame.size() != expected)
        return fail("a frame of " + std::to_string(frame.size()) + " bytes does not fit " +
                    m_preset->name + " (" + std::to_string(expected) + " bytes)");
    std::string error;
    if (!m_video->encode(frame.data(), m_framesWritten, m_videoSink, error))
        return fail(error);
    ++m_framesWritten;
    std::string soundError;
    if (m_audio && !m_soundFeed.catchUp(m_framesWritten, m_video->context()->time_base, soundError))
        fail(soundError);
    return true;
}

bool MpegWriter::close() {
    if (!isOpen())
        return m_error.empty();
    std::string error;
    if (!m_video->flush(m_videoSink, error) && !error.empty())
        fail(error);
    if (m_audio && !m_audio->flush(m_audioSink, error) && !error.empty())
        fail(error);
    const bool ownsFile = endMuxedFile(m_output.get(), "MPEG file",
                                       [this](std::string text) { fail(std::move(text)); });
    if (ownsFile && m_error.empty()) {
        PackClock fresh;
        fresh.mpeg2 = m_preset->muxer != std::string("vcd");
        const int rate = m_preset->muxRate > 0 ? m_preset->muxRate
                                               : m_preset->videoMaxRate + m_preset->audioBitRate;
        fresh.muxRate = uint32_t((rate + 399) / 400); // units of 50 bytes/s, rounded up
        const std::string ended = appendEndPack(m_path, m_preset->packetSize, fresh);
        if (!ended.empty())
            fail(ended);
    }
    release();
    return m_error.empty();
}

void MpegWriter::release() {
    // The sinks point at the streams: drop them first.
    m_videoSink = nullptr;
    m_audioSink = nullptr;
    m_soundFeed = SoundFeed();
    m_sound.reset();
    m_audio.reset();
    m_video.reset();
    m_videoStream = nullptr;
    m_audioStream = nullptr;
    m_output.reset();
}

} // namespace swivio
