#pragma once

#include <span>
#include <string_view>

#include "swf/avm1/interpreter.h"

// Each file of built-ins installs its classes and functions on the interpreter's global
// object; the interpreter calls them in this order when it starts.
namespace swivio::swf {
class DisplayObject;
namespace sound {
struct StereoLevels;
}
} // namespace swivio::swf

namespace swivio::swf::avm1 {

class ScriptRuntime;

void installObjectBuiltins(Interpreter& vm);   // Object, Function, ASSetPropFlags
void installGlobalFunctions(Interpreter& vm);  // parseInt, isNaN, escape, ASnative...
void installArrayBuiltins(Interpreter& vm);
void installStringBuiltins(Interpreter& vm);
void installNumberBuiltins(Interpreter& vm);   // Number and Boolean
void installMathBuiltins(Interpreter& vm);
void installDateBuiltins(Interpreter& vm);
void installErrorBuiltins(Interpreter& vm);
void installBroadcasterBuiltins(Interpreter& vm); // AsBroadcaster
void installGeomBuiltins(Interpreter& vm);        // flash.geom, Color
void installDeviceBuiltins(Interpreter& vm);      // Camera, NetConnection, flash.net...
void installNetConnectionMethods(Interpreter& vm, Object* prototype); // connect, close, call
void installFileReferenceClasses(Interpreter& vm, Object* netPackage);
void installMenuBuiltins(Interpreter& vm);        // ContextMenu, PrintJob, Video...
void installFilterBuiltins(Interpreter& vm);      // flash.filters
void installBitmapDataBuiltins(Interpreter& vm);  // flash.display.BitmapData
void installXmlBuiltins(Interpreter& vm);         // XMLNode, XML
void installLoadVarsBuiltins(Interpreter& vm);    // LoadVars
void installTextFormatBuiltins(Interpreter& vm);  // TextFormat

// Sound and stopAllSounds, for a movie (builtins_sound.cpp). advanceSounds runs once a frame
// after the clock moves: sounds that ended hear onSoundComplete, loads report.
void installSoundBuiltins(ScriptRuntime& runtime);
void advanceSounds(ScriptRuntime& runtime);
void stopAllSounds(ScriptRuntime& runtime);
// The level a sound started under clip plays at (1 = full): the volumes that Sound objects
// set on the clip and each of its parents, and the movie's, multiplied; not clamped. A null
// clip gives the movie's alone.
double soundLevelFor(ScriptRuntime& runtime, const DisplayObject* clip);
// The same with the pans and transforms: how each input channel reaches each speaker.
sound::StereoLevels soundLevelsFor(ScriptRuntime& runtime, const DisplayObject* clip);

// Key and Selection, for a movie (builtins_key.cpp).
void installKeyBuiltins(ScriptRuntime& runtime);

// Sets target's variables from a url-encoded query string ("a=1&b=two%20words").
void decodeVariables(Interpreter& vm, const Value& target, std::string_view query);

// ASnative(200, index): the Math function of that index; an unknown index gives one that
// converts its arguments as the others do and answers NaN.
NativeFunction mathNative(int index);
// ASnative(table, index) as a new function object; ASSetNative and ASSetNativeAccessor.
FunctionObject* nativeFunction(Interpreter& vm, int table, int index);
void installNativeTables(Interpreter& vm);

// An argument, or undefined past the end.
inline const Value& argAt(std::span<const Value> args, std::size_t index) {
    static const Value undefinedValue{};
    return index < args.size() ? args[index] : undefinedValue;
}

} // namespace swivio::swf::avm1
