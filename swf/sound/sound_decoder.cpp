// Decoding: uncompressed sound by hand, everything else through libavcodec, then one
// resampling to the mixer's rate and channels.
#include "swf/sound/sound_decoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/byte_reader.h"
#include "clib/ffmpeg_decoders.h"
#include "clib/ffmpeg_handles.h"
#include "swf/sound/mp3_frames.h"

namespace swivio::swf::sound {

namespace {

// Nellymoser's blocks are 64 bytes; this many go to the decoder at once.
constexpr std::size_t kNellymoserPacketBytes = 64 * 64;

// Samples at the data's own rate, interleaved, one or two channels.
struct NativeSamples {
    std::vector<float> samples;
    int channels = 1;
    uint32_t rate = 0;
    std::string warning;
};

int channelsOf(const SoundEncoding& encoding) {
    switch (encoding.format()) {
    case SoundFormat::Nellymoser16k:
    case SoundFormat::Nellymoser8k:
    case SoundFormat::Nellymoser:
    case SoundFormat::Speex:
        return 1; // these codecs carry one channel whatever the flags say
    default:
        return encoding.stereo ? 2 : 1;
    }
}

void decodePcm(const SoundEncoding& encoding, std::span<const uint8_t> data, NativeSamples& out) {
    // "Native" order is the little-endian order of every machine the format was written on.
    const std::size_t count = encoding.sixteenBit ? data.size() / 2 : data.size();
    out.samples.resize(std::min(count, kMaxDecodedFrames * 2));
    for (std::size_t i = 0; i < out.samples.size(); ++i) {
        if (encoding.sixteenBit)
            out.samples[i] = float(int16_t(data[2 * i] | data[2 * i + 1] << 8)) / 32768.0f;
        else
            out.samples[i] = (float(data[i]) - 128.0f) / 128.0f; // 8-bit samples are unsigned
    }
    if (encoding.sixteenBit && data.size() % 2)
        out.warning = "sound data ends inside a sample";
}

// Appends a decoded frame's samples (any of the layouts these decoders give) interleaved.
bool appendFrame(const AVFrame& frame, int channels, std::vector<float>& out) {
    const int n = frame.nb_samples;
    const auto format = AVSampleFormat(frame.format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int frameChannels = frame.ch_layout.nb_channels;
    if (frameChannels < 1 || n < 0)
        return false;
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
            const int from = std::min(c, frameChannels - 1);
            const int plane = planar ? from : 0;
            const int index = planar ? i : i * frameChannels + from;
            float v = 0;
            switch (format) {
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                v = float(reinterpret_cast<const int16_t*>(frame.extended_data[plane])[index]) / 32768.0f;
                break;
            case AV_SAMPLE_FMT_FLT:
            case AV_SAMPLE_FMT_FLTP:
                v = reinterpret_cast<const float*>(frame.extended_data[plane])[index];
                break;
            case AV_SAMPLE_FMT_S32:
            case AV_SAMPLE_FMT_S32P:
                v = float(double(reinterpret_cast<const int32_t*>(frame.extended_data[plane])[index]) /
                          2147483648.0);
                break;
            default:
                return false;
            }
            out.push_back(v);
        }
    }
    return true;
}

AVCodecID codecOf(SoundFormat format) {
    switch (format) {
    case SoundFormat::Adpcm:
        return AV_CODEC_ID_ADPCM_SWF;
    case SoundFormat::Mp3:
        return AV_CODEC_ID_MP3;
    case SoundFormat::Nellymoser16k:
    case SoundFormat::Nellymoser8k:
    case SoundFormat::Nellymoser:
        return AV_CODEC_ID_NELLYMOSER;
    case SoundFormat::Speex:
        return AV_CODEC_ID_SPEEX;
    default:
        return AV_CODEC_ID_NONE;
    }
}

// The packets the decoder is given: MP3 frame by frame (bytes that start no frame are passed
// over), Nellymoser in whole blocks, the rest in one piece.
std::vector<std::span<const uint8_t>> packetsOf(SoundFormat format, std::span<const uint8_t> data) {
    std::vector<std::span<const uint8_t>> packets;
    if (format == SoundFormat::Mp3) {
        std::size_t at = 0;
        while (at + 4 <= data.size()) {
            auto header = readMp3FrameHeader(data.subspan(at));
            if (!header || header->frameBytes == 0) {
                ++at;
                continue;
            }
            const std::size_t size = std::min<std::size_t>(header->frameBytes, data.size() - at);
            packets.push_back(data.subspan(at, size));
            at += size;
        }
    } else if (format != SoundFormat::Adpcm && format != SoundFormat::Speex) {
        for (std::size_t at = 0; at < data.size(); at += kNellymoserPacketBytes)
            packets.push_back(data.subspan(at, std::min(kNellymoserPacketBytes, data.size() - at)));
    } else if (!data.empty()) {
        packets.push_back(data);
    }
    return packets;
}

// Decodes `blocks` in turn with one decoder: each block's packets (packetsOf), then the
// frames the decoder still holds, so that `starts` (when given) gets where each block's
// samples begin; the decoder's memory carries on from block to block, as Speex needs.
Status decodeWithCodec(const SoundEncoding& encoding,
                       std::span<const std::span<const uint8_t>> blocks, NativeSamples& out,
                       std::vector<std::size_t>* starts = nullptr) {
    const AVCodec* codec = clib::findDecoder(codecOf(encoding.format()));
    if (!codec)
        return Status::failure("no decoder for sound format " + std::to_string(encoding.formatCode));
    clib::AvCodecContext context(avcodec_alloc_context3(codec));
    clib::AvFrame frame(av_frame_alloc());
    clib::AvPacket packet(av_packet_alloc());
    if (!context || !frame || !packet)
        return Status::failure("out of memory for the sound decoder");
    context->sample_rate = int(out.rate);
    av_channel_layout_default(&context->ch_layout, out.channels);
    if (int rc = avcodec_open2(context.get(), codec, nullptr); rc < 0)
        return Status::failure("sound decoder: " + clib::ffmpegErrorText(rc));

    const std::size_t limit = kMaxDecodedFrames * std::size_t(out.channels);
    auto drain = [&]() {
        while (avcodec_receive_frame(context.get(), frame.get()) >= 0) {
            const bool taken = appendFrame(*frame, out.channels, out.samples);
            av_frame_unref(frame.get());
            if (!taken)
                return false;
        }
        return true;
    };
    for (std::size_t block = 0; block < blocks.size(); ++block) {
        if (starts)
            starts->push_back(out.samples.size() / std::size_t(out.channels));
        if (block > 0)
            avcodec_flush_buffers(context.get()); // ready for more after the drain below
        for (std::span<const uint8_t> bytes : packetsOf(encoding.format(), blocks[block])) {
            if (out.samples.size() >= limit)
                break;
            // The decoder may read past the end of a packet: give it padded bytes of its own.
            if (av_new_packet(packet.get(), int(bytes.size())) < 0)
                return Status::failure("out of memory for the sound decoder");
            std::memcpy(packet->data, bytes.data(), bytes.size());
            const int rc = avcodec_send_packet(context.get(), packet.get());
            av_packet_unref(packet.get());
            if (rc < 0 && rc != AVERROR(EAGAIN))
                out.warning = "damaged sound data skipped: " + clib::ffmpegErrorText(rc);
            if (!drain()) {
                out.warning = "sound decoder gave samples in an unexpected layout";
                break;
            }
        }
        avcodec_send_packet(context.get(), nullptr);
        drain();
    }
    if (out.samples.size() > limit)
        out.samples.resize(limit);
    return {};
}

// To kMixRate, two channels.
Status resample(const NativeSamples& in, DecodedSound& out) {
    const std::size_t inFrames = in.samples.size() / std::size_t(in.channels);
    if (inFrames == 0)
        return {};
    if (in.rate == kMixRate) {
        out.samples.resize(inFrames * 2);
        for (std::size_t i = 0; i < inFrames; ++i) {
            out.samples[2 * i] = in.samples[i * std::size_t(in.channels)];
            out.samples[2 * i + 1] = in.samples[i * std::size_t(in.channels) + std::size_t(in.channels - 1)];
        }
        return {};
    }
    // Resampled with its own channels: the resampler's mono-to-stereo mix would lower the
    // level by 3 dB, where a mono sound plays at full level on both speakers.
    const std::size_t channels = std::size_t(in.channels);
    AVChannelLayout layout;
    av_channel_layout_default(&layout, in.channels);
    SwrContext* raw = nullptr;
    if (swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, int(kMixRate), &layout,
                            AV_SAMPLE_FMT_FLT, int(in.rate), 0, nullptr) < 0)
        return Status::failure("cannot resample sound");
    clib::SwrContextHandle swr(raw);
    if (int rc = swr_init(swr.get()); rc < 0)
        return Status::failure("cannot resample sound: " + clib::ffmpegErrorText(rc));
    const std::size_t capacity =
        std::min(kMaxDecodedFrames, std::size_t(av_rescale_rnd(int64_t(inFrames), kMixRate, in.rate,
                                                                AV_ROUND_UP)) + 64);
    std::vector<float> resampled(capacity * channels);
    std::size_t made = 0;
    const uint8_t* source[] = {reinterpret_cast<const uint8_t*>(in.samples.data())};
    const int inCount = int(std::min<std::size_t>(inFrames, INT32_MAX / 4));
    for (int pass = 0; pass < 2 && made < capacity; ++pass) {
        uint8_t* target[] = {reinterpret_cast<uint8_t*>(resampled.data() + channels * made)};
        const int rc = swr_convert(swr.get(), target, int(capacity - made),
                                   pass == 0 ? source : nullptr, pass == 0 ? inCount : 0);
        if (rc < 0)
            return Status::failure("cannot resample sound: " + clib::ffmpegErrorText(rc));
        made += std::size_t(rc);
    }
    // The resampler's output is as long as the input's time, no longer.
    made = std::min<std::size_t>(made, std::size_t(av_rescale_rnd(int64_t(inFrames), kMixRate,
                                                                   in.rate, AV_ROUND_NEAR_INF)));
    out.samples.resize(made * 2);
    for (std::size_t i = 0; i < made; ++i) {
        out.samples[2 * i] = resampled[i * channels];
        out.samples[2 * i + 1] = resampled[i * channels + channels - 1];
    }
    return {};
}

} // namespace

