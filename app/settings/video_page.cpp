#include "app/settings/video_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include "app/settings/crop_dialog_call.h"
#include "app/settings/general_page.h"
#include "app/settings/video_file_panel.h"
#include "app/settings/video_panels.h"
#include "settings/settings_checks.h"
#include "settings/settings_page_rules.h"
#include "settings/settings_rules.h"
#include "settings/video_file_rules.h"

namespace swivio::app {

namespace {

QLineEdit* digitsEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    // Digits only, and few enough that the number cannot overflow.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), edit));
    edit->setMaximumWidth(70);
    return edit;
}

QString num(int value) {
    return QString::number(value);
}

} // namespace

VideoPage::VideoPage(SettingsSheet& sheet) : SettingsPage(sheet) {
    setObjectName("VideoPage");
    setProperty("helpPage", "settings-video.html");
}

void VideoPage::build() {
    auto* sizeGroup = new QGroupBox("Frame size", this);
    m_keepOriginal = new QCheckBox("Keep &original size", sizeGroup);
    m_keepOriginal->setObjectName("keepOriginalCheck");
    m_keepAspect = new QCheckBox("Keep &aspect ratio", sizeGroup);
    m_keepAspect->setObjectName("keepAspectCheck");
    m_width = digitsEdit(sizeGroup, "widthEdit");
    m_height = digitsEdit(sizeGroup, "heightEdit");
    auto* widthLabel = new QLabel("&Width:", sizeGroup);
    widthLabel->setBuddy(m_width);
    auto* heightLabel = new QLabel("&Height:", sizeGroup);
    heightLabel->setBuddy(m_height);
    auto* sizeGrid = new QGridLayout(sizeGroup);
    sizeGrid->addWidget(m_keepOriginal, 0, 0, 1, 2);
    sizeGrid->addWidget(m_keepAspect, 1, 0, 1, 2);
    sizeGrid->addWidget(widthLabel, 2, 0);
    sizeGrid->addWidget(m_width, 2, 1);
    sizeGrid->addWidget(heightLabel, 3, 0);
    sizeGrid->addWidget(m_height, 3, 1);

    auto* cropGroup = new QGroupBox("Image crop and watermark", this);
    auto* cropGrid = new QGridLayout(cropGroup);
    const char* cropNames[] = {"cropXEdit", "cropYEdit", "cropWidthEdit", "cropHeightEdit"};
    const char* cropLabels[] = {"X:", "Y:", "W:", "H:"};
    for (int i = 0; i < 4; ++i) {
        m_crop[i] = digitsEdit(cropGroup, cropNames[i]);
        cropGrid->addWidget(new QLabel(cropLabels[i], cropGroup), i / 2, (i % 2) * 2);
        cropGrid->addWidget(m_crop[i], i / 2, (i % 2) * 2 + 1);
    }
    m_cropButton = new QPushButton("&Setting...", cropGroup);
    m_cropButton->setObjectName("cropSettingButton");
    m_cropButton->setAutoDefault(false);
    if (!cropDialogRunner())
        m_cropButton->setEnabled(false);
    cropGrid->addWidget(m_cropButton, 2, 0, 1, 4, Qt::AlignRight);

    const ConversionSettings& s = settings();
    m_avi = new AviPanel(s, this);
    m_mpeg = new MpegPanel(s, this);
    m_picture = new PicturePanel(s, this);
    m_videoFile = new VideoFilePanel(s, this);
    for (QWidget* panel : std::initializer_list<QWidget*>{m_avi, m_mpeg, m_picture, m_videoFile})
        panel->hide();

    auto* left = new QVBoxLayout;
    left->addWidget(sizeGroup);
    left->addWidget(cropGroup);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_avi);
    right->addWidget(m_mpeg);
    right->addWidget(m_picture);
    right->addWidget(m_videoFile);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);

    QWidget* order[] = {m_keepOriginal, m_keepAspect, m_width, m_height,  m_crop[0],
                        m_crop[1],      m_crop[2],    m_crop[3], m_cropButton, m_avi,
                        m_mpeg,         m_picture,    m_videoFile};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_width->installEventFilter(this);
    m_height->installEventFilter(this);
    connect(m_keepOriginal, &QCheckBox::clicked, this, [this] { applyKeepOriginal(); });
    connect(m_keepAspect, &QCheckBox::clicked, this, [this] {
        if (m_keepAspect->isChecked())
            applyKeepAspect();
    });
    connect(m_cropButton, &QPushButton::clicked, this, [this] { editCrop(); });
    connect(m_mpeg->typeList(), &QComboBox::currentIndexChanged, this, [this] { showPanel(); });
    connect(m_videoFile->frameSizeList(), &QComboBox::currentIndexChanged, this, [this] {
        // Back from an HD size, the edits show the frame size kept in the settings.
        const ConversionSettings& kept = settings();
        m_width->setText(num(m_keepOriginal->isChecked() ? kept.cropWidth : kept.aviWidth));
        m_height->setText(num(m_keepOriginal->isChecked() ? kept.cropHeight : kept.aviHeight));
        showPanel();
    });
    connect(m_videoFile->containerList(), &QComboBox::currentIndexChanged, this,
            [this] { sheet().generalPage()->followContainer(m_videoFile->container()); });
}

