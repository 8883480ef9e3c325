#include "tests/support/action_assembler.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "swf/writer/swf_writer.h"

namespace swivio::testkit {

namespace {

using swf::writer::SwfBits;

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "ActionAssembler: %s\n", what.c_str());
    std::abort();
}

uint16_t size16(std::size_t size, const char* what) {
    if (size > 0xFFFF)
        fault(std::string(what) + " longer than 65535 bytes");
    return uint16_t(size);
}

std::vector<uint8_t> bodyOf(const ActionAssembler::Body& body) {
    ActionAssembler a;
    if (body)
        body(a);
    return a.buildBody();
}

} // namespace

ActionAssembler& ActionAssembler::record(ActionCode code, const std::vector<uint8_t>& payload) {
    m_bytes.push_back(uint8_t(code));
    if (uint8_t(code) >= 0x80) {
        const uint16_t length = size16(payload.size(), "action record");
        m_bytes.push_back(uint8_t(length));
        m_bytes.push_back(uint8_t(length >> 8));
        m_bytes.insert(m_bytes.end(), payload.begin(), payload.end());
    }
    return *this;
}

ActionAssembler& ActionAssembler::push(const std::string& s) {
    return record(ActionCode::Push, SwfBits().u8(0).cstring(s).data());
}

ActionAssembler& ActionAssembler::push(double v) {
    // -0 would lose its sign as an integer.
    const bool integral = v >= std::numeric_limits<int32_t>::min() &&
                          v <= std::numeric_limits<int32_t>::max() && v == std::floor(v) &&
                          !(v == 0 && std::signbit(v));
    if (integral)
        return record(ActionCode::Push, SwfBits().u8(7).u32(uint32_t(int32_t(v))).data());
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    // AVM1 stores a double's high word first, each word little-endian.
    return record(ActionCode::Push,
                  SwfBits().u8(6).u32(uint32_t(bits >> 32)).u32(uint32_t(bits)).data());
}

ActionAssembler& ActionAssembler::push(bool v) {
    return record(ActionCode::Push, {5, uint8_t(v ? 1 : 0)});
}

ActionAssembler& ActionAssembler::pushFloat(float v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return record(ActionCode::Push, SwfBits().u8(1).u32(bits).data());
}

ActionAssembler& ActionAssembler::pushNull() {
    return record(ActionCode::Push, {2});
}

ActionAssembler& ActionAssembler::pushUndefined() {
    return record(ActionCode::Push, {3});
}

ActionAssembler& ActionAssembler::pushRegister(uint8_t n) {
    return record(ActionCode::Push, {4, n});
}

ActionAssembler& ActionAssembler::pushConstant(uint16_t index) {
    if (index <= 0xFF)
        return record(ActionCode::Push, {8, uint8_t(index)});
    return record(ActionCode::Push, SwfBits().u8(9).u16(index).data());
}

ActionAssembler& ActionAssembler::op(ActionCode code) {
    return record(code, {});
}

