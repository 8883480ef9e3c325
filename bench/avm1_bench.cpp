// The ActionScript interpreter's speed: plain actions per second, property access with
// function calls, string building, and a scripted movie of 500 clips moved by onEnterFrame,
// played and painted at 550 x 400.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "base/frame.h"
#include "swf/avm1/interpreter.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "swf/writer/swf_movies.h"
#include "swf/writer/swf_shapes.h"
#include "tests/support/action_assembler.h"

namespace {

using namespace swivio;
using swf::avm1::Interpreter;
using testkit::ActionAssembler;
using Op = testkit::ActionCode;

class QuietHost : public swf::avm1::ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view message) override { error = message; }
    std::string error;
};

ActionAssembler& get(ActionAssembler& a, const char* name) {
    return a.push(name).op(Op::GetVariable);
}

// Actions in a block of bytes (records from 0x80 on carry a length).
int countActions(const std::vector<uint8_t>& code) {
    int count = 0;
    for (std::size_t at = 0; at < code.size(); ++count)
        at += code[at] >= 0x80 && at + 2 < code.size() ? 3 + (code[at + 1] | code[at + 2] << 8) : 1;
    return count;
}

// Runs a block again and again on one interpreter, freeing its garbage after each run as a
// movie does between frames.
class Runner {
public:
    explicit Runner(const ActionAssembler& actions, int version = 7)
        : m_code(std::make_shared<std::vector<uint8_t>>(actions.build())), m_version(version),
          m_vm(m_host, version), m_timeline(m_vm.makeObject()) {}
    bool run() {
        m_vm.runScript({*m_code, m_version, m_code}, m_timeline);
        m_vm.collectGarbage([this](swf::avm1::Tracer& tracer) { tracer.mark(m_timeline); });
        return m_host.error.empty();
    }
    const std::string& error() const { return m_host.error; }

private:
    std::shared_ptr<std::vector<uint8_t>> m_code;
    int m_version;
    QuietHost m_host;
    Interpreter m_vm;
    swf::avm1::Object* m_timeline;
};

constexpr int kLoops = 10'000;

// function f() { var s = 0, i = 0; do { s = s + i * 2 - 1; i = i + 1; } while (i < N); }
// Counts the actions the loop runs.
void BM_SimpleActions(benchmark::State& state) {
    ActionAssembler loop;
    loop.label("loop").push("s");
    get(loop, "s");
    get(loop, "i").push(2).op(Op::Multiply).op(Op::Add2).push(1).op(Op::Subtract);
    loop.op(Op::SetVariable).push("i");
    get(loop, "i").op(Op::Increment).op(Op::SetVariable);
    get(loop, "i").push(kLoops).op(Op::Less2).branchIfTrue("loop");
    const int perLoop = countActions(loop.buildBody());
    ActionAssembler a;
    a.defineFunction("f", {}, [&](ActionAssembler& b) {
        b.push("s").push(0).op(Op::DefineLocal).push("i").push(0).op(Op::DefineLocal);
        b.raw(loop.buildBody());
    });
    a.push(0).push("f").op(Op::CallFunction).op(Op::Pop);
    Runner runner(a);
    for (auto _ : state)
        if (!runner.run())
            state.SkipWithError(runner.error().c_str());
    state.SetItemsProcessed(state.iterations() * int64_t(perLoop) * kLoops);
    state.SetLabel("items are actions");
}
BENCHMARK(BM_SimpleActions)->Unit(benchmark::kMillisecond);

// function P() {} P.prototype.add = function (v) { this.sum = this.sum + v; return this.sum; }
// p = new P(); p.sum = 0; for (i = 0; i < N; i++) p.add(p.step);  (one method call, three
// property reads and one write each time)
void BM_PropertiesAndCalls(benchmark::State& state) {
    ActionAssembler a;
    a.defineFunction("P", {}, [](ActionAssembler&) {});
    get(a, "P").push("prototype").op(Op::GetMember).push("add");
    a.defineFunction("", {"v"}, [](ActionAssembler& b) {
        get(b, "this").push("sum");
        get(b, "this").push("sum").op(Op::GetMember);
        get(b, "v").op(Op::Add2).op(Op::SetMember);
        get(b, "this").push("sum").op(Op::GetMember).op(Op::Return);
    });
    a.op(Op::SetMember);
    a.push("p").push(0).push("P").op(Op::NewObject).op(Op::SetVariable);
    get(a, "p").push("sum").push(0).op(Op::SetMember);
    get(a, "p").push("step").push(3).op(Op::SetMember);
    a.push("i").push(0).op(Op::SetVariable).label("loop");
    get(a, "p").push("step").op(Op::GetMember).push(1);
    get(a, "p").push("add").op(Op::CallMethod).op(Op::Pop);
    a.push("i");
    get(a, "i").op(Op::Increment).op(Op::SetVariable);
    get(a, "i").push(kLoops).op(Op::Less2).branchIfTrue("loop");
    Runner runner(a);
    for (auto _ : state)
        if (!runner.run())
            state.SkipWithError(runner.error().c_str());
    state.SetItemsProcessed(state.iterations() * kLoops);
    state.SetLabel("items are method calls");
}
BENCHMARK(BM_PropertiesAndCalls)->Unit(benchmark::kMillisecond);