bool VideoPage::hdFrame() {
    return sheet().generalPage()->currentType() == OutputType::VideoFile &&
           m_videoFile->frameSize() != VideoFrameSize::Movie;
}

int VideoPage::number(const QLineEdit* edit) const {
    return readIntegerInRange(edit->text().toStdString(), 0, 99999).value_or(0);
}

bool VideoPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_width)
            m_widthOnFocus = number(m_width);
        else if (watched == m_height)
            m_heightOnFocus = number(m_height);
    } else if (event->type() == QEvent::FocusOut) {
        if (watched == m_width)
            widthLeft();
        else if (watched == m_height)
            heightLeft();
    }
    return SettingsPage::eventFilter(watched, event);
}

bool VideoPage::activate() {
    const ConversionSettings& s = settings();
    switch (sheet().generalPage()->currentType()) {
    case OutputType::Avi:
    case OutputType::VideoFile:
        m_keepOriginal->setChecked(s.aviKeepOriginalSize);
        m_keepAspect->setChecked(s.aviKeepAspectRatio);
        m_width->setText(num(s.aviWidth));
        m_height->setText(num(s.aviHeight));
        break;
    case OutputType::Mpeg:
        m_keepOriginal->setChecked(false);
        m_width->setText(num(s.mpegWidth));
        m_height->setText(num(s.mpegHeight));
        break;
    case OutputType::ImageSeries:
        m_keepOriginal->setChecked(s.imageKeepOriginalSize);
        m_keepAspect->setChecked(s.imageKeepAspectRatio);
        m_width->setText(num(s.imageWidth));
        m_height->setText(num(s.imageHeight));
        break;
    }
    const int crop[] = {s.cropX, s.cropY, s.cropWidth, s.cropHeight};
    for (int i = 0; i < 4; ++i)
        m_crop[i]->setText(num(crop[i]));
    const bool free = !m_keepOriginal->isChecked();
    m_keepAspect->setEnabled(free);
    m_width->setEnabled(free);
    m_height->setEnabled(free);
    showPanel();
    return true;
}

