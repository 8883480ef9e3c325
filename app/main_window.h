#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

#include "settings/conversion_settings.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QToolButton;

namespace swivio {
class PlayerHost;
class SettingsStore;
} // namespace swivio

namespace swivio::app {

class PlayerView;

// How the main window talks to the user; replaced in tests so that no message box blocks.
struct Prompter {
    // A question with Yes and No, No being the default: true for Yes.
    std::function<bool(QWidget* parent, const QString& text)> ask;
    // A message with an OK button.
    std::function<void(QWidget* parent, const QString& text)> tell;
};
Prompter messageBoxPrompter();

// The program's main window: open a movie, read its properties and the export summary,
// preview it, and convert it. It owns the settings, read from `store` when it is made and
// written back when it goes.
class MainWindow : public QDialog {
    Q_OBJECT
public:
    explicit MainWindow(std::unique_ptr<SettingsStore> store, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens a movie without asking for it; false (and nothing changed) when it cannot be.
    bool openMovie(const QString& path);
    // Convert, as the button does.
    void convert();
    // The settings sheet over a copy of the settings, taken back on OK.
    void openSettings();
    void play();
    void pause();
    void stopPreview();

    void setPrompter(Prompter prompter) { m_prompter = std::move(prompter); }
    ConversionSettings& settings() { return m_settings; }
    PlayerHost* player() const { return m_player.get(); }
    // Writes the settings to the store now (also done when the window goes).
    void saveSettingsNow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void browse();
    void refreshPosition();
    void refreshSummary();
    void applyControlStates();
    void onSliderChanged(int value);
    void onSliderPressed();
    void onSliderReleased();
    void showHelpMenu();
    void showAbout();

    std::unique_ptr<SettingsStore> m_store;
    ConversionSettings m_settings;
    std::unique_ptr<PlayerHost> m_player;
    bool m_previewPlaying = false;
    Prompter m_prompter;
    QTimer m_positionTimer;

    PlayerView* m_view = nullptr;
    QLineEdit* m_fileEdit = nullptr;
    QToolButton* m_browse = nullptr;
    QSlider* m_slider = nullptr;
    QToolButton* m_play = nullptr;
    QToolButton* m_pause = nullptr;
    QToolButton* m_stop = nullptr;
    QLabel* m_position = nullptr;
    QLabel* m_movieSize = nullptr;
    QLabel* m_frameRate = nullptr;
    QLabel* m_lengthCaption = nullptr;
    QLabel* m_length = nullptr;
    QLabel* m_summaryType = nullptr;
    QLabel* m_summaryVideo = nullptr;
    QLabel* m_summaryAudio = nullptr;
    QLabel* m_summarySize = nullptr;
    QLabel* m_summaryRate = nullptr;
    QPushButton* m_settingsButton = nullptr;
    QPushButton* m_convert = nullptr;
    QPushButton* m_help = nullptr;
};

} // namespace swivio::app
