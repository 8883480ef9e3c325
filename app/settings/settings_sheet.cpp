#include "app/settings/settings_sheet.h"

#include <QDialogButtonBox>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/settings/audio_page.h"
#include "app/settings/general_page.h"
#include "app/settings/video_page.h"
#include "app/widgets/dialog_font.h"

namespace swivio::app {

void SettingsPage::makeOnce() {
    if (m_made)
        return;
    m_made = true;
    build();
}

ConversionSettings& SettingsPage::settings() {
    return m_sheet.settings();
}

void SettingsPage::tell(const QString& text) {
    if (m_sheet.prompter().tell)
        m_sheet.prompter().tell(this, text);
}

SettingsSheet::SettingsSheet(const ConversionSettings& settings, Prompter prompter, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_prompter(std::move(prompter)) {
    setObjectName("SettingsSheet");
    setWindowTitle("Settings");
    setModal(true);
    m_tabs = new QTabWidget(this);
    m_tabs->setFont(sheetFont());
    m_general = new GeneralPage(*this);
    m_video = new VideoPage(*this);
    m_audio = new AudioPage(*this);
    m_tabs->addTab(m_general, "General");
    m_tabs->addTab(m_video, "Video");
    m_tabs->addTab(m_audio, "Audio");
    m_general->makeOnce();
    m_general->activate();
    setProperty("helpPage", m_general->property("helpPage"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsSheet::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &SettingsSheet::onTabChanged);
}

SettingsPage* SettingsSheet::page(int index) const {
    switch (index) {
    case 0:
        return m_general;
    case 1:
        return m_video;
    case 2:
        return m_audio;
    default:
        return nullptr;
    }
}

bool SettingsSheet::showPage(int index) {
    m_tabs->setCurrentIndex(index);
    return m_tabs->currentIndex() == index;
}

void SettingsSheet::onTabChanged(int index) {
    SettingsPage* from = page(m_current);
    SettingsPage* to = page(index);
    if (!to || index == m_current)
        return;
    const auto stay = [this] {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(m_current);
    };
    if (from && !from->leave()) {
        stay();
        return;
    }
    to->makeOnce();
    if (!to->activate()) {
        stay();
        return;
    }
    m_current = index;
    // F1 shows the help of the page in front.
    setProperty("helpPage", to->property("helpPage"));
}

void SettingsSheet::accept() {
    if (SettingsPage* shown = page(m_current); shown && !shown->leave())
        return;
    for (SettingsPage* p :
         {static_cast<SettingsPage*>(m_general), static_cast<SettingsPage*>(m_video),
          static_cast<SettingsPage*>(m_audio)}) {
        if (p->isMade())
            p->commit();
    }
    QDialog::accept();
}

} // namespace swivio::app
