#include "swf/player/display_object.h"

namespace swivio::swf {

DisplayObject* DisplayObject::childAtDepth(int d) const {
    auto it = m_children.find(d);
    return it == m_children.end() ? nullptr : it->second.get();
}

DisplayObject* DisplayObject::childByName(const std::string& n) const {
    for (const auto& [d, child] : m_children)
        if (child->name == n)
            return child.get();
    return nullptr;
}

} // namespace swivio::swf
