#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QLabel;
class QSlider;

namespace swivio::app {

// The compressor's one setting: its quality, 1 (smallest file) to 100 (best picture) on the
// compressor's own scale, or its usual setting.
class CodecQualityDialog : public QDialog {
public:
    // `quality` 0 means the compressor's usual setting.
    CodecQualityDialog(const QString& codecName, int32_t quality, QWidget* parent);
    int32_t quality() const;

private:
    void showValue();

    QCheckBox* m_usual = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_value = nullptr;
};

} // namespace swivio::app