void VideoPage::showPanel() {
    const OutputType type = sheet().generalPage()->currentType();
    const ConversionMode mode = sheet().generalPage()->currentMode();
    m_avi->setVisible(type == OutputType::Avi);
    m_mpeg->setVisible(type == OutputType::Mpeg);
    m_picture->setVisible(type == OutputType::ImageSeries);
    m_videoFile->setVisible(type == OutputType::VideoFile);
    if (hdFrame()) {
        m_videoFile->refresh(mode);
        for (QWidget* w :
             std::initializer_list<QWidget*>{m_keepOriginal, m_keepAspect, m_width, m_height})
            w->setEnabled(false);
        ConversionSettings shown = settings();
        shown.videoFrameSize = m_videoFile->frameSize();
        const VideoFrameRequest size = videoFrameRequest(shown);
        m_width->setText(num(size.width));
        m_height->setText(num(size.height));
        return;
    }
    if (type == OutputType::Mpeg) {
        m_mpeg->refresh();
        m_keepOriginal->setChecked(false);
        m_keepAspect->setChecked(false);
        for (QWidget* w :
             std::initializer_list<QWidget*>{m_keepOriginal, m_keepAspect, m_width, m_height})
            w->setEnabled(false);
        const MpegPreset& preset = MpegPresetTable[static_cast<std::size_t>(m_mpeg->type())];
        m_width->setText(num(preset.width));
        m_height->setText(num(preset.height));
        return;
    }
    m_keepOriginal->setEnabled(true);
    applyKeepOriginal();
    if (type == OutputType::Avi)
        m_avi->refresh(mode);
    else if (type == OutputType::VideoFile)
        m_videoFile->refresh(mode);
    else
        m_picture->refresh(mode);
}

void VideoPage::applyKeepOriginal() {
    const bool keep = m_keepOriginal->isChecked();
    m_keepAspect->setEnabled(!keep);
    m_width->setEnabled(!keep);
    m_height->setEnabled(!keep);
    if (keep) {
        m_width->setText(m_crop[2]->text());
        m_height->setText(m_crop[3]->text());
    }
}

void VideoPage::applyKeepAspect() {
    if (const auto h =
            swivio::heightForWidth(number(m_width), number(m_crop[2]), number(m_crop[3])))
        m_height->setText(num(*h));
}

void VideoPage::widthLeft() {
    if (!m_keepAspect->isChecked() || number(m_width) == m_widthOnFocus)
        return;
    if (const auto h =
            swivio::heightForWidth(number(m_width), number(m_crop[2]), number(m_crop[3])))
        m_height->setText(num(*h));
}

void VideoPage::heightLeft() {
    if (!m_keepAspect->isChecked() || number(m_height) == m_heightOnFocus)
        return;
    if (const auto w =
            swivio::widthForHeight(number(m_height), number(m_crop[2]), number(m_crop[3])))
        m_width->setText(num(*w));
}

void VideoPage::editCrop() {
    CropDialogRunner& runner = cropDialogRunner();
    if (!runner || !readCrop(false))
        return;
    ConversionSettings edited = settings();
    CropRect crop;
    std::string texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = m_crop[i]->text().toStdString();
    if (const auto rect = readCropRect(texts, edited.movieWidth, edited.movieHeight, nullptr))
        crop = *rect;
    edited.cropX = crop.x;
    edited.cropY = crop.y;
    edited.cropWidth = crop.width;
    edited.cropHeight = crop.height;
    if (!runner(this, edited))
        return;
    const int values[] = {edited.cropX, edited.cropY, edited.cropWidth, edited.cropHeight};
    for (int i = 0; i < 4; ++i)
        m_crop[i]->setText(num(values[i]));
    if (m_keepOriginal->isChecked()) {
        m_width->setText(num(edited.cropWidth));
        m_height->setText(num(edited.cropHeight));
    }
    ConversionSettings& s = settings();
    s.watermarkEnabled = edited.watermarkEnabled;
    s.watermarkKeepAspectRatio = edited.watermarkKeepAspectRatio;
    if (edited.watermarkEnabled) {
        s.watermarkFile = edited.watermarkFile;
        s.watermarkUseTransparentColor = edited.watermarkUseTransparentColor;
        s.watermarkTransparentColor = edited.watermarkTransparentColor;
        s.watermarkUseTransparency = edited.watermarkUseTransparency;
        s.watermarkTransparency = edited.watermarkTransparency;
        s.watermarkX = edited.watermarkX;
        s.watermarkY = edited.watermarkY;
        s.watermarkWidth = edited.watermarkWidth;
        s.watermarkHeight = edited.watermarkHeight;
    }
}

