#include "app/settings/video_panels.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <vector>

#include "app/settings/codec_quality_dialog.h"
#include "encode/avi/video_compressor_list.h"
#include "settings/settings_page_rules.h"

namespace swivio::app {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* buddyLabel(const char* text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QString percent(int value) {
    return QString("%1%").arg(value);
}

} // namespace

FrameRateBox::FrameRateBox(float rate, float movieRate, QWidget* parent)
    : QWidget(parent), m_movieRate(movieRate) {
    m_box = new QComboBox(this);
    m_box->setObjectName("frameRateBox");
    m_box->setEditable(true);
    m_box->setInsertPolicy(QComboBox::NoInsert);
    for (const char* text : FrameRateList)
        m_box->addItem(text);
    m_box->setCurrentIndex(-1);
    // The stored rate as it is: truncating it here would change it by merely opening the page.
    m_box->setEditText(qs(lockedFrameRateText(rate)));
    m_box->installEventFilter(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_box, 1);
    layout->addWidget(new QLabel("fps", this));
    setFocusProxy(m_box);
    connect(m_box, &QComboBox::activated, this, [this](int index) {
        if (index != 0)
            return;
        // After the list has finished putting "Original" into the box.
        QTimer::singleShot(0, this, [this] {
            m_box->setEditText(qs(originalFrameRateText(m_movieRate)));
            m_box->lineEdit()->selectAll();
        });
    });
}

void FrameRateBox::setLocked(bool locked) {
    m_locked = locked;
    if (locked)
        m_box->setEditText(qs(lockedFrameRateText(m_movieRate)));
    m_box->setEnabled(!locked);
}

std::optional<float> FrameRateBox::rate() const {
    // A locked rate is the movie's own, not the rounded text.
    if (m_locked && m_movieRate > 0)
        return m_movieRate;
    return readFrameRate(m_box->currentText().trimmed().toStdString());
}

bool FrameRateBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !m_locked) {
        if (const auto value = readFrameRate(m_box->currentText().trimmed().toStdString()))
            m_box->setEditText(qs(frameRateText(*value)));
    }
    return QWidget::eventFilter(watched, event);
}

// ---- AVI -------------------------------------------------------------------------------------

