#include "swf/avm1/activation.h"

#include "swf/avm1/clip_object.h"

// How code finds variables, functions and the objects that paths name.

namespace swivio::swf::avm1 {

namespace {

// Where a variable path splits into the holder's path and the name: at its last ':' or '.'.
std::size_t pathSplit(std::string_view name) { return name.find_last_of(":."); }

constexpr std::string_view kPrimitiveTargetMessage =
    "Parameters of primitive types are no longer coerced into the required type - Object.";

} // namespace

Object* Activation::resolveTarget(const Value& path) {
    if (path.isObject() && isDisplayKind(path.object()->kind()))
        return path.object();
    std::string text = vm.toString(path);
    if (text.empty())
        return target;
    return targetObject(target, text);
}

Object* Activation::targetObject(Object* base, std::string_view path) {
    Value v = vm.host().resolvePath(base, path);
    if (v.isObject())
        return v.object();
    if (!v.isUndefined() && !v.isNull())
        vm.host().traceLine(kPrimitiveTargetMessage);
    return nullptr;
}

Object* Activation::variablesTarget() {
    // After a tellTarget that named no clip, and once the clip the code works on has left
    // the stage, variables are those of the root.
    auto* clip = target && isDisplayKind(target->kind()) ? static_cast<ClipObject*>(target)
                                                          : nullptr;
    const bool gone = clip && clip->removed && !clip->unloading && !clip->display();
    return target && !gone ? target : vm.host().resolveTarget(nullptr, "");
}

Value Activation::pathHolder(std::string_view path) {
    Value v = vm.host().resolvePath(target, path);
    if (v.isUndefined())
        v = objectAtPath(path);
    if (v.isObject())
        return v;
    if (!v.isUndefined() && !v.isNull())
        vm.host().traceLine(kPrimitiveTargetMessage);
    return Value();
}

Value Activation::pathInScope(Scope& s, std::string_view path) {
    Object* start = s.values;
    if (s.kind == Scope::Kind::Target) {
        Value v = vm.host().resolvePath(target, path);
        if (!v.isUndefined())
            return v.isObject() ? v : Value();
        // A timeline that is not a clip (a host without a display list) has members only.
        start = variablesTarget();
        if (!start || isDisplayKind(start->kind()))
            return Value();
    }
    if (!start)
        return Value();
    if (isDisplayKind(start->kind())) {
        Value v = vm.host().resolvePath(start, path);
        return v.isObject() ? v : Value();
    }
    // A plain object (locals, a with object, _global) is walked member by member.
    Value at(start);
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find_first_of(".:", begin);
        if (end == std::string_view::npos)
            end = path.size();
        if (!at.isObject())
            return Value();
        std::string_view segment = path.substr(begin, end - begin);
        if (segment.empty() || segment.find('/') != std::string_view::npos)
            return Value();
        at = vm.getMember(at, segment);
        begin = end + 1;
    }
    return at.isObject() ? at : Value();
}

Value Activation::objectAtPath(std::string_view path) {
    // Walked segment by segment, so a long path costs no machine stack.
    std::size_t start = 0;
    Value at;
    bool first = true;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(".:", start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view segment = path.substr(start, end - start);
        if (first) {
            if (segment.find('/') != std::string_view::npos) {
                Object* clip = vm.host().resolveTarget(target, segment);
                at = clip ? Value(clip) : Value();
            } else {
                at = getVariable(segment);
            }
            first = false;
        } else {
            if (!at.isObject())
                return Value();
            at = vm.getMember(at, segment);
        }
        start = end + 1;
    }
    return at;
}

