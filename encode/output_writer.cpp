#include "encode/output_writer.h"

#include "encode/image/animated_gif_writer.h"
#include "encode/image/picture_series_writer.h"

namespace swivio {

Result<std::unique_ptr<FrameWriter>> openOutputWriter(const ConversionJob& job) {
    using R = Result<std::unique_ptr<FrameWriter>>;
    const ConversionSettings& s = job.settings;
    switch (s.convertType) {
    case OutputType::ImageSeries:
        switch (s.imageType) {
        case ImageType::Bmp:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Bmp,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::Png:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Png,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::Jpeg:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Jpeg,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::Gif:
            return R(std::make_unique<PictureSeriesWriter>(s.outputFolder, PictureFileType::Gif,
                                                           s.jpegQuality, s.gifDither));
        case ImageType::AnimatedGif:
            return R(std::make_unique<AnimatedGifWriter>(
                animatedGifFileName(s.outputFolder, s.sourcePath), s.imageFrameRate, s.gifDither));
        }
        return R::failure("Unknown picture type " + std::to_string(int(s.imageType)) + ".");
    case OutputType::Avi:
        // AVI writer: delete outputFile if it exists, open it with outputFile, W, H,
        // aviFrameRate and aviFourCC, then add the sound. Not connected yet.
        return R::failure(kOutputTypeUnavailableMessage);
    case OutputType::Mpeg:
        // MPEG writer: delete outputFile if it exists, select the preset of mpegType and open
        // it with outputFile and, unless audioSource is None, audioPath. Not connected yet.
        return R::failure(kOutputTypeUnavailableMessage);
    }
    return R::failure("Unknown output type " + std::to_string(int(s.convertType)) + ".");
}

} // namespace swivio