SoundEncoding encodingOf(const SoundDefinition& sound) {
    return {sound.formatCode, sound.rate, sound.sixteenBit, sound.stereo};
}

SoundEncoding encodingOf(const SoundStreamHead& head) {
    return {head.formatCode, head.rate, head.sixteenBit, head.stereo};
}

uint32_t decodedRate(const SoundEncoding& encoding) {
    switch (encoding.format()) {
    case SoundFormat::Nellymoser16k:
    case SoundFormat::Speex:
        return 16000;
    case SoundFormat::Nellymoser8k:
        return 8000;
    default:
        return encoding.rate;
    }
}

namespace {

// Decodes data at its own rate into native (whose channels and rate are set).
Status decodeNative(const SoundEncoding& encoding, std::span<const uint8_t> data, NativeSamples& native) {
    if (native.rate == 0)
        return Status::failure("sound has no sample rate");
    switch (encoding.format()) {
    case SoundFormat::PcmNative:
    case SoundFormat::PcmLittleEndian:
        decodePcm(encoding, data, native);
        return {};
    default:
        if (codecOf(encoding.format()) == AV_CODEC_ID_NONE)
            return Status::failure("unknown sound format " + std::to_string(encoding.formatCode));
        const std::span<const uint8_t> whole[] = {data};
        return decodeWithCodec(encoding, whole, native);
    }
}

NativeSamples nativeFor(const SoundEncoding& encoding) {
    NativeSamples native;
    native.channels = channelsOf(encoding);
    native.rate = decodedRate(encoding);
    return native;
}

} // namespace

