#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace swivio::testkit {

// The action codes of SWF 3 to 8. Codes from 0x80 on carry a 16-bit length and a payload.
enum class ActionCode : uint8_t {
    End = 0x00,
    // SWF 3
    NextFrame = 0x04,
    PreviousFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    ToggleQuality = 0x08,
    StopSounds = 0x09,
    GotoFrame = 0x81,
    GetUrl = 0x83,
    WaitForFrame = 0x8A,
    SetTarget = 0x8B,
    GotoLabel = 0x8C,
    // SWF 4
    Add = 0x0A,
    Subtract = 0x0B,
    Multiply = 0x0C,
    Divide = 0x0D,
    Equals = 0x0E,
    Less = 0x0F,
    And = 0x10,
    Or = 0x11,
    Not = 0x12,
    StringEquals = 0x13,
    StringLength = 0x14,
    StringExtract = 0x15,
    Pop = 0x17,
    ToInteger = 0x18,
    GetVariable = 0x1C,
    SetVariable = 0x1D,
    SetTarget2 = 0x20,
    StringAdd = 0x21,
    GetProperty = 0x22,
    SetProperty = 0x23,
    CloneSprite = 0x24,
    RemoveSprite = 0x25,
    Trace = 0x26,
    StartDrag = 0x27,
    EndDrag = 0x28,
    StringLess = 0x29,
    RandomNumber = 0x30,
    MbStringLength = 0x31,
    CharToAscii = 0x32,
    AsciiToChar = 0x33,
    GetTime = 0x34,
    MbStringExtract = 0x35,
    MbCharToAscii = 0x36,
    MbAsciiToChar = 0x37,
    WaitForFrame2 = 0x8D,
    Push = 0x96,
    Jump = 0x99,
    GetUrl2 = 0x9A,
    If = 0x9D,
    Call = 0x9E,
    GotoFrame2 = 0x9F,
    // SWF 5
    Delete = 0x3A,
    Delete2 = 0x3B,
    DefineLocal = 0x3C,
    CallFunction = 0x3D,
    Return = 0x3E,
    Modulo = 0x3F,
    NewObject = 0x40,
    DefineLocal2 = 0x41,
    InitArray = 0x42,
    InitObject = 0x43,
    TypeOf = 0x44,
    TargetPath = 0x45,
    Enumerate = 0x46,
    Add2 = 0x47,
    Less2 = 0x48,
    Equals2 = 0x49,
    ToNumber = 0x4A,
    ToString = 0x4B,
    PushDuplicate = 0x4C,
    StackSwap = 0x4D,
    GetMember = 0x4E,
    SetMember = 0x4F,
    Increment = 0x50,
    Decrement = 0x51,
    CallMethod = 0x52,
    NewMethod = 0x53,
    BitAnd = 0x60,
    BitOr = 0x61,
    BitXor = 0x62,
    BitLShift = 0x63,
    BitRShift = 0x64,
    BitURShift = 0x65,
    StoreRegister = 0x87,
    ConstantPool = 0x88,
    With = 0x94,
    DefineFunction = 0x9B,
    // SWF 6
    InstanceOf = 0x54,
    Enumerate2 = 0x55,
    StrictEquals = 0x66,
    Greater = 0x67,
    StringGreater = 0x68,
    // SWF 7
    Throw = 0x2A,
    CastOp = 0x2B,
    ImplementsOp = 0x2C,
    Extends = 0x69,
    DefineFunction2 = 0x8E,
    Try = 0x8F,
};

// DefineFunction2's flags, as its 16-bit field stores them read little-endian.
inline constexpr uint16_t kPreloadThis = 0x0001;
inline constexpr uint16_t kSuppressThis = 0x0002;
inline constexpr uint16_t kPreloadArguments = 0x0004;
inline constexpr uint16_t kSuppressArguments = 0x0008;
inline constexpr uint16_t kPreloadSuper = 0x0010;
inline constexpr uint16_t kSuppressSuper = 0x0020;
inline constexpr uint16_t kPreloadRoot = 0x0040;
inline constexpr uint16_t kPreloadParent = 0x0080;
inline constexpr uint16_t kPreloadGlobal = 0x0100;

