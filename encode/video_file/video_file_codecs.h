#pragma once

#include <string>

#include "clib/ffmpeg_handles.h"

namespace swivio {

enum class VideoFileContainer { Mp4, Mkv, WebM };
enum class VideoFileCodec { H264, H265, Vp9, Av1 };
enum class VideoFileSound { Aac, Opus };
enum class VideoFileSpeed { Fast, Medium, Slow };

// Everything a video file is made with.
struct VideoFileOptions {
    VideoFileContainer container = VideoFileContainer::Mp4;
    VideoFileCodec codec = VideoFileCodec::H264;
    int quality = 0; // 1 (smallest) to 100 (best); 0: the encoder's usual quality
    VideoFileSpeed speed = VideoFileSpeed::Medium;
    int width = 0; // both even, at least 2
    int height = 0;
    double frameRate = 0; // frames per second, above 0
    // WAV (".wav", any case) or MP3 file whose sound goes in; empty: no sound.
    std::string soundPath;
    VideoFileSound sound = VideoFileSound::Aac;
    int soundBitRate = 128000; // bits per second
};

// The codec's name as the user reads it ("H.264").
const char* videoFileCodecName(VideoFileCodec codec);

// The FFmpeg encoder for `codec` (libx264, libx265, libvpx-vp9, libaom-av1 or libsvtav1)
// and for `sound` (aac, libopus); null with `error` saying which encoder this FFmpeg lacks.
const AVCodec* findVideoEncoder(VideoFileCodec codec, std::string& error);
const AVCodec* findSoundEncoder(VideoFileSound sound, std::string& error);

// The encoder's constant-quality value for `quality` 1..100: the lowest quality gives the
// encoder's coarsest useful value, 100 a visually lossless one. -1 for 0 (the encoder's own).
int videoFileCrf(VideoFileCodec codec, int quality);

// Sets `c` (allocated for `encoder`, not opened) to the options' size, rate, yuv420p and
// colour tags, and puts the encoder's own quality and speed settings in `encoderOptions`.
void configureVideoFileEncoder(AVCodecContext* c, const AVCodec* encoder,
                               const VideoFileOptions& options, AVDictionary** encoderOptions);

// Pictures 1280 pixels wide or 720 high and larger are tagged (and converted) as BT.709,
// smaller ones as BT.601; both limited range.
bool usesBt709(int width, int height);

} // namespace swivio
