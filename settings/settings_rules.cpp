#include "settings/settings_rules.h"

#include <cctype>

#include "settings/video_file_rules.h"

namespace swivio {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + "." + extension;
    return path.substr(0, dot + 1) + extension;
}

bool isFlvPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".flv";
}

void applyMpegPreset(ConversionSettings& s) {
    if (!isValidMpegType(s.mpegType))
        return;
    const MpegPreset& preset = MpegPresetTable[std::size_t(s.mpegType)];
    s.mpegWidth = preset.width;
    s.mpegHeight = preset.height;
    s.mpegFrameRate = preset.frameRate;
    s.mpegSampleRate = preset.sampleRate;
}

void resetForMovie(ConversionSettings& s, const std::string& path, const MovieProperties& movie) {
    s.sourcePath = path;
    s.sourceFolder = folderOf(path);

    s.movieWidth = movie.width;
    s.movieHeight = movie.height;
    s.movieFrameRate = movie.frameRate;
    s.movieLength = movie.length;

    // Frame-by-frame recording steps an SWF timeline; a video has none.
    if (movie.isFlv)
        s.conversionMode = ConversionMode::Interactive;
    // The output's folder, which is beside the movie until another output is chosen.
    if (s.tempPathIndex == 0)
        s.tempPath = s.sourceFolder;

    if (s.convertType == OutputType::Avi)
        s.outputFile = replaceExtension(path, "avi");
    s.aviKeepOriginalSize = true;
    s.aviKeepAspectRatio = true;
    s.aviWidth = movie.width;
    s.aviHeight = movie.height;
    s.aviFrameRate = movie.frameRate;

    if (s.convertType == OutputType::Mpeg)
        s.outputFile = replaceExtension(path, "mpg");
    applyMpegPreset(s);
    if (s.convertType == OutputType::VideoFile)
        s.outputFile = replaceExtension(path, videoFileExtension(s.videoContainer));

    s.imageFrameRate = movie.frameRate;
    s.imageKeepOriginalSize = true;
    s.imageKeepAspectRatio = true;
    s.imageWidth = movie.width;
    s.imageHeight = movie.height;
    s.outputFolder = s.sourceFolder;
    s.animatedGifFile.clear();

    s.cropX = 0;
    s.cropY = 0;
    s.cropWidth = movie.width;
    s.cropHeight = movie.height;
    s.watermarkEnabled = false;
    s.watermarkFile.clear();
    s.watermarkUseTransparentColor = false;
    s.watermarkTransparentColor = 0;
    s.watermarkUseTransparency = false;
    s.watermarkTransparency = 50;
    s.watermarkX = 0;
    s.watermarkY = 0;
    s.watermarkWidth = 0;
    s.watermarkHeight = 0;
    s.watermarkKeepAspectRatio = true;
}

void applySettingsRules(ConversionSettings& s) {
    if (isFlvPath(s.sourcePath))
        s.conversionMode = ConversionMode::Interactive;
    // Frame by frame, the movie's own sound comes straight from the engine's mixer, frame
    // by frame, so it is kept as a choice in both modes.
    // The frame files go beside the output, never beside the movie for its own sake: the
    // movie's folder may be read-only.
    if (s.tempPathIndex == 0) {
        if (s.convertType != OutputType::ImageSeries && !s.outputFile.empty())
            s.tempPath = folderOf(s.outputFile);
        else if (s.convertType == OutputType::ImageSeries && !s.outputFolder.empty())
            s.tempPath = s.outputFolder;
    }
    if (s.convertType == OutputType::Mpeg)
        applyMpegPreset(s);
    fitVideoFileChoices(s);
}

} // namespace swivio
