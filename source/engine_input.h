#pragma once

// Inside source/ only: the engine's form of a person's input.
#include "source/user_input.h"
#include "swf/player/input_event.h"

namespace swivio {

swf::InputEvent toEngineInput(const UserInput& input);

} // namespace swivio
