#include "encode/output_choices.h"

#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>

#include "crop/frame_geometry.h"
#include "encode/audio/mp3_file_reader.h"
#include "encode/audio/wav_reader.h"
#include "encode/avi/video_compressor_list.h"
#include "settings/settings_checks.h"

namespace swivio {

namespace {

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

} // namespace

Status setVideoCompressor(ConversionSettings& s, const std::string& name) {
    if (s.convertType != OutputType::Avi)
        return Status::failure("A video compressor applies to AVI output only.");
    const VideoCompressorInfo* found = findVideoCompressorByName(name);
    if (!found)
        return Status::failure("No video compressor called '" + name + "'.");
    s.aviCodecIndex = int32_t(found - videoCompressors().data());
    s.aviFourCC = found->fourCC;
    return {};
}

Status setVideoQuality(ConversionSettings& s, int quality) {
    if (s.convertType != OutputType::Avi)
        return Status::failure("A video quality applies to AVI output only.");
    if (quality < 0 || quality > kAviQualityMax)
        return Status::failure("The video quality must be 1 to " + std::to_string(kAviQualityMax) +
                               ".");
    const VideoCompressorInfo* info = findVideoCompressor(s.aviFourCC);
    if (quality != 0 && !(info && info->hasQuality))
        return Status::failure("The " + (info ? info->name : fourCcText(s.aviFourCC)) +
                               " video compressor has no quality setting.");
    s.aviQuality = quality;
    return {};
}

Status checkVideoCompressorForOutput(const ConversionSettings& s) {
    if (s.convertType != OutputType::Avi || s.aviFourCC == 0)
        return {};
    const FrameGeometry geometry = computeFrameGeometry(s);
    return checkVideoCompressorSize(s.aviFourCC, geometry.outputWidth, geometry.outputHeight);
}

Status setImportedSound(ConversionSettings& s, const std::string& file) {
    if (file.empty() || file == "none") {
        s.audioSource = AudioSource::None;
        return {};
    }
    ConversionSettings chosen = s;
    chosen.audioSource = AudioSource::ImportFile;
    chosen.audioFile = file;
    if (Status checked = checkImportedSound(chosen); !checked)
        return checked;
    s = std::move(chosen);
    return {};
}

Status checkImportedSound(const ConversionSettings& s) {
    if (s.audioSource != AudioSource::ImportFile)
        return {};
    const std::string& file = s.audioFile;
    if (s.convertType == OutputType::ImageSeries)
        return Status::failure(kNoAudioForImagesMessage);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return Status::failure("The sound file " + file + " does not exist.");
    const bool wav = endsWithNoCase(file, ".wav");
    if (!wav && !endsWithNoCase(file, ".mp3"))
        return Status::failure("The sound file must be a .wav or .mp3 file: " + file);
    if (s.convertType == OutputType::Mpeg && wav && !isWav16Bit(file))
        return Status::failure(
            "Audio file with 8 bits per sample is not supported to be added to MPEG file!");
    if (s.convertType == OutputType::Avi && !wav) {
        if (Result<OpenedMp3> mp3 = openMp3File(file); !mp3)
            return Status::failure(mp3.message());
    }
    return {};
}

} // namespace swivio
