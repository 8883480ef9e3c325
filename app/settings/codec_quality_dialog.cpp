#include "app/settings/codec_quality_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include "settings/conversion_settings.h"

namespace swivio::app {

namespace {
// Where the slider waits while the usual setting is chosen: the middle of the scale.
constexpr int kMiddleQuality = 50;
} // namespace

CodecQualityDialog::CodecQualityDialog(const QString& codecName, int32_t quality,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName("CodecQualityDialog");
    setWindowTitle(codecName);
    m_usual = new QCheckBox("Use the compressor's &usual quality", this);
    m_usual->setObjectName("usualQuality");
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName("codecQualitySlider");
    m_slider->setRange(1, kAviQualityMax);
    m_slider->setValue(quality > 0 ? quality : kMiddleQuality);
    m_usual->setChecked(quality <= 0);
    m_value = new QLabel(this);
    auto* label = new QLabel("&Quality:", this);
    label->setBuddy(m_slider);
    auto* note = new QLabel("Higher quality makes larger files.", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_usual, 0, 0, 1, 3);
    grid->addWidget(label, 1, 0);
    grid->addWidget(m_slider, 1, 1);
    grid->addWidget(m_value, 1, 2);
    grid->addWidget(note, 2, 0, 1, 3);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_slider, &QSlider::valueChanged, this, [this] { showValue(); });
    connect(m_usual, &QCheckBox::toggled, this, [this] { showValue(); });
    showValue();
    setMinimumWidth(320);
}

int32_t CodecQualityDialog::quality() const {
    return m_usual->isChecked() ? 0 : m_slider->value();
}

void CodecQualityDialog::showValue() {
    m_slider->setEnabled(!m_usual->isChecked());
    m_value->setEnabled(!m_usual->isChecked());
    m_value->setText(QString::number(m_slider->value()));
}

} // namespace swivio::app
