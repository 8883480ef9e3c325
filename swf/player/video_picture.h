#pragma once

#include <memory>

#include "swf/player/display_object.h"

namespace swivio::swf {

// What a placed video stream shows: the frame its ratio names, decoded from the VideoFrame
// tags of the timeline that placed it (or of the timelines above), scaled to the stream's
// declared size. object must outlive the picture (it owns it).
std::shared_ptr<ScriptPicture> makeVideoPicture(const DisplayObject& object);

} // namespace swivio::swf
