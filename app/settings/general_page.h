#pragma once

#include "app/settings/settings_sheet.h"
#include "settings/settings_page_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QCheckBox;
class QAbstractButton;

namespace swivio::app {

// Output type, output file or folder, recording mode, working folder and two options.
class GeneralPage : public SettingsPage {
public:
    explicit GeneralPage(SettingsSheet& sheet);

    // The choices as the user has made them so far, for the other pages.
    OutputType currentType() const;
    ConversionMode currentMode() const;
    // A video file's name takes the extension of the container chosen on the Video page.
    void followContainer(VideoContainer container);

    bool leave() override;
    void commit() override;

protected:
    void build() override;

private:
    void switchOutputControls();
    void browseOutput();
    void browseWorkFolder();
    void enableWorkFolder();
    GeneralPageValues read() const;

    GeneralPageValues m_values;
    QComboBox* m_type = nullptr;
    QLabel* m_outputLabel = nullptr;
    QLineEdit* m_outputFolder = nullptr;
    QLineEdit* m_outputFile = nullptr;
    QAbstractButton* m_outputBrowse = nullptr;
    QLabel* m_modeLabel = nullptr;
    QRadioButton* m_interactive = nullptr;
    QRadioButton* m_frameByFrame = nullptr;
    QRadioButton* m_sameFolder = nullptr;
    QRadioButton* m_otherFolder = nullptr;
    QLineEdit* m_workFolder = nullptr;
    QAbstractButton* m_workBrowse = nullptr;
    QCheckBox* m_captureCursor = nullptr;
    QCheckBox* m_openTarget = nullptr;
};

} // namespace swivio::app
