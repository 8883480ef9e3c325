// Dragging clips with the pointer: startDrag, stopDrag and _droptarget.
#include <algorithm>
#include <cmath>

#include "swf/avm1/display_bounds.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/player/hit_test.h"

namespace swivio::swf::avm1 {

namespace {

struct MovieFonts : FontLookup {
    explicit MovieFonts(const MovieDefinition& m) : movie(m) {}
    const Font* font(uint16_t id) const override {
        const Character* c = movie.character(id);
        return c ? c->font.get() : nullptr;
    }
    const MovieDefinition& movie;
};

// The pointer in the space of object's parent, in twips.
void pointerIn(const DisplayObject& object, double mouseX, double mouseY, double& x, double& y) {
    Matrix toParent = object.parent() ? inverted(stageMatrix(*object.parent())) : Matrix{};
    x = toParent.mapX(mouseX * 20, mouseY * 20);
    y = toParent.mapY(mouseX * 20, mouseY * 20);
}

// The innermost clip under the stage point, leaving out the dragged one; null for none.
DisplayObject* clipUnder(DisplayObject& root, const DisplayObject& dragged, double x, double y,
                         const FontLookup& fonts) {
    DisplayObject* found = nullptr;
    DisplayObject* at = &root;
    for (;;) {
        DisplayObject* hit = nullptr;
        for (auto it = at->children().rbegin(); it != at->children().rend(); ++it) {
            DisplayObject& child = *it->second;
            if (&child != &dragged && child.visible && child.clipDepth == 0 &&
                objectHit(child, x, y, fonts)) {
                hit = &child;
                break;
            }
        }
        if (!hit || !hit->isClip())
            return hit ? at : found;
        found = at = hit;
    }
}

} // namespace

void ScriptRuntime::startDrag(Object* clip, bool lockCenter, const double* bounds) {
    auto* c = dynamic_cast<ClipObject*>(clip);
    c = c ? c->live() : nullptr;
    DisplayObject* d = c ? c->display() : nullptr;
    if (!d || d->isRoot())
        return;
    Drag drag;
    drag.clip = d->handle();
    if (!lockCenter) {
        // The clip keeps its distance from the pointer.
        double px, py;
        pointerIn(*d, m_mouseX, m_mouseY, px, py);
        drag.offsetX = d->matrix.tx - px;
        drag.offsetY = d->matrix.ty - py;
    }
    if (bounds) {
        drag.constrained = true;
        drag.left = std::min(bounds[0], bounds[2]) * 20;
        drag.right = std::max(bounds[0], bounds[2]) * 20;
        drag.top = std::min(bounds[1], bounds[3]) * 20;
        drag.bottom = std::max(bounds[1], bounds[3]) * 20;
    }
    m_drag = drag;
    updateDrag();
}

void ScriptRuntime::stopDrag() {
    updateDrag();
    m_drag.reset();
}

std::string ScriptRuntime::dropTarget(const DisplayObject& display) const {
    auto it = m_dropTargets.find(display.handle().id);
    return it == m_dropTargets.end() ? std::string() : it->second;
}

void ScriptRuntime::updateDrag() {
    if (!m_drag || !m_player)
        return;
    DisplayObject* d = m_player->root().find(m_drag->clip);
    if (!d) {
        m_drag.reset();
        return;
    }
    double x, y;
    pointerIn(*d, m_mouseX, m_mouseY, x, y);
    x += m_drag->offsetX;
    y += m_drag->offsetY;
    if (m_drag->constrained) {
        x = std::clamp(x, m_drag->left, m_drag->right);
        y = std::clamp(y, m_drag->top, m_drag->bottom);
    }
    if (std::isfinite(x) && std::isfinite(y)) {
        d->matrix.tx = std::round(x);
        d->matrix.ty = std::round(y);
        d->transformedByScript = true;
    }
    DisplayObject* under =
        clipUnder(m_player->root(), *d, m_mouseX * 20, m_mouseY * 20, MovieFonts(*m_movie));
    m_dropTargets[d->handle().id] = under ? targetPath(clipFor(*under), false) : std::string();
}

} // namespace swivio::swf::avm1
