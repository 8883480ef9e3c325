// The order Tab walks the focus through: the objects that take it (input fields, buttons,
// clips acting as buttons, and whatever sets tabEnabled), by tabIndex when any has one,
// else by where they stand on the stage, top to bottom and left to right.
#include <algorithm>
#include <cmath>

#include "swf/avm1/display_bounds.h"
#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

namespace {

constexpr int kMaxTabDepth = 256;

struct TabStop {
    DisplayObject* object = nullptr;
    std::optional<int32_t> index; // tabIndex, when set
    double top = 0, left = 0;     // stage twips
};

enum class Tab { Yes, No, Never };

// Whether Tab stops at the object: Never when tabEnabled or enabled says no, else by kind
// (a tabIndex makes a No count too).
Tab takesTab(ScriptRuntime& runtime, DisplayObject& object, const Value& face) {
    Interpreter& vm = runtime.interpreter();
    if (!isTextField(object)) {
        // A disabled button or clip is passed over.
        const Value enabled = memberOf(runtime, face, "enabled");
        if (!enabled.isUndefined() && !vm.toBoolean(enabled))
            return Tab::Never;
    }
    const Value tabEnabled = memberOf(runtime, face, "tabEnabled");
    if (!tabEnabled.isUndefined())
        return vm.toBoolean(tabEnabled) ? Tab::Yes : Tab::Never;
    if (isTextField(object))
        return isInputField(object) ? Tab::Yes : Tab::No;
    if (isButton(object))
        return Tab::Yes;
    return object.isClip() && actsAsButton(runtime, face) ? Tab::Yes : Tab::No;
}

void collect(ScriptRuntime& runtime, DisplayObject& parent, int depth,
             std::vector<TabStop>& out) {
    if (depth > kMaxTabDepth)
        return;
    Interpreter& vm = runtime.interpreter();
    // Getters run while the list is walked and may change it: each child is found again by
    // its handle.
    std::vector<DisplayObjectHandle> children;
    children.reserve(parent.children().size());
    for (auto& [childDepth, child] : parent.children()) {
        (void)childDepth;
        children.push_back(child->handle());
    }
    for (DisplayObjectHandle handle : children) {
        DisplayObject* found = runtime.player().root().find(handle);
        if (!found || !found->visible)
            continue;
        DisplayObject& object = *found;
        const bool candidate = object.isClip() || isButton(object) || isTextField(object);
        if (!candidate)
            continue;
        const Value face = scriptFace(runtime, &object);
        const Tab takes = takesTab(runtime, object, face);
        TabStop stop;
        stop.object = &object;
        const Value index = memberOf(runtime, face, "tabIndex");
        // tabIndex counts as a signed 32-bit number; -1 is the same as none.
        if (!index.isNullish()) {
            const int32_t n = vm.toInt32(index);
            if (n != -1)
                stop.index = n;
        }
        if (takes == Tab::Yes || (takes == Tab::No && stop.index)) {
            const Bounds b = displayBounds(object, stageMatrix(object));
            const Matrix m = stageMatrix(object);
            stop.top = b.empty ? m.mapY(0, 0) : b.yMin;
            stop.left = b.empty ? m.mapX(0, 0) : b.xMin;
            out.push_back(stop);
        }
        // A clip's children take part unless it keeps them out.
        if (object.isClip()) {
            const Value tabChildren = memberOf(runtime, face, "tabChildren");
            if (tabChildren.isUndefined() || vm.toBoolean(tabChildren))
                collect(runtime, object, depth + 1, out);
        }
    }
}

} // namespace

std::vector<DisplayObject*> tabOrder(ScriptRuntime& runtime) {
    std::vector<TabStop> stops;
    collect(runtime, runtime.player().root(), 0, stops);
    for (auto& [level, root] : runtime.player().levels()) {
        (void)level;
        collect(runtime, *root, 0, stops);
    }
    const bool custom = std::any_of(stops.begin(), stops.end(),
                                    [](const TabStop& s) { return s.index.has_value(); });
    if (custom) {
        // Only objects with an index take part, lowest first.
        std::erase_if(stops, [](const TabStop& s) { return !s.index; });
        std::stable_sort(stops.begin(), stops.end(),
                         [](const TabStop& a, const TabStop& b) { return *a.index < *b.index; });
    } else {
        std::stable_sort(stops.begin(), stops.end(), [](const TabStop& a, const TabStop& b) {
            return a.top != b.top ? a.top < b.top : a.left < b.left;
        });
    }
    std::vector<DisplayObject*> order;
    order.reserve(stops.size());
    for (const TabStop& s : stops)
        order.push_back(s.object);
    return order;
}

DisplayObject* nextTabStop(ScriptRuntime& runtime, DisplayObject* from, bool backwards) {
    const std::vector<DisplayObject*> order = tabOrder(runtime);
    if (order.empty())
        return nullptr;
    auto at = std::find(order.begin(), order.end(), from);
    if (at == order.end())
        return backwards ? order.back() : order.front();
    const std::size_t i = std::size_t(at - order.begin());
    if (backwards)
        return order[(i + order.size() - 1) % order.size()];
    return order[(i + 1) % order.size()];
}

} // namespace swivio::swf::avm1
