#include "app/settings/general_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/widgets/image_button.h"
#include "settings/settings_rules.h"
#include "settings/video_file_rules.h"

namespace swivio::app {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ss(const QString& text) {
    return text.toStdString();
}

QAbstractButton* browseButton(QWidget* parent, const char* name) {
    auto* button = new ImageButton(parent);
    button->setObjectName(name);
    button->setText("...");
    button->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAccessibleName("Browse");
    return button;
}

QString chooseFolder(QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, "Select the path of the image file:", start,
                                             QFileDialog::ShowDirsOnly);
}

} // namespace

GeneralPage::GeneralPage(SettingsSheet& sheet) : SettingsPage(sheet) {
    setObjectName("GeneralPage");
    setProperty("helpPage", "settings-general.html");
}

void GeneralPage::build() {
    m_type = new QComboBox(this);
    m_type->setObjectName("typeList");
    for (const char* name : kOutputTypeNames)
        m_type->addItem(name);
    auto* typeLabel = new QLabel("Conversion type:", this);
    m_outputLabel = new QLabel("Output file:", this);
    m_outputFolder = new QLineEdit(this);
    m_outputFolder->setObjectName("outputFolderEdit");
    m_outputFile = new QLineEdit(this);
    m_outputFile->setObjectName("outputFileEdit");
    m_outputBrowse = browseButton(this, "outputBrowse");
    m_modeLabel = new QLabel("Conversion mode:", this);
    m_interactive = new QRadioButton("&Interactive", this);
    m_interactive->setObjectName("interactiveRadio");
    m_frameByFrame = new QRadioButton("Frame &by frame", this);
    m_frameByFrame->setObjectName("frameByFrameRadio");
    auto* modes = new QButtonGroup(this);
    modes->addButton(m_interactive, 0);
    modes->addButton(m_frameByFrame, 1);
    auto* workLabel = new QLabel("Working folder:", this);
    m_sameFolder = new QRadioButton("The &same folder as the final output file", this);
    m_sameFolder->setObjectName("sameFolderRadio");
    m_otherFolder = new QRadioButton("&Other specific folder", this);
    m_otherFolder->setObjectName("otherFolderRadio");
    auto* folders = new QButtonGroup(this);
    folders->addButton(m_sameFolder, 0);
    folders->addButton(m_otherFolder, 1);
    m_workFolder = new QLineEdit(this);
    m_workFolder->setObjectName("workFolderEdit");
    m_workBrowse = browseButton(this, "workFolderBrowse");
    m_captureCursor = new QCheckBox("&Capture cursor", this);
    m_captureCursor->setObjectName("captureCursorCheck");
    m_openTarget = new QCheckBox("Open the &target folder when the conversion is finished", this);
    m_openTarget->setObjectName("openTargetCheck");
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* note = new QLabel("Note: Some temporary files will be generated in the working "
                            "folder during the process, and the free disk space must be big "
                            "enough there.",
                            this);
    note->setWordWrap(true);
    typeLabel->setBuddy(m_type);

    auto* grid = new QGridLayout;
    grid->addWidget(typeLabel, 0, 0);
    grid->addWidget(m_type, 0, 1);
    grid->addWidget(m_outputLabel, 1, 0);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(m_outputFile, 1);
    outputRow->addWidget(m_outputFolder, 1);
    outputRow->addWidget(m_outputBrowse);
    grid->addLayout(outputRow, 1, 1);
    grid->addWidget(m_modeLabel, 2, 0);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(m_interactive);
    modeRow->addWidget(m_frameByFrame);
    modeRow->addStretch(1);
    grid->addLayout(modeRow, 2, 1);
    grid->addWidget(workLabel, 3, 0, Qt::AlignTop);
    auto* workColumn = new QVBoxLayout;
    workColumn->addWidget(m_sameFolder);
    workColumn->addWidget(m_otherFolder);
    auto* workRow = new QHBoxLayout;
    workRow->addWidget(m_workFolder, 1);
    workRow->addWidget(m_workBrowse);
    workColumn->addLayout(workRow);
    grid->addLayout(workColumn, 3, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_captureCursor);
    layout->addWidget(m_openTarget);
    layout->addWidget(line);
    layout->addWidget(note);
    layout->addStretch(1);

    // Tab runs down the page as it reads.
    QWidget* order[] = {m_type,        m_outputFile,   m_outputFolder,  m_outputBrowse,
                        m_interactive, m_frameByFrame, m_sameFolder,    m_otherFolder,
                        m_workFolder,  m_workBrowse,   m_captureCursor, m_openTarget};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Initial values.
    m_values = generalPageValues(settings());
    m_type->setCurrentIndex(static_cast<int>(m_values.type));
    m_outputFolder->setText(qs(m_values.outputFolder));
    m_outputFile->setText(qs(m_values.outputFile));
    (m_values.mode == ConversionMode::FrameByFrame ? m_frameByFrame : m_interactive)
        ->setChecked(true);
    (m_values.workFolderChoice == 1 ? m_otherFolder : m_sameFolder)->setChecked(true);
    m_workFolder->setText(qs(m_values.workFolder));
    m_captureCursor->setChecked(m_values.captureCursor);
    m_openTarget->setChecked(m_values.openTargetFolder);
    enableWorkFolder();
    switchOutputControls();
    if (isFlvPath(settings().sourcePath)) {
        m_modeLabel->setEnabled(false);
        m_interactive->setEnabled(false);
        m_frameByFrame->setEnabled(false);
    }

    connect(m_type, &QComboBox::currentIndexChanged, this, [this] { switchOutputControls(); });
    connect(m_outputBrowse, &QAbstractButton::clicked, this, [this] { browseOutput(); });
    connect(m_workBrowse, &QAbstractButton::clicked, this, [this] { browseWorkFolder(); });
    connect(m_sameFolder, &QRadioButton::toggled, this, [this] { enableWorkFolder(); });
}

