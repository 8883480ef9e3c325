// The objects that face the world: NetConnection's statuses and unsent remoting calls,
// FileReference's dialog that never opens, and the numbered natives.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/builtins.h"
#include "tests/swf/avm1/script_probe.h"

namespace swivio::swf::avm1 {
namespace {

std::vector<std::string> gHeard;

// onStatus and listener methods: note the code (or the first argument) heard.
Value hear(Interpreter& vm, const Value&, std::span<const Value> args) {
    const Value& first = argAt(args, 0);
    gHeard.push_back(first.isObject() ? vm.toString(vm.getMember(first, "code"))
                                      : vm.toString(first));
    return Value();
}

Value global(Interpreter& vm, std::string_view path) {
    Value v(vm.global());
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t dot = std::min(path.find('.', start), path.size());
        v = vm.getMember(v, path.substr(start, dot - start));
        start = dot + 1;
    }
    return v;
}

TEST(WorldObjects, NetConnectionReportsItsConnections) {
    const struct {
        std::vector<Value> urls; // connect each in turn (a string "close" closes)
        std::vector<std::string> heard;
    } cases[] = {
        {{Value::null()}, {"NetConnection.Connect.Success"}},
        {{Value::null(), Value::null()},
         {"NetConnection.Connect.Success", "NetConnection.Connect.Closed",
          "NetConnection.Connect.Success"}},
        {{Value("close")}, {}}, // nothing open: nothing to hear
        {{Value::null(), Value("close")},
         {"NetConnection.Connect.Success", "NetConnection.Connect.Closed"}},
        // A server connection opens nothing; closing it reports twice.
        {{Value("http://example.org"), Value("close")},
         {"NetConnection.Connect.Closed", "undefined"}},
    };
    for (const auto& c : cases) {
        ScriptProbe probe(8);
        Interpreter& vm = probe.vm();
        Value connection = vm.construct(global(vm, "NetConnection"), {});
        vm.defineMethod(connection.object(), "onStatus", hear);
        gHeard.clear();
        for (const Value& url : c.urls) {
            if (url.isString() && url.string() == "close") {
                vm.callMethod(connection, "close", {});
            } else {
                Value one[] = {url};
                vm.callMethod(connection, "connect", one);
            }
        }
        EXPECT_EQ(gHeard, c.heard) << c.urls.size();
    }
}

TEST(WorldObjects, RemotingCallsAreShownNotSent) {
    TraceHost host;
    Interpreter vm(host, 8);
    Value connection = vm.construct(global(vm, "NetConnection"), {});
    Value call[] = {Value("svc.m"), Value::null(), Value(true)};
    vm.callMethod(connection, "call", call); // not connected: nothing
    Value url[] = {Value("http://localhost/gateway")};
    vm.callMethod(connection, "connect", url);
    vm.callMethod(connection, "call", call);
    vm.callMethod(connection, "call", call);
    ASSERT_EQ(host.lines.size(), 10u);
    EXPECT_EQ(host.lines[0], "Navigator::fetch:");
    EXPECT_EQ(host.lines[1], "  URL: http://localhost/gateway");
    EXPECT_EQ(host.lines[2], "  Method: POST");
    EXPECT_EQ(host.lines[3], "  Mime-Type: application/x-amf");
    // AMF0, no headers, one message "svc.m" answered as "/1", its arguments [true].
    EXPECT_EQ(host.lines[4], "  Body: [00, 00, 00, 00, 00, 01, 00, 05, 73, 76, 63, 2E, 6D, 00, "
                             "02, 2F, 31, 00, 00, 00, 07, 0A, 00, 00, 00, 01, 01, 01]");
    EXPECT_NE(host.lines[9].find("00, 02, 2F, 32,"), std::string::npos); // the second is "/2"
}

TEST(WorldObjects, FileDialogsOpenOnlyForUsableFilters) {
    ScriptProbe probe(8);
    Interpreter& vm = probe.vm();
    auto filter = [&](Value description, Value extension) {
        Object* f = vm.makeObject();
        if (!description.isUndefined())
            f->define("description", description, 0);
        if (!extension.isUndefined())
            f->define("extension", extension, 0);
        return Value(f);
    };
    auto list = [&](std::vector<Value> elements) { return Value(vm.makeArray(elements)); };
    const struct {
        const char* name;
        std::vector<Value> args;
        bool opens;
    } cases[] = {
        {"no filters", {}, true},
        {"a filter", {list({filter("Text", "*.txt")})}, true},
        {"undefined", {Value()}, false},
        {"a string", {Value("*.txt")}, false},
        {"an empty list", {list({})}, false},
        {"no extension", {list({filter("Text", Value())})}, false},
        {"empty description", {list({filter("", "*.txt")})}, false},
        {"not an object", {list({Value("x")})}, false},
    };
    for (const char* className : {"FileReference", "FileReferenceList"}) {
        for (const auto& c : cases) {
            Value file = vm.construct(global(vm, std::string("flash.net.") + className), {});
            Object* listener = vm.makeObject();
            vm.defineMethod(listener, "onCancel", hear);
            Value one[] = {Value(listener)};
            vm.callMethod(file, "addListener", one);
            gHeard.clear();
            EXPECT_EQ(vm.toBoolean(vm.callMethod(file, "browse", c.args)), c.opens)
                << className << ": " << c.name;
            // The dialog that opened is cancelled: the listeners hear it.
            EXPECT_EQ(gHeard.size(), c.opens ? 1u : 0u) << className << ": " << c.name;
        }
    }
}

TEST(WorldObjects, NumberedNativesDoWhatTheirBuiltInDoes) {
    const struct {
        int table, index;
        Value thisValue;
        std::vector<Value> args;
        const char* want;
    } cases[] = {
        {100, 0, Value(), {Value(" ")}, "%20"},                          // escape
        {100, 2, Value(), {Value(" 42s")}, "42"},                        // parseInt
        {102, 0, Value("Hello w\xC3\xB6rld"), {}, "HELLO W\xC3\xB6RLD"}, // ASCII only
        {251, 3, Value("abc"), {}, "ABC"},                               // String toUpperCase
        {103, 257, Value(), {Value(70.0), Value(0.0)}, "0"},             // Date.UTC
        {200, 0, Value(), {Value(-2.0)}, "2"},                           // Math.abs
        {4321, 1, Value(), {Value(1.0)}, "undefined"},                   // none such
    };
    ScriptProbe probe(8);
    Interpreter& vm = probe.vm();
    for (const auto& c : cases) {
        Value args[] = {Value(double(c.table)), Value(double(c.index))};
        Value native = vm.call(global(vm, "ASnative"), Value(), args);
        EXPECT_EQ(vm.toString(vm.call(native, c.thisValue, c.args)), c.want)
            << c.table << "," << c.index;
    }
}

TEST(WorldObjects, NativeAccessorNamesCarryTheirVersion) {
    ScriptProbe probe(6);
    Interpreter& vm = probe.vm();
    Object* object = vm.makeObject();
    Value args[] = {Value(object), Value(200.0), Value("1a,2b,6c,7d,10e"), Value(0.0)};
    vm.call(global(vm, "ASSetNativeAccessor"), Value(), args);
    const struct {
        const char* name;
        bool seen;
    } cases[] = {{"a", true}, {"2b", true}, {"c", true}, {"d", false}, {"e", false}};
    for (const auto& c : cases)
        EXPECT_EQ(vm.hasProperty(object, c.name) && !vm.getMember(object, c.name).isUndefined(),
                  c.seen)
            << c.name;
    // Getter and setter take two numbers each: c's getter is Math's index 4 (cos).
    EXPECT_EQ(vm.toString(vm.getMember(object, "c")), "NaN");
}

} // namespace
} // namespace swivio::swf::avm1