ActionAssembler& ActionAssembler::raw(const std::vector<uint8_t>& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ActionAssembler& ActionAssembler::constantPool(std::initializer_list<std::string> strings) {
    SwfBits b;
    b.u16(uint16_t(strings.size()));
    for (const std::string& s : strings)
        b.cstring(s);
    return record(ActionCode::ConstantPool, b.data());
}

ActionAssembler& ActionAssembler::label(const std::string& name) {
    for (const auto& [existing, offset] : m_labels)
        if (existing == name)
            fault("label " + name + " defined twice");
    m_labels.emplace_back(name, m_bytes.size());
    return *this;
}

ActionAssembler& ActionAssembler::branch(ActionCode code, const std::string& target) {
    record(code, {0, 0});
    m_branches.emplace_back(target, m_bytes.size() - 2);
    return *this;
}

ActionAssembler& ActionAssembler::branchIfTrue(const std::string& target) {
    return branch(ActionCode::If, target);
}

ActionAssembler& ActionAssembler::jump(const std::string& target) {
    return branch(ActionCode::Jump, target);
}

ActionAssembler& ActionAssembler::defineFunction(const std::string& name,
                                                 std::vector<std::string> params,
                                                 const Body& body) {
    const std::vector<uint8_t> code = bodyOf(body);
    SwfBits b;
    b.cstring(name).u16(uint16_t(params.size()));
    for (const std::string& p : params)
        b.cstring(p);
    b.u16(size16(code.size(), "function body"));
    record(ActionCode::DefineFunction, b.data());
    return raw(code);
}

ActionAssembler&
ActionAssembler::defineFunction2(const std::string& name,
                                 std::vector<std::pair<std::string, uint8_t>> params,
                                 uint8_t registerCount, uint16_t flags, const Body& body) {
    const std::vector<uint8_t> code = bodyOf(body);
    SwfBits b;
    b.cstring(name).u16(uint16_t(params.size())).u8(registerCount).u16(flags);
    for (const auto& [param, reg] : params)
        b.u8(reg).cstring(param);
    b.u16(size16(code.size(), "function body"));
    record(ActionCode::DefineFunction2, b.data());
    return raw(code);
}

ActionAssembler& ActionAssembler::tryBlock(const Body& tryBody, const CatchVariable& variable,
                                           const Body& catchBody, const Body& finallyBody) {
    const std::vector<uint8_t> tryCode = bodyOf(tryBody);
    const std::vector<uint8_t> catchCode = bodyOf(catchBody);
    const std::vector<uint8_t> finallyCode = bodyOf(finallyBody);
    const bool inRegister = variable.reg >= 0;
    SwfBits b;
    b.u8(uint8_t((inRegister ? 0x04 : 0) | (finallyBody ? 0x02 : 0) | (catchBody ? 0x01 : 0)));
    b.u16(size16(tryCode.size(), "try block"));
    b.u16(size16(catchCode.size(), "catch block"));
    b.u16(size16(finallyCode.size(), "finally block"));
    if (inRegister)
        b.u8(uint8_t(variable.reg));
    else
        b.cstring(variable.name);
    record(ActionCode::Try, b.data());
    raw(tryCode);
    raw(catchCode);
    return raw(finallyCode);
}

ActionAssembler& ActionAssembler::with(const Body& body) {
    const std::vector<uint8_t> code = bodyOf(body);
    record(ActionCode::With, SwfBits().u16(size16(code.size(), "with block")).data());
    return raw(code);
}

ActionAssembler& ActionAssembler::gotoFrame(uint16_t frame) {
    return record(ActionCode::GotoFrame, SwfBits().u16(frame).data());
}

ActionAssembler& ActionAssembler::gotoFrame2(bool play, std::optional<uint16_t> sceneBias) {
    SwfBits b;
    b.u8(uint8_t((sceneBias ? 0x02 : 0) | (play ? 0x01 : 0)));
    if (sceneBias)
        b.u16(*sceneBias);
    return record(ActionCode::GotoFrame2, b.data());
}

ActionAssembler& ActionAssembler::getUrl(const std::string& url, const std::string& target) {
    return record(ActionCode::GetUrl, SwfBits().cstring(url).cstring(target).data());
}

ActionAssembler& ActionAssembler::getUrl2(uint8_t flags) {
    return record(ActionCode::GetUrl2, {flags});
}

ActionAssembler& ActionAssembler::waitForFrame(uint16_t frame, uint8_t skip) {
    return record(ActionCode::WaitForFrame, SwfBits().u16(frame).u8(skip).data());
}

ActionAssembler& ActionAssembler::waitForFrame2(uint8_t skip) {
    return record(ActionCode::WaitForFrame2, {skip});
}

ActionAssembler& ActionAssembler::setTarget(const std::string& name) {
    return record(ActionCode::SetTarget, SwfBits().cstring(name).data());
}

ActionAssembler& ActionAssembler::gotoLabel(const std::string& name) {
    return record(ActionCode::GotoLabel, SwfBits().cstring(name).data());
}

ActionAssembler& ActionAssembler::storeRegister(uint8_t n) {
    return record(ActionCode::StoreRegister, {n});
}

std::vector<uint8_t> ActionAssembler::buildBody() const {
    std::vector<uint8_t> out = m_bytes;
    for (const auto& [target, field] : m_branches) {
        const std::pair<std::string, std::size_t>* found = nullptr;
        for (const auto& l : m_labels)
            if (l.first == target) {
                found = &l;
                break;
            }
        if (!found)
            fault("no label " + target);
        // The offset counts from the end of the branch action.
        const long offset = long(found->second) - long(field + 2);
        if (offset < std::numeric_limits<int16_t>::min() ||
            offset > std::numeric_limits<int16_t>::max())
            fault("branch to " + target + " too far");
        out[field] = uint8_t(offset & 0xFF);
        out[field + 1] = uint8_t((offset >> 8) & 0xFF);
    }
    return out;
}

std::vector<uint8_t> ActionAssembler::build() const {
    std::vector<uint8_t> out = buildBody();
    out.push_back(uint8_t(ActionCode::End));
    return out;
}

} // namespace swivio::testkit
