// Movies and pictures loaded into clips and levels by a playing movie, from files beside it.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/picture_files.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/temp_dir.h"

namespace swivio::swf {
namespace {

using namespace testkit;
namespace fs = std::filesystem;

constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kGreen = makeColor(0, 255, 0);
constexpr uint32_t kWhite = makeColor(255, 255, 255);

// Draws a red square over the top left 40 pixels and traces "child:" with its variable who.
SwfWriter child() {
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 800, 800, 255, 0, 0));
    place(w, Place().at(1).of(1));
    w.tag(TagCode::DoAction, ActionAssembler()
                                 .push("child:")
                                 .push("who")
                                 .op(ActionCode::GetVariable)
                                 .op(ActionCode::Add2)
                                 .trace()
                                 .build());
    return w.showFrame().end();
}

enum class Via { LoadMovie, LoadMovieNum, LoadIntoLevel0, Loader, LoaderThenUnload };

// A MovieClipLoader whose start, init and error events trace, loading url into "holder".
std::vector<uint8_t> loaderActions(const std::string& url) {
    ActionAssembler a;
    a.push("l")
        .push(0)
        .push("MovieClipLoader")
        .op(ActionCode::NewObject)
        .op(ActionCode::SetVariable);
    const std::pair<const char*, const char*> handlers[] = {
        {"onLoadStart", "start "}, {"onLoadInit", "init "}, {"onLoadError", "error "}};
    for (const auto& handler : handlers) {
        const std::string prefix = handler.second;
        // Errors trace their second argument, the others their first.
        const char* arg = prefix == "error " ? "e" : "t";
        a.push("l").op(ActionCode::GetVariable).push(handler.first);
        a.defineFunction("", {"t", "e"}, [prefix, arg](ActionAssembler& body) {
            body.push(prefix).push(arg).op(ActionCode::GetVariable).op(ActionCode::Add2).trace();
        });
        a.op(ActionCode::SetMember);
    }
    return a.push("holder")
        .push(url)
        .push(2)
        .push("l")
        .op(ActionCode::GetVariable)
        .push("loadClip")
        .op(ActionCode::CallMethod)
        .op(ActionCode::Pop)
        .build();
}

constexpr uint32_t kClipEventLoad = 1u << 0;
constexpr uint32_t kClipEventData = 1u << 8;

// A blue stage with an empty clip "holder" above the blue; frame 1 asks for url by `via`,
// frame 3 unloads level 1, frame 4 stops.
SwfWriter parent(Via via, const std::string& url) {
    SwfWriter w;
    w.xMax = w.yMax = 2000;
    w.frameCount = 4;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 2000, 2000, 0, 0, 255));
    w.tag(TagCode::DefineSprite, SpriteBuilder().showFrame().defineSprite(2));
    place(w, Place().at(1).of(1));
    Place holder = Place().at(2).of(2);
    holder.name = "holder";
    // onClipEvent(data) and (load) stay with the instance and hear the content arrive.
    holder.clipActions =
        clipActions({{kClipEventData, 0, ActionAssembler().push("data").trace().build()},
                     {kClipEventLoad, 0, ActionAssembler().push("load").trace().build()}},
                    10);
    place(w, holder);
    std::vector<uint8_t> request;
    if (via == Via::LoadMovie)
        request = ActionAssembler().push(url).push("holder").getUrl2(0x40).build();
    else if (via == Via::LoadMovieNum)
        request = ActionAssembler().getUrl(url, "_level1").build();
    else if (via == Via::LoadIntoLevel0)
        request = ActionAssembler().getUrl(url, "_level0").build();
    else
        request = loaderActions(url);
    if (via == Via::LoaderThenUnload) {
        const std::vector<uint8_t> unload = ActionAssembler()
                                                .push("holder")
                                                .push(1)
                                                .push("l")
                                                .op(ActionCode::GetVariable)
                                                .push("unloadClip")
                                                .op(ActionCode::CallMethod)
                                                .op(ActionCode::Pop)
                                                .build();
        request.pop_back(); // the block's end
        request.insert(request.end(), unload.begin(), unload.end());
    }
    w.tag(TagCode::DoAction, request).showFrame();
    w.showFrame();
    w.tag(TagCode::DoAction, ActionAssembler().getUrl("", "_level1").build()).showFrame();
    w.tag(TagCode::DoAction, ActionAssembler().op(ActionCode::Stop).build()).showFrame();
    return w.end();
}