Value Activation::getVariable(std::string_view name) {
    if (name.find_first_of(":./") != std::string_view::npos) {
        const std::size_t split = pathSplit(name);
        if (split == std::string_view::npos)
            return vm.host().resolvePath(target, name); // "/a/b": the clip itself
        std::string_view path = name.substr(0, split);
        if (path.empty())
            return Value();
        // Each scope in turn, innermost first: the first where the path leads to an object
        // that has the name answers.
        const std::string_view variable = name.substr(split + 1);
        for (Scope* s = scope; s; s = s->parent) {
            Value holder = pathInScope(*s, path);
            if (holder.isObject() && vm.hasProperty(holder.object(), variable))
                return vm.getMember(holder, variable);
        }
        return Value();
    }
    if (version >= 5 && vm.namesEqual(name, "this")) {
        if (!thisHidden)
            return thisValue;
        // this kept in a register only: SWF 5 code finds nothing by the name, later code the
        // timeline.
        if (version < 6)
            return Value();
        Object* timeline = variablesTarget();
        return timeline ? Value(timeline) : Value();
    }
    const bool proto = vm.namesEqual(name, "__proto__");
    for (Scope* s = scope; s; s = s->parent) {
        Object* holder = s->kind == Scope::Kind::Target ? variablesTarget() : s->values;
        if (!holder)
            continue;
        if (proto && s->kind != Scope::Kind::Local && !holder->protoValue().isUndefined())
            return holder->protoValue();
        Value out;
        if (vm.getOwnOrInherited(holder, holder, name, out))
            return out;
    }
    if (version >= 6 && vm.namesEqual(name, "_global"))
        return vm.global();
    return Value();
}

void Activation::setVariable(std::string_view name, const Value& value) {
    const std::size_t split = pathSplit(name);
    if (split != std::string_view::npos) {
        std::string_view path = name.substr(0, split);
        if (path.empty()) {
            vm.setMember(target, name.substr(split + 1), value);
            return;
        }
        // The first scope, innermost first, where the path leads to an object takes it.
        for (Scope* s = scope; s; s = s->parent) {
            if (s->kind == Scope::Kind::Target) {
                Value holder = pathHolder(path);
                if (holder.isObject()) {
                    vm.setMember(holder, name.substr(split + 1), value);
                    return;
                }
                continue;
            }
            Value holder = pathInScope(*s, path);
            if (holder.isObject()) {
                vm.setMember(holder, name.substr(split + 1), value);
                return;
            }
        }
        return;
    }
    for (Scope* s = scope; s; s = s->parent) {
        if (s->kind == Scope::Kind::Target || s->kind == Scope::Kind::Global)
            break;
        // Only an own property of a with object takes the assignment: a child clip or an
        // inherited member of that name leaves it to the timeline.
        Object* o = s->values;
        const bool own = o && (o->properties().find(name, vm.caseSensitive()) ||
                               (isDisplayKind(o->kind()) ? isClipProperty(name)
                                                         : vm.hasOwnProperty(o, name)));
        if (own) {
            vm.setMember(o, name, value);
            return;
        }
    }
    if (Object* timeline = variablesTarget())
        vm.setMember(timeline, name, value);
}

void Activation::defineLocal(std::string_view name, const Value& value) {
    if (locals) {
        // A function's var cannot be deleted.
        locals->define(name, value, kDontDelete);
        return;
    }
    if (Object* timeline = variablesTarget())
        vm.setMember(timeline, name, value);
}

bool Activation::deleteVariable(std::string_view name) {
    const std::size_t split = pathSplit(name);
    if (split != std::string_view::npos) {
        std::string_view path = name.substr(0, split);
        Value holder = path.empty() ? Value(target) : pathHolder(path);
        return holder.isObject() && vm.deleteMember(holder.object(), name.substr(split + 1));
    }
    for (Scope* s = scope; s; s = s->parent) {
        Object* holder = s->kind == Scope::Kind::Target ? variablesTarget() : s->values;
        if (holder && vm.hasOwnProperty(holder, name))
            return vm.deleteMember(holder, name);
    }
    return false;
}

Value Activation::findFunction(std::string_view name, Value& thisOut) {
    for (Scope* s = scope; s; s = s->parent) {
        Object* holder = s->kind == Scope::Kind::Target ? variablesTarget() : s->values;
        if (!holder)
            continue;
        Value out;
        if (vm.getOwnOrInherited(holder, holder, name, out)) {
            // A function found on a with object or the timeline runs on it.
            if (s->kind == Scope::Kind::With || s->kind == Scope::Kind::Target)
                thisOut = holder;
            return out;
        }
    }
    if (name.find_first_of(":./") != std::string_view::npos) {
        // "a.b.method": the method runs on what the path names.
        std::size_t split = pathSplit(name);
        if (split != std::string_view::npos && split > 0) {
            std::string_view path = name.substr(0, split);
            Object* clip = vm.host().resolveTarget(target, path);
            Value holder = clip ? Value(clip) : getVariable(path);
            if (holder.isObject()) {
                thisOut = holder;
                return vm.getMember(holder, name.substr(split + 1));
            }
        }
        return getVariable(name);
    }
    return Value();
}

} // namespace swivio::swf::avm1
