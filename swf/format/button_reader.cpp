#include "swf/format/button_reader.h"

#include "swf/format/records.h"

namespace swivio::swf {

Result<ButtonDefinition> parseDefineButton(uint16_t tagCode, std::span<const uint8_t> body) {
    ByteReader in(body);
    const bool second = tagCode == 34;
    ButtonDefinition button;
    std::size_t actionsAt = 0;
    if (second) {
        button.trackAsMenu = in.u8() & 0x01;
        const std::size_t offsetField = in.offset();
        const uint16_t actionOffset = in.u16();
        // The offset counts from the offset field itself; 0 means no actions.
        actionsAt = actionOffset ? offsetField + actionOffset : 0;
    }
    while (in.ok()) {
        const uint8_t flags = in.u8();
        if (flags == 0)
            break; // end of the records
        ButtonRecord r;
        r.up = flags & 0x01;
        r.over = flags & 0x02;
        r.down = flags & 0x04;
        r.hitTest = flags & 0x08;
        r.characterId = in.u16();
        r.depth = in.u16();
        r.matrix = readMatrix(in);
        if (second) {
            r.colorTransform = readColorTransform(in, true);
            if (flags & 0x10)
                r.filters = readFilterList(in);
            if (flags & 0x20)
                r.blendMode = blendModeFromByte(in.u8());
        }
        if (in.ok())
            button.records.push_back(std::move(r));
    }
    if (!in.ok())
        return Result<ButtonDefinition>::failure("button records cut short or damaged");
    if (!second)
        button.actions = in.bytes(in.remaining());
    else if (actionsAt > 0 && actionsAt <= body.size())
        button.actions = body.subspan(actionsAt);
    return button;
}

Result<ColorTransform> parseButtonCxform(std::span<const uint8_t> body) {
    ByteReader in(body);
    ColorTransform t = readColorTransform(in, false);
    if (!in.ok())
        return Result<ColorTransform>::failure("DefineButtonCxform cut short");
    return t;
}

} // namespace swivio::swf
