// What a called function finds in its registers and as this.
#include <string>

#include <gtest/gtest.h>

#include "script_probe.h"

namespace swivio::swf::avm1 {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;
using namespace testkit;

// Calls f(1, 2), a DefineFunction2 with these flags and four registers, which traces
// "typeof r1 r2 r3" of its first three registers and then typeof this by name.
std::string registersOf(uint16_t flags) {
    ScriptProbe probe(7);
    ActionAssembler a;
    a.defineFunction2("f", {}, 4, flags, [](ActionAssembler& b) {
        for (uint8_t r = 1; r <= 3; ++r)
            b.pushRegister(r).op(Op::TypeOf).trace();
    });
    a.push(2).push(1).push(2).push("f").op(Op::CallFunction).op(Op::Pop);
    return probe.run(a);
}

TEST(CallBindingTest, PreloadedRegistersFollowTheFlags) {
    const struct {
        const char* what;
        uint16_t flags;
        const char* expected;
    } cases[] = {
        {"this, arguments, super in order", kPreloadThis | kPreloadArguments | kPreloadSuper,
         "object|object|undefined"},
        // A suppressed this or super still takes its register, left undefined; arguments
        // are loaded even when suppressed.
        {"preloaded and suppressed",
         kPreloadThis | kSuppressThis | kPreloadArguments | kSuppressArguments |
             kPreloadSuper | kSuppressSuper,
         "undefined|object|undefined"},
        {"suppressed only takes no register", kSuppressThis | kPreloadArguments,
         "object|undefined|undefined"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(registersOf(c.flags), c.expected) << c.what;
}

TEST(CallBindingTest, AFunctionCalledAsAMethodOfNothingHasNoThis) {
    for (int version : {5, 6, 7}) {
        ScriptProbe probe(version);
        ActionAssembler a;
        a.defineFunction("f", {}, [](ActionAssembler& b) {
            b.push("this").op(Op::GetVariable).op(Op::TypeOf).trace();
        });
        // f(): runs on the timeline it was defined on.
        a.push(0).push("f").op(Op::CallFunction).op(Op::Pop);
        // A CallMethod with an undefined name calls the function value itself.
        a.push(0).push("f").op(Op::GetVariable).pushUndefined().op(Op::CallMethod).op(Op::Pop);
        EXPECT_EQ(probe.run(a), "object|undefined") << "SWF " << version;
    }
}

} // namespace
} // namespace swivio::swf::avm1
