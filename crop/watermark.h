#pragma once

#include <cstdint>
#include <vector>

#include "base/frame.h"
#include "crop/frame_geometry.h"
#include "settings/conversion_settings.h"


namespace swivio {

class PictureImage;

// The watermark of a conversion, prepared once and drawn onto every output frame. The whole
// watermark picture is stretched onto its rectangle by dropping and repeating pixels; the
// rectangle's left edge is outputMarkX + (W - contentWidth) / 2 and its top edge
// outputMarkY + (H - contentHeight) / 2, and whatever falls outside the frame is cut off.
// Each pixel of the picture is drawn with a weight w: 0 where watermarkUseTransparentColor
// is set and the pixel is exactly that colour (the frame stays as it was), otherwise the
// picture's own alpha (255 for a picture without one) times a = watermarkTransparency &
// 0xFF when watermarkUseTransparency is set; each channel becomes (source x w + frame x
// (255 - w)) / 255, rounded. Colour key, alpha and opacity thus all combine.
class WatermarkStamp {
public:
    enum class Mode { Opaque, ColorKey, Blend, PerPixel };

    // `picture` is the watermark picture as loadWatermarkPicture gives it; it is copied
    // here, so it need not outlive the stamp. Inactive when watermarkEnabled is off, there
    // is no picture, or the rectangle is empty or wholly outside a frameWidth x frameHeight
    // frame.
    WatermarkStamp(const ConversionSettings& settings, const FrameGeometry& geometry,
                   const PictureImage* picture, int frameWidth, int frameHeight);

    bool isActive() const { return m_width > 0 && m_height > 0; }
    Mode mode() const { return m_mode; }

    // Draws onto `frame`, which must be frameWidth x frameHeight as constructed (another
    // size is left alone).
    void apply(Frame& frame) const;

private:
    Mode m_mode = Mode::Opaque;
    int m_alpha = 255;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    // The visible part of the stretched picture: its place in the frame (y from the top)
    // and its pixels, top row first, blue-green-red.
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_pixels;
    // ColorKey and PerPixel: each pixel's weight, 0 to 255 (ColorKey: 0 or 255 only).
    std::vector<uint8_t> m_weights;
};

} // namespace swivio
