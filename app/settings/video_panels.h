#pragma once

#include <QWidget>

#include <optional>

#include "settings/conversion_settings.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace swivio::app {

// The editable frame-rate box of the AVI and picture panels: "Original" puts the movie's
// rate, leaving it tidies the text, and while locked to a frame-by-frame recording it shows
// the movie's own rate, fraction kept.
class FrameRateBox : public QWidget {
public:
    FrameRateBox(float rate, float movieRate, QWidget* parent);

    QComboBox* box() const { return m_box; }
    void setLocked(bool locked);
    // The rate, or nullopt (after "Invalid frame rate!" was said by the caller) when the
    // text is not a number above 0.
    std::optional<float> rate() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* m_box = nullptr;
    float m_movieRate = 0;
    bool m_locked = false;
};

// AVI: the compressor list with About and Configure, and the frame rate.
class AviPanel : public QWidget {
public:
    AviPanel(const ConversionSettings& settings, QWidget* parent);
    void refresh(ConversionMode mode);
    int32_t codecIndex() const;
    uint32_t fourCC() const;
    // 0: the compressor's usual quality.
    int32_t quality() const { return m_quality; }
    FrameRateBox* rateBox() const { return m_rate; }
    QComboBox* codecList() const { return m_codec; }

private:
    void fillCodecs();
    void onCodecChanged();

    const ConversionSettings& m_settings;
    QComboBox* m_codec = nullptr;
    QAbstractButton* m_configure = nullptr;
    QAbstractButton* m_about = nullptr;
    FrameRateBox* m_rate = nullptr;
    int32_t m_quality = 0;
};

// MPEG: the six types; each fixes the frame rate shown.
class MpegPanel : public QWidget {
public:
    MpegPanel(const ConversionSettings& settings, QWidget* parent);
    void refresh();
    MpegType type() const;
    QComboBox* typeList() const { return m_type; }

private:
    QComboBox* m_type = nullptr;
    QComboBox* m_rate = nullptr;
};

// Pictures: type, JPEG quality, dithering, palette and frame rate.
class PicturePanel : public QWidget {
public:
    PicturePanel(const ConversionSettings& settings, QWidget* parent);
    void refresh(ConversionMode mode);
    void store(ConversionSettings& settings) const;
    FrameRateBox* rateBox() const { return m_rate; }

private:
    void applyVisibility();

    QComboBox* m_type = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QSlider* m_quality = nullptr;
    QLabel* m_qualityValue = nullptr;
    QCheckBox* m_dithered = nullptr;
    QCheckBox* m_adaptive = nullptr;
    FrameRateBox* m_rate = nullptr;
};

} // namespace swivio::app
