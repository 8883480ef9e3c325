#pragma once

#include "app/settings/settings_sheet.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace swivio::app {

class AviPanel;
class MpegPanel;
class PicturePanel;
class VideoFilePanel;

// Frame size, crop rectangle and the panel of the current output type.
class VideoPage : public SettingsPage {
public:
    explicit VideoPage(SettingsSheet& sheet);

    bool activate() override;
    bool leave() override;
    void commit() override;

protected:
    void build() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPanel();
    void applyKeepOriginal();
    void applyKeepAspect();
    void widthLeft();
    void heightLeft();
    void editCrop();
    int number(const QLineEdit* edit) const;
    bool readCrop(bool store);
    // True while a video file's HD frame size replaces the size edits.
    bool hdFrame();

    QCheckBox* m_keepOriginal = nullptr;
    QCheckBox* m_keepAspect = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_crop[4] = {};
    QPushButton* m_cropButton = nullptr;
    AviPanel* m_avi = nullptr;
    MpegPanel* m_mpeg = nullptr;
    PicturePanel* m_picture = nullptr;
    VideoFilePanel* m_videoFile = nullptr;
    int m_widthOnFocus = 0;
    int m_heightOnFocus = 0;
};

} // namespace swivio::app
