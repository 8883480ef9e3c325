#include "app/crop/crop_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "app/crop/crop_canvas.h"
#include "crop/watermark_picture.h"
#include "encode/image/picture_image.h"

namespace swivio::app {

namespace {

constexpr char kPictureFilter[] =
    "All supported image files (*.bmp *.png *.jpg *.jpeg *.gif *.BMP *.PNG *.JPG *.JPEG *.GIF);;"
    "BMP Files(*.bmp) (*.bmp *.BMP);;PNG Files(*.png) (*.png *.PNG);;"
    "JPEG Files(*.jpg,*.jpeg) (*.jpg *.jpeg *.JPG *.JPEG);;Gif Files(*.gif) (*.gif *.GIF);;"
    "All Files(*.*) (*)";

QColor toQColor(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

uint32_t fromQColor(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

QLineEdit* numberBox(QWidget* parent, const QString& name) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    edit->setFixedWidth(64);
    edit->setAccessibleName(name);
    return edit;
}

} // namespace

CropWatermarkValues cropWatermarkValues(const ConversionSettings& s,
                                        std::shared_ptr<const PictureImage> picture) {
    CropWatermarkValues v;
    v.cropX = s.cropX;
    v.cropY = s.cropY;
    v.cropWidth = s.cropWidth;
    v.cropHeight = s.cropHeight;
    v.watermarkEnabled = s.watermarkEnabled;
    v.watermarkKeepAspectRatio = s.watermarkKeepAspectRatio;
    if (!s.watermarkEnabled)
        return v;
    v.watermarkFile = s.watermarkFile;
    v.watermarkUseTransparentColor = s.watermarkUseTransparentColor;
    v.watermarkTransparentColor = s.watermarkTransparentColor;
    v.watermarkUseTransparency = s.watermarkUseTransparency;
    v.watermarkTransparency = s.watermarkTransparency;
    v.watermarkX = s.watermarkX;
    v.watermarkY = s.watermarkY;
    v.watermarkWidth = s.watermarkWidth;
    v.watermarkHeight = s.watermarkHeight;
    v.watermarkPicture = std::move(picture);
    return v;
}

void storeCropWatermarkValues(const CropWatermarkValues& v, ConversionSettings& s) {
    s.cropX = v.cropX;
    s.cropY = v.cropY;
    s.cropWidth = v.cropWidth;
    s.cropHeight = v.cropHeight;
    s.watermarkEnabled = v.watermarkEnabled;
    if (!v.watermarkEnabled)
        return;
    s.watermarkFile = v.watermarkFile;
    s.watermarkUseTransparentColor = v.watermarkUseTransparentColor;
    s.watermarkTransparentColor = v.watermarkTransparentColor;
    s.watermarkUseTransparency = v.watermarkUseTransparency;
    s.watermarkTransparency = v.watermarkTransparency;
    s.watermarkX = v.watermarkX;
    s.watermarkY = v.watermarkY;
    s.watermarkWidth = v.watermarkWidth;
    s.watermarkHeight = v.watermarkHeight;
    s.watermarkKeepAspectRatio = v.watermarkKeepAspectRatio;
}

CropDialogPrompts standardCropDialogPrompts() {
    CropDialogPrompts p;
    p.chooseFile = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), kPictureFilter);
    };
    p.chooseColor = [](QWidget* parent, const QColor& initial) {
        return QColorDialog::getColor(initial, parent);
    };
    p.tell = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QStringLiteral("Swivio"), text);
    };
    return p;
}

bool editCrop(QWidget* parent, CropWatermarkValues& values, const CropMovie& movie,
              CropDialogPrompts prompts) {
    CropWatermarkDialog dialog(values, movie, parent, std::move(prompts));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const CropWatermarkValues r = dialog.result();
    values.cropX = r.cropX;
    values.cropY = r.cropY;
    values.cropWidth = r.cropWidth;
    values.cropHeight = r.cropHeight;
    values.watermarkEnabled = r.watermarkEnabled;
    if (r.watermarkEnabled)
        values = r;
    return true;
}

