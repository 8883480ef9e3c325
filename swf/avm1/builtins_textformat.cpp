// TextFormat: a character and paragraph format whose fields are null until set.
#include <cmath>
#include <cstdint>
#include <string>

#include "swf/avm1/array_object.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/text_builtins.h"
#include "swf/text/formatted_text.h"
#include "swf/text/glyph_font.h"
#include "swf/text/text_layout.h"

namespace swivio::swf::avm1 {

using text::TextFormat;

namespace {

enum Field {
    kFont,
    kSize,
    kColor,
    kBold,
    kItalic,
    kUnderline,
    kUrl,
    kTarget,
    kAlign,
    kLeftMargin,
    kRightMargin,
    kIndent,
    kBlockIndent,
    kLeading,
    kLetterSpacing,
    kKerning,
    kTabStops,
    kBullet,
    kFieldCount
};

constexpr const char* kFieldNames[kFieldCount] = {
    "font",        "size",    "color",         "bold",       "italic",      "underline",
    "url",         "target",  "align",         "leftMargin", "rightMargin", "indent",
    "blockIndent", "leading", "letterSpacing", "kerning",    "tabStops",    "bullet"};

// The constructor's arguments, in order.
constexpr Field kConstructorOrder[] = {kFont,        kSize,   kColor,  kBold,  kItalic,
                                       kUnderline,   kUrl,    kTarget, kAlign, kLeftMargin,
                                       kRightMargin, kIndent, kLeading};

Value optionalNumber(const std::optional<double>& v) {
    return v ? Value(*v) : Value::null();
}
Value optionalBool(const std::optional<bool>& v) {
    return v ? Value(*v) : Value::null();
}
Value optionalString(const std::optional<std::string>& v) {
    return v ? Value(*v) : Value::null();
}

Value getField(Interpreter& vm, const TextFormat& f, Field field) {
    switch (field) {
    case kFont:
        return optionalString(f.font);
    case kSize:
        return optionalNumber(f.size);
    case kColor:
        return f.color ? Value(double(*f.color)) : Value::null();
    case kBold:
        return optionalBool(f.bold);
    case kItalic:
        return optionalBool(f.italic);
    case kUnderline:
        return optionalBool(f.underline);
    case kUrl:
        return optionalString(f.url);
    case kTarget:
        return optionalString(f.target);
    case kAlign:
        return f.align ? Value(text::alignName(*f.align)) : Value::null();
    case kLeftMargin:
        return optionalNumber(f.leftMargin);
    case kRightMargin:
        return optionalNumber(f.rightMargin);
    case kIndent:
        return optionalNumber(f.indent);
    case kBlockIndent:
        return optionalNumber(f.blockIndent);
    case kLeading:
        return optionalNumber(f.leading);
    case kLetterSpacing:
        return optionalNumber(f.letterSpacing);
    case kKerning:
        return optionalBool(f.kerning);
    case kBullet:
        return optionalBool(f.bullet);
    case kTabStops: {
        if (!f.tabStops)
            return Value::null();
        std::vector<Value> stops(f.tabStops->begin(), f.tabStops->end());
        return vm.makeArray(stops);
    }
    default:
        return Value();
    }
}

double margin(double v) {
    // Negative margins (and NaN) are none.
    if (std::isnan(v) || v < 0)
        return 0;
    return formatInteger(v);
}

void setField(Interpreter& vm, TextFormat& f, Field field, const Value& v) {
    if (v.isNullish()) {
        switch (field) {
        case kFont:
            f.font.reset();
            break;
        case kSize:
            f.size.reset();
            break;
        case kColor:
            f.color.reset();
            break;
        case kBold:
            f.bold.reset();
            break;
        case kItalic:
            f.italic.reset();
            break;
        case kUnderline:
            f.underline.reset();
            break;
        case kUrl:
            f.url.reset();
            break;
        case kTarget:
            f.target.reset();
            break;
        case kAlign:
            f.align.reset();
            break;
        case kLeftMargin:
            f.leftMargin.reset();
            break;
        case kRightMargin:
            f.rightMargin.reset();
            break;
        case kIndent:
            f.indent.reset();
            break;
        case kBlockIndent:
            f.blockIndent.reset();
            break;
        case kLeading:
            f.leading.reset();
            break;
        case kLetterSpacing:
            f.letterSpacing.reset();
            break;
        case kKerning:
            f.kerning.reset();
            break;
        case kTabStops:
            f.tabStops.reset();
            break;
        case kBullet:
            f.bullet.reset();
            break;
        default:
            break;
        }
        return;
    }
    switch (field) {
    case kFont:
        f.font = vm.toString(v);
        break;
    case kSize:
        f.size = formatInteger(vm.toNumber(v));
        break;
    case kColor: {
        const double n = vm.toNumber(v);
        f.color = std::isfinite(n) ? uint32_t(int64_t(std::trunc(std::fmod(n, 4294967296.0)))) : 0u;
        break;
    }
    case kBold:
        f.bold = vm.toBoolean(v);
        break;
    case kItalic:
        f.italic = vm.toBoolean(v);
        break;
    case kUnderline:
        f.underline = vm.toBoolean(v);
        break;
    case kUrl:
        f.url = vm.toString(v);
        break;
    case kTarget:
        f.target = vm.toString(v);
        break;
    case kAlign:
        // An unknown name leaves the alignment as it was.
        if (auto a = text::alignFromName(vm.toString(v)))
            f.align = a;
        break;
    case kLeftMargin:
        f.leftMargin = margin(vm.toNumber(v));
        break;
    case kRightMargin:
        f.rightMargin = margin(vm.toNumber(v));
        break;
    case kIndent:
        f.indent = formatInteger(vm.toNumber(v));
        break;
    case kBlockIndent:
        f.blockIndent = formatInteger(vm.toNumber(v));
        break;
    case kLeading:
        f.leading = formatInteger(vm.toNumber(v));
        break;
    case kLetterSpacing:
        f.letterSpacing = vm.toNumber(v);
        break;
    case kKerning:
        f.kerning = vm.toBoolean(v);
        break;
    case kBullet:
        f.bullet = vm.toBoolean(v);
        break;
    case kTabStops: {
        // Any object with a length reads as an array, element by element.
        std::vector<double> stops;
        if (auto* array = dynamic_cast<ArrayObject*>(v.object())) {
            for (uint32_t i = 0; i < array->length() && i < 1000; ++i)
                stops.push_back(formatInteger(vm.toNumber(array->at(i))));
        } else if (v.object()) {
            const double length = vm.toNumber(vm.getMember(v, "length"));
            for (int i = 0; i < 1000 && double(i) < length; ++i)
                stops.push_back(formatInteger(vm.toNumber(vm.getMember(v, std::to_string(i)))));
        }
        f.tabStops = std::move(stops);
        break;
    }
    default:
        break;
    }
}

template <int I> Value getter(Interpreter& vm, const Value& self, std::span<const Value>) {
    auto* object = dynamic_cast<TextFormatObject*>(self.object());
    return object ? getField(vm, object->format, Field(I)) : Value();
}

template <int I> Value setter(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (auto* object = dynamic_cast<TextFormatObject*>(self.object()))
        setField(vm, object->format, Field(I), argAt(args, 0));
    return Value();
}

template <int... I>
void defineAccessors(Interpreter& vm, Object* proto, std::integer_sequence<int, I...>) {
    (proto->defineAccessor(kFieldNames[I], vm.makeNative(getter<I>), vm.makeNative(setter<I>),
                           kDontEnum),
     ...);
}

Value getDisplay(Interpreter&, const Value& self, std::span<const Value>) {
    auto* object = dynamic_cast<TextFormatObject*>(self.object());
    return object ? Value(object->display) : Value();
}

Value setDisplay(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (auto* object = dynamic_cast<TextFormatObject*>(self.object())) {
        const std::string s = vm.toString(argAt(args, 0));
        if (s == "block" || s == "inline" || s == "none")
            object->display = s;
    }
    return Value();
}

Object* allocate(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<TextFormatObject>(proto);
}

Value construct(Interpreter& vm, const Value& self, std::span<const Value> args) {
    auto* object = dynamic_cast<TextFormatObject*>(self.object());
    if (!object)
        return Value();
    for (std::size_t i = 0; i < args.size() && i < std::size(kConstructorOrder); ++i)
        setField(vm, object->format, kConstructorOrder[i], args[i]);
    return Value();
}

class DeviceResolver final : public text::FontResolver {
public:
    std::shared_ptr<const text::GlyphFont> resolve(const TextFormat& f) override {
        return text::DeviceFonts::shared().font(f.font.value_or("Times New Roman"),
                                                f.bold.value_or(false), f.italic.value_or(false));
    }
};

// getTextExtent(text [, width]): the size the text takes in this format, and the field that
// holds it (two pixels of gutter each side).
Value getTextExtent(Interpreter& vm, const Value& self, std::span<const Value> args) {
    auto* object = dynamic_cast<TextFormatObject*>(self.object());
    if (!object || args.empty())
        return Value();
    TextFormat f = TextFormat::defaults("Times New Roman", 12);
    f.apply(object->format);
    text::FormattedText content;
    content.append(text::toUtf16(vm.toString(args[0])), f);
    text::LayoutOptions options;
    const Value& widthArg = argAt(args, 1);
    if (!widthArg.isUndefined()) {
        const double w = vm.toNumber(widthArg);
        if (std::isfinite(w)) {
            options.width = w;
            options.wordWrap = true;
        }
    }
    if (!options.wordWrap)
        options.width = 1e9;
    DeviceResolver fonts;
    const text::TextLayout layout = text::layoutText(content, options, fonts);
    const double size = f.size.value_or(12);
    auto font = fonts.resolve(f);
    const double ascent = std::round(font->ascent() * size / text::GlyphFont::kEm);
    const double descent = std::round(font->descent() * size / text::GlyphFont::kEm);
    const double width = std::round(layout.textWidth);
    const double height = std::round(layout.textHeight);
    Object* out = vm.makeObject();
    vm.setMember(Value(out), "ascent", ascent);
    vm.setMember(Value(out), "descent", descent);
    vm.setMember(Value(out), "width", width);
    vm.setMember(Value(out), "height", height);
    vm.setMember(Value(out), "textFieldHeight", height + 2 * text::kGutter);
    vm.setMember(Value(out), "textFieldWidth",
                 options.wordWrap ? std::round(options.width) : width + 2 * text::kGutter);
    return Value(out);
}

} // namespace

double formatInteger(double value) {
    if (!std::isfinite(value) || value >= 2147483648.0 || value < -2147483648.0)
        return -2147483648.0;
    return std::nearbyint(value);
}

Value makeTextFormat(Interpreter& vm, const TextFormat& format) {
    // Read past the version flags: fields of any movie hand out TextFormats.
    const Property* own = vm.global()->properties().find("TextFormat", true);
    Value proto = own ? vm.getMember(own->value, "prototype") : Value();
    vm.checkCells();
    auto* object = vm.heap().make<TextFormatObject>(proto.object());
    object->format = format;
    return Value(object);
}

const TextFormat* textFormatOf(const Value& value) {
    auto* object = dynamic_cast<TextFormatObject*>(value.object());
    return object ? &object->format : nullptr;
}

void installTextFormatBuiltins(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass("TextFormat", construct, proto, allocate);
    vm.global()->define("TextFormat", ctor, kDontEnum | kVersion6); // unknown to SWF 5 code
    defineAccessors(vm, proto, std::make_integer_sequence<int, kFieldCount>{});
    vm.defineMethod(proto, "getTextExtent", getTextExtent);
    proto->defineAccessor("display", vm.makeNative(getDisplay), vm.makeNative(setDisplay),
                          kDontEnum);
}

} // namespace swivio::swf::avm1