OutputType GeneralPage::currentType() const {
    return m_type ? static_cast<OutputType>(m_type->currentIndex()) : m_values.type;
}

ConversionMode GeneralPage::currentMode() const {
    if (!m_frameByFrame)
        return m_values.mode;
    return m_frameByFrame->isChecked() ? ConversionMode::FrameByFrame : ConversionMode::Interactive;
}

void GeneralPage::enableWorkFolder() {
    const bool other = m_otherFolder->isChecked();
    m_workFolder->setEnabled(other);
    m_workBrowse->setEnabled(other);
}

void GeneralPage::switchOutputControls() {
    const OutputType type = currentType();
    const bool images = type == OutputType::ImageSeries;
    m_outputLabel->setText(images ? "Output path:" : "Output file:");
    m_outputLabel->setBuddy(images ? m_outputFolder : m_outputFile);
    m_outputFolder->setVisible(images);
    m_outputFile->setVisible(!images);
    if (!images)
        followContainer(settings().videoContainer);
}

void GeneralPage::followContainer(VideoContainer container) {
    const OutputType type = currentType();
    if (type != OutputType::ImageSeries)
        m_outputFile->setText(qs(outputFileForType(ss(m_outputFile->text()), type, container)));
}

void GeneralPage::browseOutput() {
    const OutputType type = currentType();
    if (type == OutputType::ImageSeries) {
        const QString folder = chooseFolder(this, m_outputFolder->text());
        if (!folder.isEmpty())
            m_outputFolder->setText(folder);
        return;
    }
    const bool avi = type == OutputType::Avi;
    const bool video = type == OutputType::VideoFile;
    const QString suffix =
        video ? QString(videoFileExtension(settings().videoContainer)) : avi ? "avi" : "mpg";
    const QFileInfo movie(qs(settings().sourcePath));
    QString start = movie.completeBaseName() + "." + suffix;
    const QFileInfo current(m_outputFile->text());
    start =
        (current.dir().exists() && !m_outputFile->text().isEmpty() ? current.dir() : movie.dir())
            .filePath(start);
    QFileDialog dialog(this, QString(), start,
                       video ? "Video File (*.mp4 *.mkv *.webm *.MP4 *.MKV *.WEBM)"
                       : avi ? "AVI File (*.avi *.AVI)"
                             : "MPEG File (*.mpg *.MPG)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_outputFile->setText(dialog.selectedFiles().first());
}

void GeneralPage::browseWorkFolder() {
    const QString folder = chooseFolder(this, m_workFolder->text());
    if (!folder.isEmpty())
        m_workFolder->setText(folder);
}

GeneralPageValues GeneralPage::read() const {
    GeneralPageValues v;
    v.type = currentType();
    v.outputFolder = ss(m_outputFolder->text().trimmed());
    v.outputFile = ss(m_outputFile->text().trimmed());
    v.mode = currentMode();
    v.workFolderChoice = m_otherFolder->isChecked() ? 1 : 0;
    v.workFolder = ss(m_workFolder->text().trimmed());
    v.captureCursor = m_captureCursor->isChecked();
    v.openTargetFolder = m_openTarget->isChecked();
    return v;
}

bool GeneralPage::leave() {
    GeneralPageValues values = read();
    if (const auto problem = checkGeneralPage(values, settings().sourceFolder)) {
        tell(qs(problem->message));
        QLineEdit* edits[] = {m_outputFolder, m_outputFile, m_workFolder};
        edits[problem->field]->setFocus();
        return false;
    }
    m_outputFile->setText(qs(values.outputFile));
    m_values = values;
    settings().convertType = values.type;
    return true;
}

void GeneralPage::commit() {
    commitGeneralPage(read(), settings());
}

} // namespace swivio::app
