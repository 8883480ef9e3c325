#include "encode/image/animated_gif_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "encode/image/color_reduction.h"
#include "encode/image/gif_encoder.h"
#include "encode/image/picture_series_writer.h"

namespace swivio {

std::string animatedGifFileName(const std::string& folder, const std::string& moviePath) {
    const std::size_t slash = moviePath.rfind('/');
    std::string title = slash == std::string::npos ? moviePath : moviePath.substr(slash + 1);
    const std::size_t dot = title.rfind('.');
    if (dot != std::string::npos)
        title.erase(dot);
    return joinFolder(folder, title + ".gif");
}

int animatedGifFrameDelay(double frameRate, int frameIndex) {
    if (!(frameRate > 0) || frameIndex < 0)
        return 0;
    // The time frame i starts at, in whole hundredths; each delay runs to the next start.
    const auto start = [frameRate](double index) {
        return std::floor(index * 100.0 / frameRate + 0.5);
    };
    const double delay = start(double(frameIndex) + 1.0) - start(double(frameIndex));
    if (!(delay < 65535.0))
        return 65535;
    return delay < 1.0 ? 1 : int(delay);
}

AnimatedGifWriter::AnimatedGifWriter(const std::string& path, double frameRate, bool dither,
                                     GifColors colors)
    : m_path(path), m_frameRate(frameRate), m_dither(dither), m_colors(colors) {
    // The GIF is written beside `path` and renamed over it by finish().
    Result<OutputFile> output = OutputFile::create(path);
    if (!output) {
        m_error = output.message();
        return;
    }
    m_output = std::move(*output);
    m_file = clib::openFile(m_output.path().c_str(), "wb");
    if (!m_file)
        m_error = "Cannot create " + path + ": " + std::strerror(errno);
}

void AnimatedGifWriter::abandon() {
    m_finished = true;
    m_file.reset();
    m_output.discard();
}

void AnimatedGifWriter::fail(std::string message) {
    if (m_error.empty())
        m_error = std::move(message);
}

bool AnimatedGifWriter::appendFrame(const Frame& frame, int index) {
    (void)index;
    if (!m_file || m_finished || !m_error.empty())
        return true; // failures of the animated GIF are silent until finish()
    if (m_picture.width() != frame.width() || m_picture.height() != frame.height())
        m_picture = PictureImage(frame.width(), frame.height(), 24);
    if (m_picture.isNull() || m_picture.stride() * m_picture.height() != frame.byteSize()) {
        fail("Cannot make a picture of the frame for " + m_path);
        return true;
    }
    std::memcpy(m_picture.data(), frame.data(), frame.byteSize());
    const int delay = animatedGifFrameDelay(m_frameRate, m_framesWritten);
    m_bytes.clear();
    if (m_colors == GifColors::Adaptive) {
        std::array<int, 4> rect{};
        if (!m_adaptive.reduceNext(m_picture, m_dither, m_reduced, rect)) {
            fail("Cannot reduce the frame to 256 colours for " + m_path);
            return true;
        }
        if (m_framesWritten == 0) {
            writeGifHeader(m_bytes, m_picture); // a 24-bit picture: no global palette
            writeLoopExtension(m_bytes, kLoopCount != 1 ? std::max(kLoopCount - 1, 0) : 0);
        }
        writeFrameExtension(m_bytes, kLeaveInPlace, delay, m_reduced.transparentIndex());
        if (m_framesWritten == 0)
            writeComment(m_bytes, m_comment);
        writeImageAt(m_bytes, m_reduced, rect[0], rect[1]);
    } else {
        reduceTo8Bits(m_picture, m_dither, m_reduced);
        m_reduced.setFrameDelay(delay);
        if (m_framesWritten == 0) {
            writeGifHeader(m_bytes, m_reduced);
            // The stored count is the number of repeats: one less than the times played.
            writeLoopExtension(m_bytes, kLoopCount != 1 ? std::max(kLoopCount - 1, 0) : 0);
        }
        writeFrameExtension(m_bytes, kDisposalMethod, m_reduced.frameDelay(),
                            m_reduced.transparentIndex());
        if (m_framesWritten == 0)
            writeComment(m_bytes, m_comment);
        writeImage(m_bytes, m_reduced);
    }
    if (std::fwrite(m_bytes.data(), 1, m_bytes.size(), m_file.get()) != m_bytes.size())
        fail("Cannot write " + m_path + ": " + std::strerror(errno));
    ++m_framesWritten;
    return true;
}

bool AnimatedGifWriter::finish() {
    if (m_finished)
        return m_error.empty();
    m_finished = true;
    if (!m_file)
        return false;
    if (m_framesWritten == 0 && m_error.empty()) {
        // Without a frame there is no header to write, and a lone trailer is no GIF: leave
        // no new file rather than a broken one.
        abandon();
        return true;
    }
    const uint8_t trailer = 0x3B;
    if (std::fwrite(&trailer, 1, 1, m_file.get()) != 1)
        fail("Cannot write " + m_path + ": " + std::strerror(errno));
    if (std::fclose(m_file.release()) != 0)
        fail("Cannot close " + m_path + ": " + std::strerror(errno));
    if (!m_error.empty()) {
        m_output.discard();
        return false;
    }
    if (Status placed = m_output.commit(); !placed)
        fail(placed.message());
    return m_error.empty();
}

} // namespace swivio
