#include "app/main_window_rules.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>

#include "encode/audio/mp3_file_reader.h"
#include "encode/avi/video_compressor_list.h"
#include "encode/output_choices.h"
#include "settings/settings_rules.h"
#include "settings/video_file_rules.h"

namespace swivio::app {

namespace {

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::char_traits<char>::length(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info = {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string aviAudioCodec(const ConversionSettings& s) {
    switch (s.audioSource) {
    case AudioSource::None:
        return "N/A";
    case AudioSource::RecordFromMovie:
        return s.aviAudioFormat == kAviAudioFormatPcm ? "PCM" : "MP3";
    case AudioSource::ImportFile:
        return endsWithNoCase(s.audioFile, ".wav") ? "PCM" : "MP3";
    }
    return "N/A";
}

} // namespace

std::string sizeText(int width, int height) {
    char text[64];
    std::snprintf(text, sizeof text, "%d x %d", width, height);
    return text;
}

std::string rateText(double rate) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", rate);
    return text;
}

std::string lengthCaption(bool isFlv) { return isFlv ? "Total seconds:" : "Total frames:"; }

std::string lengthText(int length) { return std::to_string(length) + " "; }

std::string positionText(bool isFlv, int position, int length) {
    char text[96];
    std::snprintf(text, sizeof text, isFlv ? "%d/%d seconds" : "%d/%d frames", position, length);
    return text;
}

ExportSummary exportSummary(const ConversionSettings& s) {
    ExportSummary summary;
    switch (s.convertType) {
    case OutputType::Avi: {
        summary.type = "AVI";
        if (s.aviFourCC == 0) {
            summary.videoCodec = "Uncompressed";
        } else {
            // A stored compressor that is gone is named as missing rather than left blank.
            summary.videoCodec = videoCompressorName(s.aviFourCC);
            if (summary.videoCodec.empty())
                summary.videoCodec = "Not installed";
        }
        summary.audioCodec = aviAudioCodec(s);
        summary.movieSize = sizeText(s.aviWidth, s.aviHeight);
        summary.frameRate = rateText(s.aviFrameRate);
        break;
    }
    case OutputType::Mpeg:
        summary.type = "MPEG";
        summary.videoCodec =
            isValidMpegType(s.mpegType) ? MpegPresetTable[std::size_t(s.mpegType)].name : "";
        summary.audioCodec = s.audioSource == AudioSource::None ? "N/A"
                             : isAc3MpegType(s.mpegType)        ? "Dolby AC3"
                                                                : "MPEG Audio";
        summary.movieSize = sizeText(s.mpegWidth, s.mpegHeight);
        summary.frameRate = rateText(s.mpegFrameRate);
        break;
    case OutputType::ImageSeries: {
        summary.type = "Image series";
        const auto index = static_cast<std::size_t>(s.imageType);
        summary.videoCodec = index < kImageTypeNames.size() ? kImageTypeNames[index] : "";
        summary.audioCodec = "N/A";
        summary.movieSize = sizeText(s.imageWidth, s.imageHeight);
        summary.frameRate = rateText(s.imageFrameRate);
        break;
    }
    case OutputType::VideoFile: {
        const auto container = static_cast<std::size_t>(s.videoContainer);
        const auto codec = static_cast<std::size_t>(s.videoCodec);
        const auto sound = static_cast<std::size_t>(s.videoSound);
        summary.type = std::string("Video file (") +
                       (container < kVideoContainerNames.size() ? kVideoContainerNames[container]
                                                                : "?") +
                       ")";
        summary.videoCodec = codec < kVideoCodecNames.size() ? kVideoCodecNames[codec] : "";
        summary.audioCodec = s.audioSource == AudioSource::None || sound >= kVideoSoundNames.size()
                                 ? "N/A"
                                 : kVideoSoundNames[sound];
        const VideoFrameRequest size = videoFrameRequest(s);
        summary.movieSize = sizeText(size.width, size.height);
        summary.frameRate = rateText(s.aviFrameRate);
        break;
    }
    }
    return summary;
}

SliderRange sliderRange(bool isFlv, int length) { return {isFlv ? 0 : 1, length}; }

int seekPositionForSlider(bool isFlv, int sliderValue) {
    if (isFlv)
        return sliderValue;
    return sliderValue > 1 ? sliderValue - 1 : 0;
}

ControlStates controlStates(bool movieOpen, bool playing) {
    ControlStates states;
    if (!movieOpen)
        return states;
    states.play = !playing;
    states.pause = playing;
    states.stop = playing;
    states.slider = true;
    states.settings = true;
    states.convert = true;
    return states;
}

bool isUsableMovie(int width, int height) { return width > 0 && height > 0; }

Status checkBeforeRecording(const ConversionSettings& s) {
    if (s.tempPathIndex == 1 && !isFolder(s.tempPath))
        return Status::failure("The specified temporary folder does not exist!");
    const std::string target =
        s.convertType == OutputType::ImageSeries ? s.outputFolder : folderOf(s.outputFile);
    if (!isFolder(target.empty() ? std::string(".") : target))
        return Status::failure("The output path does not exist!");
    if (s.convertType == OutputType::Avi && s.aviFourCC != 0 && !findVideoCompressor(s.aviFourCC))
        return Status::failure(kCompressorMissingMessage);
    if (s.convertType == OutputType::Avi && s.audioSource == AudioSource::ImportFile &&
        endsWithNoCase(s.audioFile, ".mp3") && !openMp3File(s.audioFile))
        return Status::failure(kMp3OpenFailed);
    if (Status sound = checkImportedSound(s); !sound)
        return sound;
    return checkVideoCompressorForOutput(s);
}

bool needsUncompressedQuestion(const ConversionSettings& s) {
    return s.convertType == OutputType::Avi && s.aviFourCC == 0;
}

} // namespace swivio::app
