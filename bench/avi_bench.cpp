// Frames per second of the AVI writer at 640 x 480, and of the same encoders fed the same
// frames directly (libswscale + libavcodec, and LAME for MP3 sound), so the writer's own
// cost (flipping, chunking, sound slicing, file writing, indexes) shows as the ratio of
// the two. Target: the writer adds at most 10 % to the encoders' time.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <lame/lame.h>

#include "encode/avi/avi_writer.h"
#include "encode/avi/libav_video_encoder.h"
#include "tests/support/sound_files.h"

namespace {

using namespace swivio;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 30; // one second at 30 fps per iteration
constexpr double kRate = 30.0;

enum Sound { kNoSound, kPcm, kMp3 };

// A moving pattern: gradients with a block that travels, so encoders see real detail.
const std::vector<Frame>& frames() {
    static const std::vector<Frame> all = [] {
        std::vector<Frame> v;
        for (int i = 0; i < kFrames; ++i) {
            Frame f(kWidth, kHeight);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    const bool block = x / 40 == i % 16 && y / 40 == (i / 2) % 12;
                    f.setPixel(x, y,
                               block ? makeColor(250, 250, 20)
                                     : makeColor(uint8_t(x * 255 / kWidth),
                                                 uint8_t(y * 255 / kHeight),
                                                 uint8_t((x ^ y) & 0xFF)));
                }
            v.push_back(std::move(f));
        }
        return v;
    }();
    return all;
}

const std::string& wavPath() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "swivio-avi-bench.wav").string();
        testkit::writeBytes(p, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 44100 * 2)));
        return p;
    }();
    return path;
}

std::string outputPath() {
    return (std::filesystem::temp_directory_path() / "swivio-avi-bench.avi").string();
}

uint32_t fourCcOf(int codec) {
    return codec == 0 ? 0 : codec == 1 ? fourCc("MJPG") : fourCc("FMP4");
}

void setLabel(benchmark::State& state, int codec, int sound) {
    static const char* const kCodecs[] = {"Uncompressed", "MJPEG", "MPEG-4"};
    static const char* const kSounds[] = {"no sound", "PCM", "MP3"};
    state.SetLabel(std::string(kCodecs[codec]) + ", " + kSounds[sound]);
    state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

void BM_AviWriter(benchmark::State& state) {
    const int codec = int(state.range(0));
    const int sound = int(state.range(1));
    const std::vector<Frame>& input = frames();
    const std::string wav = wavPath();
    for (auto _ : state) {
        AviWriter writer;
        if (!writer.open(outputPath(), kWidth, kHeight, kRate, fourCcOf(codec))) {
            state.SkipWithError(writer.errorString().c_str());
            return;
        }
        if (sound != kNoSound &&
            !writer.addAudio(
                wav, AviSoundMode(sound == kPcm ? AviSoundMode::Pcm : AviSoundMode::Mp3Encode),
                128000)) {
            state.SkipWithError(writer.errorString().c_str());
            return;
        }
        for (const Frame& f : input)
            if (!writer.writeFrame(f)) {
                state.SkipWithError(writer.errorString().c_str());
                return;
            }
        if (!writer.finish())
            state.SkipWithError(writer.errorString().c_str());
    }
    setLabel(state, codec, sound);
    std::filesystem::remove(outputPath());
}

// The encoders alone: conversion and compression of the same frames with the same
// settings, and for MP3 the same LAME encoding of the same sound, nothing written.
void BM_EncodersDirect(benchmark::State& state) {
    const int codec = int(state.range(0));
    const int sound = int(state.range(1));
    const std::vector<Frame>& input = frames();
    const std::vector<uint8_t> pcm = testkit::sinePcm16(44100, 2, 44100 * 2);
    const std::size_t pcmPerFrame = 4 * std::size_t(44100 / kRate);
    for (auto _ : state) {
        clib::AvCodecContext context;
        clib::AvFrame picture;
        clib::AvPacket packet(av_packet_alloc());
        clib::SwsContextHandle scaler;
        std::vector<uint8_t> stored;
        if (codec != 0) {
            Result<clib::AvCodecContext> opened = libav::openVideoEncoder(
                avcodec_find_encoder(codec == 1 ? AV_CODEC_ID_MJPEG : AV_CODEC_ID_MPEG4), kWidth,
                kHeight, 100, 3000);
            if (!opened) {
                state.SkipWithError(opened.message().c_str());
                return;
            }
            context = std::move(*opened);
            picture.reset(av_frame_alloc());
            picture->format = context->pix_fmt;
            picture->width = kWidth;
            picture->height = kHeight;
            av_frame_get_buffer(picture.get(), 0);
            scaler.reset(sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGR24, kWidth, kHeight,
                                        context->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
        }
        lame_global_flags* lame = nullptr;
        std::vector<uint8_t> mp3(7200 + pcmPerFrame);
        std::vector<short> samples(pcmPerFrame / 2);
        if (sound == kMp3) {
            lame = lame_init();
            lame_set_in_samplerate(lame, 44100);
            lame_set_num_channels(lame, 2);
            lame_set_out_samplerate(lame, 44100);
            lame_set_bWriteVbrTag(lame, 0);
            lame_set_quality(lame, 2);
            lame_set_brate(lame, 128);
            lame_set_VBR(lame, vbr_off);
            lame_init_params(lame);
        }
        int64_t pts = 0;
        std::size_t index = 0;
        for (const Frame& f : input) {
            if (codec == 0) {
                stored.assign(f.data(), f.data() + f.byteSize());
                benchmark::DoNotOptimize(stored.data());
            } else {
                av_frame_make_writable(picture.get());
                const uint8_t* src[1] = {f.topRow(0)};
                const int stride[1] = {-int(f.stride())};
                sws_scale(scaler.get(), src, stride, 0, kHeight, picture->data, picture->linesize);
                picture->pts = pts++;
                picture->quality = context->global_quality; // as the AVI writer gives it
                avcodec_send_frame(context.get(), picture.get());
                while (avcodec_receive_packet(context.get(), packet.get()) >= 0)
                    av_packet_unref(packet.get());
            }
            if (lame) {
                const std::size_t at = index * pcmPerFrame;
                for (std::size_t i = 0; i < samples.size(); ++i)
                    samples[i] = short(pcm[at + 2 * i] | (pcm[at + 2 * i + 1] << 8));
                benchmark::DoNotOptimize(lame_encode_buffer_interleaved(
                    lame, samples.data(), int(samples.size() / 2), mp3.data(), int(mp3.size())));
            }
            ++index;
        }
        if (context) {
            avcodec_send_frame(context.get(), nullptr);
            while (avcodec_receive_packet(context.get(), packet.get()) >= 0)
                av_packet_unref(packet.get());
        }
        if (lame) {
            lame_encode_flush(lame, mp3.data(), int(mp3.size()));
            lame_close(lame);
        }
    }
    setLabel(state, codec, sound);
}

void arguments(benchmark::internal::Benchmark* b) {
    for (int codec : {0, 1, 2})
        for (int sound : {kPcm, kMp3})
            b->Args({codec, sound});
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_AviWriter)->Apply(arguments);
BENCHMARK(BM_EncodersDirect)->Apply(arguments);
