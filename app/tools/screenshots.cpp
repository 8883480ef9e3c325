// Opens each window of the program over a movie and saves a picture of it, for the README:
// swivio-screenshots MOVIE FOLDER (run under Xvfb, or on the offscreen platform).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QSlider>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/crop/crop_canvas.h"
#include "app/crop/crop_dialog.h"
#include "app/help/help_window.h"
#include "app/main_window.h"
#include "app/record/conversion_run.h"
#include "app/record/converting_window.h"
#include "app/record/interactive_record_window.h"
#include "app/record/record_window.h"
#include "app/settings/codec_quality_dialog.h"
#include "app/settings/settings_sheet.h"
#include "app/widgets/about_dialog.h"
#include "capture/interactive_recording.h"
#include "encode/image/picture_file.h"
#include "settings/settings_rules.h"
#include "settings/settings_store.h"
#include "source/player_host.h"

namespace {

void wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool save(QWidget* window, const QDir& folder, const char* name) {
    wait(200);
    const QString path = folder.filePath(name);
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: swivio-screenshots MOVIE FOLDER\n");
        return 2;
    }
    const QString movie = QString::fromLocal8Bit(argv[1]);
    QDir folder(QString::fromLocal8Bit(argv[2]));
    folder.mkpath(".");
    using namespace swivio;
    using namespace swivio::app;

    MainWindow window(std::make_unique<MemorySettingsStore>());
    window.resize(900, 480);
    window.show();
    bool ok = save(&window, folder, "main-window-empty.png");
    if (!window.openMovie(movie))
        return 1;
    window.settings().openTargetFolder = false;
    window.play();
    wait(1200);
    ok = save(&window, folder, "main-window.png") && ok;
    window.pause();

    {
        AboutDialog about(&window);
        about.show();
        ok = save(&about, folder, "about.png") && ok;
    }
    showHelp(&window, "MainInterface.html");
    if (QWidget* help = window.findChild<QWidget*>("HelpWindow")) {
        ok = save(help, folder, "help.png") && ok;
        help->close();
    }

    // The settings sheet: each page, and the Video page's panel for each output type.
    for (OutputType type : {OutputType::Avi, OutputType::Mpeg, OutputType::ImageSeries,
                            OutputType::VideoFile}) {
        ConversionSettings edited = window.settings();
        edited.convertType = type;
        if (type != OutputType::Avi)
            edited.outputFile = replaceExtension(edited.outputFile,
                                                 type == OutputType::VideoFile ? "mp4" : "mpg");
        SettingsSheet sheet(edited, Prompter{}, &window);
        sheet.show();
        if (type == OutputType::Avi) {
            ok = save(&sheet, folder, "settings-general.png") && ok;
            sheet.showPage(2);
            ok = save(&sheet, folder, "settings-audio.png") && ok;
        }
        sheet.showPage(1);
        const char* names[] = {"settings-video-avi.png", "settings-video-mpeg.png",
                               "settings-video-pictures.png", "settings-video-file.png"};
        ok = save(&sheet, folder, names[static_cast<int>(type)]) && ok;
        if (type == OutputType::Avi) {
            CodecQualityDialog quality("mjpeg", 70, &sheet);
            quality.show();
            ok = save(&quality, folder, "codec-quality.png") && ok;
        }
    }

    {
        // The crop and watermark dialog with a half-transparent watermark over a crop.
        const CropMovie cropMovie{window.settings().movieWidth, window.settings().movieHeight,
                              movieSnapshot(*window.player())};
        CropWatermarkValues values = cropWatermarkValues(window.settings(), nullptr);
        values.cropX = cropMovie.width / 8;
        values.cropY = cropMovie.height / 8;
        values.cropWidth = cropMovie.width * 3 / 4;
        values.cropHeight = cropMovie.height * 3 / 4;
        PictureImage logo(120, 60, 24);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 120; ++x)
                std::memcpy(logo.topRow(y) + x * 3, (x / 20 + y / 20) % 2 ? "\xff\x80\x20" : "\xff\xff\xff", 3);
        const QString logoPath = QDir::temp().filePath("swivio-screenshot-logo.png");
        (void)savePictureFile(logo, PictureFileType::Png, logoPath.toStdString());
        CropDialogPrompts prompts = standardCropDialogPrompts();
        prompts.chooseFile = [&](QWidget*) { return logoPath; };
        CropWatermarkDialog crop(values, cropMovie, &window, prompts);
        crop.show();
        ok = save(&crop, folder, "crop-dialog-empty.png") && ok;
        crop.findChild<QCheckBox*>()->click();
        crop.chooseWatermarkFile();
        for (QCheckBox* box : crop.findChildren<QCheckBox*>())
            if (box->text() == "Set transparenc&y")
                box->click();
        crop.findChild<QSlider*>()->setValue(160);
        ok = save(&crop, folder, "crop-dialog.png") && ok;
        QFile::remove(logoPath);
    }

    // The two conversion windows over a real run into a temporary folder.
    ConversionSettings settings = window.settings();
    settings.conversionMode = ConversionMode::FrameByFrame;
    settings.aviFourCC = 0x47504A4D; // MJPG
    settings.outputFile = QDir::temp().filePath("swivio-screenshot.avi").toStdString();
    applySettingsRules(settings);
    ConversionRun run(settings, window.player()->openAnother(), true);
    MemorySettingsStore store;
    {
        RecordWindow record(run, *window.player(), store, &window);
        record.show();
        wait(300);
        ok = save(&record, folder, "record-window.png") && ok;
        record.startRecording();
        wait(150);
        ok = save(&record, folder, "record-window-recording.png") && ok;
        record.hide();
    }
    {
        // The interactive Record window while it records; dismissed, so nothing is kept.
        ConversionSettings live = settings;
        live.conversionMode = ConversionMode::Interactive;
        live.captureCursor = true;
        InteractiveRecording recording(live);
        if (recording.open()) {
            InteractiveRecordWindow record(recording, live, store, &window);
            record.show();
            record.play();
            wait(700);
            record.startRecording();
            wait(1500);
            ok = save(&record, folder, "record-interactive.png") && ok;
            record.reject();
        } else {
            ok = false;
        }
    }
    ConvertingWindow converting(run, &window);
    converting.show();
    ok = save(&converting, folder, "converting-window.png") && ok;
    wait(1500);
    QFile::remove(QString::fromStdString(settings.outputFile));
    return ok ? 0 : 1;
}
