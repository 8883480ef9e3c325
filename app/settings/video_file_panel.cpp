#include "app/settings/video_file_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>

#include "app/settings/video_panels.h"

namespace swivio::app {

namespace {

QLabel* buddyLabel(const char* text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

template <std::size_t N>
QComboBox* listOf(const std::array<const char*, N>& names, int current, const char* objectName,
                  QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(objectName);
    for (const char* name : names)
        list->addItem(name);
    list->setCurrentIndex(current >= 0 && current < int(N) ? current : 0);
    return list;
}

} // namespace

VideoFilePanel::VideoFilePanel(const ConversionSettings& settings, QWidget* parent)
    : QWidget(parent) {
    setObjectName("VideoFilePanel");
    m_container = listOf(kVideoContainerNames, int(settings.videoContainer), "containerList", this);
    m_codec = new QComboBox(this);
    m_codec->setObjectName("videoCodecList");
    m_quality = new QSlider(Qt::Horizontal, this);
    m_quality->setObjectName("videoQualitySlider");
    // 0 stands for the encoder's usual quality.
    m_quality->setRange(0, kVideoQualityMax);
    m_quality->setValue(std::clamp(settings.videoQuality, 0, kVideoQualityMax));
    m_qualityValue = new QLabel(this);
    m_qualityValue->setMinimumWidth(m_qualityValue->fontMetrics().horizontalAdvance("Usual  "));
    m_speed = listOf(kVideoSpeedNames, int(settings.videoSpeed), "videoSpeedList", this);
    m_size = listOf(kVideoFrameSizeNames, int(settings.videoFrameSize), "videoFrameSizeList", this);
    m_rate = new FrameRateBox(settings.aviFrameRate, settings.movieFrameRate, this);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(buddyLabel("C&ontainer:", m_container, this), 0, 0);
    grid->addWidget(m_container, 0, 1, 1, 2);
    grid->addWidget(buddyLabel("&Codec:", m_codec, this), 1, 0);
    grid->addWidget(m_codec, 1, 1, 1, 2);
    grid->addWidget(buddyLabel("&Quality:", m_quality, this), 2, 0);
    grid->addWidget(m_quality, 2, 1);
    grid->addWidget(m_qualityValue, 2, 2);
    grid->addWidget(buddyLabel("S&peed:", m_speed, this), 3, 0);
    grid->addWidget(m_speed, 3, 1, 1, 2);
    grid->addWidget(buddyLabel("Frame si&ze:", m_size, this), 4, 0);
    grid->addWidget(m_size, 4, 1, 1, 2);
    grid->addWidget(buddyLabel("Frame &rate:", m_rate->box(), this), 5, 0);
    grid->addWidget(m_rate, 5, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(6, 1);
    QWidget* order[] = {m_container, m_codec, m_quality, m_speed, m_size, m_rate->box()};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    fillCodecs(settings.videoCodec);
    showQuality(m_quality->value());
    connect(m_quality, &QSlider::valueChanged, this, [this](int value) { showQuality(value); });
    connect(m_container, &QComboBox::currentIndexChanged, this,
            [this] { fillCodecs(static_cast<VideoCodec>(m_codec->currentData().toInt())); });
}

void VideoFilePanel::fillCodecs(VideoCodec wanted) {
    const QSignalBlocker block(m_codec);
    m_codec->clear();
    for (std::size_t i = 0; i < kVideoCodecNames.size(); ++i) {
        if (!videoCodecFits(container(), VideoCodec(i)))
            continue;
        m_codec->addItem(kVideoCodecNames[i], int(i));
        if (VideoCodec(i) == wanted)
            m_codec->setCurrentIndex(m_codec->count() - 1);
    }
}

void VideoFilePanel::showQuality(int value) {
    m_qualityValue->setText(value == 0 ? QString("Usual") : QString::number(value));
}

void VideoFilePanel::refresh(ConversionMode mode) {
    m_container->setFocus();
    m_rate->setLocked(mode == ConversionMode::FrameByFrame);
}

VideoContainer VideoFilePanel::container() const {
    return static_cast<VideoContainer>(std::max(0, m_container->currentIndex()));
}

VideoFrameSize VideoFilePanel::frameSize() const {
    return static_cast<VideoFrameSize>(std::max(0, m_size->currentIndex()));
}

void VideoFilePanel::store(ConversionSettings& settings) const {
    settings.videoContainer = container();
    settings.videoCodec = static_cast<VideoCodec>(m_codec->currentData().toInt());
    settings.videoQuality = m_quality->value();
    settings.videoSpeed = static_cast<VideoSpeed>(std::max(0, m_speed->currentIndex()));
    settings.videoFrameSize = frameSize();
    // WebM has no AAC: the Audio page then offers Opus alone.
    if (!videoSoundFits(settings.videoContainer, settings.videoSound))
        settings.videoSound = VideoSound::Opus;
}

} // namespace swivio::app
