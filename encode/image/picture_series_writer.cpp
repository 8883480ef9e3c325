#include "encode/image/picture_series_writer.h"

#include <cstring>
#include <utility>

#include "base/output_file.h"
#include "encode/image/color_reduction.h"

namespace swivio {

std::string joinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

std::string pictureSeriesFileName(const std::string& folder, PictureFileType type, int index) {
    const char* extension = ".bmp";
    switch (type) {
    case PictureFileType::Bmp:
        extension = ".bmp";
        break;
    case PictureFileType::Png:
        extension = ".png";
        break;
    case PictureFileType::Jpeg:
        extension = ".jpg";
        break;
    case PictureFileType::Gif:
        extension = ".gif";
        break;
    }
    return joinFolder(folder, std::to_string(index) + extension);
}

PictureSeriesWriter::PictureSeriesWriter(std::string folder, PictureFileType type, int jpegQuality,
                                         bool dither, GifColors colors)
    : m_folder(std::move(folder)), m_type(type), m_jpegQuality(jpegQuality), m_dither(dither),
      m_colors(colors) {}

bool PictureSeriesWriter::writeFrame(const Frame& frame, int index) {
    if (m_picture.width() != frame.width() || m_picture.height() != frame.height() ||
        m_picture.bitsPerPixel() != 24)
        m_picture = PictureImage(frame.width(), frame.height(), 24);
    const std::string path = pictureSeriesFileName(m_folder, m_type, index);
    Status saved;
    if (m_picture.isNull() || m_picture.stride() * m_picture.height() != frame.byteSize()) {
        saved = Status::failure("Cannot make a picture of the frame for " + path);
    } else {
        std::memcpy(m_picture.data(), frame.data(), frame.byteSize());
        const PictureImage* picture = &m_picture;
        if (m_type == PictureFileType::Gif) {
            const bool reduced = m_colors == GifColors::Adaptive
                                     ? m_adaptive.reduce(m_picture, m_dither, m_reduced)
                                     : reduceTo8Bits(m_picture, m_dither, m_reduced);
            if (!reduced)
                saved = Status::failure("Cannot reduce the colours of the frame for " + path);
            picture = &m_reduced;
        } else {
            m_picture.setJpegQuality(m_jpegQuality);
        }
        // Each picture is written beside its name and renamed into place when complete.
        if (saved) {
            saved = writeOutputFile(path, [&](const std::string& temp) {
                return savePictureFile(*picture, m_type, temp);
            });
        }
    }
    if (!saved) {
        // Skipped without stopping the series; remembered for the final report.
        if (m_failed++ == 0)
            m_firstFailure = saved.message();
    }
    return true;
}

bool PictureSeriesWriter::finish() {
    if (m_failed == 0)
        return true;
    m_error = std::to_string(m_failed) + (m_failed == 1 ? " picture" : " pictures") +
              " could not be written; the first: " + m_firstFailure;
    return false;
}

} // namespace swivio
