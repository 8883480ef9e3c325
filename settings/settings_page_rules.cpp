#include "settings/settings_page_rules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/settings_rules.h"
#include "settings/video_file_rules.h"

namespace swivio {

namespace {

bool isFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

bool isFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

template <std::size_t N>
int32_t inRange(int32_t index, const std::array<AviAudioOption, N>&, int32_t fallback) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? index : fallback;
}

} // namespace

std::string outputFileForType(const std::string& text, OutputType type,
                              VideoContainer container) {
    if (type == OutputType::ImageSeries || text.empty())
        return text;
    if (fileNameOf(text).find('.') == std::string::npos)
        return text;
    if (type == OutputType::VideoFile)
        return replaceExtension(text, videoFileExtension(container));
    return replaceExtension(text, type == OutputType::Avi ? "avi" : "mpg");
}

GeneralPageValues generalPageValues(const ConversionSettings& settings) {
    GeneralPageValues values;
    values.type = settings.convertType;
    values.outputFolder = settings.outputFolder;
    values.outputFile = settings.outputFile;
    values.mode = settings.conversionMode;
    values.workFolderChoice = settings.tempPathIndex == 1 ? 1 : 0;
    if (values.workFolderChoice == 1)
        values.workFolder = settings.tempPath;
    values.captureCursor = settings.captureCursor;
    values.openTargetFolder = settings.openTargetFolder;
    return values;
}

std::string resolveOutputFile(const std::string& name, const std::string& sourceFolder) {
    if (name.empty() || name.front() == '/' || sourceFolder.empty())
        return name;
    return sourceFolder.back() == '/' ? sourceFolder + name : sourceFolder + "/" + name;
}

std::optional<PageProblem> checkGeneralPage(GeneralPageValues& values,
                                            const std::string& sourceFolder) {
    const auto problem = [](const char* message, GeneralField field) {
        return PageProblem{message, static_cast<int>(field)};
    };
    if (values.type == OutputType::ImageSeries) {
        if (values.outputFolder.empty())
            return problem("The output path name should not be empty!", GeneralField::OutputFolder);
        if (!isFolder(values.outputFolder))
            return problem("The output path does not exist!", GeneralField::OutputFolder);
        return std::nullopt;
    }
    if (values.outputFile.empty())
        return problem("Please input a file name!", GeneralField::OutputFile);
    // A bare name would otherwise land in whatever folder the program was started from.
    values.outputFile = resolveOutputFile(values.outputFile, sourceFolder);
    if (fileNameOf(values.outputFile).empty())
        return problem("Please input a file name!", GeneralField::OutputFile);
    if (!isFolder(folderOf(values.outputFile)))
        return problem("The output path does not exist!", GeneralField::OutputFile);
    if (values.workFolderChoice == 1) {
        if (values.workFolder.empty())
            return problem("The temporary folder name should not be empty!",
                           GeneralField::WorkFolder);
        if (!isFolder(values.workFolder))
            return problem("The specified temporary folder does not exist!",
                           GeneralField::WorkFolder);
    }
    return std::nullopt;
}

void commitGeneralPage(const GeneralPageValues& values, ConversionSettings& settings) {
    settings.convertType = values.type;
    settings.outputFolder = values.outputFolder;
    settings.outputFile = values.outputFile;
    settings.conversionMode = values.mode;
    settings.captureCursor = values.captureCursor;
    settings.openTargetFolder = values.openTargetFolder;
    if (!canRecordMovieSound(values.mode) && settings.audioSource == AudioSource::RecordFromMovie)
        settings.audioSource = AudioSource::None;
    if (values.type == OutputType::ImageSeries)
        return;
    settings.tempPathIndex = values.workFolderChoice;
    settings.tempPath =
        values.workFolderChoice == 1 ? values.workFolder : folderOf(values.outputFile);
}

std::string integerRangeMessage(int32_t low, int32_t high) {
    char text[80];
    std::snprintf(text, sizeof text, "Please enter an integer between %d and %d.", low, high);
    return text;
}

std::optional<int32_t> readIntegerInRange(const std::string& text, int32_t low, int32_t high) {
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        // Past the highest accepted value the rest of the digits cannot bring it back.
        value = std::min<int64_t>(value * 10 + (c - '0'), int64_t{1} << 40);
    }
    if (value < low || value > high)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<int32_t> heightForWidth(int32_t width, int32_t cropWidth, int32_t cropHeight) {
    if (cropWidth == 0)
        return std::nullopt;
    return static_cast<int32_t>(int64_t{width} * cropHeight / cropWidth);
}

std::optional<int32_t> widthForHeight(int32_t height, int32_t cropWidth, int32_t cropHeight) {
    if (cropHeight == 0)
        return std::nullopt;
    return static_cast<int32_t>(int64_t{height} * cropWidth / cropHeight);
}

std::optional<CropRect> readCropRect(const std::string texts[4], int32_t movieWidth,
                                     int32_t movieHeight, CropProblem* problem) {
    const auto fail = [&](int edit, int32_t low, int32_t high) -> std::optional<CropRect> {
        if (problem)
            *problem = CropProblem{integerRangeMessage(low, high), edit};
        return std::nullopt;
    };
    if (movieWidth < 1 || movieHeight < 1)
        return fail(0, 0, 0);
    CropRect rect;
    const auto x = readIntegerInRange(texts[0], 0, movieWidth - 1);
    if (!x)
        return fail(0, 0, movieWidth - 1);
    rect.x = *x;
    const auto y = readIntegerInRange(texts[1], 0, movieHeight - 1);
    if (!y)
        return fail(1, 0, movieHeight - 1);
    rect.y = *y;
    const auto w = readIntegerInRange(texts[2], 1, movieWidth - rect.x);
    if (!w)
        return fail(2, 1, movieWidth - rect.x);
    rect.width = *w;
    const auto h = readIntegerInRange(texts[3], 1, movieHeight - rect.y);
    if (!h)
        return fail(3, 1, movieHeight - rect.y);
    rect.height = *h;
    return rect;
}

