#include "app/main_window.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/help/help_window.h"
#include "app/main_window_rules.h"
#include "app/record/conversion_run.h"
#include "app/record/interactive_conversion.h"
#include "app/record/converting_window.h"
#include "app/record/player_view.h"
#include "app/record/record_window.h"
#include "app/show_in_folder.h"
#include "app/widgets/about_dialog.h"
#include "app/widgets/app_icon.h"
#include "app/widgets/image_button.h"
#include "capture/conversion_task.h"
#include "encode/output_checks.h"
#include "app/settings/settings_sheet.h"
#include "settings/settings_persistence.h"
#include "settings/settings_rules.h"
#include "settings/settings_store.h"
#include "source/player_host.h"

namespace swivio::app {

namespace {

constexpr int kPositionMs = 100;
const QColor kWindowColour(240, 243, 243);
const QColor kValueColour(0, 0, 255);
constexpr char kUpdateCheckAddress[] =
    "https://www.velmora.example/checkupdate.php?productID=1&curVersion=1.1";
constexpr char kOpenFilter[] =
    "Adobe flash movie or video(*.swf,*.flv) (*.swf *.flv *.SWF *.FLV *.Swf *.Flv);;"
    "All files(*.*) (*)";

QString qs(const std::string& s) { return QString::fromStdString(s); }

QLabel* valueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel("-", parent);
    label->setObjectName(name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kValueColour);
    label->setPalette(palette);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QToolButton* iconButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon,
                        const char* tip) {
    auto* button = new ImageButton(parent);
    button->setObjectName(name);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

Prompter messageBoxPrompter() {
    Prompter p;
    p.ask = [](QWidget* parent, const QString& text) {
        return QMessageBox::question(parent, "Velmora Swivio", text,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    p.tell = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, "Velmora Swivio", text);
    };
    return p;
}

MainWindow::MainWindow(std::unique_ptr<SettingsStore> store, QWidget* parent)
    : QDialog(parent), m_store(std::move(store)), m_prompter(messageBoxPrompter()) {
    setObjectName("MainWindow");
    setProperty("helpPage", "MainInterface.html");
    setWindowTitle("Velmora Swivio");
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWindowColour);
    setPalette(palette);
    setAutoFillBackground(true);
    buildControls();
    applyControlStates();
    if (m_store)
        loadSettings(m_settings, *m_store);
    m_positionTimer.setInterval(kPositionMs);
    connect(&m_positionTimer, &QTimer::timeout, this, &MainWindow::refreshPosition);
    m_positionTimer.start();
}

MainWindow::~MainWindow() {
    m_view->setSource(nullptr);
    saveSettingsNow();
}

void MainWindow::saveSettingsNow() {
    if (!m_store)
        return;
    saveSettings(m_settings, *m_store);
    m_store->flush();
}

void MainWindow::buildControls() {
    auto* fileLabel = new QLabel("File to convert:", this);
    m_fileEdit = new QLineEdit(this);
    m_fileEdit->setObjectName("fileEdit");
    m_fileEdit->setReadOnly(true);
    m_browse = iconButton(this, "browseButton", QStyle::SP_DirOpenIcon,
                          "Select a Flash movie or video");

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    m_view = new PlayerView(frame);
    m_view->setObjectName("playerView");
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    frameLayout->addWidget(m_view);
    m_view->setMinimumSize(400, 300);

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName("seekSlider");
    m_play = iconButton(this, "playButton", QStyle::SP_MediaPlay, "Play");
    m_pause = iconButton(this, "pauseButton", QStyle::SP_MediaPause, "Pause");
    m_stop = iconButton(this, "stopButton", QStyle::SP_MediaStop, "Stop");
    m_position = new QLabel(this);
    m_position->setObjectName("positionLabel");
    m_position->setMinimumWidth(130);

    auto* properties = new QGroupBox("Flash properties", this);
    m_movieSize = valueLabel(properties, "movieSizeValue");
    m_frameRate = valueLabel(properties, "frameRateValue");
    m_length = valueLabel(properties, "lengthValue");
    m_lengthCaption = new QLabel("Total frames:", properties);
    m_lengthCaption->setObjectName("lengthCaption");
    auto* propertiesGrid = new QGridLayout(properties);
    propertiesGrid->addWidget(new QLabel("Movie size:", properties), 0, 0);
    propertiesGrid->addWidget(m_movieSize, 0, 1);
    propertiesGrid->addWidget(new QLabel("Frame rate:", properties), 1, 0);
    propertiesGrid->addWidget(m_frameRate, 1, 1);
    propertiesGrid->addWidget(m_lengthCaption, 2, 0);
    propertiesGrid->addWidget(m_length, 2, 1);
    propertiesGrid->setColumnStretch(1, 1);

    auto* summary = new QGroupBox("Export summary", this);
    m_summaryType = valueLabel(summary, "summaryType");
    m_summaryVideo = valueLabel(summary, "summaryVideoCodec");
    m_summaryAudio = valueLabel(summary, "summaryAudioCodec");
    m_summarySize = valueLabel(summary, "summaryMovieSize");
    m_summaryRate = valueLabel(summary, "summaryFrameRate");
    auto* summaryGrid = new QGridLayout(summary);
    const char* captions[] = {"Type:", "Video codec:", "Audio codec:", "Movie size:",
                              "Frame rate:"};
    QLabel* values[] = {m_summaryType, m_summaryVideo, m_summaryAudio, m_summarySize,
                        m_summaryRate};
    for (int i = 0; i < 5; ++i) {
        summaryGrid->addWidget(new QLabel(captions[i], summary), i, 0);
        summaryGrid->addWidget(values[i], i, 1);
    }
    summaryGrid->setColumnStretch(1, 1);

    m_settingsButton = new QPushButton("&Settings...", this);
    m_settingsButton->setObjectName("settingsButton");
    m_convert = new QPushButton("&Convert", this);
    m_convert->setObjectName("convertButton");
    m_convert->setDefault(true);
    m_help = new QPushButton("&Help", this);
    m_help->setObjectName("helpButton");
    m_help->setAutoDefault(false);
    m_settingsButton->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(m_fileEdit, 1);
    fileRow->addWidget(m_browse);
    auto* transport = new QHBoxLayout;
    transport->addWidget(m_play);
    transport->addWidget(m_pause);
    transport->addWidget(m_stop);
    transport->addWidget(m_slider, 1);
    transport->addWidget(m_position);
    auto* left = new QVBoxLayout;
    left->addLayout(fileRow);
    left->addWidget(frame, 1);
    left->addLayout(transport);
    auto* right = new QVBoxLayout;
    right->addWidget(properties);
    right->addWidget(summary);
    right->addStretch(1);
    right->addWidget(m_settingsButton);
    right->addWidget(m_convert);
    right->addWidget(m_help);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    connect(m_browse, &QToolButton::clicked, this, &MainWindow::browse);
    connect(m_play, &QToolButton::clicked, this, &MainWindow::play);
    connect(m_pause, &QToolButton::clicked, this, &MainWindow::pause);
    connect(m_stop, &QToolButton::clicked, this, &MainWindow::stopPreview);
    connect(m_slider, &QSlider::valueChanged, this, &MainWindow::onSliderChanged);
    connect(m_slider, &QSlider::sliderPressed, this, &MainWindow::onSliderPressed);
    connect(m_slider, &QSlider::sliderReleased, this, &MainWindow::onSliderReleased);
    connect(m_convert, &QPushButton::clicked, this, &MainWindow::convert);
    connect(m_settingsButton, &QPushButton::clicked, this, &MainWindow::openSettings);
    connect(m_help, &QPushButton::clicked, this, &MainWindow::showHelpMenu);
}

void MainWindow::applyControlStates() {
    const ControlStates states = controlStates(m_player != nullptr, m_previewPlaying);
    m_play->setEnabled(states.play);
    m_pause->setEnabled(states.pause);
    m_stop->setEnabled(states.stop);
    m_slider->setEnabled(states.slider);
    m_settingsButton->setEnabled(states.convert);
    m_convert->setEnabled(states.convert);
}

void MainWindow::browse() {
    const QString start = qs(m_settings.sourceFolder);
    const QString path = QFileDialog::getOpenFileName(this, "Open", start, kOpenFilter);
    if (!path.isEmpty())
        openMovie(path);
}

bool MainWindow::openMovie(const QString& chosen) {
    const QString path = QFileInfo(chosen).absoluteFilePath();
    // The movie loads into a player of its own and replaces the open one only once it has
    // loaded, so that a failure leaves everything as it was.
    const std::string file = path.toStdString();
    auto host = std::make_unique<PlayerHost>();
    if (!host->load(file) || !isUsableMovie(host->movieWidth(), host->movieHeight())) {
        m_prompter.tell(this, kInvalidMovieMessage);
        return false;
    }
    m_view->setSource(nullptr);
    m_player = std::move(host);
    m_view->setSource(m_player.get());
    m_previewPlaying = false;

    m_fileEdit->setText(path);
    resetForMovie(m_settings, file, movieProperties(*m_player));
    const bool flv = m_player->isFlv();
    m_movieSize->setText(qs(sizeText(m_player->movieWidth(), m_player->movieHeight())));
    m_frameRate->setText(qs(rateText(m_player->movieFrameRate())));
    m_lengthCaption->setText(qs(lengthCaption(flv)));
    m_length->setText(qs(lengthText(m_player->movieLength())));
    refreshSummary();
    applyControlStates();
    {
        const QSignalBlocker block(m_slider);
        const SliderRange range = sliderRange(flv, m_player->movieLength());
        m_slider->setRange(range.minimum, range.maximum);
        m_slider->setValue(range.minimum);
    }
    refreshPosition();
    return true;
}

void MainWindow::refreshSummary() {
    const ExportSummary s = exportSummary(m_settings);
    m_summaryType->setText(qs(s.type));
    m_summaryVideo->setText(qs(s.videoCodec));
    m_summaryAudio->setText(qs(s.audioCodec));
    m_summarySize->setText(qs(s.movieSize));
    m_summaryRate->setText(qs(s.frameRate));
}

void MainWindow::refreshPosition() {
    if (!m_player || m_player->readyState() == 0)
        return;
    const int p = m_player->position();
    m_position->setText(qs(positionText(m_player->isFlv(), p, m_player->movieLength())));
    if (m_slider->isSliderDown())
        return;
    {
        // Following the movie is not a seek.
        const QSignalBlocker block(m_slider);
        m_slider->setValue(p);
    }
    const bool playing = m_player->isPlaying();
    if (playing != m_previewPlaying) {
        m_previewPlaying = playing;
        applyControlStates();
    }
}

void MainWindow::play() {
    if (m_previewPlaying || !m_player)
        return;
    m_player->play();
    m_view->setAnimating(true);
    m_previewPlaying = true;
    applyControlStates();
}

void MainWindow::pause() {
    if (!m_previewPlaying || !m_player)
        return;
    m_player->pause();
    m_view->setAnimating(false);
    m_previewPlaying = false;
    applyControlStates();
}

void MainWindow::stopPreview() {
    if (!m_player)
        return;
    m_player->stop();
    m_view->setAnimating(false);
    m_view->refresh();
    m_previewPlaying = false;
    applyControlStates();
    refreshPosition();
}

void MainWindow::onSliderChanged(int value) {
    if (!m_player)
        return;
    const bool flv = m_player->isFlv();
    if (!flv)
        m_position->setText(qs(positionText(false, value, m_slider->maximum())));
    m_player->seek(seekPositionForSlider(flv, value));
    m_view->refresh();
}

void MainWindow::onSliderPressed() {
    if (!m_player)
        return;
    m_player->pause();
    m_view->setAnimating(false);
}

void MainWindow::onSliderReleased() {
    if (m_player && m_previewPlaying) {
        m_player->play();
        m_view->setAnimating(true);
    }
}

void MainWindow::convert() {
    if (!m_player)
        return;
    ConversionSettings settings = m_settings;
    applySettingsRules(settings);
    if (Status checked = checkBeforeRecording(settings); !checked) {
        m_prompter.tell(this, qs(checked.message()));
        return;
    }
    if (needsUncompressedQuestion(settings) &&
        !m_prompter.ask(this, "The AVI video is uncompressed, this will generate very large "
                              "output file,\n are you sure?"))
        return;
    bool overwrite = false;
    if (const std::string existing = existingOutputFile(settings); !existing.empty()) {
        if (!m_prompter.ask(this, qs(existing) + " already exists.\nDo you want to replace it?"))
            return;
        overwrite = true;
    }
    if (Status output = checkConversionOutput(settings, overwrite); !output) {
        m_prompter.tell(this, qs(output.message()));
        return;
    }

    pause();
    std::unique_ptr<ConversionRun> run;
    if (settings.conversionMode == ConversionMode::Interactive) {
        run = recordInteractively(settings, *m_store, overwrite, this, m_prompter.tell);
    } else {
        run = std::make_unique<ConversionRun>(settings, m_player->openAnother(), overwrite);
        RecordWindow record(*run, *m_player, *m_store, this);
        if (record.exec() != QDialog::Accepted)
            run.reset();
    }
    if (run) {
        ConvertingWindow converting(*run, this);
        converting.exec();
        if (settings.openTargetFolder) {
            if (settings.convertType == OutputType::ImageSeries)
                openFolder(qs(settings.outputFolder));
            else
                showFileInFolder(qs(conversionOutputFile(settings)));
        }
    }
    // The preview starts over, as after a fresh open; the settings stay as they were.
    stopPreview();
}

void MainWindow::showHelpMenu() {
    QMenu menu(this);
    menu.addAction("Contents", this, [this] { showHelp(this, "overview.html"); });
    menu.addAction("Check for updates...", this,
                   [] { QDesktopServices::openUrl(QUrl(kUpdateCheckAddress)); });
    menu.addSeparator();
    menu.addAction("About...", this, &MainWindow::showAbout);
    menu.exec(m_help->mapToGlobal(QPoint(0, m_help->height() + 1)));
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Escape and a bare Enter never close the main window; Enter still presses an enabled
    // Convert.
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            if (m_convert->isEnabled())
                m_convert->click();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().size() == 1 &&
        event->mimeData()->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString path = urls.front().toLocalFile();
    // Opened after the drop has ended, so that a message box does not hold the drag.
    QTimer::singleShot(0, this, [this, path] { openMovie(path); });
}

} // namespace swivio::app

namespace swivio::app {

void MainWindow::openSettings() {
    SettingsSheet sheet(m_settings, m_prompter, this);
    if (sheet.exec() != QDialog::Accepted)
        return;
    m_settings = sheet.settings();
    if (m_settings.convertType == OutputType::Mpeg)
        applyMpegPreset(m_settings);
    refreshSummary();
}

} // namespace swivio::app
