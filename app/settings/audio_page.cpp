#include "app/settings/audio_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/settings/general_page.h"
#include "app/widgets/image_button.h"
#include "settings/settings_checks.h"
#include "settings/settings_page_rules.h"

namespace swivio::app {

namespace {

void fill(QComboBox* list, const std::vector<std::string>& items, int selected) {
    list->clear();
    for (const std::string& item : items)
        list->addItem(QString::fromStdString(item));
    list->setCurrentIndex(selected);
}

} // namespace

AudioPage::AudioPage(SettingsSheet& sheet) : SettingsPage(sheet) {
    setObjectName("AudioPage");
    setProperty("helpPage", "settings-audio.html");
}

void AudioPage::build() {
    auto* sourceLabel = new QLabel("Audio source:", this);
    m_none = new QRadioButton("&No audio", this);
    m_none->setObjectName("noAudioRadio");
    m_record = new QRadioButton("&Record from current Flash movie", this);
    m_record->setObjectName("recordRadio");
    m_import = new QRadioButton("&Import from other audio file", this);
    m_import->setObjectName("importRadio");
    auto* group = new QButtonGroup(this);
    group->addButton(m_none, 0);
    group->addButton(m_record, 1);
    group->addButton(m_import, 2);
    m_file = new QLineEdit(this);
    m_file->setObjectName("audioFileEdit");
    auto* browse = new ImageButton(this);
    browse->setObjectName("audioBrowse");
    browse->setText("...");
    browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setFocusPolicy(Qt::StrongFocus);
    browse->setAccessibleName("Browse");
    m_browse = browse;
    const auto list = [this](const char* name) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        return box;
    };
    m_format = list("formatList");
    m_channel = list("channelList");
    m_bitRate = list("bitRateList");
    m_sampleRate = list("sampleRateList");
    m_formatLabel = new QLabel("&Audio format:", this);
    m_channelLabel = new QLabel("&Channel:", this);
    m_bitRateLabel = new QLabel("&Bit rate:", this);
    m_sampleRateLabel = new QLabel("&Sample rate:", this);
    m_kbps = new QLabel("kbps", this);
    m_hz = new QLabel("Hz", this);
    m_formatLabel->setBuddy(m_format);
    m_channelLabel->setBuddy(m_channel);
    m_bitRateLabel->setBuddy(m_bitRate);
    m_sampleRateLabel->setBuddy(m_sampleRate);

    auto* fileRow = new QHBoxLayout;
    fileRow->addSpacing(20);
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_browse);
    auto* grid = new QGridLayout;
    grid->addWidget(m_formatLabel, 0, 0);
    grid->addWidget(m_format, 0, 1);
    grid->addWidget(m_channelLabel, 1, 0);
    grid->addWidget(m_channel, 1, 1);
    grid->addWidget(m_sampleRateLabel, 2, 0);
    grid->addWidget(m_sampleRate, 2, 1);
    grid->addWidget(m_hz, 2, 2);
    grid->addWidget(m_bitRateLabel, 3, 0);
    grid->addWidget(m_bitRate, 3, 1);
    grid->addWidget(m_kbps, 3, 2);
    grid->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sourceLabel);
    layout->addWidget(m_none);
    layout->addWidget(m_record);
    layout->addWidget(m_import);
    layout->addLayout(fileRow);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addStretch(1);
    QWidget* order[] = {m_none,   m_record,  m_import,     m_file,   m_browse,
                        m_format, m_channel, m_sampleRate, m_bitRate};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(group, &QButtonGroup::idClicked, this, [this] { applySource(); });
    connect(m_format, &QComboBox::currentIndexChanged, this, [this] { applySource(); });
    connect(m_browse, &QAbstractButton::clicked, this, [this] { this->browse(); });
}

AudioSource AudioPage::currentSource() const {
    if (m_import->isChecked())
        return AudioSource::ImportFile;
    if (m_record->isChecked())
        return AudioSource::RecordFromMovie;
    return AudioSource::None;
}

bool AudioPage::activate() {
    const GeneralPage* general = sheet().generalPage();
    const OutputType type = general->currentType();
    if (type == OutputType::ImageSeries) {
        tell(kNoAudioForImagesMessage);
        return false;
    }
    const ConversionSettings& s = settings();
    const AudioLists lists = audioLists(s, type, s.mpegType);
    fill(m_format, lists.formats, lists.format);
    fill(m_channel, lists.channels, lists.channel);
    fill(m_bitRate, lists.bitRates, lists.bitRate);
    fill(m_sampleRate, lists.sampleRates, lists.sampleRate);
    AudioSource source = s.audioSource;
    m_file->setText(source == AudioSource::ImportFile ? QString::fromStdString(s.audioFile)
                                                      : QString());
    const bool canRecord = canRecordMovieSound(general->currentMode());
    m_record->setEnabled(canRecord);
    if (!canRecord && source == AudioSource::RecordFromMovie)
        source = AudioSource::None;
    (source == AudioSource::ImportFile        ? m_import
     : source == AudioSource::RecordFromMovie ? m_record
                                              : m_none)
        ->setChecked(true);
    applySource();
    return true;
}

void AudioPage::applySource() {
    const AudioControlStates states = audioControlStates(
        currentSource(), sheet().generalPage()->currentType(), m_format->currentIndex());
    m_file->setEnabled(states.file);
    m_browse->setEnabled(states.file);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_formatLabel, m_format, m_channelLabel, m_channel,
                                         m_sampleRateLabel, m_sampleRate, m_hz})
        w->setEnabled(states.lists);
    for (QWidget* w : std::initializer_list<QWidget*>{m_bitRateLabel, m_bitRate, m_kbps})
        w->setEnabled(states.bitRate);
}

void AudioPage::browse() {
    const QString file =
        QFileDialog::getOpenFileName(this, QString(), QFileInfo(m_file->text()).path(),
                                     "Audio Files (*.wav *.mp3 *.WAV *.MP3);;All Files (*)");
    if (file.isEmpty())
        return;
    if (!isImportableSoundName(file.toStdString())) {
        tell(kIncorrectFileTypeMessage);
        return;
    }
    m_file->setText(file);
}

bool AudioPage::leave() {
    const AudioSource source = currentSource();
    const std::string file = m_file->text().trimmed().toStdString();
    if (source == AudioSource::ImportFile) {
        if (const auto problem = checkAudioImport(file)) {
            tell(QString::fromStdString(*problem));
            m_file->setFocus();
            return false;
        }
    }
    ConversionSettings& s = settings();
    s.audioSource = source;
    s.audioFile = file;
    if (sheet().generalPage()->currentType() == OutputType::Avi) {
        s.aviAudioFormat = m_format->currentIndex();
        s.aviAudioChannels = m_channel->currentIndex();
        s.aviAudioBitRate = m_bitRate->currentIndex();
        s.aviAudioSampleRate = m_sampleRate->currentIndex();
    } else if (sheet().generalPage()->currentType() == OutputType::VideoFile) {
        s.videoSound = videoSoundOfList(s, m_format->currentIndex());
        s.videoSoundBitRate = m_bitRate->currentIndex();
    }
    return true;
}

} // namespace swivio::app
