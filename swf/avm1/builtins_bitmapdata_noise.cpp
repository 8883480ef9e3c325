// BitmapData methods that fill pixels from the player's seeded generators: noise,
// perlinNoise, pixelDissolve.
#include <algorithm>
#include <string>

#include "swf/avm1/builtins_bitmapdata.h"

namespace swivio::swf::avm1 {

namespace {

// noise(seed, low = 0, high = 255, channels = 7, grayScale = false): each chosen channel a
// value in [low, high], so the same seed gives the same picture; channels not chosen are 0,
// and alpha 255 when it is not chosen. Answers 0.
Value noise(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 1);
    if (!bitmap)
        return -1;
    const int32_t seed = vm.toInt32(args[0]);
    const int low = args.size() > 1 ? vm.toInt32(args[1]) : 0;
    const int high = args.size() > 2 ? vm.toInt32(args[2]) : 255;
    const int channels = args.size() > 3 ? vm.toInt32(args[3]) : 7;
    const bool gray = args.size() > 4 && vm.toBoolean(args[4]);
    image::noise(bitmap->image, seed, low, high, channels, gray);
    return 0;
}

// perlinNoise(baseX, baseY, octaves, seed, stitch, fractalNoise, channels = 7,
// grayScale = false, offsets = null). Answers 0.
Value perlinNoise(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 6);
    if (!bitmap)
        return -1;
    image::PerlinOptions options;
    options.baseX = vm.toNumber(args[0]);
    options.baseY = vm.toNumber(args[1]);
    options.octaves = vm.toInt32(args[2]);
    options.seed = vm.toInt32(args[3]);
    options.stitch = vm.toBoolean(args[4]);
    options.fractalNoise = vm.toBoolean(args[5]);
    options.channels = args.size() > 6 ? vm.toInt32(args[6]) : 7;
    options.grayScale = args.size() > 7 && vm.toBoolean(args[7]);
    const Value& offsets = argAt(args, 8);
    if (offsets.isObject() && offsets.object()->kind() == ObjectKind::Array) {
        const int count = std::clamp(options.octaves, 0, 32);
        for (int i = 0; i < count; ++i) {
            const Value point = vm.getMember(offsets, std::to_string(i));
            options.offsets.emplace_back(vm.toNumber(vm.getMember(point, "x")),
                                         vm.toNumber(vm.getMember(point, "y")));
        }
    }
    image::perlinNoise(bitmap->image, options);
    return 0;
}

// pixelDissolve(source, rect, point, seed, pixelCount, fillColor): answers the seed to
// pass next time to go on with the dissolve. A bitmap dissolving into itself takes the
// fill colour.
Value pixelDissolve(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    BitmapDataObject* bitmap = usable(thisValue, args, 5);
    if (!bitmap)
        return -1;
    BitmapDataObject* source = bitmapOf(args[0]);
    if (!source)
        return -2;
    if (!source->valid())
        return -3;
    const auto rect = rectArgument(vm, args[1]);
    if (!rect)
        return -4;
    const auto [destX, destY] = pointArgument(vm, args[2]);
    std::optional<uint32_t> fill;
    if (source == bitmap)
        fill = colorArgument(vm, argAt(args, 5));
    return double(image::pixelDissolve(bitmap->image, source->image, *rect, destX, destY,
                                       vm.toInt32(args[3]), vm.toInt32(args[4]), fill));
}

} // namespace

void installBitmapDataNoise(Interpreter& vm, Object* proto) {
    vm.defineMethod(proto, "noise", noise);
    vm.defineMethod(proto, "perlinNoise", perlinNoise);
    vm.defineMethod(proto, "pixelDissolve", pixelDissolve);
}

} // namespace swivio::swf::avm1
