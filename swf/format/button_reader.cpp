#include "swf/format/button_reader.h"

#include "swf/format/records.h"

namespace swivio::swf {

namespace {

// BUTTONCONDACTIONs; the reason a record is damaged, or empty.
std::string readConditions(std::span<const uint8_t> data, std::vector<ButtonAction>& out) {
    ByteReader in(data);
    while (!in.atEnd()) {
        const std::size_t start = in.offset();
        // The size counts from the record's start to the next record; 0 marks the last.
        const uint16_t size = in.u16();
        const uint16_t conditions = in.u16();
        if (!in.ok())
            return "button condition cut short";
        if (size != 0 && (size < 4 || start + size > data.size()))
            return "button condition size " + std::to_string(size) + " out of the tag";
        const std::size_t end = size ? start + size : data.size();
        out.push_back({conditions, data.subspan(in.offset(), end - in.offset())});
        if (size == 0)
            break;
        in.seek(end);
    }
    return {};
}

} // namespace

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
    std::string damage;
    if (!second) {
        button.actions = in.bytes(in.remaining());
        button.conditions.push_back({kButtonOverDownToOverUp, button.actions});
    } else if (actionsAt > body.size()) {
        damage = "button actions start past the tag";
    } else if (actionsAt > 0) {
        button.actions = body.subspan(actionsAt);
        damage = readConditions(button.actions, button.conditions);
    }
    Result<ButtonDefinition> result(std::move(button));
    if (!damage.empty())
        result.warn(damage);
    return result;
}

Result<ColorTransform> parseButtonCxform(std::span<const uint8_t> body) {
    ByteReader in(body);
    ColorTransform t = readColorTransform(in, false);
    if (!in.ok())
        return Result<ColorTransform>::failure("DefineButtonCxform cut short");
    return t;
}

} // namespace swivio::swf
