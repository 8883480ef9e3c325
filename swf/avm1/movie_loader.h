#pragma once

#include <string_view>

#include "swf/avm1/value.h"

namespace swivio::swf::avm1 {

class Object;
class ScriptRuntime;

// Loading movies and pictures into clips and levels. A request is answered on the frame
// after it was made, after that frame's scripts: the target is emptied and given the loaded
// content, whose first frame runs at once; the loader's onLoadInit follows.
//
// url is read from the movie's folder or below only (see localLoadPath); a query after "?"
// becomes variables of the loaded clip. loader, when an object, hears the MovieClipLoader
// events (onLoadStart, onLoadProgress, onLoadComplete, onLoadInit, onLoadError).

// Into the clip target (an empty url unloads it).
void requestClipLoad(ScriptRuntime& runtime, Object* target, std::string_view url,
                     const Value& loader = Value());
// Into level n (an empty url unloads it).
void requestLevelLoad(ScriptRuntime& runtime, int level, std::string_view url,
                      const Value& loader = Value());
// GetURL and GetURL2 whose target is a level ("_level3") or, with loadTarget, a clip path:
// true when it was a load or unload request (handled), false for other targets.
bool requestLoadFromGetUrl(ScriptRuntime& runtime, Object* base, std::string_view url,
                           std::string_view target, bool loadTarget);
// The level number a "_levelN" name gives, or -1.
int levelNumber(std::string_view name);
// Starts a tick: requests made from now on wait for the next one.
void beginMovieLoadTick(ScriptRuntime& runtime);
// Answers the requests of earlier frames (once per frame, after the frame's scripts).
void deliverMovieLoads(ScriptRuntime& runtime);
// loadMovie and unloadMovie on MovieClip.prototype (installed with the loading built-ins).
void installMovieLoading(ScriptRuntime& runtime);

} // namespace swivio::swf::avm1
