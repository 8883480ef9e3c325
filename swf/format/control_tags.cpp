#include "swf/format/control_tags.h"

#include "swf/format/records.h"

namespace swivio::swf {

Result<std::vector<ClipEventHandler>> parseClipActions(std::span<const uint8_t> data,
                                                       int swfVersion) {
    ByteReader in(data);
    const bool wide = swfVersion >= 6;
    auto flags = [&] { return wide ? in.u32() : uint32_t(in.u16()); };
    in.u16(); // reserved
    flags();  // every record's events together: nothing the records do not say
    std::vector<ClipEventHandler> handlers;
    std::string damage;
    while (true) {
        const uint32_t events = flags();
        if (!in.ok()) {
            damage = "clip actions end without their end flag";
            break;
        }
        if (events == 0)
            break;
        const uint32_t size = in.u32();
        if (!in.ok() || size > in.remaining()) {
            damage = "clip action record runs past the tag";
            break;
        }
        ByteReader record = in.sub(size);
        ClipEventHandler h;
        h.events = events & kClipEventAll;
        // The key code counts in the record's size.
        if (h.events & kClipEventKeyPress)
            h.keyCode = record.u8();
        if (!record.ok()) {
            damage = "key press record without its key";
            break;
        }
        h.actions = record.bytes(record.remaining());
        handlers.push_back(h);
    }
    Result<std::vector<ClipEventHandler>> result(std::move(handlers));
    if (!damage.empty())
        result.warn(damage);
    return result;
}

Result<PlaceObject> parsePlaceObject(uint16_t tagCode, std::span<const uint8_t> body,
                                     int swfVersion) {
    ByteReader in(body);
    PlaceObject p;
    if (tagCode == 4) {
        p.characterId = in.u16();
        p.depth = in.u16();
        p.matrix = readMatrix(in);
        // The colour transform is optional: present only when bytes remain.
        if (in.ok() && !in.atEnd())
            p.colorTransform = readColorTransform(in, false);
        if (!in.ok())
            return Result<PlaceObject>::failure("PlaceObject cut short");
        return p;
    }
    const uint8_t flags = in.u8();
    const uint8_t flags3 = tagCode == 70 ? in.u8() : 0;
    p.depth = in.u16();
    p.move = flags & 0x01;
    const bool hasCharacter = flags & 0x02;
    if ((flags3 & 0x08) || ((flags3 & 0x10) && hasCharacter))
        p.className = in.cstring();
    if (hasCharacter)
        p.characterId = in.u16();
    if (flags & 0x04)
        p.matrix = readMatrix(in);
    if (flags & 0x08)
        p.colorTransform = readColorTransform(in, true);
    if (flags & 0x10)
        p.ratio = in.u16();
    if (flags & 0x20)
        p.name = in.cstring();
    if (flags & 0x40)
        p.clipDepth = in.u16();
    if (flags3 & 0x01)
        p.filters = readFilterList(in);
    if (flags3 & 0x02)
        p.blendMode = blendModeFromByte(in.u8());
    if (flags3 & 0x04)
        // Some authoring tools leave this byte out; a missing byte means cached.
        p.cacheAsBitmap = in.atEnd() ? true : in.u8() != 0;
    if (flags3 & 0x20)
        p.visible = in.atEnd() ? true : in.u8() != 0;
    if (flags3 & 0x40)
        p.opaqueBackground = readRgba(in);
    if (flags & 0x80)
        p.clipActions = in.bytes(in.remaining());
    if (!in.ok())
        return Result<PlaceObject>::failure("PlaceObject cut short or damaged");
    std::vector<std::string> warnings;
    if (flags & 0x80) {
        auto events = parseClipActions(p.clipActions, swfVersion);
        p.clipEvents = std::move(*events);
        warnings = events.warnings();
    }
    Result<PlaceObject> result(std::move(p));
    for (std::string& w : warnings)
        result.warn(std::move(w));
    return result;
}

Result<RemoveObject> parseRemoveObject(uint16_t tagCode, std::span<const uint8_t> body) {
    ByteReader in(body);
    if (tagCode == 5)
        in.u16(); // the character id, not needed: the depth says which object
    RemoveObject r;
    r.depth = in.u16();
    if (!in.ok())
        return Result<RemoveObject>::failure("RemoveObject cut short");
    return r;
}

} // namespace swivio::swf
