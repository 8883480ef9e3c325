#include "encode/output_writer.h"

#include <strings.h>

#include "encode/avi/avi_frame_writer.h"
#include "encode/image/animated_gif_writer.h"
#include "encode/image/picture_series_writer.h"
#include "encode/mpeg/mpeg_output.h"
#include "encode/output_checks.h"
#include "encode/video_file_options.h"

namespace swivio {

namespace {

// An imported sound is stored as PCM when its name ends in ".wav", otherwise copied as MP3.
bool hasWavExtension(const std::string& path) {
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".wav") == 0;
}

} // namespace

Result<std::unique_ptr<FrameWriter>> openOutputWriter(const ConversionJob& job) {
    using R = Result<std::unique_ptr<FrameWriter>>;
    const ConversionSettings& s = job.settings;
    const GifColors gifColors =
        s.gifPalette == GifPalette::Standard ? GifColors::Standard : GifColors::Adaptive;
    switch (s.convertType) {
    case OutputType::ImageSeries:
        switch (s.imageType) {
        case ImageType::Bmp:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Bmp,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::Png:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Png,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::Jpeg:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Jpeg,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::Gif:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Gif,
                                                           s.jpegQuality, s.gifDither, gifColors));
        case ImageType::AnimatedGif:
            return R(std::make_unique<AnimatedGifWriter>(
                conversionOutputFile(s), s.imageFrameRate, s.gifDither, gifColors));
        }
        return R::failure("Unknown picture type " + std::to_string(int(s.imageType)) + ".");
    case OutputType::Avi: {
        AviSoundOptions sound;
        if (s.audioSource == AudioSource::RecordFromMovie && !job.audioPath.empty()) {
            sound.path = job.audioPath;
            sound.exactPace = true;
            sound.mode = s.aviAudioFormat == kAviAudioFormatPcm ? AviSoundMode::Pcm
                                                                : AviSoundMode::Mp3Encode;
            const int index = s.aviAudioBitRate;
            sound.bitRate = (index >= 0 && index < int(kAviAudioBitRates.size())
                                 ? kAviAudioBitRates[std::size_t(index)].value
                                 : 128) *
                            1000;
        } else if (s.audioSource == AudioSource::ImportFile && !job.audioPath.empty()) {
            sound.path = job.audioPath;
            sound.mode = hasWavExtension(job.audioPath) ? AviSoundMode::Pcm : AviSoundMode::Mp3Copy;
        }
        auto opened =
            openAviOutput(s.outputFile, job.geometry.outputWidth, job.geometry.outputHeight,
                          s.aviFrameRate, s.aviFourCC, sound, s.aviQuality);
        // The video goes on without the sound, but the conversion must say it has none.
        R result = opened ? R(std::move(*opened)) : R::failure(opened.message());
        for (const std::string& soundError : opened.warnings())
            result.warn(soundError + " (" + sound.path + "): " + s.outputFile + " has no sound.");
        return result;
    }
    case OutputType::Mpeg:
        return openMpegOutput(s.outputFile, int(s.mpegType),
                              s.audioSource == AudioSource::None ? std::string() : job.audioPath);
    case OutputType::VideoFile:
        return openVideoFileOutput(s.outputFile, videoFileOptions(job));
    }
    return R::failure("Unknown output type " + std::to_string(int(s.convertType)) + ".");
}

} // namespace swivio
