// ifFrameLoaded (WaitForFrame2) in a movie that is loaded whole: only frames past the last a
// movie can have stay unloaded.
#include <string>

#include <gtest/gtest.h>

#include "script_probe.h"

namespace swivio::swf::avm1 {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;

TEST(WaitForFrameTest, FramesPastTheLastPossibleOneAreNotLoaded) {
    const struct {
        double frame;
        const char* expected;
    } cases[] = {
        {1, "loaded"},         {-43, "loaded"},         {16001, "loaded"},
        {16002, ""},           {16002.5, "loaded"},     {2147483647, ""},
        {2147483648.0, ""},    {2147483649.0, "loaded"}, // wrapped to a negative frame
    };
    for (const auto& c : cases) {
        ScriptProbe probe(6);
        ActionAssembler a;
        a.push(c.frame).waitForFrame2(2).push("loaded").trace();
        EXPECT_EQ(probe.run(a), c.expected) << "frame " << c.frame;
    }
}

} // namespace
} // namespace swivio::swf::avm1
