#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace swivio::swf::avm1 {

class Object;
class ScriptRuntime;

// The file a script's url names, when it lies in the movie's folder or below: relative,
// no "..", no scheme or drive, no backslash. A query ("?a=1") or fragment is dropped.
// Otherwise nullopt with the reason in why.
std::optional<std::filesystem::path> localLoadPath(std::string_view moviePath, std::string_view url,
                                                   std::string& why);

// XML.load, XML.sendAndLoad, LoadVars.load/sendAndLoad/send and MovieClipLoader, bound to
// the movie's folder (installed by ScriptRuntime::attach).
void installLoadingBuiltins(ScriptRuntime& runtime);
// loadVariables/loadVariablesNum: the variables reach the target clip on a later frame,
// with its onClipEvent(data) and onData.
// post: the target's variables go along (shown in the trace output, never sent).
void loadVariablesInto(ScriptRuntime& runtime, Object* base, std::string_view url,
                       std::string_view target, bool post = false);
// Delivers what earlier frames asked to load (once per frame, outside any script).
void deliverLoads(ScriptRuntime& runtime);

} // namespace swivio::swf::avm1