// s = ""; for (i = 0; i < N; i++) s = s + "ab" + i; then s.length and s.indexOf("99").
void BM_StringBuilding(benchmark::State& state) {
    const int count = int(state.range(0));
    ActionAssembler a;
    a.push("s").push("").op(Op::SetVariable).push("i").push(0).op(Op::SetVariable).label("loop");
    a.push("s");
    get(a, "s").push("ab").op(Op::Add2);
    get(a, "i").op(Op::Add2).op(Op::SetVariable);
    a.push("i");
    get(a, "i").op(Op::Increment).op(Op::SetVariable);
    get(a, "i").push(count).op(Op::Less2).branchIfTrue("loop");
    get(a, "s").push("length").op(Op::GetMember).op(Op::Pop);
    Runner runner(a);
    for (auto _ : state)
        if (!runner.run())
            state.SkipWithError(runner.error().c_str());
    state.SetItemsProcessed(state.iterations() * count);
    state.SetLabel("items are concatenations");
}
BENCHMARK(BM_StringBuilding)->Arg(100)->Arg(2000)->Unit(benchmark::kMicrosecond);

// A movie that attaches 500 copies of an exported sprite (a small square), each moved by an
// onEnterFrame handler of its own clip that wraps it round the stage.
std::vector<uint8_t> clipsMovie(int clips) {
    using namespace swf::writer;
    ActionAssembler mover; // this._x = this._x + this.dx; if (this._x > 550) this._x = 0;
    get(mover, "this").push("_x");
    get(mover, "this").push("_x").op(Op::GetMember);
    get(mover, "this").push("dx").op(Op::GetMember).op(Op::Add2).op(Op::SetMember);
    get(mover, "this").push("_x").op(Op::GetMember).push(550).op(Op::Greater).op(Op::Not);
    mover.branchIfTrue("inside");
    get(mover, "this").push("_x").push(0).op(Op::SetMember).label("inside");

    ActionAssembler a;
    a.push("mover").defineFunction("", {}, [&](ActionAssembler& b) { b.raw(mover.buildBody()); });
    a.op(Op::SetVariable).push("i").push(0).op(Op::SetVariable).label("loop");
    // c = this.attachMovie("dot", "d" + i, i)
    a.push("c");
    get(a, "i").push("d");
    get(a, "i").op(Op::Add2).push("dot").push(3);
    get(a, "this").push("attachMovie").op(Op::CallMethod).op(Op::SetVariable);
    // c._x = i % 25 * 22; c._y = (i - i % 25) / 25 * 16; c.dx = 1 + i % 3; c.onEnterFrame = mover
    get(a, "c").push("_x");
    get(a, "i").push(25).op(Op::Modulo).push(22).op(Op::Multiply).op(Op::SetMember);
    get(a, "c").push("_y");
    get(a, "i");
    get(a, "i").push(25).op(Op::Modulo).op(Op::Subtract).push(25).op(Op::Divide);
    a.push(16).op(Op::Multiply).op(Op::SetMember);
    get(a, "c").push("dx").push(1);
    get(a, "i").push(3).op(Op::Modulo).op(Op::Add2).op(Op::SetMember);
    get(a, "c").push("onEnterFrame");
    get(a, "mover").op(Op::SetMember);
    a.push("i");
    get(a, "i").op(Op::Increment).op(Op::SetVariable);
    get(a, "i").push(clips).op(Op::Less2).branchIfTrue("loop");

    SwfWriter w;
    w.version = 7;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 240, 240, 40, 90, 200));
    SpriteBuilder dot;
    dot.place(Place().at(1).of(1)).showFrame();
    w.tag(TagCode::DefineSprite, dot.defineSprite(2));
    w.tag(TagCode::ExportAssets, exportAssets({{2, "dot"}}));
    w.tag(TagCode::DoAction, a.build());
    w.showFrame().end();
    return w.build();
}

void BM_ScriptedClipsFrame(benchmark::State& state) {
    const int clips = int(state.range(0));
    auto movie = swf::Movie::load(clipsMovie(clips));
    if (!movie) {
        state.SkipWithError("the clips movie did not load");
        return;
    }
    std::string error;
    swf::MoviePlayer player(*movie, swf::PlayerOptions{}, [&](swf::avm1::ScriptRuntime& runtime) {
        runtime.setErrorSink([&](std::string_view message) { error = message; });
    });
    if (player.root().children().size() != std::size_t(clips)) {
        state.SkipWithError("the script did not attach every clip");
        return;
    }
    // The handlers run: a clip moves by its dx each frame.
    swf::avm1::ScriptRuntime& runtime = *player.scripts();
    const auto xOfSecondClip = [&] {
        Interpreter& vm = runtime.interpreter();
        return vm.getMemberFromHost(vm.getMemberFromHost(runtime.rootClip(), "d1"), "_x").number();
    };
    const double before = xOfSecondClip();
    player.advance();
    if (xOfSecondClip() != before + 2) {
        state.SkipWithError("the clips do not move");
        return;
    }
    Frame frame(550, 400);
    const swf::RenderViewport viewport = player.viewport(550, 400);
    for (auto _ : state) {
        player.advance();
        player.render(frame, viewport);
        benchmark::DoNotOptimize(frame.data());
    }
    if (!error.empty())
        state.SkipWithError(error.c_str());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScriptedClipsFrame)
    ->Arg(500)
    ->ArgName("clips")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