// Reads the crop edits, saying which is wrong; with `store` they go into the settings.
bool VideoPage::readCrop(bool store) {
    std::string texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = m_crop[i]->text().toStdString();
    CropProblem problem;
    const ConversionSettings& s = settings();
    const auto rect = readCropRect(texts, s.movieWidth, s.movieHeight, &problem);
    if (!rect) {
        tell(QString::fromStdString(problem.message));
        m_crop[problem.edit]->setFocus();
        m_crop[problem.edit]->selectAll();
        return false;
    }
    if (store) {
        ConversionSettings& out = settings();
        out.cropX = rect->x;
        out.cropY = rect->y;
        out.cropWidth = rect->width;
        out.cropHeight = rect->height;
    }
    return true;
}

bool VideoPage::leave() {
    if (!readCrop(false))
        return false;
    const OutputType type = sheet().generalPage()->currentType();
    int width = 0;
    int height = 0;
    if (type != OutputType::Mpeg && !hdFrame()) {
        const struct {
            QLineEdit* edit;
            int low, high;
            int* value;
        } sizes[] = {{m_width, kMinFrameWidth, kMaxFrameWidth, &width},
                     {m_height, kMinFrameHeight, kMaxFrameHeight, &height}};
        for (const auto& size : sizes) {
            const auto value =
                readIntegerInRange(size.edit->text().toStdString(), size.low, size.high);
            if (!value) {
                tell(QString::fromStdString(integerRangeMessage(size.low, size.high)));
                size.edit->setFocus();
                size.edit->selectAll();
                return false;
            }
            *size.value = *value;
        }
    }
    ConversionSettings& s = settings();
    if (type == OutputType::Avi) {
        const auto rate = m_avi->rateBox()->rate();
        if (!rate) {
            tell(kInvalidFrameRateMessage);
            m_avi->rateBox()->setFocus();
            return false;
        }
        s.aviCodecIndex = m_avi->codecIndex();
        s.aviFourCC = m_avi->fourCC();
        s.aviQuality = m_avi->quality();
        s.aviFrameRate = *rate;
        s.aviKeepOriginalSize = m_keepOriginal->isChecked();
        s.aviKeepAspectRatio = m_keepAspect->isChecked();
        s.aviWidth = width;
        s.aviHeight = height;
    } else if (type == OutputType::Mpeg) {
        s.mpegType = m_mpeg->type();
        applyMpegPreset(s);
    } else if (type == OutputType::VideoFile) {
        const auto rate = m_videoFile->rateBox()->rate();
        if (!rate) {
            tell(kInvalidFrameRateMessage);
            m_videoFile->rateBox()->setFocus();
            return false;
        }
        m_videoFile->store(s);
        s.aviFrameRate = *rate;
        // An HD frame leaves the movie-size choice as it was.
        if (!hdFrame()) {
            s.aviKeepOriginalSize = m_keepOriginal->isChecked();
            s.aviKeepAspectRatio = m_keepAspect->isChecked();
            s.aviWidth = width;
            s.aviHeight = height;
        }
    } else {
        const auto rate = m_picture->rateBox()->rate();
        if (!rate) {
            tell(kInvalidFrameRateMessage);
            m_picture->rateBox()->setFocus();
            return false;
        }
        m_picture->store(s);
        s.imageFrameRate = *rate;
        s.imageKeepOriginalSize = m_keepOriginal->isChecked();
        s.imageKeepAspectRatio = m_keepAspect->isChecked();
        s.imageWidth = width;
        s.imageHeight = height;
    }
    return readCrop(true);
}

void VideoPage::commit() {
    std::string texts[4];
    for (int i = 0; i < 4; ++i)
        texts[i] = m_crop[i]->text().toStdString();
    const ConversionSettings& s = settings();
    if (const auto rect = readCropRect(texts, s.movieWidth, s.movieHeight, nullptr)) {
        ConversionSettings& out = settings();
        out.cropX = rect->x;
        out.cropY = rect->y;
        out.cropWidth = rect->width;
        out.cropHeight = rect->height;
    }
}

} // namespace swivio::app
