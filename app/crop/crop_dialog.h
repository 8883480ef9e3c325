#pragma once

#include <QDialog>
#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "settings/conversion_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace swivio {
class PictureImage;
}

namespace swivio::app {

class CropCanvas;

// What the crop and watermark dialog edits: the crop and watermark fields of the settings,
// named as there, and the loaded watermark picture (shared with whoever else holds it).
struct CropWatermarkValues {
    int32_t cropX = 0;
    int32_t cropY = 0;
    int32_t cropWidth = 0;
    int32_t cropHeight = 0;
    bool watermarkEnabled = false;
    std::string watermarkFile;
    bool watermarkUseTransparentColor = false;
    uint32_t watermarkTransparentColor = 0; // 0x00BBGGRR
    bool watermarkUseTransparency = false;
    int32_t watermarkTransparency = 128; // 0 invisible .. 255 opaque
    int32_t watermarkX = 0;
    int32_t watermarkY = 0;
    int32_t watermarkWidth = 0;
    int32_t watermarkHeight = 0;
    bool watermarkKeepAspectRatio = true;
    std::shared_ptr<const PictureImage> watermarkPicture;
};

// The values a caller opens the dialog with: the crop of `settings`, and its watermark only
// while that is on (otherwise the watermark starts blank); keep-aspect always.
CropWatermarkValues cropWatermarkValues(const ConversionSettings& settings,
                                        std::shared_ptr<const PictureImage> picture);
// What a caller stores after OK: the crop; the watermark switch; and, only while the
// watermark is on, its file, rectangle, colour key, opacity and keep-aspect.
void storeCropWatermarkValues(const CropWatermarkValues& values, ConversionSettings& settings);

// The movie the dialog shows: its size in movie pixels and a still picture of it (any size
// with the movie's aspect ratio; movieSnapshot() makes one from a player).
struct CropMovie {
    int width = 0;
    int height = 0;
    QImage snapshot;
};

// The dialog's questions to the user; replaced in tests so that nothing blocks.
struct CropDialogPrompts {
    // The watermark picture to open, empty when cancelled.
    std::function<QString(QWidget* parent)> chooseFile;
    // A colour, or an invalid QColor when cancelled.
    std::function<QColor(QWidget* parent, const QColor& initial)> chooseColor;
    std::function<void(QWidget* parent, const QString& text)> tell;
};
CropDialogPrompts standardCropDialogPrompts();

// Runs the crop and watermark dialog modally over `values`; on OK they take what was chosen
// (the crop always, the watermark fields only while it is on) and true comes back; on Cancel
// nothing changes.
bool editCrop(QWidget* parent, CropWatermarkValues& values, const CropMovie& movie,
              CropDialogPrompts prompts = standardCropDialogPrompts());

// "Image crop and watermark": the crop dragged on the movie's snapshot, and the watermark
// picture chosen, placed and blended. Works on a copy of the caller's values.
class CropWatermarkDialog : public QDialog {
    Q_OBJECT
public:
    CropWatermarkDialog(const CropWatermarkValues& values, const CropMovie& movie,
                        QWidget* parent = nullptr,
                        CropDialogPrompts prompts = standardCropDialogPrompts());

    // The values as OK reads them back: a watermark without a file is off.
    CropWatermarkValues result() const;
    CropCanvas* canvas() const { return m_canvas; }

    void chooseWatermarkFile();
    void chooseTransparentColor();
    void fullArea();

private:
    void buildControls();
    void refreshWatermarkControls();
    void toggleTransparentColor(bool on);
    void toggleTransparency(bool on);
    void opacityChanged(int value);
    void keepAspectToggled(bool on);
    void writeNumbers();
    void refreshSwatch();
    void refreshComposition();

    CropWatermarkValues m_values;
    CropMovie m_movie;
    CropDialogPrompts m_prompts;
    std::shared_ptr<const PictureImage> m_picture;

    CropCanvas* m_canvas = nullptr;
    QLineEdit* m_cropX = nullptr;
    QLineEdit* m_cropY = nullptr;
    QLineEdit* m_cropWidth = nullptr;
    QLineEdit* m_cropHeight = nullptr;
    QPushButton* m_fullArea = nullptr;
    QCheckBox* m_addWatermark = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_browse = nullptr;
    QLineEdit* m_markX = nullptr;
    QLineEdit* m_markY = nullptr;
    QLineEdit* m_markWidth = nullptr;
    QLineEdit* m_markHeight = nullptr;
    QLabel* m_markLabels[4] = {};
    QCheckBox* m_useColor = nullptr;
    QPushButton* m_swatch = nullptr;
    QCheckBox* m_useOpacity = nullptr;
    QSlider* m_opacity = nullptr;
    QLabel* m_opacityLabel = nullptr;
    QCheckBox* m_keepAspect = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace swivio::app
