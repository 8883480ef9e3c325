#include "swf/format/edit_text.h"

#include "swf/format/records.h"

namespace swivio::swf {

namespace {

Result<EditText> cutShort(const char* what) {
    return Result<EditText>::failure(std::string("DefineEditText: cut short in ") + what);
}

// Strings are NUL-terminated; one that runs to the end of the tag has lost its end.
bool readString(ByteReader& in, std::string& out) {
    const std::span<const uint8_t> rest = in.data().subspan(in.offset());
    std::size_t n = 0;
    while (n < rest.size() && rest[n] != 0)
        ++n;
    if (n == rest.size()) {
        in.fail();
        return false;
    }
    out.assign(reinterpret_cast<const char*>(rest.data()), n);
    return in.skip(n + 1);
}

} // namespace

Result<EditText> parseDefineEditText(ByteReader& body) {
    EditText e;
    e.bounds = readRect(body);
    const uint8_t flags1 = body.u8();
    const uint8_t flags2 = body.u8();
    if (!body.ok())
        return cutShort("bounds and flags");
    e.hasText = flags1 & 0x80;
    e.wordWrap = flags1 & 0x40;
    e.multiline = flags1 & 0x20;
    e.password = flags1 & 0x10;
    e.readOnly = flags1 & 0x08;
    e.hasTextColor = flags1 & 0x04;
    e.hasMaxLength = flags1 & 0x02;
    e.hasFont = flags1 & 0x01;
    e.hasFontClass = flags2 & 0x80;
    e.autoSize = flags2 & 0x40;
    e.hasLayout = flags2 & 0x20;
    e.noSelect = flags2 & 0x10;
    e.border = flags2 & 0x08;
    e.wasStatic = flags2 & 0x04;
    e.html = flags2 & 0x02;
    e.useOutlines = flags2 & 0x01;
    if (e.hasFont)
        e.fontId = body.u16();
    if (e.hasFontClass && !readString(body, e.fontClass))
        return cutShort("font class");
    if (e.hasFont || e.hasFontClass)
        e.height = body.u16();
    if (e.hasTextColor)
        e.color = readRgba(body);
    if (e.hasMaxLength)
        e.maxLength = body.u16();
    if (e.hasLayout) {
        e.align = EditTextAlign(body.u8() & 3);
        e.leftMargin = body.u16();
        e.rightMargin = body.u16();
        e.indent = body.s16();
        e.leading = body.s16();
    }
    if (!body.ok())
        return cutShort("font and layout");
    if (!readString(body, e.variableName))
        return cutShort("variable name");
    // Some tools end the tag after the variable name when there is no text.
    if (e.hasText && !body.atEnd() && !readString(body, e.initialText)) {
        // Text without its end mark: keep what is there, as players do.
        const std::span<const uint8_t> rest = body.data().subspan(body.offset());
        e.initialText.assign(reinterpret_cast<const char*>(rest.data()), rest.size());
    }
    return e;
}

} // namespace swivio::swf
