// Rendering speed of a cartoon-like frame: a few hundred curved, gradient-filled and stroked
// shapes, some bitmap fills and a masked group, at 550 x 400 and at 1280 x 720; and of
// shapes whose fills share edges, as drawings made in authoring tools have them. The same
// frame is painted again and again: with picture reuse (the third argument) the renderer
// paints it from its kept pictures after the first time, without it from the edges.

#include <cmath>
#include <map>
#include <memory>
#include <random>

#include <benchmark/benchmark.h>

#include "base/frame.h"
#include "swf/format/bitmap.h"
#include "swf/format/shape.h"
#include "swf/raster/render_commands.h"
#include "swf/raster/renderer.h"

namespace {

using namespace swivio;
using namespace swivio::swf;

constexpr int kStageWidth = 550;
constexpr int kStageHeight = 400;
constexpr int kTwips = 20;

class Bitmaps : public BitmapLookup {
public:
    const Bitmap* bitmap(uint16_t id) const override {
        auto it = m_bitmaps.find(id);
        return it == m_bitmaps.end() ? nullptr : &it->second;
    }
    std::map<uint16_t, Bitmap> m_bitmaps;
};

Bitmap makeBitmap(int w, int h, uint32_t seed) {
    Bitmap b;
    b.width = w;
    b.height = h;
    b.pixels.resize(std::size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t r = (x * 255 / w) ^ seed;
            const uint32_t g = (y * 255 / h);
            const uint32_t bl = ((x / 8 + y / 8) % 2) * 200;
            b.pixels[std::size_t(y) * w + x] = (r & 0xFF) | (g << 8) | (bl << 16) | 0xFF000000u;
        }
    }
    return b;
}

