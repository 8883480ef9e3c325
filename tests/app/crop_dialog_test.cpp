#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include "app/crop/crop_canvas.h"
#include "app/crop/crop_dialog.h"
#include "app/help/help_window.h"
#include "capture/conversion_task.h"
#include "settings/settings_rules.h"
#include "source/movie_source.h"
#include "tests/app/app_test_support.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio::app {
namespace {

constexpr uint32_t kRed = 0x0000FF;
const QColor kMovieGreen(0, 128, 0);

// A 640 x 480 movie whose snapshot is plain green, a folder for pictures, and the
// dialog's questions answered from `file` with every message recorded.
struct Fixture {
    Fixture() {
        testkit::testApplication();
        movie.width = 640;
        movie.height = 480;
        movie.snapshot = QImage(640, 480, QImage::Format_RGB32);
        movie.snapshot.fill(kMovieGreen);
        values.cropWidth = 640;
        values.cropHeight = 480;
        prompts.chooseFile = [this](QWidget*) { return file; };
        prompts.chooseColor = [this](QWidget*, const QColor&) { return color; };
        prompts.tell = [this](QWidget*, const QString& text) { told.push_back(text); };
    }
    // A plain red PNG picture of width x height in the folder.
    QString picture(int width, int height, const std::string& name = "logo.png") {
        const std::vector<uint8_t> png =
            testkit::makePng(width, height, 2, 8, [](int, int) { return kRed; });
        std::ofstream(dir.file(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        return QString::fromStdString(dir.file(name));
    }
    std::unique_ptr<CropWatermarkDialog> open() {
        auto d = std::make_unique<CropWatermarkDialog>(values, movie, nullptr, prompts);
        d->show();
        return d;
    }

    testkit::TempDir dir;
    CropMovie movie;
    CropWatermarkValues values;
    CropDialogPrompts prompts;
    QString file;
    QColor color;
    std::vector<QString> told;
};

template <class T> T* byName(QWidget* dialog, const QString& name) {
    for (T* w : dialog->findChildren<T*>()) {
        if (w->accessibleName() == name)
            return w;
    }
    return nullptr;
}

QAbstractButton* button(QWidget* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->text() == text)
            return b;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// Which watermark controls are enabled, in a fixed order: file box, "...", colour key box,
// swatch, opacity box, slider, placement boxes, keep aspect.
std::string enabledControls(QWidget* d) {
    const QWidget* controls[] = {
        byName<QLineEdit>(d, "Watermark file"),  button(d, "..."),
        button(d, "Set transparent colo&r"),     byName<QAbstractButton>(d, "Transparent colour"),
        button(d, "Set transparenc&y"),          byName<QSlider>(d, "Opacity"),
        byName<QLineEdit>(d, "Watermark width"), button(d, "Keep aspect ratio")};
    std::string s;
    for (const QWidget* w : controls)
        s += w && w->isEnabled() ? '1' : '0';
    return s;
}

QColor canvasPixel(CropWatermarkDialog& d, int x, int y) {
    return d.canvas()->grab().toImage().pixelColor(x, y);
}

TEST(CropDialogTest, AWatermarkThatIsOffStartsBlankWithOnlyItsSwitchEnabled) {
    Fixture f;
    f.values.watermarkFile = "/pictures/old.png";
    f.values.watermarkTransparency = 200;
    auto d = f.open();
    EXPECT_EQ(d->findChild<QSlider*>()->value(), 128);
    bool labelShown = false;
    for (QLabel* l : d->findChildren<QLabel*>())
        labelShown = labelShown || l->text() == "50%";
    EXPECT_TRUE(labelShown);
    EXPECT_EQ(byName<QLineEdit>(d.get(), "Watermark file")->text(), "");
    EXPECT_EQ(enabledControls(d.get()), "00000000");
    EXPECT_TRUE(button(d.get(), "Add &watermark ")->isEnabled());

    // Switched on without a file: only the file controls, and OK drops it.
    button(d.get(), "Add &watermark ")->click();
    EXPECT_EQ(enabledControls(d.get()), "11000000");
    EXPECT_FALSE(d->result().watermarkEnabled);
}

TEST(CropDialogTest, ALoadedPictureStartsAtItsDefaultSizeAndBadFilesChangeNothing) {
    Fixture f;
    auto d = f.open();
    button(d.get(), "Add &watermark ")->click();
    f.file = f.picture(400, 100);
    d->chooseWatermarkFile();
    CropWatermarkValues r = d->result();
    EXPECT_TRUE(r.watermarkEnabled);
    EXPECT_EQ(r.watermarkFile, f.file.toStdString());
    EXPECT_EQ((MovieRect{r.watermarkX, r.watermarkY, r.watermarkWidth, r.watermarkHeight}),
              (MovieRect{0, 0, 320, 80}));
    EXPECT_EQ(byName<QLineEdit>(d.get(), "Watermark width")->text(), "320");
    EXPECT_EQ(enabledControls(d.get()), "11101011");

    const std::pair<std::string, QString> bad[] = {
        {"logo.tif", "Unsupported file type!"},
        {"broken.png", "The file format is not correct!"},
    };
    for (const auto& [name, message] : bad) {
        std::ofstream(f.dir.file(name)) << "not a picture";
        f.file = QString::fromStdString(f.dir.file(name));
        d->chooseWatermarkFile();
        ASSERT_FALSE(f.told.empty());
        EXPECT_EQ(f.told.back(), message);
        EXPECT_EQ(d->result().watermarkFile, r.watermarkFile);
        EXPECT_EQ(d->result().watermarkPicture, r.watermarkPicture);
    }
}

TEST(CropDialogTest, ColourKeyAndOpacityExcludeEachOther) {
    Fixture f;
    auto d = f.open();
    button(d.get(), "Add &watermark ")->click();
    f.file = f.picture(100, 50);
    d->chooseWatermarkFile();
    button(d.get(), "Set transparenc&y")->click();
    EXPECT_EQ(enabledControls(d.get()), "11101111");
    button(d.get(), "Set transparent colo&r")->click();
    EXPECT_EQ(enabledControls(d.get()), "11111011");
    EXPECT_FALSE(button(d.get(), "Set transparenc&y")->isChecked());
    button(d.get(), "Set transparenc&y")->click();
    EXPECT_FALSE(button(d.get(), "Set transparent colo&r")->isChecked());
    const CropWatermarkValues r = d->result();
    EXPECT_TRUE(r.watermarkUseTransparency);
    EXPECT_FALSE(r.watermarkUseTransparentColor);
}

TEST(CropDialogTest, TheCanvasPreviewsTheWatermarkAsItWillBeStamped) {
    Fixture f;
    auto d = f.open();
    button(d.get(), "Add &watermark ")->click();
    f.file = f.picture(100, 50);
    d->chooseWatermarkFile();
    const CanvasRect w = d->canvas()->model().watermarkRect();
    const int x = (w.left + w.right) / 2, y = (w.top + w.bottom) / 2;
    EXPECT_EQ(canvasPixel(*d, x, y), QColor(Qt::red));

    // Fully transparent: the movie shows through.
    button(d.get(), "Set transparenc&y")->click();
    d->findChild<QSlider*>()->setValue(0);
    EXPECT_EQ(canvasPixel(*d, x, y), kMovieGreen);

    // Keyed on the picture's own colour: the movie shows through as well.
    f.color = QColor(Qt::red);
    button(d.get(), "Set transparent colo&r")->click();
    d->chooseTransparentColor();
    d->findChild<QSlider*>()->setValue(255);
    EXPECT_EQ(canvasPixel(*d, x, y), kMovieGreen);
    EXPECT_EQ(d->result().watermarkTransparentColor, kRed);

    // Switched off: neither drawn nor outlined.
    button(d.get(), "Add &watermark ")->click();
    EXPECT_EQ(canvasPixel(*d, w.left, w.top), kMovieGreen);
}

TEST(CropDialogTest, FullAreaKeepsTheWatermarkWhereItWasInTheCrop) {
    Fixture f;
    f.values = cropWatermarkValues(ConversionSettings{}, nullptr);
    f.values.cropX = 40;
    f.values.cropY = 30;
    f.values.cropWidth = 400;
    f.values.cropHeight = 300;
    f.values.watermarkEnabled = true;
    f.file = f.picture(100, 50);
    f.values.watermarkFile = f.file.toStdString(); // loaded from its file on opening
    f.values.watermarkX = 10;
    f.values.watermarkWidth = 100;
    f.values.watermarkHeight = 50;
    auto d = f.open();
    button(d.get(), "&Full area")->click();
    const CropWatermarkValues r = d->result();
    EXPECT_EQ((MovieRect{r.cropX, r.cropY, r.cropWidth, r.cropHeight}),
              (MovieRect{0, 0, 640, 480}));
    EXPECT_EQ((MovieRect{r.watermarkX, r.watermarkY, r.watermarkWidth, r.watermarkHeight}),
              (MovieRect{10, 0, 100, 50}));
    EXPECT_TRUE(r.watermarkEnabled);
    EXPECT_TRUE(r.watermarkPicture);
}

// Runs editCrop over `values`; `act` works the dialog once it is up and ends it.
bool runEditCrop(Fixture& f, CropWatermarkValues& values,
                 const std::function<void(CropWatermarkDialog&)>& act) {
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<CropWatermarkDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        act(*d);
    });
    return editCrop(nullptr, values, f.movie, f.prompts);
}

// Drags the crop's left edge 100 canvas pixels to the right with the mouse.
void dragCropLeftEdge(CropWatermarkDialog& d) {
    CropCanvas* canvas = d.canvas();
    const CanvasRect c = canvas->model().cropRect();
    const QPoint from(c.left - 3, (c.top + c.bottom) / 2);
    QTest::mousePress(canvas, Qt::LeftButton, {}, from);
    QTest::mouseMove(canvas, from + QPoint(50, 0));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, from + QPoint(100, 0));
}

