#include "settings/settings_persistence.h"

#include <cstdint>
#include <optional>
#include <string>

#include "settings/video_file_rules.h"

namespace swivio {

namespace {

const std::string kGeneral = "General";
const std::string kAvi = "AVI";
const std::string kMpeg = "MPEG";
const std::string kCommonAudio = "Common Audio";
const std::string kImage = "Image";
const std::string kVideoFile = "Video File";

// An int32 value in [low, high], or the default.
int32_t readRanged(SettingsStore& store, const std::string& section, const char* name, int32_t low,
                   int32_t high, int32_t fallback) {
    const std::optional<int64_t> v = store.readInt(section, name);
    if (!v || *v < low || *v > high)
        return fallback;
    return int32_t(*v);
}

bool readBool(SettingsStore& store, const std::string& section, const char* name, bool fallback) {
    return readRanged(store, section, name, 0, 1, fallback ? 1 : 0) != 0;
}

std::string readText(SettingsStore& store, const std::string& section, const char* name) {
    return store.readString(section, name).value_or(std::string());
}

template <typename Enum>
Enum readEnum(SettingsStore& store, const std::string& section, const char* name, std::size_t count,
              Enum fallback) {
    return Enum(readRanged(store, section, name, 0, int32_t(count) - 1, int32_t(fallback)));
}

} // namespace

void loadSettings(ConversionSettings& s, SettingsStore& store) {
    const ConversionSettings d; // the defaults
    s.convertType = readEnum(store, kGeneral, "Convert Type", kOutputTypeNames.size(), d.convertType);
    s.tempPathIndex = readRanged(store, kGeneral, "Temp Path Index", 0, 1, d.tempPathIndex);
    s.tempPath = readText(store, kGeneral, "Temp Path");
    s.conversionMode = readEnum(store, kGeneral, "Conversion Mode", 2, d.conversionMode);
    s.captureCursor = readBool(store, kGeneral, "Capture Cursor", d.captureCursor);
    s.openTargetFolder = readBool(store, kGeneral, "Browse Folder", d.openTargetFolder);

    s.aviCodecIndex = readRanged(store, kAvi, "Codec", 0, INT32_MAX, d.aviCodecIndex);
    // A FourCC is a 32-bit code, stored as an unsigned value; a negative number read back
    // is the same 32 bits written as signed.
    const std::optional<int64_t> fourCC = store.readInt(kAvi, "FourCC");
    s.aviFourCC = fourCC && *fourCC >= INT32_MIN && *fourCC <= int64_t(UINT32_MAX)
                      ? uint32_t(*fourCC)
                      : d.aviFourCC;
    s.aviAudioFormat = readRanged(store, kAvi, "Audio Format", 0,
                                  int32_t(kAviAudioFormats.size()) - 1, d.aviAudioFormat);
    s.aviAudioChannels = readRanged(store, kAvi, "Audio Channel", 0,
                                    int32_t(kAviAudioChannels.size()) - 1, d.aviAudioChannels);
    s.aviAudioSampleRate =
        readRanged(store, kAvi, "Audio Sample Rate", 0, int32_t(kAviAudioSampleRates.size()) - 1,
                   d.aviAudioSampleRate);
    s.aviAudioBitRate = readRanged(store, kAvi, "Audio Bit Rate", 0,
                                   int32_t(kAviAudioBitRates.size()) - 1, d.aviAudioBitRate);
    // Newer than the values above: read last, so older files simply lack it.
    s.aviQuality = readRanged(store, kAvi, "Quality", 0, kAviQualityMax, d.aviQuality);

    s.mpegType = readEnum(store, kMpeg, "Type", MpegPresetTable.size(), d.mpegType);

    s.audioSource = readEnum(store, kCommonAudio, "Source", 3, d.audioSource);
    s.audioFile = readText(store, kCommonAudio, "File");

    s.imageType = readEnum(store, kImage, "Type", kImageTypeNames.size(), d.imageType);
    s.jpegQuality =
        readRanged(store, kImage, "JPEG Quality", kJpegQualityMin, kJpegQualityMax, d.jpegQuality);
    s.gifDither = readBool(store, kImage, "GIF Dither", d.gifDither);
    s.gifPalette = readEnum(store, kImage, "GIF Palette", 2, d.gifPalette);

    s.videoContainer = readEnum(store, kVideoFile, "Container", kVideoContainerNames.size(),
                                d.videoContainer);
    s.videoCodec = readEnum(store, kVideoFile, "Codec", kVideoCodecNames.size(), d.videoCodec);
    s.videoQuality = readRanged(store, kVideoFile, "Quality", 0, kVideoQualityMax, d.videoQuality);
    s.videoSpeed = readEnum(store, kVideoFile, "Speed", kVideoSpeedNames.size(), d.videoSpeed);
    s.videoFrameSize =
        readEnum(store, kVideoFile, "Frame Size", kVideoFrameSizeNames.size(), d.videoFrameSize);
    s.videoSound = readEnum(store, kVideoFile, "Sound", kVideoSoundNames.size(), d.videoSound);
    s.videoSoundBitRate = readRanged(store, kVideoFile, "Sound Bit Rate", 0,
                                     int32_t(kVideoSoundBitRates.size()) - 1, d.videoSoundBitRate);
    // A codec or sound the container cannot hold (an edited file) takes the container's own.
    fitVideoFileChoices(s);
}

void saveSettings(const ConversionSettings& s, SettingsStore& store) {
    store.writeInt(kGeneral, "Convert Type", int32_t(s.convertType));
    store.writeInt(kGeneral, "Temp Path Index", s.tempPathIndex);
    store.writeString(kGeneral, "Temp Path", s.tempPath);
    store.writeInt(kGeneral, "Conversion Mode", int32_t(s.conversionMode));
    store.writeInt(kGeneral, "Capture Cursor", s.captureCursor ? 1 : 0);
    store.writeInt(kGeneral, "Browse Folder", s.openTargetFolder ? 1 : 0);

    store.writeInt(kAvi, "Codec", s.aviCodecIndex);
    store.writeInt(kAvi, "FourCC", int64_t(s.aviFourCC));
    store.writeInt(kAvi, "Audio Format", s.aviAudioFormat);
    store.writeInt(kAvi, "Audio Channel", s.aviAudioChannels);
    store.writeInt(kAvi, "Audio Sample Rate", s.aviAudioSampleRate);
    store.writeInt(kAvi, "Audio Bit Rate", s.aviAudioBitRate);
    store.writeInt(kAvi, "Quality", s.aviQuality);

    store.writeInt(kMpeg, "Type", int32_t(s.mpegType));

    store.writeInt(kImage, "Type", int32_t(s.imageType));
    store.writeInt(kImage, "JPEG Quality", s.jpegQuality);
    store.writeInt(kImage, "GIF Dither", s.gifDither ? 1 : 0);
    store.writeInt(kImage, "GIF Palette", int32_t(s.gifPalette));

    store.writeInt(kVideoFile, "Container", int32_t(s.videoContainer));
    store.writeInt(kVideoFile, "Codec", int32_t(s.videoCodec));
    store.writeInt(kVideoFile, "Quality", s.videoQuality);
    store.writeInt(kVideoFile, "Speed", int32_t(s.videoSpeed));
    store.writeInt(kVideoFile, "Frame Size", int32_t(s.videoFrameSize));
    store.writeInt(kVideoFile, "Sound", int32_t(s.videoSound));
    store.writeInt(kVideoFile, "Sound Bit Rate", s.videoSoundBitRate);

    store.writeInt(kCommonAudio, "Source", int32_t(s.audioSource));
    store.writeString(kCommonAudio, "File", s.audioFile);
}

bool readAutofinish(SettingsStore& store) {
    return readBool(store, kGeneral, "Autofinish", true);
}

void writeAutofinish(SettingsStore& store, bool autofinish) {
    store.writeInt(kGeneral, "Autofinish", autofinish ? 1 : 0);
}

} // namespace swivio
