// Reads arbitrary bytes as the body of a DefineEditText tag. No input may crash, hang or
// read outside the bytes.
#include <cstddef>
#include <cstdint>

#include "base/byte_reader.h"
#include "swf/format/edit_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    swivio::ByteReader in(data, size);
    auto edit = swivio::swf::parseDefineEditText(in);
    if (edit && edit->initialText.size() > size)
        __builtin_trap(); // text can only come from the bytes
    return 0;
}
