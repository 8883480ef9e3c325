#pragma once

#include <cstdint>
#include <vector>

namespace swivio::demo {

// The bundled demo movie, 550 x 400 at 24 frames per second: a sky gradient, a stroked
// radial sun, curved hills, a bitmap sign, static text, stripes seen through a round mask,
// a drifting translucent cloud and a bouncing ball clip with its own frames. `frames`
// (1 to 65535) sets its length; the motion spans the whole length.
inline constexpr int kDemoFrames = 96; // four seconds
std::vector<uint8_t> demoMovie(int frames = kDemoFrames);

} // namespace swivio::demo
