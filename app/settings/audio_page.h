#pragma once

#include "app/settings/settings_sheet.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace swivio::app {

// Where the output's sound comes from and, for AVI, its format.
class AudioPage : public SettingsPage {
public:
    explicit AudioPage(SettingsSheet& sheet);

    bool activate() override;
    bool leave() override;

protected:
    void build() override;

private:
    AudioSource currentSource() const;
    void applySource();
    void browse();

    QRadioButton* m_none = nullptr;
    QRadioButton* m_record = nullptr;
    QRadioButton* m_import = nullptr;
    QLineEdit* m_file = nullptr;
    QAbstractButton* m_browse = nullptr;
    QComboBox* m_format = nullptr;
    QComboBox* m_channel = nullptr;
    QComboBox* m_bitRate = nullptr;
    QComboBox* m_sampleRate = nullptr;
    QLabel* m_formatLabel = nullptr;
    QLabel* m_channelLabel = nullptr;
    QLabel* m_bitRateLabel = nullptr;
    QLabel* m_kbps = nullptr;
    QLabel* m_sampleRateLabel = nullptr;
    QLabel* m_hz = nullptr;
};

} // namespace swivio::app
