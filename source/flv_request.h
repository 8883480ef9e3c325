#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace swivio {

// One external-interface request as the FLV player takes it: the function's name and its
// arguments, strings with their XML entities decoded (once) and numbers as numbers.
struct FlvRequest {
    using Argument = std::variant<std::string, double>;
    std::string name;
    std::vector<Argument> arguments;
};

// Reads `<invoke name="N" returntype="xml"><arguments>...</arguments></invoke>`, whose
// arguments are `<string>text</string>` or `<number>n</number>`; nothing for anything else
// (an unknown element or entity, a number that is not one, text outside the elements).
std::optional<FlvRequest> parseFlvRequest(const std::string& text);

// The request text for `name` with `arguments`: strings escaped, integral numbers as "%d".
std::string makeFlvRequest(const std::string& name,
                           const std::vector<FlvRequest::Argument>& arguments);

} // namespace swivio
