#pragma once

// Helpers shared by the flash.geom classes, Color and the clip transform. Internal to the
// interpreter's built-in files.
#include <string_view>

#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1::geom {

// a + b as the Add2 action computes it: strings join when either side is one.
Value addValues(Interpreter& vm, const Value& a, const Value& b);
// this.name as a number.
double numberOf(Interpreter& vm, const Value& object, std::string_view name);
// _global.flash.geom[name] as it is now (scripts may replace or remove the classes).
Value geomClass(Interpreter& vm, std::string_view name);
// new flash.geom[className](args); undefined when the class is gone.
Value makeInstance(Interpreter& vm, std::string_view className, std::span<const Value> args);
// Whether value is an object whose prototype chain holds flash.geom[className].prototype.
bool isInstance(Interpreter& vm, const Value& value, std::string_view className);

// Class installers; each puts its constructor on the flash.geom package object.
void installPoint(Interpreter& vm, Object* package);
void installRectangle(Interpreter& vm, Object* package);
void installMatrix(Interpreter& vm, Object* package);
void installColorTransform(Interpreter& vm, Object* package);
void installTransform(Interpreter& vm, Object* package);
void installColor(Interpreter& vm);

} // namespace swivio::swf::avm1::geom
