#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/conversion_settings.h"

namespace swivio {

// The rules the settings sheet's pages apply, kept apart from the widgets so that they can
// be checked without a display. Texts are the ones the pages show.

// ---- General page --------------------------------------------------------------------------

// The output file's text after the conversion type changed to AVI, MPEG or a video file: the
// extension of the file name becomes "avi", "mpg" or the container's ("mp4", "mkv", "webm").
// Text that is empty or whose file name has no '.' stays as it is (a '.' in a folder name
// does not count). Other types leave it unchanged.
std::string outputFileForType(const std::string& text, OutputType type,
                              VideoContainer container = VideoContainer::Mp4);

// Which edit a failed check puts the focus into.
enum class GeneralField { OutputFolder, OutputFile, WorkFolder };

struct PageProblem {
    std::string message;
    int field = 0; // the page's own field enum, as an int
};

// What the General page holds while it is edited.
struct GeneralPageValues {
    OutputType type = OutputType::Avi;
    std::string outputFolder;
    std::string outputFile;
    ConversionMode mode = ConversionMode::Interactive;
    int32_t workFolderChoice = 0; // 0: the output's folder, 1: workFolder
    std::string workFolder;
    bool captureCursor = false;
    bool openTargetFolder = true;
};

GeneralPageValues generalPageValues(const ConversionSettings& settings);

// An output file name made absolute: a relative name is taken inside the movie's folder.
std::string resolveOutputFile(const std::string& name, const std::string& sourceFolder);

// The checks made when the General page is left; nullopt when they pass. `values` may be
// updated (a relative output file is resolved against `sourceFolder`).
std::optional<PageProblem> checkGeneralPage(GeneralPageValues& values,
                                            const std::string& sourceFolder);

// The General page's OK: its values go into the settings, a frame-by-frame recording drops
// the movie's sound, and for AVI and MPEG the working folder is set.
void commitGeneralPage(const GeneralPageValues& values, ConversionSettings& settings);

// ---- Video page ----------------------------------------------------------------------------

inline constexpr int32_t kMinFrameWidth = 4;
inline constexpr int32_t kMaxFrameWidth = 8192;
inline constexpr int32_t kMinFrameHeight = 2;
inline constexpr int32_t kMaxFrameHeight = 8192;

// "Please enter an integer between %d and %d."
std::string integerRangeMessage(int32_t low, int32_t high);

// The number of a digits-only edit when it lies in [low, high]; nullopt for empty text, text
// that is not a number, or one out of range (however many digits it has).
std::optional<int32_t> readIntegerInRange(const std::string& text, int32_t low, int32_t high);

// The other side of a size that keeps the crop's proportions, by truncating integer
// arithmetic; nullopt when the crop side it divides by is 0.
std::optional<int32_t> heightForWidth(int32_t width, int32_t cropWidth, int32_t cropHeight);
std::optional<int32_t> widthForHeight(int32_t height, int32_t cropWidth, int32_t cropHeight);

struct CropRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Which crop edit a failed check names: 0 X, 1 Y, 2 W, 3 H.
struct CropProblem {
    std::string message;
    int edit = 0;
};

// Checks the crop edits' texts: every value a number, the rectangle inside the movie and
// never empty. The message gives the range the named edit accepts.
std::optional<CropRect> readCropRect(const std::string texts[4], int32_t movieWidth,
                                     int32_t movieHeight, CropProblem* problem);

// A frame rate as the rate boxes show it after editing: "%.2f" with a fraction, else "%d".
std::string frameRateText(double rate);
// A stored rate, or the movie's while the rate is locked to it, as the box first shows it:
// its fraction kept ("23.976", "12.5", "25"), so that the output is not slowed by dropping it.
std::string lockedFrameRateText(float movieRate);
// The movie's rate as "Original" in the rate list puts it: truncated to whole frames.
std::string originalFrameRateText(float movieRate);
// The rate a box's text stands for; nullopt when it is not a number greater than 0.
std::optional<float> readFrameRate(const std::string& text);

// The position in the codec list of the stored compressor: found by its FourCC; a stored
// FourCC of 0 with an index is an older record that kept only the index. 0 (uncompressed)
// when neither names an entry.
int32_t codecListIndex(const std::vector<uint32_t>& listFourCCs, uint32_t storedFourCC,
                       int32_t storedIndex);

// ---- Audio page ----------------------------------------------------------------------------

inline constexpr char kNoAudioFileMessage[] = "The audio file name should not be empty!";
inline constexpr char kAudioFileMissingMessage[] = "The specified audio file does not exist!";
inline constexpr char kAudioFileTypeMessage[] =
    "Invalid file type, only .wav or .mp3 file is supported now!";
inline constexpr char kIncorrectFileTypeMessage[] = "Incorrect file type!";

// The four lists of the Audio page for an output type, and the selected entries.
struct AudioLists {
    std::vector<std::string> formats;
    std::vector<std::string> channels;
    std::vector<std::string> bitRates;
    std::vector<std::string> sampleRates;
    int32_t format = 0;
    int32_t channel = 0;
    int32_t bitRate = 0;
    int32_t sampleRate = 0;
};
// AVI: the full lists with the stored indexes (brought into range); MPEG: one entry each,
// from the preset of `mpegType`; a video file: AAC and Opus (Opus alone for WebM), stereo,
// 48000 Hz and its bit rates.
AudioLists audioLists(const ConversionSettings& settings, OutputType type, MpegType mpegType);

// Whether recording the movie's sound can be chosen in a recording mode.
bool canRecordMovieSound(ConversionMode mode);

// What the Audio page enables for a source choice.
struct AudioControlStates {
    bool file = false;    // the file edit and its browse button
    bool lists = false;   // format, channel and sample-rate labels and lists, and "Hz"
    bool bitRate = false; // "&Bit rate:", its list and "kbps"
};
AudioControlStates audioControlStates(AudioSource source, OutputType type, int32_t formatIndex);

// The video file's sound as the Audio page's format list at `index` names it.
VideoSound videoSoundOfList(const ConversionSettings& settings, int32_t index);

// True for names whose extension is ".wav" or ".mp3", without regard to case.
bool isImportableSoundName(const std::string& path);

// The checks made when the Audio page is left with a file to import; nullopt when they pass.
std::optional<std::string> checkAudioImport(const std::string& file);

} // namespace swivio
