#pragma once

#include <cstddef>
#include <string>

#include "swf/avm1/interpreter.h"
#include "swf/avm1/object.h"
#include "swf/player/display_object.h"
#include "swf/text/text_format.h"

// What TextFormat and TextField share.
namespace swivio::swf::avm1 {

// A TextFormat instance: every field null until set.
class TextFormatObject : public Object {
public:
    explicit TextFormatObject(Object* proto) : Object(proto) {}
    text::TextFormat format;
    std::string display = "block"; // "block", "inline" or "none"
};

// A new TextFormat holding format.
Value makeTextFormat(Interpreter& vm, const text::TextFormat& format);
// The format of a TextFormat instance; null for anything else.
const text::TextFormat* textFormatOf(const Value& value);

// TextFormat's whole-pixel fields (sizes, indents) round half to even; values past 32 bits,
// NaN and the infinities become -2^31, as the player's conversion gives them.
double formatInteger(double value);

// Moves a text field by what autoSize moved its box (center and right sizes keep the box's
// origin and move the field, as _x shows).
void settleAutoSize(DisplayObject& field);

class ScriptRuntime;

// Where a click at the stage point (twips) puts a field's caret: before the character whose
// glyph's middle lies right of it, else at the end of the line (text_links.cpp).
std::size_t caretIndexAt(const DisplayObject& field, double stageX, double stageY);
// The URL of the linked character under the stage point; empty when none.
std::string linkAt(const DisplayObject& field, double stageX, double stageY);
// Calls the function an "asfunction:name,argument" URL names, looked up from the field's
// timeline (then _global), with the object holding it as this; false for other URLs.
bool runTextLink(ScriptRuntime& runtime, DisplayObject& field, const std::string& url);
// A mouse press on a field: the caret moves to the character clicked (selectable fields)
// and an asfunction link under the pointer runs.
void clickTextField(ScriptRuntime& runtime, DisplayObject& field, double stageX, double stageY);

// TextField.StyleSheet, put on the TextField constructor.
void installStyleSheet(Interpreter& vm, Object* textFieldCtor);

} // namespace swivio::swf::avm1
