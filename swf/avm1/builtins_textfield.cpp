// TextField: the script face of text fields, its properties as getter/setter pairs on
// TextField.prototype, MovieClip.createTextField, and fields bound to variables.
#include <algorithm>
#include <cmath>

#include "swf/avm1/array_object.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/avm1/text_builtins.h"
#include "swf/text/edit_field.h"

namespace swivio::swf::avm1 {

using text::EditField;
using text::TextFormat;

namespace {

ScriptRuntime& runtimeOf(Interpreter& vm) {
    return static_cast<ScriptRuntime&>(vm.host());
}

DisplayObject* displayOf(const Value& self) {
    auto* clip = dynamic_cast<ClipObject*>(self.object());
    ClipObject* live = clip ? clip->live() : nullptr;
    return live ? live->display() : nullptr;
}

EditField* fieldOf(const Value& self) {
    DisplayObject* d = displayOf(self);
    return d ? d->editField.get() : nullptr;
}

void settle(const Value& self) {
    if (DisplayObject* d = displayOf(self); d && d->editField)
        settleAutoSize(*d);
}

uint32_t toColor(Interpreter& vm, const Value& v) {
    return uint32_t(vm.toInt32(v)) & 0xFFFFFF;
}

// The style sheet's formats, for htmlText.
text::StyleMap styleMapOf(Interpreter& vm, const Value& self);

void syncField(ScriptRuntime& runtime, DisplayObject& display);

// Writes the field's text to its bound variable.
void storeVariable(Interpreter& vm, DisplayObject& display, const std::string& value);

// In the reverse of the order for..in lists them (the newest property comes first).
enum Prop {
    kGridFitType,
    kAntiAliasType,
    kThickness,
    kSharpness,
    kFilters,
    kScroll,
    kMaxScroll,
    kBorderColor,
    kBackgroundColor,
    kTextColor,
    kTabIndex,
    kAutoSize,
    kText,
    kType,
    kHtmlText,
    kVariable,
    kHScroll,
    kMaxHScroll,
    kMaxChars,
    kEmbedFonts,
    kHtml,
    kBorder,
    kBackground,
    kWordWrap,
    kPassword,
    kMultiline,
    kSelectable,
    kLength,
    kBottomScroll,
    kTextWidth,
    kTextHeight,
    kRestrict,
    kCondenseWhite,
    kMouseWheelEnabled,
    kStyleSheet,
    kPropCount
};

struct PropInfo {
    const char* name;
    bool readOnly;
    uint16_t flags = 0; // kVersion8: older movies see no accessor, so a set stores a value
};

constexpr PropInfo kProps[kPropCount] = {{"gridFitType", false, kVersion8},
                                         {"antiAliasType", false, kVersion8},
                                         {"thickness", false, kVersion8},
                                         {"sharpness", false, kVersion8},
                                         {"filters", false, kVersion8},
                                         {"scroll", false},
                                         {"maxscroll", true},
                                         {"borderColor", false},
                                         {"backgroundColor", false},
                                         {"textColor", false},
                                         {"tabIndex", false},
                                         {"autoSize", false},
                                         {"text", false},
                                         {"type", false},
                                         {"htmlText", false},
                                         {"variable", false},
                                         {"hscroll", false},
                                         {"maxhscroll", true},
                                         {"maxChars", false},
                                         {"embedFonts", false},
                                         {"html", false},
                                         {"border", false},
                                         {"background", false},
                                         {"wordWrap", false},
                                         {"password", false},
                                         {"multiline", false},
                                         {"selectable", false},
                                         {"length", true},
                                         {"bottomScroll", true},
                                         {"textWidth", true},
                                         {"textHeight", true},
                                         {"restrict", false},
                                         {"condenseWhite", false},
                                         {"mouseWheelEnabled", false},
                                         {"styleSheet", false}};

// Properties the field keeps as plain values: the first set stores an own property on the
// instance, which then answers for itself.
bool storedOnInstance(int prop) {
    return prop == kStyleSheet || prop == kTabIndex || prop == kFilters;
}

Value getProp(Interpreter& vm, const Value& self, Prop prop) {
    DisplayObject* d = displayOf(self);
    EditField* f = d ? d->editField.get() : nullptr;
    if (!f)
        return Value();
    if (prop == kText || prop == kHtmlText)
        syncField(runtimeOf(vm), *d); // the variable may have changed since the frame began
    switch (prop) {
    case kText:
        return f->text();
    case kHtmlText:
        return f->htmlText();
    case kHtml:
        return f->html;
    case kTextColor:
        // The colour new text takes, whatever setTextFormat gave the characters.
        return double(f->newFormat.color.value_or(0));
    case kBackground:
        return f->background;
    case kBackgroundColor:
        return double(f->backgroundColor);
    case kBorder:
        return f->border;
    case kBorderColor:
        return double(f->borderColor);
    case kAutoSize:
        switch (f->autoSize) {
        case text::AutoSize::Left:
            return "left";
        case text::AutoSize::Center:
            return "center";
        case text::AutoSize::Right:
            return "right";
        default:
            return "none";
        }
    case kWordWrap:
        return f->wordWrap;
    case kMultiline:
        return f->multiline;
    case kSelectable:
        return f->selectable;
    case kType:
        return f->editable ? "input" : "dynamic";
    case kPassword:
        return f->password;
    case kMaxChars:
        return f->maxChars > 0 ? Value(double(f->maxChars)) : Value::null();
    case kRestrict:
        return f->restrict ? Value(*f->restrict) : Value::null();
    case kVariable:
        return f->variable.empty() ? Value::null() : Value(f->variable);
    case kEmbedFonts:
        return f->embedFonts;
    case kCondenseWhite:
        return f->condenseWhite;
    case kAntiAliasType:
        return f->antiAliasType;
    case kGridFitType:
        return f->gridFitType;
    case kSharpness:
        return f->sharpness;
    case kThickness:
        return f->thickness;
    // Whole pixels, the fraction dropped.
    case kTextWidth:
        return std::floor(f->layout().textWidth + 1e-9);
    case kTextHeight:
        return std::floor(f->layout().textHeight + 1e-9);
    case kLength:
        return double(f->content().length());
    case kScroll:
        return double(f->scroll);
    case kMaxScroll:
        return double(f->maxScroll());
    case kHScroll:
        return double(f->hscroll);
    case kMaxHScroll:
        return double(f->maxHScroll());
    case kBottomScroll:
        return double(f->bottomScroll());
    case kMouseWheelEnabled:
        return f->mouseWheelEnabled;
    default:
        return Value();
    }
}

void setProp(Interpreter& vm, const Value& self, Prop prop, const Value& v) {
    DisplayObject* d = displayOf(self);
    EditField* f = d ? d->editField.get() : nullptr;
    if (!f)
        return;
    auto flag = [&](bool& member) {
        const bool value = vm.toBoolean(v);
        if (member != value) {
            member = value;
            f->changed();
        }
    };
    switch (prop) {
    case kText:
        f->setText(vm.toString(v));
        if (!f->variable.empty())
            storeVariable(vm, *d, f->text());
        break;
    case kHtmlText: {
        const text::StyleMap styles = styleMapOf(vm, self);
        f->setHtmlText(vm.toString(v), styles.empty() ? nullptr : &styles);
        if (!f->variable.empty())
            storeVariable(vm, *d, f->htmlText());
        break;
    }
    case kHtml:
        flag(f->html);
        break;
    case kTextColor: {
        TextFormat color;
        color.color = toColor(vm, v);
        f->textColor = *color.color;
        f->newFormat.apply(color);
        f->setFormat(0, f->content().length(), color);
        break;
    }
    case kBackground:
        f->background = vm.toBoolean(v);
        break;
    case kBackgroundColor:
        f->backgroundColor = toColor(vm, v);
        break;
    case kBorder:
        f->border = vm.toBoolean(v);
        break;
    case kBorderColor:
        f->borderColor = toColor(vm, v);
        break;
    case kAutoSize: {
        text::AutoSize mode = text::AutoSize::None;
        if (v.isBoolean())
            mode = v.boolean() ? text::AutoSize::Left : text::AutoSize::None;
        else {
            const std::string s = vm.toString(v);
            if (s == "left")
                mode = text::AutoSize::Left;
            else if (s == "center")
                mode = text::AutoSize::Center;
            else if (s == "right")
                mode = text::AutoSize::Right;
        }
        f->autoSize = mode;
        f->changed();
        break;
    }
    case kWordWrap:
        flag(f->wordWrap);
        break;
    case kMultiline:
        flag(f->multiline);
        break;
    case kSelectable:
        f->selectable = vm.toBoolean(v);
        break;
    case kType: {
        // Only the two names count, in any case; anything else leaves the type alone.
        std::string s = vm.toString(v);
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (s == "input")
            f->editable = true;
        else if (s == "dynamic")
            f->editable = false;
        break;
    }
    case kPassword:
        flag(f->password);
        break;
    case kMaxChars: {
        const double n = vm.toNumber(v);
        f->maxChars = v.isNullish() || !std::isfinite(n) ? 0 : std::max(0, vm.toInt32(v));
        break;
    }
    case kRestrict:
        f->restrict = v.isNullish() ? std::nullopt : std::optional<std::string>(vm.toString(v));
        break;
    case kVariable:
        f->variable = v.isNullish() ? std::string() : vm.toString(v);
        syncField(runtimeOf(vm), *d);
        break;
    case kEmbedFonts:
        flag(f->embedFonts);
        break;
    case kCondenseWhite:
        f->condenseWhite = vm.toBoolean(v);
        break;
    case kAntiAliasType: {
        const std::string s = vm.toString(v);
        if (s == "normal" || s == "advanced")
            f->antiAliasType = s;
        break;
    }
    case kGridFitType: {
        const std::string s = vm.toString(v);
        if (s == "none" || s == "pixel" || s == "subpixel")
            f->gridFitType = s;
        break;
    }
    case kSharpness: {
        const double n = vm.toNumber(v);
        if (std::isfinite(n))
            f->sharpness = std::clamp(n, -400.0, 400.0);
        break;
    }
    case kThickness: {
        const double n = vm.toNumber(v);
        if (std::isfinite(n))
            f->thickness = std::clamp(n, -200.0, 200.0);
        break;
    }
    case kScroll: {
        // Numbers wrap to 32 bits, and the line counts from 0 in 32 bits too: -2^31 wraps
        // round to the largest line.
        const int32_t line = int32_t(uint32_t(vm.toInt32(v)) - 1u);
        f->scroll = std::clamp(line, 0, f->maxScroll() - 1) + 1;
        break;
    }
    case kHScroll:
        f->hscroll = std::clamp(vm.toInt32(v), 0, f->maxHScroll());
        break;
    case kMouseWheelEnabled:
        f->mouseWheelEnabled = vm.toBoolean(v);
        break;
    default:
        break;
    }
}

template <int I> Value getter(Interpreter& vm, const Value& self, std::span<const Value>) {
    if (storedOnInstance(I))
        return I == kFilters && fieldOf(self) ? Value(vm.makeArray()) : Value();
    return getProp(vm, self, Prop(I));
}
template <int I> Value setter(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (storedOnInstance(I)) {
        if (Object* object = self.object(); object && fieldOf(self))
            object->define(kProps[I].name, argAt(args, 0), kDontEnum);
        return Value();
    }
    if (!kProps[I].readOnly) {
        setProp(vm, self, Prop(I), argAt(args, 0));
        settle(self);
    }
    return Value();
}

// A field's listener list starts with the field itself, made when first asked for.
Value listeners(Interpreter& vm, const Value& self, std::span<const Value>) {
    Object* object = self.object();
    if (!object || !fieldOf(self))
        return Value();
    Value list = vm.makeArray(std::span<const Value>(&self, 1));
    object->define("_listeners", list, kDontEnum);
    return list;
}
template <int... I>
void defineAccessors(Interpreter& vm, Object* proto, std::integer_sequence<int, I...>) {
    (proto->defineAccessor(kProps[I].name, vm.makeNative(getter<I>), vm.makeNative(setter<I>),
                           kDontDelete | kProps[I].flags),
     ...);
}

// The [begin, end) a setTextFormat or getTextFormat call names: none, one index or a range.
bool rangeOf(Interpreter& vm, std::span<const Value> args, std::size_t first, std::size_t length,
             std::size_t& begin, std::size_t& end) {
    const std::size_t count = args.size() > first ? args.size() - first : 0;
    begin = 0;
    end = length;
    if (count >= 1) {
        const double b = vm.toNumber(args[first]);
        if (!std::isfinite(b) || b < 0 || b >= double(length))
            return false;
        begin = std::size_t(b);
        end = begin + 1;
        if (count >= 2) {
            const double e = vm.toNumber(args[first + 1]);
            if (!std::isfinite(e) || e <= b)
                return false;
            end = std::min(length, std::size_t(std::min(e, 1e15)));
        }
    }
    return true;
}

Value setTextFormat(Interpreter& vm, const Value& self, std::span<const Value> args) {
    EditField* f = fieldOf(self);
    if (!f || args.empty())
        return Value();
    const TextFormat* format = textFormatOf(args.back());
    if (!format)
        return Value();
    std::size_t begin = 0, end = 0;
    const std::span<const Value> positions = args.first(args.size() - 1);
    if (!rangeOf(vm, positions, 0, f->content().length(), begin, end))
        return Value();
    f->setFormat(begin, end, *format);
    settle(self);
    return Value();
}

Value getTextFormat(Interpreter& vm, const Value& self, std::span<const Value> args) {
    EditField* f = fieldOf(self);
    if (!f)
        return Value();
    // An empty field has no characters, so no format they share.
    if (f->content().length() == 0)
        return makeTextFormat(vm, TextFormat{});
    std::size_t begin = 0, end = 0;
    if (!rangeOf(vm, args, 0, f->content().length(), begin, end))
        return makeTextFormat(vm, TextFormat{});
    return makeTextFormat(vm, f->content().commonFormat(begin, end));
}

Value setNewTextFormat(Interpreter&, const Value& self, std::span<const Value> args) {
    EditField* f = fieldOf(self);
    const TextFormat* format = textFormatOf(argAt(args, 0));
    if (f && format)
        f->newFormat.apply(*format);
    return Value();
}

Value getNewTextFormat(Interpreter& vm, const Value& self, std::span<const Value>) {
    EditField* f = fieldOf(self);
    return f ? makeTextFormat(vm, f->newFormat) : Value();
}

// Replaces the field's selection (the caret alone when nothing is selected) and leaves the
// caret after the new text.
Value replaceSel(Interpreter& vm, const Value& self, std::span<const Value> args) {
    EditField* f = fieldOf(self);
    if (!f || args.empty())
        return Value();
    const std::size_t length = f->content().length();
    const std::size_t a = std::min(f->selectionAnchor, length), c = std::min(f->caret, length);
    const std::size_t begin = std::min(a, c), end = std::max(a, c);
    const std::string inserted = vm.toString(args[0]);
    f->replaceText(begin, end, inserted);
    f->caret = f->selectionAnchor = begin + text::toUtf16(inserted).size();
    settle(self);
    return Value();
}

Value replaceText(Interpreter& vm, const Value& self, std::span<const Value> args) {
    EditField* f = fieldOf(self);
    if (!f || args.size() < 3)
        return Value();
    const double b = vm.toNumber(args[0]), e = vm.toNumber(args[1]);
    if (!std::isfinite(b) || !std::isfinite(e) || b < 0 || e < b)
        return Value();
    const std::size_t length = f->content().length();
    f->replaceText(std::min<std::size_t>(length, std::size_t(std::min(b, 1e15))),
                   std::min<std::size_t>(length, std::size_t(std::min(e, 1e15))),
                   vm.toString(args[2]));
    settle(self);
    return Value();
}

Value getDepth(Interpreter&, const Value& self, std::span<const Value>) {
    DisplayObject* d = displayOf(self);
    return d ? Value(double(d->depth - ScriptRuntime::kDepthOffset)) : Value();
}

Value removeTextField(Interpreter& vm, const Value& self, std::span<const Value>) {
    if (DisplayObject* d = displayOf(self); d && d->editField)
        runtimeOf(vm).removeClip(self.object());
    return Value();
}

Value getFontList(Interpreter& vm, const Value&, std::span<const Value>) {
    std::vector<Value> names;
    for (const std::string& name : text::DeviceFonts::shared().familyNames())
        names.emplace_back(name);
    return vm.makeArray(names);
}

Value textFieldConstructor(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

// createTextField(name, depth, x, y, width, height): the new field in SWF 8, undefined before.
Value createTextField(Interpreter& vm, const Value& self, std::span<const Value> args) {
    DisplayObject* parent = displayOf(self);
    if (!parent || !parent->isClip() || args.size() < 6)
        return Value();
    // Whole pixels: fractions are dropped.
    double n[5];
    for (int i = 0; i < 5; ++i)
        n[i] = std::clamp(double(vm.toInt32(args[i + 1])), -1e7, 1e7);
    ScriptRuntime& runtime = runtimeOf(vm);
    DisplayObject* field = runtime.player().createTextField(
        *parent, vm.toString(args[0]), int(n[0]) + ScriptRuntime::kDepthOffset,
        int32_t(std::round(n[1] * 20)), int32_t(std::round(n[2] * 20)),
        int32_t(std::round(n[3] * 20)), int32_t(std::round(n[4] * 20)));
    if (!field)
        return Value();
    ClipObject* object = runtime.clipFor(*field);
    return vm.version() >= 8 ? Value(object) : Value();
}

text::StyleMap styleMapOf(Interpreter& vm, const Value& self) {
    text::StyleMap styles;
    Value sheet = vm.getMember(self, "styleSheet");
    Object* object = sheet.object();
    if (!object)
        return styles;
    Value names = vm.callMethod(sheet, "getStyleNames", {});
    auto* list = dynamic_cast<ArrayObject*>(names.object());
    if (!list)
        return styles;
    for (uint32_t i = 0; i < list->length() && i < 1000; ++i) {
        const std::string name = vm.toString(list->at(i));
        Value nameArg[] = {Value(name)};
        Value style = vm.callMethod(sheet, "getStyle", nameArg);
        Value arg[] = {style};
        Value format = vm.callMethod(sheet, "transform", arg);
        if (const TextFormat* f = textFormatOf(format)) {
            std::string key = name;
            for (char& c : key)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            styles[key] = *f;
        }
    }
    return styles;
}

// Splits a variable path ("a.b.c", "/a/b:c", "c") into the clip path and the name.
std::pair<std::string, std::string> splitVariable(const std::string& path) {
    const std::size_t colon = path.rfind(':');
    if (colon != std::string::npos)
        return {path.substr(0, colon), path.substr(colon + 1)};
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos)
        return {path.substr(0, dot), path.substr(dot + 1)};
    return {std::string(), path};
}

Object* variableOwner(ScriptRuntime& runtime, DisplayObject& display, const std::string& path) {
    if (!display.parent())
        return nullptr;
    Object* base = runtime.clipFor(*display.parent());
    if (path.empty())
        return base;
    return runtime.resolveTarget(base, path);
}

void storeVariable(Interpreter& vm, DisplayObject& display, const std::string& value) {
    ScriptRuntime& runtime = runtimeOf(vm);
    auto [path, name] = splitVariable(display.editField->variable);
    if (Object* owner = variableOwner(runtime, display, path))
        vm.setMember(Value(owner), name, Value(value));
}

// A bound field shows its variable's value. Getters are not run: this happens outside
// scripts too.
void syncField(ScriptRuntime& runtime, DisplayObject& display) {
    EditField& f = *display.editField;
    if (f.variable.empty())
        return;
    auto [path, name] = splitVariable(f.variable);
    Object* owner = variableOwner(runtime, display, path);
    if (!owner)
        return;
    Interpreter& vm = runtime.interpreter();
    const Property* p = owner->properties().find(name, vm.caseSensitive());
    if (!p || p->removed) {
        // A variable that does not exist yet starts with the tag's text, shown again.
        if (!f.initialText.empty()) {
            owner->define(name, Value(f.initialText), 0);
            if (f.html)
                f.setHtmlText(f.initialText);
            else
                f.setText(f.initialText);
        }
        return;
    }
    // Undefined and objects (whose text would need their toString run) leave the text alone.
    if (p->isAccessor() || p->value.isUndefined() || p->value.isObject())
        return;
    const std::string shown = vm.toString(p->value);
    if (shown == (f.html ? f.htmlText() : f.text()))
        return;
    if (f.html)
        f.setHtmlText(shown);
    else
        f.setText(shown);
}

void updateBound(ScriptRuntime& runtime, DisplayObject& object, int depth) {
    if (depth > 256)
        return;
    for (auto& [d, child] : object.children()) {
        (void)d;
        if (child->editField) {
            syncField(runtime, *child);
            settleAutoSize(*child);
        }
        updateBound(runtime, *child, depth + 1);
    }
}

} // namespace

void installTextFieldBuiltins(ScriptRuntime& runtime) {
    Interpreter& vm = runtime.interpreter();
    installTextFormatBuiltins(vm);
    Builtins& b = vm.builtins();
    if (!b.textFieldProto)
        b.textFieldProto = vm.makeObject();
    Object* proto = b.textFieldProto;
    FunctionObject* ctor = vm.defineClass("TextField", textFieldConstructor, proto);
    vm.global()->define("TextField", ctor, kDontEnum | kVersion6); // unknown to SWF 5 code
    defineAccessors(vm, proto, std::make_integer_sequence<int, kPropCount>{});
    vm.defineMethod(proto, "setTextFormat", setTextFormat);
    vm.defineMethod(proto, "getTextFormat", getTextFormat);
    vm.defineMethod(proto, "setNewTextFormat", setNewTextFormat);
    vm.defineMethod(proto, "getNewTextFormat", getNewTextFormat);
    vm.defineMethod(proto, "replaceSel", replaceSel);
    vm.defineMethod(proto, "replaceText", replaceText, kDontEnum | kVersion7);
    vm.defineMethod(proto, "getDepth", getDepth);
    vm.defineMethod(proto, "removeTextField", removeTextField);
    vm.defineMethod(ctor, "getFontList", getFontList);
    installStyleSheet(vm, ctor);
    // Fields broadcast to listeners (onChanged, onScroller) as AsBroadcaster gives them.
    Value broadcaster = vm.getMember(Value(vm.global()), "AsBroadcaster");
    for (const char* name : {"addListener", "removeListener", "broadcastMessage"})
        proto->define(name, vm.getMember(broadcaster, name), kDontEnum);
    proto->defineAccessor("_listeners", vm.makeNative(listeners), nullptr, kDontEnum);
    if (b.clipProto)
        vm.defineMethod(b.clipProto, "createTextField", createTextField, kDontEnum | kVersion6);
}

void settleAutoSize(DisplayObject& field) {
    if (!field.editField)
        return;
    if (const int32_t shift = field.editField->takeAutoSizeShift()) {
        field.matrix.tx += field.matrix.a * shift;
        field.matrix.ty += field.matrix.b * shift;
    }
}

void syncBoundTextField(ScriptRuntime& runtime, DisplayObject& field) {
    if (field.editField) {
        syncField(runtime, field);
        settleAutoSize(field);
    }
}

void updateBoundTextFields(ScriptRuntime& runtime) {
    if (runtime.interpreter().running())
        return;
    updateBound(runtime, runtime.player().root(), 0);
}

} // namespace swivio::swf::avm1
