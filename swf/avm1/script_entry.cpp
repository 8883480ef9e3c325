#include "swf/avm1/activation.h"
#include "swf/avm1/clip_object.h"

// Where the host starts scripts: each call runs guarded, so that a script's uncaught throw
// or its abort stops only that script.

namespace swivio::swf::avm1 {

template <typename F> void Interpreter::runGuarded(F&& f) {
    const bool outermost = m_activation == nullptr;
    if (outermost && !m_frameBudget)
        m_budget = m_limits.actionBudget;
    const char here = 0;
    if (outermost)
        m_stackBase = reinterpret_cast<uintptr_t>(&here);
    const std::size_t stackSize = m_stack.size();
    struct Guarded {
        int& count;
        explicit Guarded(int& c) : count(c) { ++count; }
        ~Guarded() { --count; }
    } guarded(m_guarded);
    try {
        f();
    } catch (ScriptThrow& thrown) {
        m_stack.resize(std::min(m_stack.size(), stackSize));
        std::string text;
        try {
            text = toString(thrown.value);
        } catch (...) {
            text = "(an exception whose text could not be made)";
        }
        reportUncaught(text, outermost);
    } catch (ScriptAbort& abort) {
        if (!outermost)
            throw;
        m_stack.clear();
        if (!abort.reason.empty())
            m_host.scriptError(abort.reason);
    }
}

Value Interpreter::pop() {
    if (m_stack.empty())
        return Value();
    Value v = std::move(m_stack.back());
    m_stack.pop_back();
    return v;
}

void Interpreter::push(Value value) {
    m_stack.push_back(std::move(value));
}

void Interpreter::runScript(const ActionBlock& block, Object* target) {
    runGuarded([&] {
        NestingGuard nesting(*this);
        Activation act(*this, block.code, block.version, block.owner);
        act.target = act.baseTarget = target;
        if (auto* clip = dynamic_cast<ClipObject*>(target); clip && block.stopsWithClip)
            act.baseRemoved = &clip->removed;
        act.thisValue = target;
        checkCells();
        act.scope = m_heap.make<Scope>(Scope::Kind::Target, nullptr,
                                       m_heap.make<Scope>(Scope::Kind::Global, m_global, nullptr));
        act.run(0, block.code.size());
    });
}

Value Interpreter::getMemberFromHost(const Value& object, std::string_view name) {
    Value result;
    runGuarded([&] { result = getMember(object, name); });
    return result;
}

Value Interpreter::callFromHost(const Value& function, const Value& thisValue,
                                std::span<const Value> args) {
    Value result;
    runGuarded([&] { result = call(function, thisValue, args); });
    return result;
}

} // namespace swivio::swf::avm1
