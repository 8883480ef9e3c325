#pragma once

#include <string>

#include "encode/frame_writer.h"
#include "encode/image/adaptive_palette.h"
#include "encode/image/color_reduction.h"
#include "encode/image/picture_file.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Joins a folder and a file name with one '/' between them. An empty folder gives the
// bare name (the current folder), never the file system's root.
std::string joinFolder(const std::string& folder, const std::string& name);

// The name of output picture `index` of a series: the folder, then the index in decimal
// with no padding, then ".bmp", ".png", ".jpg" or ".gif".
std::string pictureSeriesFileName(const std::string& folder, PictureFileType type, int index);

// One picture file per output frame. A file that cannot be written is skipped and the
// series goes on: writeFrame stays true, finish() reports how many were lost.
class PictureSeriesWriter final : public FrameWriter {
public:
    // `jpegQuality` 1..100 is used for JPEG; `dither` and `colors` for GIF.
    PictureSeriesWriter(std::string folder, PictureFileType type, int jpegQuality, bool dither,
                        GifColors colors = GifColors::Standard);

    // Saves the frame as pictureSeriesFileName(folder, type, index): written beside that
    // name and renamed over it when complete, so a regular file there is replaced (a
    // symbolic link's target gets the picture) and anything else (a folder, a device) is
    // refused and counted as a picture that could not be written.
    bool writeFrame(const Frame& frame, int index) override;
    // True when every picture was written.
    bool finish() override;
    std::string errorString() const override { return m_error; }

    int failedCount() const { return m_failed; }

private:
    std::string m_folder;
    PictureFileType m_type;
    int m_jpegQuality;
    bool m_dither;
    GifColors m_colors;
    AdaptiveReducer m_adaptive;
    PictureImage m_picture;
    PictureImage m_reduced;
    int m_failed = 0;
    std::string m_firstFailure;
    std::string m_error;
};

} // namespace swivio
