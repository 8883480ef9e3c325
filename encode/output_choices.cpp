#include "encode/output_choices.h"

#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>

#include "encode/audio/mp3_file_reader.h"
#include "encode/audio/wav_reader.h"
#include "encode/avi/video_compressor_list.h"
#include "settings/settings_checks.h"

namespace swivio {

namespace {

bool equalsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

} // namespace

Status setVideoCompressor(ConversionSettings& s, const std::string& name) {
    if (s.convertType != OutputType::Avi)
        return Status::failure("A video compressor applies to AVI output only.");
    const auto& list = videoCompressors();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const VideoCompressorInfo& c = list[i];
        if ((c.fourCC == 0 && equalsNoCase(name, "uncompressed")) ||
            (c.fourCC != 0 && equalsNoCase(name, fourCcText(c.fourCC).c_str())) ||
            equalsNoCase(name, c.name.c_str())) {
            s.aviCodecIndex = int32_t(i);
            s.aviFourCC = c.fourCC;
            return {};
        }
    }
    return Status::failure("No video compressor called '" + name + "'.");
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
