#pragma once

// What the interpreter's loop and its function and try actions share: the action codes and
// the reading of action payloads.

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "swf/avm1/object.h"

namespace swivio::swf::avm1::action {

// Action codes of SWF 3 to 8.
enum Op : uint8_t {
    kEnd = 0x00,
    kNextFrame = 0x04,
    kPrevFrame = 0x05,
    kPlay = 0x06,
    kStop = 0x07,
    kToggleQuality = 0x08,
    kStopSounds = 0x09,
    kAdd = 0x0A,
    kSubtract = 0x0B,
    kMultiply = 0x0C,
    kDivide = 0x0D,
    kEquals = 0x0E,
    kLess = 0x0F,
    kAnd = 0x10,
    kOr = 0x11,
    kNot = 0x12,
    kStringEquals = 0x13,
    kStringLength = 0x14,
    kStringExtract = 0x15,
    kPop = 0x17,
    kToInteger = 0x18,
    kGetVariable = 0x1C,
    kSetVariable = 0x1D,
    kSetTarget2 = 0x20,
    kStringAdd = 0x21,
    kGetProperty = 0x22,
    kSetProperty = 0x23,
    kCloneSprite = 0x24,
    kRemoveSprite = 0x25,
    kTrace = 0x26,
    kStartDrag = 0x27,
    kEndDrag = 0x28,
    kStringLess = 0x29,
    kThrow = 0x2A,
    kCastOp = 0x2B,
    kImplementsOp = 0x2C,
    kRandomNumber = 0x30,
    kMBStringLength = 0x31,
    kCharToAscii = 0x32,
    kAsciiToChar = 0x33,
    kGetTime = 0x34,
    kMBStringExtract = 0x35,
    kMBCharToAscii = 0x36,
    kMBAsciiToChar = 0x37,
    kDelete = 0x3A,
    kDelete2 = 0x3B,
    kDefineLocal = 0x3C,
    kCallFunction = 0x3D,
    kReturn = 0x3E,
    kModulo = 0x3F,
    kNewObject = 0x40,
    kDefineLocal2 = 0x41,
    kInitArray = 0x42,
    kInitObject = 0x43,
    kTypeOf = 0x44,
    kTargetPath = 0x45,
    kEnumerate = 0x46,
    kAdd2 = 0x47,
    kLess2 = 0x48,
    kEquals2 = 0x49,
    kToNumber = 0x4A,
    kToString = 0x4B,
    kPushDuplicate = 0x4C,
    kStackSwap = 0x4D,
    kGetMember = 0x4E,
    kSetMember = 0x4F,
    kIncrement = 0x50,
    kDecrement = 0x51,
    kCallMethod = 0x52,
    kNewMethod = 0x53,
    kInstanceOf = 0x54,
    kEnumerate2 = 0x55,
    kBitAnd = 0x60,
    kBitOr = 0x61,
    kBitXor = 0x62,
    kBitLShift = 0x63,
    kBitRShift = 0x64,
    kBitURShift = 0x65,
    kStrictEquals = 0x66,
    kGreater = 0x67,
    kStringGreater = 0x68,
    kExtends = 0x69,
    kGotoFrame = 0x81,
    kGetURL = 0x83,
    kStoreRegister = 0x87,
    kConstantPool = 0x88,
    kWaitForFrame = 0x8A,
    kSetTarget = 0x8B,
    kGoToLabel = 0x8C,
    kWaitForFrame2 = 0x8D,
    kDefineFunction2 = 0x8E,
    kTry = 0x8F,
    kWith = 0x94,
    kPush = 0x96,
    kJump = 0x99,
    kGetURL2 = 0x9A,
    kDefineFunction = 0x9B,
    kIf = 0x9D,
    kCall = 0x9E,
    kGotoFrame2 = 0x9F,
};

// DefineFunction2's flags.
enum : uint16_t {
    kPreloadThis = 0x01,
    kSuppressThis = 0x02,
    kPreloadArguments = 0x04,
    kSuppressArguments = 0x08,
    kPreloadSuper = 0x10,
    kSuppressSuper = 0x20,
    kPreloadRoot = 0x40,
    kPreloadParent = 0x80,
    kPreloadGlobal = 0x100,
};

inline uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// A NUL-terminated string at `at` inside payload; advances past it. False when unterminated.
inline bool readString(std::span<const uint8_t> payload, std::size_t& at, std::string_view& out) {
    if (at > payload.size())
        return false;
    const void* nul = std::memchr(payload.data() + at, 0, payload.size() - at);
    if (!nul)
        return false;
    const auto* end = static_cast<const uint8_t*>(nul);
    out = std::string_view(reinterpret_cast<const char*>(payload.data() + at),
                           std::size_t(end - (payload.data() + at)));
    at = std::size_t(end - payload.data()) + 1;
    return true;
}

inline bool isFunctionValue(const Value& v) {
    return v.isObject() && v.object()->kind() == ObjectKind::Function;
}

} // namespace swivio::swf::avm1::action