TEST(CropDialogTest, AWatermarkHiddenWhileTheCropMovesComesBackInsideIt) {
    Fixture f;
    auto d = f.open();
    button(d.get(), "Add &watermark ")->click();
    f.file = f.picture(100, 50);
    d->chooseWatermarkFile();
    const CropWatermarkValues before = d->result();
    button(d.get(), "Add &watermark ")->click();
    dragCropLeftEdge(*d);
    button(d.get(), "Add &watermark ")->click();
    const CropCanvasModel& m = d->canvas()->model();
    EXPECT_EQ(m.watermarkRect().left, m.cropRect().left);
    EXPECT_EQ(d->result().watermarkX, before.watermarkX);
    EXPECT_EQ(d->result().watermarkWidth, before.watermarkWidth);
}

TEST(CropDialogTest, OkHandsTheDraggedCropBackAndCancelChangesNothing) {
    Fixture f;
    // The 640 x 480 movie fills a 346 x 260 picture area: 100 canvas pixels are 184 movie
    // pixels, and the 246 left are 455 (truncated).
    CropWatermarkValues values = f.values;
    ASSERT_TRUE(runEditCrop(f, values, [](CropWatermarkDialog& d) {
        dragCropLeftEdge(d);
        // A second drag given up with Escape leaves the first one's values.
        CropCanvas* canvas = d.canvas();
        const CanvasRect c = canvas->model().cropRect();
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(c.left + 20, c.top + 20));
        QTest::mouseMove(canvas, QPoint(c.left + 60, c.top + 20));
        QTest::keyClick(canvas, Qt::Key_Escape);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(c.left + 60, c.top + 20));
        ASSERT_TRUE(d.isVisible()); // Escape ended the drag, not the dialog
        button(&d, "&OK")->click();
    }));
    EXPECT_EQ((MovieRect{values.cropX, values.cropY, values.cropWidth, values.cropHeight}),
              (MovieRect{184, 0, 455, 480}));
    EXPECT_FALSE(values.watermarkEnabled);

    const CropWatermarkValues before = values;
    f.file = f.picture(100, 50);
    EXPECT_FALSE(runEditCrop(f, values, [](CropWatermarkDialog& d) {
        button(&d, "Add &watermark ")->click();
        d.chooseWatermarkFile();
        ASSERT_TRUE(d.result().watermarkPicture);
        dragCropLeftEdge(d);
        button(&d, "&Cancel")->click();
    }));
    EXPECT_EQ(values.cropX, before.cropX);
    EXPECT_EQ(values.cropWidth, before.cropWidth);
    EXPECT_EQ(values.watermarkEnabled, before.watermarkEnabled);
    EXPECT_EQ(values.watermarkFile, before.watermarkFile);
    EXPECT_EQ(values.watermarkPicture, nullptr);
}

