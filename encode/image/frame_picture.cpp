#include "encode/image/frame_picture.h"

#include "encode/image/color_reduction.h"
#include "encode/image/picture_image.h"

namespace swivio {

PictureFileType pictureFileTypeForName(const std::string& path) {
    return pictureFileTypeForPath(path).value_or(PictureFileType::Png);
}

Status saveFramePicture(const Frame& frame, PictureFileType type, const std::string& path,
                        int jpegQuality, bool dither) {
    PictureImage picture = PictureImage::fromFrame(frame);
    if (picture.isNull())
        return Status::failure("Cannot make a picture of the frame for " + path);
    if (type != PictureFileType::Gif) {
        picture.setJpegQuality(jpegQuality);
        return savePictureFile(picture, type, path);
    }
    PictureImage reduced;
    if (!reduceTo8Bits(picture, dither, reduced))
        return Status::failure("Cannot reduce the colours of the frame for " + path);
    return savePictureFile(reduced, type, path);
}

} // namespace swivio