// A closed blob of quadratic curves around (cx, cy), in twips, inside on fill 1.
std::vector<Edge> blob(std::mt19937& rng, double cx, double cy, double radius, int points,
                       uint16_t fill, uint16_t line) {
    std::uniform_real_distribution<double> wobble(0.7, 1.3);
    std::vector<std::pair<double, double>> rim;
    for (int i = 0; i < points; ++i) {
        const double a = 2 * M_PI * i / points;
        const double r = radius * wobble(rng);
        rim.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    std::vector<Edge> edges;
    for (int i = 0; i < points; ++i) {
        const auto& p = rim[i];
        const auto& q = rim[(i + 1) % points];
        const double a = 2 * M_PI * (i + 0.5) / points;
        const double r = radius * 1.25;
        Edge e;
        e.x0 = int32_t(p.first);
        e.y0 = int32_t(p.second);
        e.x1 = int32_t(q.first);
        e.y1 = int32_t(q.second);
        e.cx = int32_t(cx + r * std::cos(a));
        e.cy = int32_t(cy + r * std::sin(a));
        e.curved = true;
        e.fill1 = fill;
        e.line = line;
        edges.push_back(e);
    }
    // Make the path close exactly.
    edges.back().x1 = edges.front().x0;
    edges.back().y1 = edges.front().y0;
    return edges;
}

Rgba randomColor(std::mt19937& rng, uint8_t alpha = 255) {
    std::uniform_int_distribution<int> c(0, 255);
    return {uint8_t(c(rng)), uint8_t(c(rng)), uint8_t(c(rng)), alpha};
}

RenderCommand drawCommand(std::shared_ptr<const Shape> shape, Matrix m = {}) {
    RenderCommand c;
    c.shape = std::move(shape);
    c.matrix = m;
    return c;
}

struct Scene {
    RenderCommandList commands;
    Bitmaps bitmaps;
};

std::unique_ptr<Scene> makeScene() {
    auto scene = std::make_unique<Scene>();
    scene->bitmaps.m_bitmaps[1] = makeBitmap(128, 128, 0x35);
    scene->bitmaps.m_bitmaps[2] = makeBitmap(64, 32, 0xA0);
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> px(0, kStageWidth * kTwips);
    std::uniform_real_distribution<double> py(0, kStageHeight * kTwips);
    std::uniform_real_distribution<double> size(8 * kTwips, 40 * kTwips);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> widths(0, 8);

    // Backdrop: a sky gradient over the whole stage.
    {
        FillStyle sky;
        sky.type = FillType::LinearGradient;
        sky.gradient.stops = {{0, {90, 150, 230, 255}}, {255, {230, 240, 255, 255}}};
        const double s = kStageHeight * kTwips / 32768.0;
        sky.matrix = {0, s, -s, 0, kStageWidth * kTwips / 2.0, kStageHeight * kTwips / 2.0};
        auto shape = std::make_shared<Shape>();
        StyleGroup g;
        g.fills = {sky};
        const int32_t w = kStageWidth * kTwips, h = kStageHeight * kTwips;
        g.edges = {{0, 0, 0, 0, w, 0, false, 0, 1, 0},
                   {w, 0, 0, 0, w, h, false, 0, 1, 0},
                   {w, h, 0, 0, 0, h, false, 0, 1, 0},
                   {0, h, 0, 0, 0, 0, false, 0, 1, 0}};
        shape->groups.push_back(g);
        scene->commands.push_back(drawCommand(shape));
    }

    for (int i = 0; i < 300; ++i) {
        auto shape = std::make_shared<Shape>();
        StyleGroup g;
        FillStyle fill;
        const int k = kind(rng);
        const double cx = px(rng), cy = py(rng), r = size(rng);
        if (k < 4) {
            fill.type = FillType::Solid;
            fill.color = randomColor(rng, k == 0 ? 160 : 255);
        } else {
            fill.type = k < 7 ? FillType::LinearGradient : FillType::RadialGradient;
            fill.gradient.stops = {
                {0, randomColor(rng)}, {128, randomColor(rng)}, {255, randomColor(rng)}};
            const double s = 2 * r / 32768.0;
            fill.matrix = {s, 0, 0, s, cx, cy};
        }
        g.fills = {fill};
        LineStyle line;
        line.width = uint16_t(widths(rng) * kTwips / 2);
        line.color = randomColor(rng);
        g.lines = {line};
        g.edges = blob(rng, cx, cy, r, 6 + i % 6, 1, i % 3 == 0 ? 0 : 1);
        shape->groups.push_back(std::move(g));
        scene->commands.push_back(drawCommand(shape));
    }

    // Three bitmap-filled shapes: repeating smoothed, clipped, repeating unsmoothed.
    const FillType bitmapTypes[] = {FillType::RepeatingBitmap, FillType::ClippedBitmap,
                                    FillType::RepeatingBitmapHard};
    for (int i = 0; i < 3; ++i) {
        auto shape = std::make_shared<Shape>();
        StyleGroup g;
        FillStyle fill;
        fill.type = bitmapTypes[i];
        fill.bitmapId = uint16_t(1 + i % 2);
        const double cx = 100.0 * kTwips + i * 170 * kTwips, cy = 200.0 * kTwips;
        fill.matrix = {1.3 * kTwips, 0.2 * kTwips, -0.2 * kTwips, 1.3 * kTwips, cx, cy};
        g.fills = {fill};
        g.edges = blob(rng, cx, cy, 90 * kTwips, 8, 1, 0);
        shape->groups.push_back(std::move(g));
        scene->commands.push_back(drawCommand(shape));
    }

    // A masked group: a circle-ish mask over twenty shapes.
    RenderCommand push;
    push.kind = RenderCommand::Kind::PushMask;
    scene->commands.push_back(push);
    {
        auto shape = std::make_shared<Shape>();
        StyleGroup g;
        g.fills = {FillStyle{}};
        g.edges = blob(rng, 400 * kTwips, 120 * kTwips, 80 * kTwips, 10, 1, 0);
        shape->groups.push_back(std::move(g));
        scene->commands.push_back(drawCommand(shape));
    }
    RenderCommand begin;
    begin.kind = RenderCommand::Kind::BeginMasked;
    scene->commands.push_back(begin);
    for (int i = 0; i < 20; ++i) {
        auto shape = std::make_shared<Shape>();
        StyleGroup g;
        FillStyle fill;
        fill.type = FillType::RadialGradient;
        fill.gradient.stops = {{0, randomColor(rng)}, {255, randomColor(rng)}};
        const double cx = 400 * kTwips + (i % 5 - 2) * 30 * kTwips;
        const double cy = 120 * kTwips + (i / 5 - 2) * 30 * kTwips;
        const double s = 60.0 * kTwips / 32768.0;
        fill.matrix = {s, 0, 0, s, cx, cy};
        g.fills = {fill};
        g.edges = blob(rng, cx, cy, 30 * kTwips, 7, 1, 0);
        shape->groups.push_back(std::move(g));
        scene->commands.push_back(drawCommand(shape));
    }
    RenderCommand pop;
    pop.kind = RenderCommand::Kind::PopMask;
    scene->commands.push_back(pop);
    return scene;
}

// Two hundred and fifty polygons, each split in two along a diameter: a gradient half and a
// solid half sharing the middle edge, with an outline.
std::unique_ptr<Scene> makeSplitScene() {
    auto scene = std::make_unique<Scene>();
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> px(0, kStageWidth * kTwips);
    std::uniform_real_distribution<double> py(0, kStageHeight * kTwips);
    std::uniform_real_distribution<double> size(10 * kTwips, 45 * kTwips);
    for (int i = 0; i < 250; ++i) {
        const double cx = px(rng), cy = py(rng), r = size(rng);
        const int n = 12 + 2 * (i % 4);
        std::vector<std::pair<int32_t, int32_t>> v;
        for (int k = 0; k < n; ++k) {
            const double a = 2 * M_PI * k / n + i;
            v.push_back({int32_t(cx + r * std::cos(a)), int32_t(cy + r * std::sin(a))});
        }
        StyleGroup g;
        FillStyle gradient;
        gradient.type = FillType::RadialGradient;
        gradient.gradient.stops = {{0, randomColor(rng)}, {255, randomColor(rng)}};
        const double s = 2 * r / 32768.0;
        gradient.matrix = {s, 0, 0, s, cx, cy};
        FillStyle solid;
        solid.type = FillType::Solid;
        solid.color = randomColor(rng);
        g.fills = {gradient, solid};
        LineStyle line;
        line.width = uint16_t(kTwips * (1 + i % 3));
        line.color = randomColor(rng);
        g.lines = {line};
        for (int k = 0; k < n; ++k) {
            const auto& p = v[std::size_t(k)];
            const auto& q = v[std::size_t((k + 1) % n)];
            Edge e;
            e.x0 = p.first;
            e.y0 = p.second;
            e.x1 = q.first;
            e.y1 = q.second;
            e.fill1 = k < n / 2 ? 1 : 2;
            e.line = 1;
            g.edges.push_back(e);
        }
        Edge middle;
        middle.x0 = v[std::size_t(n / 2)].first;
        middle.y0 = v[std::size_t(n / 2)].second;
        middle.x1 = v[0].first;
        middle.y1 = v[0].second;
        middle.fill0 = 2;
        middle.fill1 = 1;
        g.edges.push_back(middle);
        auto shape = std::make_shared<Shape>();
        shape->groups.push_back(std::move(g));
        scene->commands.push_back(drawCommand(shape));
    }
    return scene;
}

void paintRepeatedly(benchmark::State& state, const Scene& scene) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    RenderViewport viewport;
    viewport.stage = {0, kStageWidth * kTwips, 0, kStageHeight * kTwips};
    viewport.playerWidth = width;
    viewport.playerHeight = height;
    viewport.clipWidth = width;
    viewport.clipHeight = height;
    Frame frame(width, height);
    Renderer renderer;
    renderer.setPictureReuse(state.range(2) != 0);
    for (auto _ : state) {
        frame.fill(makeColor(255, 255, 255));
        renderer.render(scene.commands, scene.bitmaps, viewport, frame);
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["commands"] = double(scene.commands.size());
}

void renderScene(benchmark::State& state) {
    paintRepeatedly(state, *makeScene());
}
BENCHMARK(renderScene)
    ->Args({550, 400, 0})
    ->Args({1280, 720, 0})
    ->Args({550, 400, 1})
    ->ArgNames({"w", "h", "reuse"})
    ->Unit(benchmark::kMillisecond);

void renderSplitShapes(benchmark::State& state) {
    paintRepeatedly(state, *makeSplitScene());
}
BENCHMARK(renderSplitShapes)
    ->Args({550, 400, 0})
    ->Args({1280, 720, 0})
    ->ArgNames({"w", "h", "reuse"})
    ->Unit(benchmark::kMillisecond);

} // namespace
