#include "source/engine_input.h"

namespace swivio {

namespace {

// The two forms list the same things in the same order.
static_assert(int(UserInputKind::ClipboardText) == int(swf::InputKind::ClipboardText));
static_assert(int(UserMouseButton::Right) == int(swf::MouseButton::Right));
static_assert(int(UserTextControl::SelectEnd) == int(swf::TextControlCode::SelectEnd));

} // namespace

swf::InputEvent toEngineInput(const UserInput& input) {
    swf::InputEvent event;
    event.kind = static_cast<swf::InputKind>(input.kind);
    event.x = input.x;
    event.y = input.y;
    event.button = static_cast<swf::MouseButton>(input.button);
    event.wheelDelta = input.wheelDelta;
    event.keyCode = input.keyCode;
    event.character = input.character;
    event.codepoint = input.codepoint;
    event.control = static_cast<swf::TextControlCode>(input.control);
    event.text = input.text;
    return event;
}

} // namespace swivio
