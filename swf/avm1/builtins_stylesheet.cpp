// TextField.StyleSheet: CSS styles by selector, kept as given (_css) and as text formats
// (_styles), which html fields apply to their tags.
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "swf/avm1/array_object.h"
#include "swf/avm1/builtins.h"
#include "swf/avm1/text_builtins.h"

namespace swivio::swf::avm1 {

namespace {

constexpr uint16_t kFixed = kDontEnum | kDontDelete | kReadOnly;

// The store of one kind ("_css" or "_styles"), made when first needed.
Object* store(Interpreter& vm, Object* sheet, const char* name) {
    const Property* p = sheet->properties().find(name, true);
    if (p && !p->removed && p->value.isObject())
        return p->value.object();
    Object* made = vm.makeObject();
    sheet->properties().remove(name, true);
    sheet->define(name, Value(made), kDontEnum);
    return made;
}

// A shallow copy of an object's own enumerable properties.
Object* copyOf(Interpreter& vm, Object* from) {
    Object* to = vm.makeObject();
    for (const SharedString& key : vm.enumerate(from))
        vm.setMember(Value(to), key.str(), vm.getMember(Value(from), key.str()));
    return to;
}

// Keeps a style (a copy, or null for anything but an object) and its transformed format.
void storeStyle(Interpreter& vm, const Value& self, const std::string& name, const Value& style) {
    Object* sheet = self.object();
    Object* css = store(vm, sheet, "_css");
    Object* styles = store(vm, sheet, "_styles");
    Value copy = style.isObject() ? Value(copyOf(vm, style.object())) : Value::null();
    vm.setMember(Value(css), name, copy);
    Value transformArgs[] = {copy};
    Value format = vm.callMethod(self, "transform", transformArgs);
    if (format.isNullish())
        vm.deleteMember(styles, name);
    else
        vm.setMember(Value(styles), name, format);
}

Value setStyle(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (self.object() && !args.empty())
        storeStyle(vm, self, vm.toString(args[0]), argAt(args, 1));
    return Value();
}

Value getStyle(Interpreter& vm, const Value& self, std::span<const Value> args) {
    Object* sheet = self.object();
    if (!sheet || args.empty())
        return Value::null();
    const Property* p = sheet->properties().find("_css", true);
    if (!p || p->removed || !p->value.isObject())
        return Value::null();
    Value style = vm.getMember(p->value, vm.toString(args[0]));
    return style.isObject() ? Value(copyOf(vm, style.object())) : Value::null();
}

Value getStyleNames(Interpreter& vm, const Value& self, std::span<const Value>) {
    std::vector<Value> names;
    if (Object* sheet = self.object()) {
        const Property* p = sheet->properties().find("_css", true);
        if (p && !p->removed && p->value.isObject())
            for (const SharedString& key : vm.enumerate(p->value.object()))
                names.emplace_back(key);
    }
    return vm.makeArray(names);
}

Value clear(Interpreter& vm, const Value& self, std::span<const Value>) {
    if (Object* sheet = self.object()) {
        for (const char* name : {"_css", "_styles"}) {
            sheet->properties().remove(name, true);
            sheet->define(name, Value(vm.makeObject()), kDontEnum);
        }
    }
    return Value();
}

std::string trim(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return std::string(s.substr(a, b - a));
}

// "font-size" becomes "fontSize".
std::string camelCase(const std::string& name) {
    std::string out;
    bool upper = false;
    for (char c : name) {
        if (c == '-') {
            upper = true;
            continue;
        }
        out += upper ? char(std::toupper(static_cast<unsigned char>(c))) : c;
        upper = false;
    }
    return out;
}

struct Rule {
    std::vector<std::string> selectors;
    std::vector<std::pair<std::string, std::string>> declarations;
};

// Reads every rule, or nothing when one is damaged (an unclosed block).
bool readCss(std::string css, std::vector<Rule>& rules) {
    for (std::size_t at = css.find("/*"); at != std::string::npos; at = css.find("/*", at)) {
        const std::size_t end = css.find("*/", at + 2);
        css.erase(at, end == std::string::npos ? std::string::npos : end + 2 - at);
    }
    std::size_t pos = 0;
    while (true) {
        const std::size_t open = css.find('{', pos);
        if (open == std::string::npos)
            return trim(std::string_view(css).substr(pos)).empty();
        const std::size_t close = css.find('}', open);
        if (close == std::string::npos)
            return false;
        Rule rule;
        const std::string selectors = css.substr(pos, open - pos);
        const std::string body = css.substr(open + 1, close - open - 1);
        std::size_t start = 0;
        while (start < body.size()) {
            std::size_t semi = body.find(';', start);
            if (semi == std::string::npos)
                semi = body.size();
            const std::string declaration = body.substr(start, semi - start);
            const std::size_t colon = declaration.find(':');
            if (colon != std::string::npos) {
                const std::string name = camelCase(trim(declaration.substr(0, colon)));
                // A value keeps what follows it up to the semicolon.
                std::string value = declaration.substr(colon + 1);
                std::size_t lead = 0;
                while (lead < value.size() && std::isspace(static_cast<unsigned char>(value[lead])))
                    ++lead;
                if (!name.empty())
                    rule.declarations.emplace_back(name, value.substr(lead));
            }
            start = semi + 1;
        }
        std::size_t s = 0;
        while (s <= selectors.size()) {
            std::size_t comma = selectors.find(',', s);
            if (comma == std::string::npos)
                comma = selectors.size();
            const std::string selector = trim(std::string_view(selectors).substr(s, comma - s));
            // A selector with spaces inside (descendants) is not one fields use.
            bool spaced = false;
            for (char c : selector)
                spaced = spaced || std::isspace(static_cast<unsigned char>(c));
            if (!selector.empty() && !spaced)
                rule.selectors.push_back(selector);
            s = comma + 1;
        }
        rules.push_back(std::move(rule));
        pos = close + 1;
    }
}

// parseCSS(text): true when every rule was read; a damaged text changes nothing.
Value parseCss(Interpreter& vm, const Value& self, std::span<const Value> args) {
    if (!self.object() || args.empty())
        return false;
    std::vector<Rule> rules;
    if (!readCss(vm.toString(args[0]), rules))
        return false;
    for (const Rule& rule : rules) {
        Object* style = vm.makeObject();
        for (const auto& [name, value] : rule.declarations)
            vm.setMember(Value(style), name, Value(value));
        for (const std::string& selector : rule.selectors)
            storeStyle(vm, self, selector, Value(style));
    }
    return true;
}

double leadingNumber(const std::string& s) {
    return std::strtod(s.c_str(), nullptr);
}

// transform(style): the text format a style object gives, or null.
Value transform(Interpreter& vm, const Value&, std::span<const Value> args) {
    const Value& style = argAt(args, 0);
    if (!style.isObject())
        return Value::null();
    text::TextFormat f;
    auto field = [&](const char* name, auto&& apply) {
        Value v = vm.getMember(style, name);
        if (!v.isUndefined())
            apply(vm.toString(v));
    };
    field("color", [&](const std::string& s) {
        if (s.size() == 7 && s[0] == '#')
            f.color = uint32_t(std::strtoul(s.c_str() + 1, nullptr, 16));
    });
    field("fontFamily", [&](const std::string& s) { f.font = s; });
    field("fontSize", [&](const std::string& s) {
        const double v = leadingNumber(s);
        if (v > 0)
            f.size = std::trunc(v);
    });
    field("fontStyle", [&](const std::string& s) {
        if (s == "italic" || s == "normal")
            f.italic = s == "italic";
    });
    field("fontWeight", [&](const std::string& s) {
        if (s == "bold" || s == "normal")
            f.bold = s == "bold";
    });
    field("kerning", [&](const std::string& s) {
        if (s == "true" || s == "false")
            f.kerning = s == "true";
    });
    field("leading", [&](const std::string& s) { f.leading = std::trunc(leadingNumber(s)); });
    field("letterSpacing", [&](const std::string& s) { f.letterSpacing = leadingNumber(s); });
    field("marginLeft", [&](const std::string& s) { f.leftMargin = std::trunc(leadingNumber(s)); });
    field("marginRight",
          [&](const std::string& s) { f.rightMargin = std::trunc(leadingNumber(s)); });
    field("textIndent", [&](const std::string& s) { f.indent = std::trunc(leadingNumber(s)); });
    field("textAlign", [&](const std::string& s) {
        if (auto a = text::alignFromName(s))
            f.align = a;
    });
    field("textDecoration", [&](const std::string& s) {
        if (s == "underline" || s == "none")
            f.underline = s == "underline";
    });
    Value out = makeTextFormat(vm, f);
    field("display", [&](const std::string& s) {
        if (auto* object = dynamic_cast<TextFormatObject*>(out.object()))
            if (s == "block" || s == "inline" || s == "none")
                object->display = s;
    });
    return out;
}

Value load(Interpreter&, const Value&, std::span<const Value>) {
    return false;
}

Value construct(Interpreter&, const Value&, std::span<const Value>) {
    return Value();
}

} // namespace

void installStyleSheet(Interpreter& vm, Object* textFieldCtor) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.makeNative(construct);
    ctor->define("prototype", Value(proto), kDontEnum);
    proto->define("constructor", Value(ctor), kDontEnum);
    textFieldCtor->define("StyleSheet", Value(ctor), kDontEnum);
    vm.defineMethod(proto, "clear", clear, kFixed);
    vm.defineMethod(proto, "getStyle", getStyle, kFixed);
    vm.defineMethod(proto, "getStyleNames", getStyleNames, kFixed);
    vm.defineMethod(proto, "load", load, kFixed);
    vm.defineMethod(proto, "parseCSS", parseCss, kFixed);
    vm.defineMethod(proto, "parse", parseCss, kFixed);
    vm.defineMethod(proto, "setStyle", setStyle, kFixed);
    vm.defineMethod(proto, "transform", transform, kFixed);
}

} // namespace swivio::swf::avm1
