#include "swf/avm1/point_mapping.h"

#include <cmath>

#include "swf/player/display_object.h"

namespace swivio::swf::avm1 {

namespace {
double fixed16(double v) { return std::round(v * 65536) / 65536; }
} // namespace

Matrix scriptStageMatrix(const DisplayObject& object) {
    const auto level = [](const Matrix& m) {
        return Matrix{fixed16(m.a), fixed16(m.b), fixed16(m.c), fixed16(m.d), m.tx, m.ty};
    };
    Matrix m = level(object.matrix);
    for (const DisplayObject* p = object.parent(); p; p = p->parent()) {
        m = level(p->matrix) * m;
        m.tx = std::round(m.tx);
        m.ty = std::round(m.ty);
    }
    return m;
}

void mapToTwips(const Matrix& m, double& x, double& y) {
    const double lx = std::round(m.a * x + m.c * y) + std::round(m.tx);
    const double ly = std::round(m.b * x + m.d * y) + std::round(m.ty);
    x = lx;
    y = ly;
}

} // namespace swivio::swf::avm1
