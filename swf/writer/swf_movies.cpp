#include "swf/writer/swf_movies.h"

namespace swivio::swf::writer {

namespace {

std::vector<uint8_t> placeBody(const Place& p, bool third) {
    SwfBits b;
    uint8_t flags = 0;
    if (p.move)
        flags |= 0x01;
    if (p.character)
        flags |= 0x02;
    if (p.hasMatrix)
        flags |= 0x04;
    if (p.hasColorTransform)
        flags |= 0x08;
    if (p.ratio)
        flags |= 0x10;
    if (p.name)
        flags |= 0x20;
    if (p.clipDepth)
        flags |= 0x40;
    if (!p.clipActions.empty())
        flags |= 0x80;
    b.u8(flags);
    if (third) {
        uint8_t flags3 = 0;
        if (!p.filterList.empty())
            flags3 |= 0x01;
        if (p.blendMode)
            flags3 |= 0x02;
        if (p.cacheAsBitmap)
            flags3 |= 0x04;
        if (p.visible)
            flags3 |= 0x20;
        b.u8(flags3);
    }
    b.u16(p.depth);
    if (p.character)
        b.u16(*p.character);
    if (p.hasMatrix)
        b.matrix(p.scaleX, p.scaleY, p.rotateSkew0, p.rotateSkew1, p.translateX, p.translateY);
    if (p.hasColorTransform)
        b.cxform(true, p.mult, p.add);
    if (p.ratio)
        b.u16(*p.ratio);
    if (p.name)
        b.cstring(*p.name);
    if (p.clipDepth)
        b.u16(*p.clipDepth);
    if (third) {
        if (!p.filterList.empty())
            b.bytes(p.filterList);
        if (p.blendMode)
            b.u8(*p.blendMode);
        if (p.cacheAsBitmap)
            b.u8(*p.cacheAsBitmap ? 1 : 0);
        if (p.visible)
            b.u8(*p.visible ? 1 : 0);
    }
    b.bytes(p.clipActions);
    return b.data();
}

} // namespace

std::vector<uint8_t> placeObject2(const Place& place) {
    return placeBody(place, false);
}
std::vector<uint8_t> placeObject3(const Place& place) {
    return placeBody(place, true);
}

std::vector<uint8_t> placeObject1(uint16_t character, uint16_t depth, int32_t tx, int32_t ty) {
    SwfBits b;
    b.u16(character).u16(depth);
    b.matrix(1, 1, 0, 0, tx, ty);
    return b.data();
}

std::vector<uint8_t> removeObject2(uint16_t depth) {
    return SwfBits().u16(depth).data();
}

std::vector<uint8_t> removeObject1(uint16_t character, uint16_t depth) {
    return SwfBits().u16(character).u16(depth).data();
}

std::vector<uint8_t> blurFilterList(double blurX, double blurY) {
    SwfBits b;
    b.u8(1).u8(1); // one filter, blur
    b.fixed16(blurX).fixed16(blurY);
    b.u8(1 << 3); // one pass
    return b.data();
}

std::vector<uint8_t> clipActions(const std::vector<ClipAction>& handlers, int swfVersion) {
    SwfBits b;
    auto flags = [&](uint32_t events) {
        if (swfVersion >= 6)
            b.u32(events);
        else
            b.u16(uint16_t(events));
    };
    uint32_t all = 0;
    for (const ClipAction& h : handlers)
        all |= h.events;
    b.u16(0); // reserved
    flags(all);
    constexpr uint32_t keyPress = 1u << 17;
    for (const ClipAction& h : handlers) {
        flags(h.events);
        const bool key = h.events & keyPress;
        b.u32(uint32_t(h.actions.size() + (key ? 1 : 0)));
        if (key)
            b.u8(h.keyCode);
        b.bytes(h.actions);
    }
    flags(0);
    return b.data();
}

std::vector<uint8_t> doInitAction(uint16_t spriteId, const std::vector<uint8_t>& actions) {
    return SwfBits().u16(spriteId).bytes(actions).data();
}

std::vector<uint8_t> exportAssets(const std::vector<std::pair<uint16_t, std::string>>& names) {
    SwfBits b;
    b.u16(uint16_t(names.size()));
    for (const auto& [id, name] : names)
        b.u16(id).cstring(name);
    return b.data();
}

std::vector<uint8_t> importAssets(const std::string& url,
                                  const std::vector<std::pair<uint16_t, std::string>>& names,
                                  bool version2) {
    SwfBits b;
    b.cstring(url);
    if (version2)
        b.u8(1).u8(0);
    b.u16(uint16_t(names.size()));
    for (const auto& [id, name] : names)
        b.u16(id).cstring(name);
    return b.data();
}

std::vector<uint8_t> scriptLimits(uint16_t maxRecursionDepth, uint16_t timeoutSeconds) {
    return SwfBits().u16(maxRecursionDepth).u16(timeoutSeconds).data();
}

std::vector<uint8_t> frameLabel(const std::string& name) {
    return SwfBits().cstring(name).data();
}

SpriteBuilder& SpriteBuilder::tag(TagCode code, const std::vector<uint8_t>& body) {
    return tag(uint16_t(code), body);
}

SpriteBuilder& SpriteBuilder::tag(uint16_t code, const std::vector<uint8_t>& body) {
    auto rec = SwfWriter::tagRecord(code, body);
    m_tags.insert(m_tags.end(), rec.begin(), rec.end());
    return *this;
}

SpriteBuilder& SpriteBuilder::showFrame() {
    ++m_frames;
    return tag(TagCode::ShowFrame, {});
}

std::vector<uint8_t> SpriteBuilder::defineSprite(uint16_t id) const {
    SwfBits b;
    b.u16(id).u16(uint16_t(m_frames));
    b.bytes(m_tags);
    b.u16(0); // End
    return b.data();
}

} // namespace swivio::swf::writer

