#pragma once

#include <string>

#include "base/result.h"

namespace swivio {

// Creates a new, empty file with a unique name in `folder`: `prefix`, six random letters or
// digits, then ".tmp" (for example "vidA1b2C3.tmp"). The file is created exclusively with
// owner-only permissions, so no other file is ever reused or overwritten, and closed again;
// the caller opens it by the returned path and deletes it when done. An empty folder means
// the current folder. Fails, with a message naming the folder, when the folder does not
// exist or cannot be written.
Result<std::string> createTempFile(const std::string& folder, const std::string& prefix);

} // namespace swivio
