// Clicks on text fields: the character under the pointer, where the caret goes, and the
// "asfunction:" links that call a script function instead of opening a page.
#include <algorithm>
#include <cctype>
#include <limits>
#include <string>
#include <vector>

#include "swf/avm1/display_bounds.h"
#include "swf/avm1/keyboard.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/text_builtins.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

bool endsParagraph(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// The point in the field's text space (pixels, the gutter and scrolling taken in): x from
// the field's left edge, y from the top of the first line.
struct TextPoint {
    double x = 0, y = 0;
};

TextPoint textPoint(const DisplayObject& field, double stageX, double stageY) {
    text::EditField& f = *field.editField;
    const Matrix toLocal = inverted(stageMatrix(field));
    const double lx = toLocal.mapX(stageX, stageY), ly = toLocal.mapY(stageX, stageY);
    const text::TextLayout& layout = f.layout();
    const std::size_t first = std::min<std::size_t>(std::size_t(std::max(f.scroll, 1) - 1),
                                                    layout.lines.size() - 1);
    return {(lx - f.bounds.xMin) / 20.0 + f.hscroll,
            (ly - f.bounds.yMin) / 20.0 - text::kGutter + layout.lines[first].top};
}

const text::LayoutLine& lineAt(const text::TextLayout& layout, double y) {
    for (const text::LayoutLine& line : layout.lines)
        if (y < line.top + line.ascent + line.descent + line.leading)
            return line;
    return layout.lines.back();
}

// Calls visit(index, glyph) for each character of the line that has a glyph.
template <typename Visit>
void forEachGlyph(const text::EditField& f, const text::LayoutLine& line, Visit&& visit) {
    const std::u16string& s = f.content().text();
    std::size_t count = 0;
    for (std::size_t i = line.begin; i < line.end && i < s.size(); ++i)
        count += endsParagraph(s[i]) ? 0 : 1;
    // A bullet leads the glyphs without a character of its own.
    std::size_t g = line.glyphs.size() > count ? line.glyphs.size() - count : 0;
    for (std::size_t i = line.begin; i < line.end && i < s.size() && g < line.glyphs.size(); ++i) {
        if (endsParagraph(s[i]))
            continue;
        if (!visit(i, line.glyphs[g++]))
            return;
    }
}

} // namespace

std::size_t caretIndexAt(const DisplayObject& field, double stageX, double stageY) {
    text::EditField& f = *field.editField;
    const TextPoint p = textPoint(field, stageX, stageY);
    const text::LayoutLine& line = lineAt(f.layout(), p.y);
    const std::u16string& s = f.content().text();
    // Past the last glyph the caret stays before the paragraph end.
    std::size_t caret = line.end;
    while (caret > line.begin && caret <= s.size() && endsParagraph(s[caret - 1]))
        --caret;
    forEachGlyph(f, line, [&](std::size_t index, const text::LaidGlyph& g) {
        if (p.x < g.x + g.advance / 2) {
            caret = index;
            return false;
        }
        return true;
    });
    return std::min(caret, s.size());
}

std::string linkAt(const DisplayObject& field, double stageX, double stageY) {
    text::EditField& f = *field.editField;
    if (f.content().length() == 0)
        return {};
    const TextPoint p = textPoint(field, stageX, stageY);
    const text::LayoutLine& line = lineAt(f.layout(), p.y);
    if (p.y < line.top || p.y >= line.top + line.ascent + line.descent)
        return {};
    std::size_t hit = kNone;
    forEachGlyph(f, line, [&](std::size_t index, const text::LaidGlyph& g) {
        if (p.x >= g.x && p.x < g.x + g.advance) {
            hit = index;
            return false;
        }
        return true;
    });
    if (hit == kNone)
        return {};
    return f.content().formatAt(hit).url.value_or("");
}

bool runTextLink(ScriptRuntime& runtime, DisplayObject& field, const std::string& url) {
    constexpr std::string_view kScheme = "asfunction:";
    if (url.size() < kScheme.size())
        return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i])
            return false;
    // "asfunction:path.to.function,argument": everything after the first comma is the one
    // argument, spaces included.
    const std::string rest = url.substr(kScheme.size());
    const std::size_t comma = rest.find(',');
    const std::string path = rest.substr(0, comma);
    if (path.empty() || !field.parent())
        return true;
    Interpreter& vm = runtime.interpreter();
    Object* base = runtime.clipFor(*field.parent());
    Object* owner = base;
    std::string name = path;
    if (const std::size_t dot = path.rfind('.'); dot != std::string::npos) {
        owner = runtime.resolveTarget(base, path.substr(0, dot));
        name = path.substr(dot + 1);
    }
    if (!owner)
        return true;
    Value function = vm.getMemberFromHost(Value(owner), name);
    // A plain name not found on the field's timeline is looked up as a global.
    if (!function.isObject() && owner == base) {
        owner = vm.global();
        function = vm.getMemberFromHost(Value(owner), name);
    }
    if (!function.isObject())
        return true;
    std::vector<Value> args;
    if (comma != std::string::npos)
        args.emplace_back(rest.substr(comma + 1));
    vm.callFromHost(function, Value(owner), args);
    return true;
}

void clickTextField(ScriptRuntime& runtime, DisplayObject& field, double stageX, double stageY) {
    if (!field.editField)
        return;
    text::EditField& f = *field.editField;
    if (f.selectable) {
        f.caret = f.selectionAnchor = caretIndexAt(field, stageX, stageY);
        runtime.keyboard().selectionKnown = true;
    }
    runTextLink(runtime, field, linkAt(field, stageX, stageY));
}

} // namespace swivio::swf::avm1