std::string frameRateText(double rate) {
    char text[64];
    if (rate != std::floor(rate))
        std::snprintf(text, sizeof text, "%.2f", rate);
    else
        std::snprintf(text, sizeof text, "%d", static_cast<int>(rate));
    return text;
}

std::string lockedFrameRateText(float movieRate) {
    if (!(movieRate > 0) || movieRate > 1e6f)
        return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(movieRate));
    std::string result = text;
    while (result.back() == '0')
        result.pop_back();
    if (result.back() == '.')
        result.pop_back();
    return result;
}

std::string originalFrameRateText(float movieRate) {
    if (!(movieRate > 0) || movieRate > 1e6f)
        return "0";
    return std::to_string(static_cast<int>(movieRate));
}

std::optional<float> readFrameRate(const std::string& text) {
    if (text.empty() || text.size() > 32)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value > 0) || value > 1000)
        return std::nullopt;
    return static_cast<float>(value);
}

int32_t codecListIndex(const std::vector<uint32_t>& listFourCCs, uint32_t storedFourCC,
                       int32_t storedIndex) {
    const auto found = std::find(listFourCCs.begin(), listFourCCs.end(), storedFourCC);
    if (storedFourCC != 0)
        return found == listFourCCs.end() ? 0 : static_cast<int32_t>(found - listFourCCs.begin());
    if (storedIndex >= 0 && static_cast<std::size_t>(storedIndex) < listFourCCs.size())
        return storedIndex;
    return 0;
}

AudioLists audioLists(const ConversionSettings& settings, OutputType type, MpegType mpegType) {
    AudioLists lists;
    if (type == OutputType::Mpeg) {
        const MpegPreset& preset =
            MpegPresetTable[isValidMpegType(mpegType) ? static_cast<std::size_t>(mpegType) : 0];
        lists.formats = {preset.audioFormatText};
        lists.channels = {kMpegAudioChannelText};
        lists.bitRates = {std::to_string(kMpegAudioBitRateKbps)};
        lists.sampleRates = {std::to_string(preset.sampleRate)};
        return lists;
    }
    if (type == OutputType::VideoFile) {
        const bool webm = settings.videoContainer == VideoContainer::WebM;
        if (!webm)
            lists.formats.emplace_back(kVideoSoundNames[std::size_t(VideoSound::Aac)]);
        lists.formats.emplace_back(kVideoSoundNames[std::size_t(VideoSound::Opus)]);
        lists.format = !webm && settings.videoSound == VideoSound::Opus ? 1 : 0;
        lists.channels = {kMpegAudioChannelText};
        for (const auto& o : kVideoSoundBitRates)
            lists.bitRates.emplace_back(o.text);
        lists.bitRate = inRange(settings.videoSoundBitRate, kVideoSoundBitRates, 2);
        lists.sampleRates = {"48000"};
        return lists;
    }
    for (const auto& o : kAviAudioFormats)
        lists.formats.emplace_back(o.text);
    for (const auto& o : kAviAudioChannels)
        lists.channels.emplace_back(o.text);
    for (const auto& o : kAviAudioBitRates)
        lists.bitRates.emplace_back(o.text);
    for (const auto& o : kAviAudioSampleRates)
        lists.sampleRates.emplace_back(o.text);
    lists.format = inRange(settings.aviAudioFormat, kAviAudioFormats, 0);
    lists.channel = inRange(settings.aviAudioChannels, kAviAudioChannels, 1);
    lists.bitRate = inRange(settings.aviAudioBitRate, kAviAudioBitRates, 4);
    lists.sampleRate = inRange(settings.aviAudioSampleRate, kAviAudioSampleRates, 2);
    return lists;
}

bool canRecordMovieSound(ConversionMode mode) {
    // The engine mixes the movie's sound itself, frame by frame, so a recording that does not
    // run in real time has it too.
    (void)mode;
    return true;
}

AudioControlStates audioControlStates(AudioSource source, OutputType type, int32_t formatIndex) {
    AudioControlStates states;
    switch (source) {
    case AudioSource::None:
        break;
    case AudioSource::RecordFromMovie:
        states.lists = true;
        states.bitRate = !(type == OutputType::Avi && formatIndex == kAviAudioFormatPcm);
        break;
    case AudioSource::ImportFile:
        // An imported file keeps its own format in an AVI file.
        states.file = true;
        states.lists = type == OutputType::Mpeg || type == OutputType::VideoFile;
        states.bitRate = states.lists;
        break;
    }
    return states;
}

VideoSound videoSoundOfList(const ConversionSettings& settings, int32_t index) {
    if (settings.videoContainer == VideoContainer::WebM)
        return VideoSound::Opus;
    return index == 1 ? VideoSound::Opus : VideoSound::Aac;
}

bool isImportableSoundName(const std::string& path) {
    const std::string name = lower(fileNameOf(path));
    const auto endsWith = [&](const char* tail) {
        const std::size_t n = std::char_traits<char>::length(tail);
        return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
    };
    return endsWith(".wav") || endsWith(".mp3");
}

std::optional<std::string> checkAudioImport(const std::string& file) {
    if (file.empty())
        return std::string(kNoAudioFileMessage);
    if (!isFile(file))
        return std::string(kAudioFileMissingMessage);
    if (!isImportableSoundName(file))
        return std::string(kAudioFileTypeMessage);
    return std::nullopt;
}

} // namespace swivio