Result<DecodedStream> decodeStream(const SoundStreamHead& head,
                                   std::span<const std::span<const uint8_t>> blocks) {
    const SoundEncoding encoding = encodingOf(head);
    NativeSamples native = nativeFor(encoding);
    std::vector<std::size_t> nativeStarts;
    nativeStarts.reserve(blocks.size());
    std::string warning;
    if (head.format() == SoundFormat::Mp3) {
        std::vector<uint8_t> joined;
        std::size_t at = 0;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            ByteReader in(blocks[i]);
            const uint16_t count = in.u16();
            const int16_t seek = in.s16();
            if (i == 0 && in.ok())
                at = std::size_t(std::max<int>(0, seek));
            nativeStarts.push_back(at);
            at += count;
            if (in.ok())
                joined.insert(joined.end(), blocks[i].begin() + 4, blocks[i].end());
        }
        if (Status st = decodeNative(encoding, joined, native); !st)
            return Result<DecodedStream>::failure(st.message());
        warning = native.warning;
    } else if (head.format() == SoundFormat::Speex) {
        // One decoder for the whole stream: one started afresh on each block would come out
        // faint and pumping, its filters rebuilt every few frames.
        if (Status st = decodeWithCodec(encoding, blocks, native, &nativeStarts); !st)
            return Result<DecodedStream>::failure(st.message());
        warning = native.warning;
    } else {
        for (std::span<const uint8_t> block : blocks) {
            nativeStarts.push_back(native.samples.size() / std::size_t(native.channels));
            NativeSamples one = nativeFor(encoding);
            if (Status st = decodeNative(encoding, block, one); !st)
                return Result<DecodedStream>::failure(st.message());
            if (!one.warning.empty())
                warning = one.warning;
            if (native.samples.size() + one.samples.size() > kMaxDecodedFrames * 2)
                break;
            native.samples.insert(native.samples.end(), one.samples.begin(), one.samples.end());
        }
    }
    DecodedStream stream;
    if (Status st = resample(native, stream.sound); !st)
        return Result<DecodedStream>::failure(st.message());
    for (std::size_t start : nativeStarts)
        stream.blockStarts.push_back(std::size_t(av_rescale_rnd(int64_t(start), kMixRate, native.rate,
                                                                AV_ROUND_NEAR_INF)));
    Result<DecodedStream> result(std::move(stream));
    if (!warning.empty())
        result.warn(warning);
    return result;
}

