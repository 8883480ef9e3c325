#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"
#include "swf/format/character.h"

namespace swivio::swf {

// The body of DefineButton (7) or DefineButton2 (34) after the character id.
Result<ButtonDefinition> parseDefineButton(uint16_t tagCode, std::span<const uint8_t> body);

// DefineButtonCxform's colour transform (the body after the button id), which applies to
// every character of a DefineButton.
Result<ColorTransform> parseButtonCxform(std::span<const uint8_t> body);

} // namespace swivio::swf
