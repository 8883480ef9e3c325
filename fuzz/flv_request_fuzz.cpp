// External-interface requests to the FLV player: any text is read or refused whole.
#include <cstddef>
#include <cstdint>
#include <string>

#include "source/flv_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto request = swivio::parseFlvRequest(text)) {
        // What is read back is what was made.
        const std::string again = swivio::makeFlvRequest(request->name, request->arguments);
        (void)swivio::parseFlvRequest(again);
    }
    return 0;
}