TEST(CropDialogTest, F1InTheDialogShowsItsOwnHelpPage) {
    Fixture f;
    HelpKeyFilter filter;
    QApplication::instance()->installEventFilter(&filter);
    QString title;
    CropWatermarkValues values = f.values;
    runEditCrop(f, values, [&title](CropWatermarkDialog& d) {
        QTest::keyClick(&d, Qt::Key_F1);
        if (auto* browser = d.findChild<QTextBrowser*>())
            title = browser->documentTitle();
        d.reject();
    });
    EXPECT_EQ(title, "Image crop and watermark");
}

TEST(CropDialogTest, TheCropAndWatermarkChosenReachTheConvertedPixels) {
    Fixture f;
    const std::string movie = f.dir.file("movie.swf");
    ASSERT_TRUE(testkit::writeTestMovie(movie, 2));
    auto source = openMovieSource(movie);
    ASSERT_TRUE(source);
    ConversionSettings s;
    resetForMovie(s, movie, movieProperties(**source));
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.convertType = OutputType::ImageSeries;
    s.imageType = ImageType::Png;
    s.outputFolder = f.dir.file("frames");
    s.tempPathIndex = 1;
    s.tempPath = f.dir.path().string();
    std::filesystem::create_directories(s.outputFolder);
    applySettingsRules(s);

    f.movie = {s.movieWidth, s.movieHeight, movieSnapshot(**source)};
    f.file = f.picture(100, 50);
    CropWatermarkValues values = cropWatermarkValues(s, nullptr);
    ASSERT_TRUE(runEditCrop(f, values, [](CropWatermarkDialog& d) {
        dragCropLeftEdge(d);
        button(&d, "Add &watermark ")->click();
        d.chooseWatermarkFile();
        button(&d, "&OK")->click();
    }));
    ASSERT_GT(values.cropX, 0);
    ASSERT_TRUE(values.watermarkPicture);
    storeCropWatermarkValues(values, s);
    // "Keep original size": the frame takes the crop's size.
    s.imageWidth = values.cropWidth;
    s.imageHeight = values.cropHeight;

    ConversionTask task(s, (*source)->openAnother());
    task.setWatermarkPicture(values.watermarkPicture);
    const TaskResult result = task.run();
    ASSERT_EQ(result.outcome, ConversionResult::Outcome::Completed) << result.message;
    const auto frame = testkit::readPngFile(f.dir.file("frames/0.png"));
    ASSERT_TRUE(frame.ok) << frame.error;
    EXPECT_EQ(frame.width, values.cropWidth / 4 * 4);
    EXPECT_EQ(frame.height, values.cropHeight / 2 * 2);
    // The watermark sits in the crop's top-left corner at its chosen size, and nowhere else.
    EXPECT_EQ(frame.at(2, 2), kRed);
    EXPECT_EQ(frame.at(values.watermarkWidth - 3, values.watermarkHeight - 3), kRed);
    EXPECT_NE(frame.at(values.watermarkWidth + 3, values.watermarkHeight + 3), kRed);
    // The movie's square (x 0-50, y 50-100 on the stage) lies left of the crop: only the
    // stage's background shows below the watermark.
    ASSERT_GT(values.cropX, 60);
    ASSERT_EQ(values.cropY, 0);
    EXPECT_EQ(frame.at(20, 75), 0x804020u);
}

TEST(CropDialogTest, SettingsTakeTheWatermarkOnlyWhileItIsOn) {
    ConversionSettings s;
    s.watermarkFile = "/pictures/kept.png";
    s.watermarkX = 7;
    CropWatermarkValues v;
    v.cropX = 12;
    v.cropWidth = 100;
    v.cropHeight = 80;
    v.watermarkFile = "/pictures/new.png";
    v.watermarkX = 3;
    storeCropWatermarkValues(v, s);
    EXPECT_EQ(s.cropX, 12);
    EXPECT_EQ(s.watermarkFile, "/pictures/kept.png");
    EXPECT_EQ(s.watermarkX, 7);
    v.watermarkEnabled = true;
    storeCropWatermarkValues(v, s);
    EXPECT_EQ(s.watermarkFile, "/pictures/new.png");
    EXPECT_EQ(s.watermarkX, 3);
    EXPECT_EQ(cropWatermarkValues(s, nullptr).watermarkFile, "/pictures/new.png");
    s.watermarkEnabled = false;
    EXPECT_EQ(cropWatermarkValues(s, nullptr).watermarkFile, "");
}

} // namespace
} // namespace swivio::app
