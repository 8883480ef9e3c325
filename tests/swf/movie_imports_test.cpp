// Movies that import characters from a movie beside them, loaded from files and played.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/temp_dir.h"

namespace swivio::swf {
namespace {

using namespace testkit;
namespace fs = std::filesystem;

constexpr uint32_t kBackground = makeColor(10, 20, 30);
constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kGreen = makeColor(0, 255, 0);

std::vector<uint8_t> traceActions(const char* text) {
    return ActionAssembler().push(text).trace().build();
}

// Exports sprite 2 as "lib": it places a red shape (1) top right and a shape (4) filled
// with a green bitmap (3) bottom right, and traces each frame; an init action traces too.
SwfWriter library() {
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 1000, 0, 1800, 800, 255, 0, 0));
    std::vector<uint8_t> green;
    for (int i = 0; i < 8 * 8; ++i)
        green.insert(green.end(), {255, 0, 255, 0}); // pad, red, green, blue
    w.tag(TagCode::DefineBitsLossless, SwfBits().u16(3).bytes(losslessBody(5, 8, 8, green)).data());
    ShapeBuilder filled(3);
    filled.styles(0, filled.bitmapFill(3, 0x40, 20)).rectangle(1000, 1000, 1800, 1800);
    w.tag(TagCode::DefineShape3, filled.defineShape(4, 1000, 1800, 1000, 1800));
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).place(Place().at(2).of(4));
    sprite.tag(TagCode::DoAction, traceActions("sprite frame")).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(2));
    w.tag(TagCode::ExportAssets, exportAssets({{2, "lib"}}));
    w.tag(TagCode::DoInitAction, doInitAction(2, traceActions("init")));
    return w.showFrame().end();
}

// Its own characters take the ids the library uses (1, 3, 4), so a copy that kept the
// library's ids would draw these instead; the import goes to id 5.
SwfWriter importer(const std::string& url) {
    SwfWriter w;
    w.xMax = w.yMax = 2000;
    w.backgroundColor(10, 20, 30);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 800, 800, 0, 0, 255));
    w.tag(TagCode::DefineShape3, rectangleShape(3, 0, 0, 10, 10, 0, 0, 255));
    w.tag(TagCode::DefineShape3, rectangleShape(4, 0, 0, 10, 10, 0, 0, 255));
    w.tag(kImportAssetsCode, importAssets(url, {{5, "lib"}}));
    place(w, Place().at(1).of(1));
    place(w, Place().at(2).of(5));
    w.tag(TagCode::DoAction, traceActions("main"));
    return w.showFrame().end();
}

struct Played {
    std::vector<std::string> traces;
    std::vector<std::string> warnings;
    uint32_t own = 0, imported = 0, bitmap = 0; // pixels of the three rectangles
    bool exported = false;                      // "lib" is a sprite here too
};

Played play(const std::string& path) {
    Played p;
    auto movie = Movie::loadFile(path);
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return p;
    p.warnings = (*movie)->warnings();
    const Character* lib = (*movie)->definition()->exportedCharacter("lib", true);
    p.exported = lib && lib->type == CharacterType::Sprite;
    MoviePlayer player(*movie, PlayerOptions(), [&](avm1::ScriptRuntime& scripts) {
        scripts.setTraceSink([&](std::string_view line) { p.traces.emplace_back(line); });
    });
    Frame frame(100, 100);
    player.render(frame, player.viewport(100, 100));
    p.own = frame.pixel(20, 20);
    p.imported = frame.pixel(70, 20);
    p.bitmap = frame.pixel(70, 70);
    return p;
}

bool has(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

struct UrlCase {
    const char* name;
    std::string url; // "@" stands for the temporary folder's absolute path
    bool imported;
};

class ImportUrls : public testing::TestWithParam<UrlCase> {};

// The importing movie lives in movie/; the library sits both in movie/sub/ and beside
// movie/, outside the movie's folder, where no import may reach; movie/out.swf links to it.
TEST_P(ImportUrls, ReadOnlyInsideTheMoviesFolder) {
    const UrlCase& c = GetParam();
    TempDir dir;
    fs::create_directories(dir.path() / "movie" / "sub");
    ASSERT_TRUE(library().writeFile(dir.file("lib.swf")));
    ASSERT_TRUE(library().writeFile(dir.file("movie/sub/lib.swf")));
    ASSERT_TRUE(writeBytes(dir.file("movie/junk.swf"), {'n', 'o', 't', ' ', 'S', 'W', 'F'}));
    std::error_code error;
    fs::create_symlink(dir.path() / "lib.swf", dir.path() / "movie" / "out.swf", error);
    std::string url = c.url;
    if (url.front() == '@')
        url = dir.path().string() + url.substr(1);
    ASSERT_TRUE(importer(url).writeFile(dir.file("movie/main.swf")));

    const Played p = play(dir.file("movie/main.swf"));
    EXPECT_EQ(p.own, kBlue);
    EXPECT_TRUE(has(p.traces, "main")); // the rest of the movie plays either way
    if (c.imported) {
        EXPECT_TRUE(p.warnings.empty()) << p.warnings.front();
        EXPECT_EQ(p.imported, kRed);
        EXPECT_EQ(p.bitmap, kGreen);
        EXPECT_TRUE(has(p.traces, "init"));
        EXPECT_TRUE(has(p.traces, "sprite frame"));
        EXPECT_TRUE(p.exported);
    } else {
        EXPECT_TRUE(has(p.warnings, "ImportAssets"));
        EXPECT_EQ(p.imported, kBackground);
        EXPECT_FALSE(has(p.traces, "init"));
        EXPECT_FALSE(has(p.traces, "sprite frame"));
        EXPECT_FALSE(p.exported);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportUrls,
    testing::Values(UrlCase{"Below", "sub/lib.swf", true},
                    UrlCase{"DotAndDoubleSlash", "./sub//lib.swf", true},
                    UrlCase{"Parent", "../lib.swf", false},
                    UrlCase{"DownThenOut", "sub/../../lib.swf", false},
                    UrlCase{"Absolute", "@/lib.swf", false},
                    UrlCase{"Http", "http://example.com/sub/lib.swf", false},
                    UrlCase{"FileScheme", "file:sub/lib.swf", false},
                    UrlCase{"Backslash", "sub\\lib.swf", false},
                    UrlCase{"LinkLeadingOut", "out.swf", false},
                    UrlCase{"Missing", "none.swf", false},
                    UrlCase{"NotAMovie", "junk.swf", false},
                    UrlCase{"ItselfEndsTheCircle", "main.swf", false}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio::swf
