#pragma once

#include <cstdint>
#include <vector>

#include "swf/format/shape.h"

namespace swivio::swf {

// Display-object blend modes, by their number in PlaceObject3 (0 and 1 are both normal).
enum class BlendMode : uint8_t {
    Normal = 1,
    Layer = 2,
    Multiply = 3,
    Screen = 4,
    Lighten = 5,
    Darken = 6,
    Difference = 7,
    Add = 8,
    Subtract = 9,
    Invert = 10,
    Alpha = 11,
    Erase = 12,
    Overlay = 13,
    HardLight = 14,
};

// One entry of a FILTERLIST. Which fields matter depends on the type.
struct Filter {
    enum class Type : uint8_t {
        DropShadow = 0,
        Blur = 1,
        Glow = 2,
        Bevel = 3,
        GradientGlow = 4,
        Convolution = 5,
        ColorMatrix = 6,
        GradientBevel = 7,
    };
    Type type = Type::Blur;
    Rgba color;     // shadow / glow colour
    Rgba highlight; // bevel highlight
    float blurX = 0, blurY = 0;      // pixels
    float angle = 0, distance = 0;  // radians, pixels
    float strength = 1;
    bool inner = false, knockout = false, compositeSource = true, onTop = false;
    int passes = 1;
    std::vector<GradientStop> gradient; // gradient glow and bevel
    // Convolution
    int matrixX = 0, matrixY = 0;
    float divisor = 1, bias = 0;
    std::vector<float> convolution;
    Rgba defaultColor;
    bool clamp = true, preserveAlpha = false;
    // Colour matrix, 4 rows of 5, the fifth column an offset in 0..255 units.
    float colorMatrix[20] = {};
};

} // namespace swivio::swf