// Builds action bytes, so a test states the ActionScript it means:
//   ActionAssembler a;
//   a.push("x").push(1.5).op(ActionCode::SetVariable);
//   std::vector<uint8_t> bytes = a.build();
// Each push is an action of its own. Labels are local to one assembler (a function's body,
// a try block's parts and a with block are assemblers of their own) and branches to them are
// resolved by build(). A missing label, a branch too far or a record past 65535 bytes is a
// fault in the test and aborts it.
class ActionAssembler {
public:
    using Body = std::function<void(ActionAssembler&)>;

    // Push: a string (type 0), a number (an integer that fits in 32 bits as type 7, any
    // other as a double, type 6), a boolean, null, undefined, a register, a constant pool
    // index (8 or 16 bits as it needs).
    ActionAssembler& push(const char* s) { return push(std::string(s)); }
    ActionAssembler& push(const std::string& s);
    ActionAssembler& push(double v);
    ActionAssembler& push(int v) { return push(double(v)); }
    ActionAssembler& push(bool v);
    ActionAssembler& pushFloat(float v); // type 1, a single
    ActionAssembler& pushNull();
    ActionAssembler& pushUndefined();
    ActionAssembler& pushRegister(uint8_t n);
    ActionAssembler& pushConstant(uint16_t index);

    // An action without payload (a code from 0x80 on gets a zero length).
    ActionAssembler& op(ActionCode code);
    ActionAssembler& trace() { return op(ActionCode::Trace); }
    // Bytes as given, for damaged records.
    ActionAssembler& raw(const std::vector<uint8_t>& bytes);

    ActionAssembler& constantPool(std::initializer_list<std::string> strings);
    ActionAssembler& label(const std::string& name);
    ActionAssembler& branchIfTrue(const std::string& label);
    ActionAssembler& jump(const std::string& label);
    ActionAssembler& defineFunction(const std::string& name, std::vector<std::string> params,
                                    const Body& body);
    // params: name and register (0: not in a register).
    ActionAssembler& defineFunction2(const std::string& name,
                                     std::vector<std::pair<std::string, uint8_t>> params,
                                     uint8_t registerCount, uint16_t flags, const Body& body);
    // The catch variable: a name, or a register.
    struct CatchVariable {
        CatchVariable(const char* n) : name(n) {}
        CatchVariable(std::string n) : name(std::move(n)) {}
        CatchVariable(int r) : reg(r) {}
        std::string name;
        int reg = -1;
    };
    // An empty catchBody or finallyBody leaves that block out.
    ActionAssembler& tryBlock(const Body& tryBody, const CatchVariable& variable,
                              const Body& catchBody, const Body& finallyBody = {});
    ActionAssembler& with(const Body& body);
    ActionAssembler& gotoFrame(uint16_t frame);
    ActionAssembler& gotoFrame2(bool play, std::optional<uint16_t> sceneBias = std::nullopt);
    ActionAssembler& getUrl(const std::string& url, const std::string& target);
    ActionAssembler& getUrl2(uint8_t flags);
    ActionAssembler& waitForFrame(uint16_t frame, uint8_t skip);
    ActionAssembler& waitForFrame2(uint8_t skip);
    ActionAssembler& setTarget(const std::string& name);
    ActionAssembler& gotoLabel(const std::string& label);
    ActionAssembler& storeRegister(uint8_t n);

    // The actions with branches resolved, then ActionEnd.
    std::vector<uint8_t> build() const;
    // The same without ActionEnd (a function's or a block's body).
    std::vector<uint8_t> buildBody() const;

private:
    ActionAssembler& record(ActionCode code, const std::vector<uint8_t>& payload);
    ActionAssembler& branch(ActionCode code, const std::string& label);

    std::vector<uint8_t> m_bytes;
    std::vector<std::pair<std::string, std::size_t>> m_labels;   // name, offset
    std::vector<std::pair<std::string, std::size_t>> m_branches; // label, offset field
};

} // namespace swivio::testkit
