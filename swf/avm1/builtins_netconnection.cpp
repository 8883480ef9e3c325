// NetConnection: connect(null) opens the local connection that plays video files; a server
// connection is only ever pending (there is no network), and remoting calls made on it are
// written as Flash would send them and shown, never sent.
#include "swf/avm1/amf0.h"
#include "swf/avm1/builtins.h"

namespace swivio::swf::avm1 {

namespace {

constexpr std::string_view kState = "\x01netState";
constexpr std::string_view kCalls = "\x01netCalls";

enum class NetState { Closed = 0, Local = 1, Remote = 2 };

NetState stateOf(Object* self) {
    const Property* own = self->properties().find(kState, true);
    return own ? NetState(int(own->value.number())) : NetState::Closed;
}

void setState(Object* self, NetState state) {
    self->define(kState, double(int(state)), kDontEnum | kDontDelete);
    self->define("isConnected", state == NetState::Local, kDontEnum);
}

void reportStatus(Interpreter& vm, Object* self, std::string_view code) {
    Object* info = vm.makeObject();
    info->define("level", "status", 0);
    info->define("code", code, 0);
    Value one[] = {Value(info)};
    vm.callMethod(self, "onStatus", one);
}

// Leaving a connection tells the script it closed; a server connection that never opened
// then reports once more with nothing to say.
void closeConnection(Interpreter& vm, Object* self) {
    const NetState state = stateOf(self);
    if (state == NetState::Closed)
        return;
    setState(self, NetState::Closed);
    reportStatus(vm, self, "NetConnection.Connect.Closed");
    if (state == NetState::Remote)
        vm.callMethod(self, "onStatus", {});
}

Value netConnect(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* self = thisValue.object();
    if (!self)
        return Value();
    const Value& url = argAt(args, 0);
    closeConnection(vm, self);
    const bool local = url.isNull();
    self->define("uri", local ? Value("null") : Value(vm.toString(url)), kDontEnum);
    if (local) {
        setState(self, NetState::Local);
        reportStatus(vm, self, "NetConnection.Connect.Success");
        return true;
    }
    // Remoting over HTTP opens nothing until a call; here no call ever reaches the server.
    const std::string address = vm.toString(url);
    if (address.starts_with("http://") || address.starts_with("https://")) {
        setState(self, NetState::Remote);
        return true;
    }
    // A streaming server is out of reach.
    setState(self, NetState::Closed);
    vm.host().scriptError("NetConnection.connect: no network, cannot reach " + address);
    return false;
}

Value netClose(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    if (Object* self = thisValue.object())
        closeConnection(vm, self);
    return Value();
}

// call(method, responder, ...): on a server connection the request is written and shown;
// no answer comes, so the responder never hears.
Value netCall(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* self = thisValue.object();
    if (!self || args.empty() || stateOf(self) != NetState::Remote)
        return Value();
    const Property* calls = self->properties().find(kCalls, true);
    const double number = (calls ? calls->value.number() : 0) + 1;
    self->define(kCalls, number, kDontEnum | kDontDelete);
    const std::string method = vm.toString(args[0]);
    const std::string response = "/" + vm.toString(number);
    std::span<const Value> rest = args.size() > 2 ? args.subspan(2) : std::span<const Value>();
    const std::vector<uint8_t> body = amf0Request(vm, method, response, rest);
    logUnsentRequest(vm, vm.toString(vm.getMember(self, "uri")), "POST", "application/x-amf", body,
                     false);
    return Value();
}

} // namespace

void installNetConnectionMethods(Interpreter& vm, Object* prototype) {
    vm.defineMethod(prototype, "connect", netConnect);
    vm.defineMethod(prototype, "close", netClose);
    vm.defineMethod(prototype, "call", netCall);
}

} // namespace swivio::swf::avm1
