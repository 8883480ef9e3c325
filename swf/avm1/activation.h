#pragma once

#include <memory>
#include <span>
#include <vector>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {

// The super of a method: looks members up from the prototype above the method's home, with
// this unchanged; calling it calls the parent class's constructor.
class SuperObject : public Object {
public:
    // Its own prototype is the one above the method's home, so that converting super
    // (trace(super)) finds the methods it would call.
    SuperObject(Object* self, Object* methodHome)
        : Object(methodHome ? methodHome->proto() : nullptr), thisObject(self), home(methodHome) {}
    Object* thisObject;
    Object* home; // the prototype the running method was found on
    void trace(Tracer& tracer) const override {
        Object::trace(tracer);
        tracer.mark(thisObject);
        tracer.mark(home);
    }
};

// One running block of actions: frame code, or one call of a script function.
class Activation {
public:
    // Jump: a branch left the running block for jumpTarget, which an enclosing block may hold.
    enum class Flow { Next, Return, End, Jump };

    Activation(Interpreter& interpreter, std::span<const uint8_t> actions, int codeVersion,
               std::shared_ptr<const void> codeOwner);
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

    // Runs the actions in [begin, end) of the code.
    Flow run(std::size_t begin, std::size_t end);

    Interpreter& vm;
    Activation* previous = nullptr;
    std::span<const uint8_t> code;
    int version;
    std::shared_ptr<const void> owner;
    std::shared_ptr<const std::vector<SharedString>> pool;
    Scope* scope = nullptr;
    Object* target = nullptr;     // the timeline variables go to (tellTarget changes it)
    Object* baseTarget = nullptr; // the one the block started with
    // Frame code stops once the clip it runs on has left the display list.
    const bool* baseRemoved = nullptr;
    // After a call, code whose clip was removed meanwhile stops (the clip's own frame code,
    // or a function defined on it).
    bool baseGone() const { return baseRemoved && *baseRemoved; }
    Value thisValue;
    // A function that keeps this in a register, or has none: the name "this" then reads
    // the timeline.
    bool thisHidden = false;
    Object* callee = nullptr;
    Object* home = nullptr; // for super
    Object* locals = nullptr;
    std::vector<Value> ownRegisters;
    std::span<Value> registers;
    Value returnValue;
    std::size_t jumpTarget = 0;
    int savedVersion = 0;

private:
    Value pop() { return vm.pop(); }
    void push(Value value) { vm.push(std::move(value)); }
    Value getVariable(std::string_view name);
    // The object a dot path ("a.b.c") names through variables and members.
    Value objectAtPath(std::string_view path);
    void setVariable(std::string_view name, const Value& value);
    void defineLocal(std::string_view name, const Value& value);
    bool deleteVariable(std::string_view name);
    // Finds a function by name for CallFunction; thisOut is the object that holds it.
    Value findFunction(std::string_view name, Value& thisOut);
    Object* resolveTarget(const Value& path);
    // The object a target path names; a path that ends on a number or string is reported as
    // Flash Player reports it, and names nothing.
    Object* targetObject(Object* base, std::string_view path);
    // The timeline whose variables the code reads and sets.
    Object* variablesTarget();
    // The object holding a variable of a path ("a/b:x", "obj.inner.x"): found by target path,
    // else walked from the scope chain. Undefined when there is none.
    Value pathHolder(std::string_view path);
    // The object a path names from one scope's object (a clip's paths for timelines and
    // clips, members for plain objects), or undefined.
    Value pathInScope(Scope& s, std::string_view path);
    Value getProperty(Object* clip, int index);
    void setProperty(Object* clip, int index, const Value& value);
    void gotoFrameValue(const Value& frame, bool play, int bias);
    Value makeFunction(std::span<const uint8_t> payload, bool function2, std::size_t bodyStart,
                       std::size_t& bodyEnd, SharedString& name);
    Value callMethod(const Value& object, const Value& name, std::span<const Value> args);
    Value superMember(SuperObject* super, std::string_view name, Object*& holder);
    Flow runTry(std::span<const uint8_t> payload, std::size_t start, std::size_t& next);
    std::vector<Value> popArguments();
    Value readPushValue(std::span<const uint8_t> payload, std::size_t& at, bool& ok);
};

} // namespace swivio::swf::avm1