struct Run {
    std::unique_ptr<MoviePlayer> player;
    std::vector<std::string> traces;
    uint32_t pixel(int x = 20, int y = 20) {
        Frame frame(100, 100);
        player->render(frame, player->viewport(100, 100));
        return frame.pixel(x, y);
    }
};

// Plays main.swf of a folder that holds child.swf, a green picture.png, and outside it
// another child.swf.
std::unique_ptr<Run> start(TempDir& dir, Via via, const std::string& url) {
    fs::create_directories(dir.path() / "movie");
    EXPECT_TRUE(child().writeFile(dir.file("child.swf")));
    EXPECT_TRUE(child().writeFile(dir.file("movie/child.swf")));
    writeFileBytes(dir.file("movie/picture.png"),
                   makePng(60, 60, 2, 8, [](int, int) { return kGreen; }));
    EXPECT_TRUE(parent(via, url).writeFile(dir.file("movie/main.swf")));
    auto movie = Movie::loadFile(dir.file("movie/main.swf"));
    EXPECT_TRUE(movie.ok()) << movie.message();
    auto run = std::make_unique<Run>();
    if (!movie)
        return run;
    PlayerOptions options;
    options.moviePath = dir.file("movie/main.swf");
    run->player = std::make_unique<MoviePlayer>(*movie, options, [&](avm1::ScriptRuntime& s) {
        s.setTraceSink([r = run.get()](std::string_view line) { r->traces.emplace_back(line); });
    });
    return run;
}

struct LoadCase {
    const char* name;
    Via via;
    std::string url;
    uint32_t shown; // at the top left once loaded
    std::vector<std::string> traces;
    uint32_t farCorner = kBlue; // away from the loaded content
};

class Loading : public testing::TestWithParam<LoadCase> {};

TEST_P(Loading, ArrivesTheFrameAfterTheRequest) {
    const LoadCase& c = GetParam();
    TempDir dir;
    auto run = start(dir, c.via, c.url);
    ASSERT_TRUE(run->player);
    EXPECT_EQ(run->pixel(), kBlue);
    EXPECT_EQ(run->traces, std::vector<std::string>{"load"}); // the holder's own
    run->traces.clear();
    run->player->advance();
    EXPECT_EQ(run->traces, c.traces);
    EXPECT_EQ(run->pixel(), c.shown);
    EXPECT_EQ(run->pixel(80, 80), c.farCorner);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Loading,
    testing::Values(
        LoadCase{"IntoAClip", Via::LoadMovie, "child.swf", kRed, {"data", "load", "child:undefined"}},
        LoadCase{"QueryBecomesVariables",
                 Via::LoadMovie,
                 "child.swf?who=me",
                 kRed,
                 {"data", "load", "child:me"}},
        LoadCase{"PictureIntoAClip", Via::LoadMovie, "picture.png", kGreen, {"data", "load"}},
        LoadCase{
            "ReplacesTheRoot", Via::LoadIntoLevel0, "child.swf", kRed, {"child:undefined"}, kWhite},
        LoadCase{"LevelAboveTheRoot", Via::LoadMovieNum, "child.swf", kRed, {"child:undefined"}},
        LoadCase{"LoaderEvents",
                 Via::Loader,
                 "child.swf",
                 kRed,
                 {"start _level0.holder", "data", "load", "child:undefined", "init _level0.holder"}},
        LoadCase{"UnloadCancelsAfterTheStart",
                 Via::LoaderThenUnload,
                 "child.swf",
                 kBlue,
                 {"start _level0.holder"}},
        LoadCase{
            "OutsideTheFolderRefused", Via::Loader, "../child.swf", kBlue, {"error URLNotFound"}},
        LoadCase{"MissingFile", Via::Loader, "none.swf", kBlue, {"error URLNotFound"}},
        LoadCase{"LevelOutsideTheFolderRefused", Via::LoadMovieNum, "../child.swf", kBlue, {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Loading, UnloadMovieNumRemovesTheLevelOnTheNextFrame) {
    TempDir dir;
    auto run = start(dir, Via::LoadMovieNum, "child.swf");
    ASSERT_TRUE(run->player);
    run->player->advance(); // loaded
    run->player->advance(); // frame 3 asks for the unload
    EXPECT_EQ(run->pixel(), kRed);
    run->player->advance();
    EXPECT_EQ(run->pixel(), kBlue);
    EXPECT_TRUE(run->player->scripts()->player().levels().empty());
}

} // namespace
} // namespace swivio::swf
