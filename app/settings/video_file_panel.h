#pragma once

#include <QWidget>

#include "settings/conversion_settings.h"

class QComboBox;
class QLabel;
class QSlider;

namespace swivio::app {

class FrameRateBox;

// MP4, MKV and WebM: container, codec (the ones the container holds), quality, encoder
// speed, frame size and frame rate.
class VideoFilePanel : public QWidget {
public:
    VideoFilePanel(const ConversionSettings& settings, QWidget* parent);
    void refresh(ConversionMode mode);
    // Writes the panel's choices; the frame rate is the caller's to read and check.
    void store(ConversionSettings& settings) const;
    VideoContainer container() const;
    VideoFrameSize frameSize() const;
    FrameRateBox* rateBox() const { return m_rate; }
    QComboBox* containerList() const { return m_container; }
    QComboBox* frameSizeList() const { return m_size; }

private:
    void fillCodecs(VideoCodec wanted);
    void showQuality(int value);

    QComboBox* m_container = nullptr;
    QComboBox* m_codec = nullptr;
    QSlider* m_quality = nullptr;
    QLabel* m_qualityValue = nullptr;
    QComboBox* m_speed = nullptr;
    QComboBox* m_size = nullptr;
    FrameRateBox* m_rate = nullptr;
};

} // namespace swivio::app
