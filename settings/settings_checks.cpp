#include "settings/settings_checks.h"

#include <cstdint>
#include <filesystem>
#include <strings.h>
#include <system_error>

#include "settings/settings_rules.h"

namespace swivio {

namespace {

bool isGifName(const std::string& path) {
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".gif") == 0;
}

} // namespace

Status setOutputTarget(ConversionSettings& s, const std::string& output) {
    if (s.convertType == OutputType::ImageSeries && s.imageType == ImageType::AnimatedGif &&
        isGifName(output)) {
        // One animated GIF under the name given, in that name's folder.
        s.animatedGifFile = output;
        s.outputFolder = folderOf(output);
        return {};
    }
    if (s.convertType == OutputType::ImageSeries) {
        const std::string folder = output.empty() ? s.outputFolder : output;
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec))
            return Status::failure("Cannot create the output folder " + folder +
                                   (ec ? ": " + ec.message() : "") + ".");
        s.outputFolder = folder;
        return {};
    }
    const std::string file = output.empty() ? s.outputFile : output;
    if (file.empty() || file.back() == '/')
        return Status::failure("The output file name is empty.");
    s.outputFile = file;
    return {};
}

Status setWorkingFolder(ConversionSettings& s, const std::string& folder) {
    if (folder.empty()) {
        s.tempPathIndex = 0;
        return {};
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return Status::failure("The working folder " + folder + " does not exist.");
    s.tempPathIndex = 1;
    s.tempPath = folder;
    return {};
}

Status setCropRectangle(ConversionSettings& s, int x, int y, int width, int height) {
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x > s.movieWidth - width ||
        y > s.movieHeight - height)
        return Status::failure("The crop rectangle must lie inside the movie's " +
                               std::to_string(s.movieWidth) + " x " +
                               std::to_string(s.movieHeight) + " pixels.");
    s.cropX = x;
    s.cropY = y;
    s.cropWidth = width;
    s.cropHeight = height;
    return {};
}

Status setFrameSize(ConversionSettings& s, std::optional<FrameSize> size, bool keepAspect) {
    if (s.cropWidth <= 0 || s.cropHeight <= 0)
        return Status::failure("The movie has no picture area.");
    int width = s.cropWidth, height = s.cropHeight;
    if (size) {
        if (s.convertType == OutputType::Mpeg)
            return Status::failure("MPEG output has the frame size of its MPEG type.");
        width = size->width;
        height = keepAspect ? int(int64_t(width) * s.cropHeight / s.cropWidth) : size->height;
    }
    if (width < 4 || height < 2)
        return Status::failure("The frame size is too small: at least 4 x 2 pixels.");
    const bool keepOriginal = !size;
    s.aviKeepOriginalSize = s.imageKeepOriginalSize = keepOriginal;
    s.aviKeepAspectRatio = s.imageKeepAspectRatio = keepAspect || keepOriginal;
    s.aviWidth = s.imageWidth = width;
    s.aviHeight = s.imageHeight = height;
    return {};
}

Status setFrameRate(ConversionSettings& s, std::optional<float> rate, bool original) {
    if (!rate && !original)
        return {};
    if (s.convertType == OutputType::Mpeg)
        return Status::failure("MPEG output has the frame rate of its MPEG type.");
    const float chosen = original ? float(int(s.movieFrameRate)) : *rate;
    if (!(chosen > 0))
        return Status::failure(kInvalidFrameRateMessage);
    s.aviFrameRate = s.imageFrameRate = chosen;
    return {};
}

Status checkMovieForConversion(const ConversionSettings& s) {
    if (s.cropWidth <= 0 || s.cropHeight <= 0)
        return Status::failure("The movie has no picture area.");
    if (!(s.movieFrameRate > 0))
        return Status::failure("The movie's frame rate is 0.");
    return {};
}

} // namespace swivio
