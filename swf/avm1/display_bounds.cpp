#include "swf/avm1/display_bounds.h"

#include <algorithm>
#include <cmath>

#include "swf/format/character.h"
#include "swf/player/drawing.h"
#include "swf/player/loaded_movie.h"

namespace swivio::swf::avm1 {

void Bounds::add(double x, double y) {
    if (empty) {
        xMin = xMax = x;
        yMin = yMax = y;
        empty = false;
        return;
    }
    xMin = std::min(xMin, x);
    xMax = std::max(xMax, x);
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
}

void Bounds::add(const Bounds& other) {
    if (other.empty)
        return;
    add(other.xMin, other.yMin);
    add(other.xMax, other.yMax);
}

namespace {

// Each corner lands on a whole twip, as the player maps boxes.
void addRect(Bounds& out, const Rect& r, const Matrix& m) {
    const double xs[] = {double(r.xMin), double(r.xMax)};
    const double ys[] = {double(r.yMin), double(r.yMax)};
    for (double x : xs)
        for (double y : ys)
            out.add(std::round(m.mapX(x, y)), std::round(m.mapY(x, y)));
}

} // namespace

Bounds displayBounds(const DisplayObject& object, const Matrix& transform, bool strokes) {
    Bounds out;
    if (object.drawing)
        if (std::optional<Rect> drawn =
                strokes ? object.drawing->bounds() : object.drawing->outlineBounds())
            addRect(out, *drawn, transform);
    if (const Character* character = object.character()) {
        switch (character->type) {
        case CharacterType::Shape:
            if (character->shape)
                addRect(out, character->shape->bounds, transform);
            break;
        case CharacterType::MorphShape:
            if (object.morphShape)
                addRect(out, object.morphShape->bounds, transform);
            else if (character->morph)
                addRect(out, character->morph->startBounds, transform);
            break;
        case CharacterType::Text:
            if (character->text)
                addRect(out, character->text->bounds, transform);
            break;
        case CharacterType::Bitmap:
            // A picture loaded into a clip: its own size, one pixel to 20 twips.
            if (const LoadedMovie* loaded = loadedMovieOf(object))
                if (const Bitmap* b = loaded->bitmaps->bitmap(character->id))
                    addRect(out, Rect{0, int32_t(b->width) * 20, 0, int32_t(b->height) * 20},
                            transform);
            break;
        case CharacterType::VideoStream:
            // Its declared size, whatever the size of its pictures.
            if (const VideoStreamDefinition* video = character->video.get())
                addRect(out, Rect{0, int32_t(video->width) * 20, 0, int32_t(video->height) * 20},
                        transform);
            break;
        case CharacterType::EditText:
            if (object.editField)
                addRect(out, object.editField->bounds, transform);
            break;
        default: break;
        }
    }
    for (const auto& [depth, child] : object.children()) {
        (void)depth;
        if (child->clipDepth)
            continue;
        out.add(displayBounds(*child, transform * child->matrix, strokes));
    }
    return out;
}

Matrix stageMatrix(const DisplayObject& object) {
    Matrix m = object.matrix;
    for (const DisplayObject* p = object.parent(); p; p = p->parent())
        m = p->matrix * m;
    return m;
}

Matrix inverted(const Matrix& m) {
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0)
        return Matrix{1, 0, 0, 1, -m.tx, -m.ty};
    Matrix r;
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.tx = -(r.a * m.tx + r.c * m.ty);
    r.ty = -(r.b * m.tx + r.d * m.ty);
    return r;
}

} // namespace swivio::swf::avm1
