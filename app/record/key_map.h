#pragma once

#include <Qt>

#include <optional>

#include "source/user_input.h"

namespace swivio::app {

// The movie's key for a Qt key: Flash's key code and the character the key types (taken
// from `text`, what Qt says the press typed, when that is one printable character). False
// for keys a movie never hears of (media keys, dead keys, ...). `keypad` is a key of the
// number pad, which has codes of its own.
bool movieKey(int qtKey, bool keypad, char32_t typed, KeyInfo& key);

// The editing command a key with these modifiers gives a focused text field; none for keys
// that only type or do nothing to the text.
std::optional<UserTextControl> textControlFor(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace swivio::app
