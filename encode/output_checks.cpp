#include "encode/output_checks.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "base/output_file.h"
#include "encode/conversion_driver.h"
#include "encode/image/animated_gif_writer.h"
#include "encode/image/picture_series_writer.h"

namespace swivio {

namespace {

// The files of a conversion that its output must never replace.
std::vector<InputFile> conversionInputs(const ConversionSettings& s) {
    std::vector<InputFile> inputs = {{"the movie", s.sourcePath}};
    if (s.audioSource == AudioSource::ImportFile && !s.audioFile.empty())
        inputs.push_back({"the imported sound", s.audioFile});
    if (s.watermarkEnabled && !s.watermarkFile.empty())
        inputs.push_back({"the watermark picture", s.watermarkFile});
    return inputs;
}

Status refuseInputs(const std::string& output, const std::vector<InputFile>& inputs) {
    for (const InputFile& input : inputs) {
        if (isSameFile(output, input.path))
            return Status::failure("Refusing to write " + output + ": it is " + input.role + " (" +
                                   input.path + ") itself.");
    }
    return {};
}

Status checkFolderWritable(const std::string& output, const std::string& folder) {
    const std::string where = folder.empty() ? std::string(".") : folder;
    if (::access(where.c_str(), W_OK | X_OK) != 0)
        return Status::failure("Cannot write " + output + ": the folder " + where +
                               " cannot be written (" + std::strerror(errno) + ").");
    return {};
}

std::string folderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The picture type of a series and its file name extension.
PictureFileType seriesType(ImageType type) {
    switch (type) {
    case ImageType::Png:
        return PictureFileType::Png;
    case ImageType::Jpeg:
        return PictureFileType::Jpeg;
    case ImageType::Gif:
        return PictureFileType::Gif;
    case ImageType::Bmp:
    case ImageType::AnimatedGif:
        break;
    }
    return PictureFileType::Bmp;
}

// The index of a series picture named `name` ("12.png"), or -1 for any other name.
int seriesIndex(const std::string& name, PictureFileType type) {
    const std::string extension = pictureSeriesFileName("", type, 0).substr(1);
    if (name.size() <= extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return -1;
    const std::string digits = name.substr(0, name.size() - extension.size());
    if (digits.size() > 9 || (digits.size() > 1 && digits[0] == '0') ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoi(digits);
}

// A picture series writes "0.png", "1.png", ... into its folder: none of those it will
// write may be an input or something other than a regular file.
Status checkSeries(const ConversionSettings& s) {
    const std::string& folder = s.outputFolder.empty() ? std::string(".") : s.outputFolder;
    if (Status writable = checkFolderWritable(folder, folder); !writable)
        return writable;
    const PictureFileType type = seriesType(s.imageType);
    const int count = planFrameRate(s, s.movieLength).outputFrameCount;
    const std::vector<InputFile> inputs = conversionInputs(s);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const int index = seriesIndex(entry.path().filename().string(), type);
        if (index < 0 || index >= count)
            continue;
        const std::string picture = pictureSeriesFileName(s.outputFolder, type, index);
        Result<OutputTarget> target = resolveOutputTarget(picture);
        if (!target)
            return Status::failure(target.message());
        if (Status distinct = refuseInputs(picture, inputs); !distinct)
            return distinct;
    }
    if (ec)
        return Status::failure("Cannot read the output folder " + folder + ": " + ec.message());
    return {};
}

} // namespace

std::string outputExistsMessage(const std::string& output) {
    return "File '" + output + "' already exists; it is not overwritten.";
}

std::string conversionOutputFile(const ConversionSettings& s) {
    switch (s.convertType) {
    case OutputType::Avi:
    case OutputType::Mpeg:
    case OutputType::VideoFile:
        return s.outputFile;
    case OutputType::ImageSeries:
        if (s.imageType == ImageType::AnimatedGif)
            return s.animatedGifFile.empty() ? animatedGifFileName(s.outputFolder, s.sourcePath)
                                             : s.animatedGifFile;
        break;
    }
    return {};
}

std::string existingOutputFile(const ConversionSettings& s) {
    const std::string output = conversionOutputFile(s);
    if (output.empty())
        return {};
    Result<OutputTarget> target = resolveOutputTarget(output);
    return target && target->exists ? output : std::string();
}

Status checkOutputFile(const std::string& output, const std::vector<InputFile>& inputs,
                       bool overwriteAllowed) {
    Result<OutputTarget> target = resolveOutputTarget(output);
    if (!target)
        return Status::failure(target.message());
    if (Status distinct = refuseInputs(output, inputs); !distinct)
        return distinct;
    if (Status writable = checkFolderWritable(output, folderPart(target->path)); !writable)
        return writable;
    if (target->exists && !overwriteAllowed)
        return Status::failure(outputExistsMessage(output));
    return {};
}

Status checkConversionOutput(const ConversionSettings& s, bool overwriteAllowed) {
    const std::string output = conversionOutputFile(s);
    if (output.empty())
        return checkSeries(s);
    if (output.back() == '/')
        return Status::failure("The output file name is empty.");
    return checkOutputFile(output, conversionInputs(s), overwriteAllowed);
}

} // namespace swivio
