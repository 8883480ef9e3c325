// The test-side action assembler writes what the movie reader and an interpreter read.
#include "tests/support/action_assembler.h"

#include <gtest/gtest.h>

#include "swf/format/movie_definition.h"
#include "tests/support/swf_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;

struct Record {
    std::size_t offset; // of the action code
    uint8_t code;
    std::vector<uint8_t> payload;
};

// Splits action bytes into records as a reader walks them (branch targets aside).
std::vector<Record> records(std::span<const uint8_t> bytes) {
    std::vector<Record> out;
    for (std::size_t at = 0; at < bytes.size();) {
        Record r{at, bytes[at], {}};
        std::size_t next = at + 1;
        if (r.code >= 0x80) {
            EXPECT_LE(at + 3, bytes.size());
            if (at + 3 > bytes.size())
                break;
            const std::size_t length = bytes[at + 1] | (bytes[at + 2] << 8);
            next = at + 3 + length;
            EXPECT_LE(next, bytes.size());
            if (next > bytes.size())
                break;
            r.payload.assign(bytes.begin() + long(at) + 3, bytes.begin() + long(next));
        }
        out.push_back(r);
        at = next;
    }
    return out;
}

struct PushCase {
    const char* name;
    std::function<void(ActionAssembler&)> push;
    std::vector<uint8_t> payload;
};

class AssemblerPush : public testing::TestWithParam<PushCase> {};

TEST_P(AssemblerPush, WritesTheValueTypeAndBytes) {
    ActionAssembler a;
    GetParam().push(a);
    const std::vector<uint8_t> bytes = a.build();
    const std::vector<Record> r = records(bytes);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].code, 0x96);
    EXPECT_EQ(r[0].payload, GetParam().payload);
    EXPECT_EQ(r[1].code, 0x00);
}

INSTANTIATE_TEST_SUITE_P(
    ActionAssembler, AssemblerPush,
    testing::Values(
        PushCase{"String", [](auto& a) { a.push("hi"); }, {0, 'h', 'i', 0}},
        PushCase{"Integer", [](auto& a) { a.push(-2); }, {7, 0xFE, 0xFF, 0xFF, 0xFF}},
        PushCase{"WholeDoubleAsInteger", [](auto& a) { a.push(3.0); }, {7, 3, 0, 0, 0}},
        // 1.5 is 0x3FF8000000000000: the high word first, each word little-endian.
        PushCase{"Fraction", [](auto& a) { a.push(1.5); }, {6, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0}},
        // 2^32 + 1 is 0x41F0000000100000, too large for an integer.
        PushCase{"PastInt32",
                 [](auto& a) { a.push(4294967297.0); },
                 {6, 0, 0, 0xF0, 0x41, 0, 0, 0x10, 0}},
        PushCase{"NegativeZero", [](auto& a) { a.push(-0.0); }, {6, 0, 0, 0, 0x80, 0, 0, 0, 0}},
        PushCase{"Boolean", [](auto& a) { a.push(true); }, {5, 1}},
        PushCase{"Null", [](auto& a) { a.pushNull(); }, {2}},
        PushCase{"Undefined", [](auto& a) { a.pushUndefined(); }, {3}},
        PushCase{"Register", [](auto& a) { a.pushRegister(3); }, {4, 3}},
        PushCase{"SmallConstant", [](auto& a) { a.pushConstant(200); }, {8, 200}},
        PushCase{"LargeConstant", [](auto& a) { a.pushConstant(300); }, {9, 0x2C, 1}}),
    [](const auto& param) { return std::string(param.param.name); });

// Where a branch record sends the reader: after the record, moved by its signed offset.
std::size_t branchTarget(const Record& r) {
    return r.offset + 5 + std::size_t(int16_t(r.payload[0] | (r.payload[1] << 8)));
}

TEST(ActionAssembler, RoundTripsThroughADoActionAndResolvesBranches) {
    ActionAssembler a;
    a.constantPool({"a", "b"})
        .label("top")
        .pushConstant(1)
        .op(ActionCode::GetVariable)
        .branchIfTrue("end")
        .defineFunction("f", {"p"},
                        [](ActionAssembler& body) { body.label("loop").push(1).jump("loop"); })
        .jump("top")
        .label("end")
        .op(ActionCode::Stop);
    const std::vector<uint8_t> built = a.build();
    SwfWriter w;
    w.tag(TagCode::DoAction, built).showFrame().end();
    auto movie = readMovieDefinition(w.build());
    ASSERT_TRUE(movie.ok());
    ASSERT_EQ((*movie)->root.frames[0].actions.size(), 1u);
    const std::span<const uint8_t> read = (*movie)->root.frames[0].actions[0];
    ASSERT_EQ(std::vector<uint8_t>(read.begin(), read.end()), built);

    const std::vector<Record> r = records(read);
    // pool, push, getVariable, if, defineFunction, (body: push, jump), jump, stop, end
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(r[3].code, 0x9D);
    EXPECT_EQ(branchTarget(r[3]), r[8].offset); // to "end", the Stop
    EXPECT_EQ(r[7].code, 0x99);
    EXPECT_EQ(branchTarget(r[7]), r[1].offset); // to "top"
    // The function's code size covers its body exactly; its jump stays inside.
    EXPECT_EQ(r[4].code, 0x9B);
    const std::size_t codeSize =
        r[4].payload[r[4].payload.size() - 2] | (r[4].payload[r[4].payload.size() - 1] << 8);
    EXPECT_EQ(r[4].offset + 3 + r[4].payload.size() + codeSize, r[7].offset);
    EXPECT_EQ(branchTarget(r[6]), r[5].offset);
    EXPECT_EQ(r[9].code, 0x00);
}

TEST(ActionAssembler, BlocksCountTheirBodies) {
    auto two = [](ActionAssembler& b) { b.op(ActionCode::Play).op(ActionCode::Stop); };
    auto one = [](ActionAssembler& b) { b.op(ActionCode::Play); };
    ActionAssembler a;
    a.tryBlock(two, 2, one, two).with(one);
    const std::vector<Record> r = records(a.buildBody());
    // try (2 + 1 + 2 bodies), with (1)
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r[0].code, 0x8F);
    // Catch in a register, with catch and finally blocks; sizes 2, 1, 2; register 2.
    EXPECT_EQ(r[0].payload, (std::vector<uint8_t>{0x07, 2, 0, 1, 0, 2, 0, 2}));
    EXPECT_EQ(r[6].code, 0x94);
    EXPECT_EQ(r[6].payload, (std::vector<uint8_t>{1, 0}));
}

} // namespace
} // namespace swivio::swf