Result<DecodedSound> decodeSound(const SoundEncoding& encoding, std::span<const uint8_t> data,
                                 uint32_t skipSamples, uint32_t sampleLimit) {
    NativeSamples native = nativeFor(encoding);
    if (Status st = decodeNative(encoding, data, native); !st)
        return Result<DecodedSound>::failure(st.message());
    const std::size_t channels = std::size_t(native.channels);
    const std::size_t frames = native.samples.size() / channels;
    const std::size_t first = std::min<std::size_t>(skipSamples, frames);
    std::size_t last = frames;
    if (sampleLimit)
        last = std::min<std::size_t>(frames, first + sampleLimit);
    native.samples.erase(native.samples.begin() + std::ptrdiff_t(last * channels), native.samples.end());
    native.samples.erase(native.samples.begin(), native.samples.begin() + std::ptrdiff_t(first * channels));

    DecodedSound decoded;
    if (Status st = resample(native, decoded); !st)
        return Result<DecodedSound>::failure(st.message());
    Result<DecodedSound> result(std::move(decoded));
    if (!native.warning.empty())
        result.warn(native.warning);
    return result;
}

Result<DecodedSound> decodeDefinition(const SoundDefinition& sound) {
    const uint32_t skip = sound.format() == SoundFormat::Mp3 ? uint32_t(std::max<int>(0, sound.seekSamples)) : 0;
    return decodeSound(encodingOf(sound), sound.data, skip, sound.sampleCount);
}

} // namespace swivio::swf::sound
