#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "clib/c_handle.h"
#include "encode/frame_writer.h"
#include "encode/image/adaptive_palette.h"
#include "encode/image/color_reduction.h"
#include "encode/image/picture_image.h"

namespace swivio {

// The name of the animated GIF of a movie: the folder, then the movie's file title (its
// file name up to, not including, the last '.'; the whole file name when it has no '.'),
// then ".gif". "/movies/intro.final.swf" in "/out" gives "/out/intro.final.gif".
std::string animatedGifFileName(const std::string& folder, const std::string& moviePath);

// The delay of frame `frameIndex` (from 0), in hundredths of a second. A GIF delay is a
// whole number of hundredths, so the remainder is spread over the frames: frame i waits
// round((i + 1) x 100 / rate) - round(i x 100 / rate), halves rounded up, so the delays of
// the first n frames add up to n x 100 / rate within half a hundredth (24 frames per second
// give 4, 4, 5, 4, 4, 4 and again, 25 hundredths every 6 frames). Never below 1 (a rate above 100
// cannot keep time) nor above 65535; 0 for a rate that is not positive or a negative index.
int animatedGifFrameDelay(double frameRate, int frameIndex);

// One animated GIF for a whole conversion. The constructor creates the file beside `path`
// (an OutputFile); finish() writes the trailer and renames it over `path`, so a file there
// is untouched until the GIF is complete, and a failure, abandon() or a GIF without frames
// leaves it so. Frame 0 writes the header and the loop extension (999 repeats); every frame
// writes a graphic control extension (its delay by animatedGifFrameDelay) and its image.
// With the standard colours the header holds the standard palette and every frame is
// written whole over it (disposal 2). With adaptive colours the header has no palette:
// each frame writes only the rectangle that changed since the frame before, with a local
// palette fitted to the changed pixels and the unchanged ones transparent, left in place
// over the earlier frames (disposal 1); see AdaptiveReducer::reduceNext. When the file
// cannot be created (`path` is a folder, a device, or its folder cannot be written) every
// write is ignored: writeFrame stays true and finish() says so.
class AnimatedGifWriter final : public FrameWriter {
public:
    static constexpr int kLoopCount = 1000;
    static constexpr int kDisposalMethod = 2;
    static constexpr int kLeaveInPlace = 1;

    AnimatedGifWriter(const std::string& path, double frameRate, bool dither,
                      GifColors colors = GifColors::Standard);

    bool isOpen() const { return m_file != nullptr; }
    // Appends output frame `index`; the header goes before the first frame.
    bool appendFrame(const Frame& frame, int index);
    bool writeFrame(const Frame& frame, int index) override { return appendFrame(frame, index); }
    bool finish() override;
    void abandon() override;
    std::string errorString() const override { return m_error; }

private:
    void fail(std::string message);

    std::string m_path;
    // Declared before the file so that the file closes before the temporary one is removed.
    OutputFile m_output;
    clib::File m_file;
    double m_frameRate;
    bool m_dither;
    GifColors m_colors;
    AdaptiveReducer m_adaptive;
    int m_framesWritten = 0;
    bool m_finished = false;
    std::string m_comment;
    PictureImage m_picture;
    PictureImage m_reduced;
    std::vector<uint8_t> m_bytes;
    std::string m_error;
};

} // namespace swivio