namespace swivio::swf::writer {

std::vector<uint8_t> defineFont1(uint16_t id, const std::vector<std::vector<uint8_t>>& glyphs) {
    SwfBits b;
    b.u16(id);
    uint32_t offset = uint32_t(glyphs.size() * 2);
    for (const auto& g : glyphs) {
        b.u16(uint16_t(offset));
        offset += uint32_t(g.size());
    }
    for (const auto& g : glyphs)
        b.bytes(g);
    return b.data();
}

std::vector<uint8_t> defineText2(uint16_t id, int32_t xMin, int32_t xMax, int32_t yMin,
                                 int32_t yMax, const std::vector<TextLine>& lines) {
    int glyphBits = 1, advanceBits = 1;
    for (const TextLine& line : lines)
        for (const auto& [index, advance] : line.glyphs) {
            glyphBits = std::max(glyphBits, SwfBits::bitsForUnsigned(index));
            advanceBits = std::max(advanceBits, SwfBits::bitsForSigned(advance));
        }
    SwfBits b;
    b.u16(id).rect(xMin, xMax, yMin, yMax).matrix();
    b.u8(uint8_t(glyphBits)).u8(uint8_t(advanceBits));
    for (const TextLine& line : lines) {
        b.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01); // font, colour, y and x
        b.u16(line.fontId);
        b.u8(line.r).u8(line.g).u8(line.b).u8(line.a);
        b.s16(line.x).s16(line.y);
        b.u16(line.height);
        b.u8(uint8_t(line.glyphs.size()));
        for (const auto& [index, advance] : line.glyphs)
            b.ub(glyphBits, index).sb(advanceBits, advance);
        b.align();
    }
    b.u8(0);
    return b.data();
}

std::vector<uint8_t> losslessBodyCompressed(uint8_t format, uint16_t width, uint16_t height,
                                            const std::vector<uint8_t>& compressed,
                                            int colorTableSize) {
    std::vector<uint8_t> body = {format, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                                 uint8_t(height >> 8)};
    if (format == 3)
        body.push_back(uint8_t(colorTableSize - 1));
    body.insert(body.end(), compressed.begin(), compressed.end());
    return body;
}

std::vector<uint8_t> losslessBody(uint8_t format, uint16_t width, uint16_t height,
                                  const std::vector<uint8_t>& rawData, int colorTableSize) {
    return losslessBodyCompressed(format, width, height, zlibCompress(rawData), colorTableSize);
}

} // namespace swivio::swf::writer
