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

std::shared_ptr<const swf::Movie> cartoon(int shapes, int stepX = 60, int stepY = 40) {
    testkit::CartoonOptions options;
    options.shapes = shapes;
    options.stepX = stepX;
    options.stepY = stepY;
    auto movie = swf::Movie::load(testkit::cartoonMovie(options));
    return movie ? *movie : nullptr;
}

// The cartoon, or null with the benchmark skipped when it does not load.
std::shared_ptr<const swf::Movie> loadCartoon(benchmark::State& state, int shapes, int stepX = 60,
                                              int stepY = 40) {
    auto movie = cartoon(shapes, stepX, stepY);
    if (!movie)
        state.SkipWithError("the cartoon movie did not load");
    return movie;
}

void setRate(benchmark::State& state) {
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Play and paint at the given size. Shapes that keep their look from frame to frame are
// painted from pictures kept by the renderer, so the first frames cost more than the rest:
// one loop of the movie is played before timing, so that the figures show the steady
// state at every size, and BM_CartoonFirstFrame shows the cold cost.
void BM_CartoonFrame(benchmark::State& state) {
    auto movie = loadCartoon(state, int(state.range(2)), int(state.range(3)), int(state.range(4)));
    if (!movie)
        return;
    swf::MoviePlayer player(movie);
    const int width = int(state.range(0)), height = int(state.range(1));
    Frame frame(width, height);
    const swf::RenderViewport viewport = player.viewport(width, height);
    for (int i = 0; i < testkit::CartoonOptions{}.frames; ++i) {
        player.advance();
        player.render(frame, viewport);
    }
    for (auto _ : state) {
        player.advance();
        player.render(frame, viewport);
        benchmark::DoNotOptimize(frame.data());
    }
    setRate(state);
}
// The last two arguments are the moving shapes' step per frame in twips: 60 x 40 is whole
// pixels at 550 x 400, 47 x 33 lands them between pixels every frame.
BENCHMARK(BM_CartoonFrame)
    ->Args({550, 400, 300, 60, 40})
    ->Args({550, 400, 300, 47, 33})
    ->Args({1280, 720, 300, 60, 40})
    ->Args({1920, 1080, 300, 60, 40})
    ->Args({550, 400, 600, 60, 40})
    ->ArgNames({"w", "h", "shapes", "dx", "dy"})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

// The first frame of a new player: every shape painted from its edges.
void BM_CartoonFirstFrame(benchmark::State& state) {
    auto movie = loadCartoon(state, 300);
    if (!movie)
        return;
    const int width = int(state.range(0)), height = int(state.range(1));
    Frame frame(width, height);
    for (auto _ : state) {
        swf::MoviePlayer player(movie);
        player.render(frame, player.viewport(width, height));
        benchmark::DoNotOptimize(frame.data());
    }
    setRate(state);
}
// The frame sizes of the cold benchmarks.
void coldSizes(benchmark::internal::Benchmark* b) {
    b->Args({550, 400})->Args({1280, 720})->Args({1920, 1080})->ArgNames({"w", "h"});
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_CartoonFirstFrame)->Apply(coldSizes);

// A frame with nothing to reuse on a renderer that has painted before, as after a cut to a
// new scene: the stage moves by a twip or more each time, so that no shape meets a kept
// picture at its new pixel phase (a phase comes back only after pictures idle that long
// have gone).
void BM_CartoonColdFrame(benchmark::State& state) {
    auto movie = loadCartoon(state, 300);
    if (!movie)
        return;
    swf::MoviePlayer player(movie);
    const int width = int(state.range(0)), height = int(state.range(1));
    Frame frame(width, height);
    const swf::RenderViewport start = player.viewport(width, height);
    int step = 0;
    for (auto _ : state) {
        swf::RenderViewport viewport = start;
        const int32_t dx = step % 20, dy = (step / 20) % 20 + 1;
        viewport.stage.xMin += dx;
        viewport.stage.xMax += dx;
        viewport.stage.yMin += dy;
        viewport.stage.yMax += dy;
        ++step;
        player.render(frame, viewport);
        benchmark::DoNotOptimize(frame.data());
    }
    setRate(state);
}
BENCHMARK(BM_CartoonColdFrame)->Apply(coldSizes);

void BM_CartoonCommands(benchmark::State& state) {
    auto movie = loadCartoon(state, int(state.range(0)));
    if (!movie)
        return;
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