CropWatermarkDialog::CropWatermarkDialog(const CropWatermarkValues& values, const CropMovie& movie,
                                         QWidget* parent, CropDialogPrompts prompts)
    : QDialog(parent), m_values(values), m_movie(movie), m_prompts(std::move(prompts)) {
    if (!m_values.watermarkEnabled) {
        // Only an enabled watermark comes in; the dialog starts blank otherwise.
        const bool keep = m_values.watermarkKeepAspectRatio;
        const CropWatermarkValues blank;
        m_values = blank;
        m_values.cropX = values.cropX;
        m_values.cropY = values.cropY;
        m_values.cropWidth = values.cropWidth;
        m_values.cropHeight = values.cropHeight;
        m_values.watermarkKeepAspectRatio = keep;
    }
    m_picture = m_values.watermarkPicture;
    if (m_values.watermarkEnabled && !m_picture && !m_values.watermarkFile.empty()) {
        // Settings name the picture by its file; a file gone since shows no watermark.
        WatermarkPictureResult loaded = loadWatermarkPicture(m_values.watermarkFile);
        if (loaded)
            m_picture = *loaded;
    }
    m_values.watermarkTransparency = std::clamp(m_values.watermarkTransparency, 0, 255);

    setWindowTitle(QStringLiteral("Image crop and watermark"));
    setProperty("helpPage", QStringLiteral("crop.html"));
    buildControls();

    m_canvas->setSnapshot(
        movie.snapshot, movie.width, movie.height,
        {m_values.cropX, m_values.cropY, m_values.cropWidth, m_values.cropHeight});
    m_canvas->model().setKeepAspect(m_values.watermarkKeepAspectRatio);
    m_opacity->setValue(m_values.watermarkTransparency);
    opacityChanged(m_values.watermarkTransparency);
    refreshSwatch();
    refreshWatermarkControls();
    m_canvas->setWatermarkPicture(m_picture, false,
                                  {m_values.watermarkX, m_values.watermarkY,
                                   m_values.watermarkWidth, m_values.watermarkHeight});
    writeNumbers();
}

