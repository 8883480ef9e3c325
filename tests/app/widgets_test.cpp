#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <memory>

#include "app/help/help_window.h"
#include "app/main_window.h"
#include "app/widgets/about_dialog.h"
#include "app/widgets/dialog_font.h"
#include "app/widgets/hyperlink_label.h"
#include "settings/settings_store.h"
#include "tests/app/app_test_support.h"

namespace swivio::app {
namespace {

// The page the help window over `owner` shows, empty when none is open there.
QString shownHelpPage(QWidget* owner) {
    auto* help = owner->findChild<QWidget*>("HelpWindow");
    if (!help || !help->isVisible())
        return {};
    auto* browser = help->findChild<QTextBrowser*>();
    return browser ? browser->source().fileName() : QString();
}

TEST(HelpTest, F1ShowsThePageOfTheWindowInFrontModalDialogsToo) {
    QApplication& app = testkit::testApplication();
    HelpKeyFilter filter;
    app.installEventFilter(&filter);
    MainWindow window(std::make_unique<MemorySettingsStore>());
    window.show();
    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(shownHelpPage(&window), "MainInterface.html");

    QString inDialog;
    QString documentTitle;
    AboutDialog about(&window);
    QTimer::singleShot(50, &about, [&] {
        QTest::keyClick(&about, Qt::Key_F1);
        inDialog = shownHelpPage(&about);
        if (auto* browser = about.findChild<QTextBrowser*>())
            documentTitle = browser->documentTitle();
        about.accept();
    });
    about.exec();
    EXPECT_EQ(inDialog, "about.html");
    // The page itself was found, not only named.
    EXPECT_EQ(documentTitle, "About Swivio");
    app.removeEventFilter(&filter);
}

TEST(HelpTest, EveryWindowNamesAPageThatExists) {
    testkit::testApplication();
    for (const char* page : {"overview.html", "MainInterface.html", "convert.html", "about.html"}) {
        SCOPED_TRACE(page);
        QWidget owner;
        showHelp(&owner, page);
        auto* browser = owner.findChild<QTextBrowser*>();
        ASSERT_NE(browser, nullptr);
        EXPECT_FALSE(browser->documentTitle().isEmpty());
    }
    QWidget plain;
    EXPECT_EQ(helpPageFor(&plain), "overview.html");
}

TEST(HyperlinkLabelTest, LooksAndActsLikeALink) {
    testkit::testApplication();
    HyperlinkLabel link("site", "https://www.velmora.example/");
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link.toolTip(), "https://www.velmora.example/");
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
    link.setVisited(true);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST(DialogFontTest, APanelTakesThePageFont) {
    testkit::testApplication();
    EXPECT_FALSE(isFontInstalled("No Such Face At All"));
    QWidget page;
    QFont font("DejaVu Sans");
    font.setPointSize(13);
    page.setFont(font);
    QWidget panel;
    matchPageFont(&panel, &page);
    EXPECT_EQ(panel.font().family(), "DejaVu Sans");
    EXPECT_EQ(panel.font().pointSize(), 13);
    auto* child = new QLabel("x", &panel);
    EXPECT_EQ(child->font().pointSize(), 13);
}

} // namespace
} // namespace swivio::app
