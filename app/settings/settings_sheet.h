#pragma once

#include <QDialog>
#include <QWidget>

#include <array>

#include "app/main_window.h"
#include "settings/conversion_settings.h"

class QTabWidget;

namespace swivio::app {

class SettingsSheet;
class GeneralPage;
class VideoPage;
class AudioPage;

// One page of the settings sheet. Its controls are made the first time it is shown; a page
// never shown neither reads nor commits anything.
class SettingsPage : public QWidget {
public:
    explicit SettingsPage(SettingsSheet& sheet) : m_sheet(sheet) {}

    bool isMade() const { return m_made; }
    void makeOnce();
    // Loads the values when the page is shown; false refuses to show it.
    virtual bool activate() { return true; }
    // Reads, checks and stores the values when the page is left (also for OK while it is
    // shown); false keeps the user on the page, after saying why.
    virtual bool leave() = 0;
    // The sheet's OK, for every page that was made.
    virtual void commit() {}

protected:
    virtual void build() = 0;
    SettingsSheet& sheet() { return m_sheet; }
    ConversionSettings& settings();
    void tell(const QString& text);

private:
    SettingsSheet& m_sheet;
    bool m_made = false;
};

// The settings sheet: General, Video and Audio pages over a copy of the settings, with OK
// and Cancel. The caller takes settings() back only when exec() returns Accepted.
class SettingsSheet : public QDialog {
public:
    SettingsSheet(const ConversionSettings& settings, Prompter prompter, QWidget* parent = nullptr);

    ConversionSettings& settings() { return m_settings; }
    const Prompter& prompter() const { return m_prompter; }
    QTabWidget* tabs() const { return m_tabs; }
    GeneralPage* generalPage() const { return m_general; }
    VideoPage* videoPage() const { return m_video; }
    AudioPage* audioPage() const { return m_audio; }

    // Shows page `index` as a click on its tab does; false when a page refused.
    bool showPage(int index);

    void accept() override;

private:
    void onTabChanged(int index);
    SettingsPage* page(int index) const;

    ConversionSettings m_settings;
    Prompter m_prompter;
    QTabWidget* m_tabs = nullptr;
    GeneralPage* m_general = nullptr;
    VideoPage* m_video = nullptr;
    AudioPage* m_audio = nullptr;
    int m_current = 0;
};

} // namespace swivio::app