void CropWatermarkDialog::buildControls() {
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(QStringLiteral("Drag to set the cropped area:"), this));

    auto* upper = new QHBoxLayout;
    m_canvas = new CropCanvas(this);
    upper->addWidget(m_canvas);
    auto* cropGrid = new QGridLayout;
    m_cropX = numberBox(this, QStringLiteral("Crop X"));
    m_cropY = numberBox(this, QStringLiteral("Crop Y"));
    m_cropWidth = numberBox(this, QStringLiteral("Crop width"));
    m_cropHeight = numberBox(this, QStringLiteral("Crop height"));
    const QString cropNames[] = {QStringLiteral("X:"), QStringLiteral("Y:"),
                                 QStringLiteral("Width:"), QStringLiteral("Height:")};
    QLineEdit* cropBoxes[] = {m_cropX, m_cropY, m_cropWidth, m_cropHeight};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(cropNames[i], this);
        label->setBuddy(cropBoxes[i]);
        cropGrid->addWidget(label, i, 0);
        cropGrid->addWidget(cropBoxes[i], i, 1);
    }
    m_fullArea = new QPushButton(QStringLiteral("&Full area"), this);
    cropGrid->addWidget(m_fullArea, 4, 0, 1, 2);
    cropGrid->setRowStretch(5, 1);
    upper->addLayout(cropGrid);
    top->addLayout(upper);

    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    m_addWatermark = new QCheckBox(QStringLiteral("Add &watermark "), group);
    m_addWatermark->setChecked(m_values.watermarkEnabled);
    grid->addWidget(m_addWatermark, 0, 0, 1, 4);
    m_file = new QLineEdit(QString::fromStdString(m_values.watermarkFile), group);
    m_file->setReadOnly(true);
    m_file->setAccessibleName(QStringLiteral("Watermark file"));
    m_file->setMinimumWidth(240);
    m_browse = new QPushButton(QStringLiteral("..."), group);
    m_browse->setAccessibleName(QStringLiteral("Choose the watermark picture"));
    m_browse->setFixedWidth(32);
    grid->addWidget(m_file, 1, 0, 1, 3);
    grid->addWidget(m_browse, 1, 3);

    m_useColor = new QCheckBox(QStringLiteral("Set transparent colo&r"), group);
    m_useColor->setChecked(m_values.watermarkUseTransparentColor);
    m_swatch = new QPushButton(group);
    m_swatch->setFixedSize(48, 22);
    m_swatch->setCursor(Qt::PointingHandCursor);
    m_swatch->setAccessibleName(QStringLiteral("Transparent colour"));
    grid->addWidget(m_useColor, 2, 0);
    grid->addWidget(m_swatch, 2, 1);

    m_useOpacity = new QCheckBox(QStringLiteral("Set transparenc&y"), group);
    m_useOpacity->setChecked(m_values.watermarkUseTransparency);
    m_opacity = new QSlider(Qt::Horizontal, group);
    m_opacity->setRange(0, 255);
    m_opacity->setTickPosition(QSlider::NoTicks);
    m_opacity->setAccessibleName(QStringLiteral("Opacity"));
    m_opacityLabel = new QLabel(QStringLiteral("Static"), group);
    m_opacityLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_opacityLabel->setMinimumWidth(36);
    grid->addWidget(m_useOpacity, 3, 0);
    grid->addWidget(m_opacity, 3, 1, 1, 2);
    grid->addWidget(m_opacityLabel, 3, 3);

    auto* place = new QGridLayout;
    m_markX = numberBox(group, QStringLiteral("Watermark X"));
    m_markY = numberBox(group, QStringLiteral("Watermark Y"));
    m_markWidth = numberBox(group, QStringLiteral("Watermark width"));
    m_markHeight = numberBox(group, QStringLiteral("Watermark height"));
    const QString markNames[] = {QStringLiteral("X:"), QStringLiteral("Y:"),
                                 QStringLiteral("Width:"), QStringLiteral("Height:")};
    QLineEdit* markBoxes[] = {m_markX, m_markY, m_markWidth, m_markHeight};
    for (int i = 0; i < 4; ++i) {
        m_markLabels[i] = new QLabel(markNames[i], group);
        m_markLabels[i]->setBuddy(markBoxes[i]);
        // X and Width on the first row, Y and Height on the second.
        place->addWidget(m_markLabels[i], i % 2, (i / 2) * 2);
        place->addWidget(markBoxes[i], i % 2, (i / 2) * 2 + 1);
    }
    m_keepAspect = new QCheckBox(QStringLiteral("Keep aspect ratio"), group);
    m_keepAspect->setChecked(m_values.watermarkKeepAspectRatio);
    place->addWidget(m_keepAspect, 2, 1, 1, 3);
    grid->addLayout(place, 1, 4, 3, 1);
    grid->setColumnStretch(2, 1);
    top->addWidget(group);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_ok = new QPushButton(QStringLiteral("&OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    top->addLayout(buttons);

    // Tab goes down the crop boxes, through the watermark controls row by row, then to the
    // placement boxes and the buttons.
    QWidget* order[] = {m_cropX,        m_cropY,      m_cropWidth, m_cropHeight, m_fullArea,
                        m_addWatermark, m_file,       m_browse,    m_useColor,   m_swatch,
                        m_useOpacity,   m_opacity,    m_markX,     m_markWidth,  m_markY,
                        m_markHeight,   m_keepAspect, m_ok,        m_cancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_canvas, &CropCanvas::valuesChanged, this, &CropWatermarkDialog::writeNumbers);
    connect(m_fullArea, &QPushButton::clicked, this, &CropWatermarkDialog::fullArea);
    connect(m_addWatermark, &QCheckBox::clicked, this,
            &CropWatermarkDialog::refreshWatermarkControls);
    connect(m_browse, &QPushButton::clicked, this, &CropWatermarkDialog::chooseWatermarkFile);
    connect(m_useColor, &QCheckBox::clicked, this, &CropWatermarkDialog::toggleTransparentColor);
    connect(m_useOpacity, &QCheckBox::clicked, this, &CropWatermarkDialog::toggleTransparency);
    connect(m_swatch, &QPushButton::clicked, this, &CropWatermarkDialog::chooseTransparentColor);
    connect(m_opacity, &QSlider::valueChanged, this, &CropWatermarkDialog::opacityChanged);
    connect(m_keepAspect, &QCheckBox::clicked, this, &CropWatermarkDialog::keepAspectToggled);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CropWatermarkDialog::refreshWatermarkControls() {
    const bool e = m_addWatermark->isChecked();
    const bool n = !m_file->text().isEmpty();
    m_values.watermarkEnabled = e;
    m_file->setEnabled(e);
    m_browse->setEnabled(e);
    for (QWidget* w : {static_cast<QWidget*>(m_useColor), static_cast<QWidget*>(m_useOpacity),
                       static_cast<QWidget*>(m_markX), static_cast<QWidget*>(m_markY),
                       static_cast<QWidget*>(m_markWidth), static_cast<QWidget*>(m_markHeight),
                       static_cast<QWidget*>(m_keepAspect)})
        w->setEnabled(e && n);
    for (QLabel* label : m_markLabels)
        label->setEnabled(e && n);
    m_swatch->setEnabled(e && n && m_values.watermarkUseTransparentColor);
    m_opacity->setEnabled(e && n && m_values.watermarkUseTransparency);
    m_opacityLabel->setEnabled(e && n && m_values.watermarkUseTransparency);
    m_canvas->model().setWatermarkEnabled(e);
    if (e && m_picture) {
        // The crop may have moved while the watermark was hidden: it comes back at its
        // offset from the crop corner, inside the crop.
        m_canvas->setWatermarkPicture(m_picture, false, m_canvas->model().watermark());
        writeNumbers();
    }
    refreshComposition();
}

void CropWatermarkDialog::toggleTransparentColor(bool on) {
    m_values.watermarkUseTransparentColor = on;
    m_swatch->setEnabled(on);
    if (on) {
        // The colour key and the opacity exclude each other.
        m_useOpacity->setChecked(false);
        m_values.watermarkUseTransparency = false;
        m_opacity->setEnabled(false);
        m_opacityLabel->setEnabled(false);
    }
    refreshComposition();
}

void CropWatermarkDialog::toggleTransparency(bool on) {
    m_values.watermarkUseTransparency = on;
    m_opacity->setEnabled(on);
    m_opacityLabel->setEnabled(on);
    if (on) {
        m_useColor->setChecked(false);
        m_values.watermarkUseTransparentColor = false;
        m_swatch->setEnabled(false);
    }
    refreshComposition();
}

void CropWatermarkDialog::chooseTransparentColor() {
    const QColor chosen = m_prompts.chooseColor(this, toQColor(m_values.watermarkTransparentColor));
    if (!chosen.isValid())
        return;
    m_values.watermarkTransparentColor = fromQColor(chosen);
    refreshSwatch();
    refreshComposition();
}

void CropWatermarkDialog::opacityChanged(int value) {
    m_values.watermarkTransparency = value;
    m_opacityLabel->setText(QString::fromStdString(opacityLabel(value)));
    refreshComposition();
}

void CropWatermarkDialog::keepAspectToggled(bool on) {
    m_canvas->model().setKeepAspect(on);
    m_canvas->model().applyKeepAspect();
    m_canvas->update();
    writeNumbers();
}

void CropWatermarkDialog::chooseWatermarkFile() {
    const QString path = m_prompts.chooseFile(this);
    if (path.isEmpty())
        return;
    WatermarkPictureResult loaded = loadWatermarkPicture(path.toStdString());
    if (!loaded) {
        // The message is the bare text; what changed nothing needs no more.
        m_prompts.tell(this, QString::fromStdString(loaded.message()));
        return;
    }
    m_file->setText(path);
    m_picture = *loaded;
    m_canvas->setWatermarkPicture(m_picture, true);
    refreshWatermarkControls();
    writeNumbers();
}

void CropWatermarkDialog::fullArea() {
    m_canvas->model().fullArea();
    m_canvas->update();
    writeNumbers();
}

void CropWatermarkDialog::writeNumbers() {
    const MovieRect crop = m_canvas->model().crop();
    const MovieRect mark = m_canvas->model().watermark();
    m_cropX->setText(QString::number(crop.x));
    m_cropY->setText(QString::number(crop.y));
    m_cropWidth->setText(QString::number(crop.width));
    m_cropHeight->setText(QString::number(crop.height));
    m_markX->setText(QString::number(mark.x));
    m_markY->setText(QString::number(mark.y));
    m_markWidth->setText(QString::number(mark.width));
    m_markHeight->setText(QString::number(mark.height));
}

void CropWatermarkDialog::refreshSwatch() {
    m_swatch->setStyleSheet(
        QStringLiteral("QPushButton:enabled { background-color: %1; border: 1px inset gray; }")
            .arg(toQColor(m_values.watermarkTransparentColor).name()));
}

void CropWatermarkDialog::refreshComposition() {
    ConversionSettings s;
    s.watermarkUseTransparentColor = m_values.watermarkUseTransparentColor;
    s.watermarkTransparentColor = m_values.watermarkTransparentColor;
    // The key takes precedence; the stamp would otherwise combine both.
    s.watermarkUseTransparency =
        m_values.watermarkUseTransparency && !m_values.watermarkUseTransparentColor;
    s.watermarkTransparency = m_values.watermarkTransparency;
    m_canvas->setComposition(s);
}

CropWatermarkValues CropWatermarkDialog::result() const {
    CropWatermarkValues r = m_values;
    const MovieRect crop = m_canvas->model().crop();
    const MovieRect mark = m_canvas->model().watermark();
    r.cropX = crop.x;
    r.cropY = crop.y;
    r.cropWidth = crop.width;
    r.cropHeight = crop.height;
    r.watermarkX = mark.x;
    r.watermarkY = mark.y;
    r.watermarkWidth = mark.width;
    r.watermarkHeight = mark.height;
    r.watermarkFile = m_file->text().toStdString();
    // A watermark switched on without a picture is dropped, so no conversion sees one.
    r.watermarkEnabled = m_addWatermark->isChecked() && !r.watermarkFile.empty() && m_picture;
    r.watermarkUseTransparentColor = m_useColor->isChecked();
    r.watermarkUseTransparency = m_useOpacity->isChecked();
    r.watermarkTransparency = m_opacity->value();
    r.watermarkKeepAspectRatio = m_keepAspect->isChecked();
    r.watermarkPicture = r.watermarkEnabled ? m_picture : nullptr;
    return r;
}

} // namespace swivio::app
