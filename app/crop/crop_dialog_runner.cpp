#include "app/crop/crop_dialog_runner.h"

#include "app/crop/crop_canvas.h"
#include "app/crop/crop_dialog.h"
#include "source/movie_source.h"

namespace swivio::app {

CropDialogRunner cropDialogOver(std::function<MovieSource*()> player) {
    return [player = std::move(player)](QWidget* parent, ConversionSettings& settings) {
        MovieSource* source = player ? player() : nullptr;
        const CropMovie movie{settings.movieWidth, settings.movieHeight,
                              source ? movieSnapshot(*source) : QImage()};
        CropWatermarkValues values = cropWatermarkValues(settings, nullptr);
        if (!editCrop(parent, values, movie))
            return false;
        storeCropWatermarkValues(values, settings);
        return true;
    };
}

} // namespace swivio::app
