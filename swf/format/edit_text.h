#pragma once

#include <cstdint>
#include <string>

#include "base/byte_reader.h"
#include "base/result.h"
#include "swf/format/types.h"

namespace swivio::swf {

enum class EditTextAlign : uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };

// DefineEditText (37): a text field's definition. Absent optional fields keep the defaults
// below; the has* flags tell whether the tag gave them.
struct EditText {
    Rect bounds; // twips, in the field's own space
    bool hasText = false, wordWrap = false, multiline = false, password = false;
    bool readOnly = false, hasTextColor = false, hasMaxLength = false, hasFont = false;
    bool hasFontClass = false, autoSize = false, hasLayout = false, noSelect = false;
    bool border = false, wasStatic = false, html = false, useOutlines = false;
    uint16_t fontId = 0;
    std::string fontClass;
    uint16_t height = 0; // twips; given with a font or a font class
    Rgba color{0, 0, 0, 255};
    uint16_t maxLength = 0;
    EditTextAlign align = EditTextAlign::Left;
    uint16_t leftMargin = 0, rightMargin = 0; // twips
    int16_t indent = 0, leading = 0;          // twips
    std::string variableName;
    std::string initialText;
};

// Reads the body of DefineEditText after the character id. A body cut short fails with a
// message naming the field it was reading.
Result<EditText> parseDefineEditText(ByteReader& body);

} // namespace swivio::swf
