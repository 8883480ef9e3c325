// The AMF0 reader on arbitrary bytes; whatever it makes is written back out.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "swf/avm1/amf0.h"

namespace {

class QuietHost : public swivio::swf::avm1::ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace swivio::swf::avm1;
    QuietHost host;
    ScriptLimits limits;
    limits.maxCells = 200000;
    Interpreter vm(host, 8, limits);
    try {
        Amf0Reader reader(vm, std::span<const uint8_t>(data, size));
        Amf0Writer writer(vm);
        for (int i = 0; i < 64 && !reader.atEnd(); ++i) {
            auto value = reader.read();
            if (!value)
                break;
            writer.write(*value);
        }
    } catch (const ScriptAbort&) {
        // A bound was reached: the reader stopped as a script would be.
    } catch (const ScriptThrow&) {
    }
    return 0;
}
