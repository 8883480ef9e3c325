// Frames per second of playing and painting whole generated cartoon-like movies: hundreds of
// stroked, gradient-filled shapes, a few bitmaps, a mask, animated clips, a morph tween and
// text. Each iteration is one tick of the movie and one painted frame.
#include <benchmark/benchmark.h>

#include "base/frame.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/swf_samples.h"

namespace {

using namespace swivio;

std::shared_ptr<const swf::Movie> cartoon(int shapes) {
    testkit::CartoonOptions options;
    options.shapes = shapes;
    auto movie = swf::Movie::load(testkit::cartoonMovie(options));
    return movie ? *movie : nullptr;
}

void setRate(benchmark::State& state) {
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Play and paint at the given size.
void BM_CartoonFrame(benchmark::State& state) {
    auto movie = cartoon(int(state.range(2)));
    if (!movie) {
        state.SkipWithError("the cartoon movie did not load");
        return;
    }
    swf::MoviePlayer player(movie);
    const int width = int(state.range(0)), height = int(state.range(1));
    Frame frame(width, height);
    const swf::RenderViewport viewport = player.viewport(width, height);
    for (auto _ : state) {
        player.advance();
        player.render(frame, viewport);
        benchmark::DoNotOptimize(frame.data());
    }
    setRate(state);
}
BENCHMARK(BM_CartoonFrame)
    ->Args({550, 400, 300})
    ->Args({1280, 720, 300})
    ->Args({550, 400, 600})
    ->ArgNames({"w", "h", "shapes"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The player's own share: advancing the timelines and building the command list, no pixels.
void BM_CartoonCommands(benchmark::State& state) {
    auto movie = cartoon(int(state.range(0)));
    if (!movie) {
        state.SkipWithError("the cartoon movie did not load");
        return;
    }
    swf::MoviePlayer player(movie);
    for (auto _ : state) {
        player.advance();
        benchmark::DoNotOptimize(player.commands().data());
    }
    setRate(state);
}
BENCHMARK(BM_CartoonCommands)->Arg(300)->ArgName("shapes")->Unit(benchmark::kMicrosecond);

// Loading: reading, decompressing and parsing the movie.
void BM_CartoonLoad(benchmark::State& state) {
    testkit::CartoonOptions options;
    const std::vector<uint8_t> bytes = testkit::cartoonMovie(options);
    for (auto _ : state) {
        auto movie = swf::Movie::load(bytes);
        benchmark::DoNotOptimize(movie.ok());
    }
}
BENCHMARK(BM_CartoonLoad)->Unit(benchmark::kMillisecond);

} // namespace