AviPanel::AviPanel(const ConversionSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_quality(settings.aviQuality) {
    setObjectName("AviPanel");
    m_codec = new QComboBox(this);
    m_codec->setObjectName("codecList");
    m_configure = new QPushButton("Confi&gure...", this);
    m_configure->setObjectName("configureButton");
    m_about = new QPushButton("&About...", this);
    m_about->setObjectName("aboutCodecButton");
    m_rate = new FrameRateBox(settings.aviFrameRate, settings.movieFrameRate, this);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(buddyLabel("&Codec:", m_codec, this), 0, 0);
    grid->addWidget(m_codec, 0, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_configure);
    buttons->addWidget(m_about);
    grid->addLayout(buttons, 1, 1, 1, 2);
    grid->addWidget(buddyLabel("&Frame rate:", m_rate->box(), this), 2, 0);
    grid->addWidget(m_rate, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    setTabOrder(m_codec, m_configure);
    setTabOrder(m_configure, m_about);
    setTabOrder(m_about, m_rate->box());
    connect(m_codec, &QComboBox::currentIndexChanged, this, [this] { onCodecChanged(); });
    connect(m_about, &QAbstractButton::clicked, this, [this] {
        QMessageBox::about(this, m_codec->currentText(), qs(videoCompressorAbout(fourCC())));
    });
    // A compressor's one setting is its quality.
    connect(m_configure, &QAbstractButton::clicked, this, [this] {
        CodecQualityDialog dialog(m_codec->currentText(), m_quality, this);
        if (dialog.exec() == QDialog::Accepted)
            m_quality = dialog.quality();
    });
    m_configure->setEnabled(false);
    m_about->setEnabled(false);
}

void AviPanel::fillCodecs() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QSignalBlocker block(m_codec);
    std::vector<uint32_t> fourCCs;
    for (const VideoCompressorInfo& info : videoCompressors()) {
        m_codec->addItem(qs(info.name), QVariant::fromValue(info.fourCC));
        fourCCs.push_back(info.fourCC);
    }
    m_codec->setCurrentIndex(
        codecListIndex(fourCCs, m_settings.aviFourCC, m_settings.aviCodecIndex));
    QApplication::restoreOverrideCursor();
    onCodecChanged();
}

void AviPanel::refresh(ConversionMode mode) {
    m_codec->setFocus();
    if (m_codec->count() == 0)
        fillCodecs();
    m_rate->setLocked(mode == ConversionMode::FrameByFrame);
}

void AviPanel::onCodecChanged() {
    const uint32_t code = fourCC();
    m_configure->setEnabled(code != 0 && videoCompressorHasConfiguration(code));
    m_about->setEnabled(code != 0 && videoCompressorHasAbout(code));
}

int32_t AviPanel::codecIndex() const {
    return m_codec->currentIndex() < 0 ? 0 : m_codec->currentIndex();
}

uint32_t AviPanel::fourCC() const {
    return m_codec->currentData().toUInt();
}

// ---- MPEG ------------------------------------------------------------------------------------

MpegPanel::MpegPanel(const ConversionSettings& settings, QWidget* parent) : QWidget(parent) {
    setObjectName("MpegPanel");
    m_type = new QComboBox(this);
    m_type->setObjectName("mpegTypeList");
    for (const MpegPreset& preset : MpegPresetTable)
        m_type->addItem(preset.name);
    m_type->setCurrentIndex(isValidMpegType(settings.mpegType) ? static_cast<int>(settings.mpegType)
                                                               : 0);
    m_rate = new QComboBox(this);
    m_rate->setObjectName("mpegRateList");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(buddyLabel("MPEG &type:", m_type, this), 0, 0);
    grid->addWidget(m_type, 0, 1, 1, 2);
    grid->addWidget(buddyLabel("Frame &rate:", m_rate, this), 1, 0);
    grid->addWidget(m_rate, 1, 1);
    grid->addWidget(new QLabel("fps", this), 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
}

void MpegPanel::refresh() {
    m_type->setFocus();
    m_rate->clear();
    m_rate->addItem(MpegPresetTable[static_cast<std::size_t>(type())].frameRateText);
    m_rate->setCurrentIndex(0);
}

MpegType MpegPanel::type() const {
    return static_cast<MpegType>(std::max(0, m_type->currentIndex()));
}

// ---- Pictures --------------------------------------------------------------------------------

PicturePanel::PicturePanel(const ConversionSettings& settings, QWidget* parent) : QWidget(parent) {
    setObjectName("PicturePanel");
    m_type = new QComboBox(this);
    m_type->setObjectName("imageTypeList");
    for (const char* name : kImageTypeNames)
        m_type->addItem(name);
    const int type = static_cast<int>(settings.imageType);
    m_type->setCurrentIndex(type >= 0 && type < m_type->count() ? type : 0);
    m_quality = new QSlider(Qt::Horizontal, this);
    m_quality->setObjectName("qualitySlider");
    m_quality->setRange(kJpegQualityMin, kJpegQualityMax);
    m_quality->setValue(settings.jpegQuality);
    m_qualityLabel = buddyLabel("Jpeg &quality:", m_quality, this);
    m_qualityValue = new QLabel(percent(m_quality->value()), this);
    m_dithered = new QCheckBox("&Dithered", this);
    m_dithered->setObjectName("ditheredCheck");
    m_dithered->setChecked(settings.gifDither);
    m_adaptive = new QCheckBox("Adaptive &palette", this);
    m_adaptive->setObjectName("adaptivePaletteCheck");
    m_adaptive->setChecked(settings.gifPalette == GifPalette::Adaptive);
    m_rate = new FrameRateBox(settings.imageFrameRate, settings.movieFrameRate, this);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(buddyLabel("Image &type:", m_type, this), 0, 0);
    grid->addWidget(m_type, 0, 1, 1, 2);
    grid->addWidget(m_qualityLabel, 1, 0);
    grid->addWidget(m_quality, 1, 1);
    grid->addWidget(m_qualityValue, 1, 2);
    grid->addWidget(m_dithered, 2, 1);
    grid->addWidget(m_adaptive, 3, 1);
    grid->addWidget(buddyLabel("Frame &rate:", m_rate->box(), this), 4, 0);
    grid->addWidget(m_rate, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    connect(m_quality, &QSlider::valueChanged, this,
            [this](int value) { m_qualityValue->setText(percent(value)); });
    connect(m_type, &QComboBox::currentIndexChanged, this, [this] { applyVisibility(); });
    applyVisibility();
}

void PicturePanel::applyVisibility() {
    const auto type = static_cast<ImageType>(m_type->currentIndex());
    const bool jpeg = type == ImageType::Jpeg;
    const bool gif = type == ImageType::Gif || type == ImageType::AnimatedGif;
    m_qualityLabel->setVisible(jpeg);
    m_quality->setVisible(jpeg);
    m_qualityValue->setVisible(jpeg);
    m_dithered->setVisible(gif);
    m_adaptive->setVisible(gif);
}

void PicturePanel::refresh(ConversionMode mode) {
    m_type->setFocus();
    m_rate->setLocked(mode == ConversionMode::FrameByFrame);
}

void PicturePanel::store(ConversionSettings& settings) const {
    settings.imageType = static_cast<ImageType>(std::max(0, m_type->currentIndex()));
    settings.jpegQuality = m_quality->value();
    settings.gifDither = m_dithered->isChecked();
    settings.gifPalette = m_adaptive->isChecked() ? GifPalette::Adaptive : GifPalette::Standard;
}

} // namespace swivio::app
