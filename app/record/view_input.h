#pragma once

#include <Qt>

#include <vector>

#include "app/record/view_fit.h"
#include "source/user_input.h"

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace swivio::app {

// A mouse event of the view as the movie hears it: the position in stage pixels through
// the view's fit (outside the picture it lies off the stage, as a player's letterbox
// reports it). False for buttons a movie has none of.
bool pointerInput(const QMouseEvent& event, UserInputKind kind, const FitRect& fit, int mw,
                  int mh, UserInput& input);

// A key press or release as the movie hears it: the key going down (or up), then what it
// types or the editing command it gives a focused text field (a paste first hands over
// the clipboard's text). Empty for keys a movie never
// hears of and for auto-repeated releases.
std::vector<UserInput> keyInputs(const QKeyEvent& event, bool press);

// Wheel turns add up in eighths of a degree until a whole line is reached; `pending`
// carries the rest between events. Zero when no whole line has come yet.
int wheelLines(int angleDelta, int linesPerNotch, int& pending);

// The pointer shown over the view for what the movie asks.
Qt::CursorShape cursorShape(UserCursor cursor, bool hidden);

} // namespace swivio::app
