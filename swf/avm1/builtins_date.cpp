// Date.
#include <cmath>

#include "swf/avm1/builtins.h"
#include "swf/avm1/date_math.h"

namespace swivio::swf::avm1 {

namespace {

// A Date: its time in ms since the epoch, NaN when invalid. The player keeps what the
// constructor was given as it is (beyond the clip range, or infinite); only the setters clip.
class DateObject : public Object {
public:
    explicit DateObject(Object* proto) : Object(proto) {}
    ObjectKind kind() const override { return ObjectKind::Date; }
    double time = NAN;
};

Object* allocateDate(Interpreter& vm, Object* proto) {
    vm.checkCells();
    return vm.heap().make<DateObject>(proto);
}

// Where a date's time lives: a Date made by new, or a plain object that Date's constructor
// ran on (a script's subclass calling super()), which keeps it in a hidden property.
constexpr std::string_view kHiddenTime = "\x01time";

class DateRef {
public:
    DateRef() = default;
    explicit DateRef(Object* object) : m_object(object) {}
    explicit operator bool() const { return m_object != nullptr; }
    double time() const {
        if (m_object->kind() == ObjectKind::Date)
            return static_cast<DateObject*>(m_object)->time;
        const Property* p = m_object->properties().find(kHiddenTime, true);
        return p ? p->value.number() : NAN;
    }
    void setTime(double t) {
        if (m_object->kind() == ObjectKind::Date)
            static_cast<DateObject*>(m_object)->time = t;
        else
            m_object->define(kHiddenTime, t, kDontEnum | kDontDelete);
    }

private:
    Object* m_object = nullptr;
};

DateRef dateOf(const Value& thisValue) {
    Object* object = thisValue.object();
    if (!object)
        return {};
    if (object->kind() == ObjectKind::Date || object->properties().find(kHiddenTime, true))
        return DateRef(object);
    return {};
}

// The player's double-to-integer conversion of some fields: NaN, the infinities and values
// outside 32 bits become -2^31 rather than NaN.
double wrappedInteger(double v) {
    if (!std::isfinite(v) || v <= -2147483649.0 || v >= 2147483648.0)
        return -2147483648.0;
    return std::trunc(v);
}

// Two-digit years (and, in the constructor and Date.UTC, any below 100) mean 1900 on.
double fullYearOf(double year) {
    return year < 100 && year > -2147483648.0 ? year + 1900 : year;
}

// A time from its fields, each truncated toward zero. Unlike makeDay and makeTime, an infinite
// day or time field carries through as that infinity (Date.UTC(0, 0, Infinity) is Infinity);
// a NaN anywhere, or an infinite year or month, gives NaN.
double composeTime(double year, double month, double date, double hours, double minutes,
                   double seconds, double ms) {
    const double fields[] = {year, month, date, hours, minutes, seconds, ms};
    double infinite = 0;
    bool anyInfinite = false;
    for (double f : fields)
        if (std::isnan(f))
            return NAN;
    if (!std::isfinite(year) || !std::isfinite(month))
        return NAN;
    for (double f : {date, hours, minutes, seconds, ms})
        if (!std::isfinite(f)) {
            infinite += f;
            anyInfinite = true;
        }
    if (anyInfinite)
        return infinite;
    return makeDate(makeDay(year, month, date), makeTime(hours, minutes, seconds, ms));
}

double numberAt(Interpreter& vm, std::span<const Value> args, std::size_t index, double missing) {
    return index < args.size() ? vm.toNumber(args[index]) : missing;
}

// A number asks an object's valueOf first, so new Date(otherDate) copies the time even
// though a Date's own primitive is its text.
double numberOf(Interpreter& vm, const Value& value) {
    if (value.isObject()) {
        Value method = vm.getMember(value, "valueOf");
        if (method.isObject() && method.object()->kind() == ObjectKind::Function) {
            Value primitive = vm.call(method, value, {});
            if (!primitive.isObject())
                return vm.toNumber(primitive);
        }
    }
    return vm.toNumber(value);
}

// Date(year, month[, date[, hours[, minutes[, seconds[, ms]]]]]) read as fields.
double timeFromFields(Interpreter& vm, std::span<const Value> args) {
    const double year = fullYearOf(wrappedInteger(vm.toNumber(args[0])));
    return composeTime(year, vm.toNumber(args[1]), numberAt(vm, args, 2, 1),
                       numberAt(vm, args, 3, 0), numberAt(vm, args, 4, 0), numberAt(vm, args, 5, 0),
                       numberAt(vm, args, 6, 0));
}

Value dateConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    // new Date, or super() from a subclass: a plain object becomes a date. Other built-in
    // objects cannot, and a call as a function gives the text of now, whatever the arguments.
    Object* object = thisValue.object();
    const bool construct =
        object && object != vm.global() &&
        (object->kind() == ObjectKind::Date || object->kind() == ObjectKind::Plain);
    if (!construct)
        return dateToString(currentTimeMs());
    double time = NAN;
    if (args.empty())
        time = currentTimeMs();
    else if (args.size() == 1)
        time = numberOf(vm, args[0]);
    else {
        const double local = timeFromFields(vm, args);
        time = std::isfinite(local) ? utcFromLocal(local) : local;
    }
    DateRef(object).setTime(time);
    return Value();
}

Value dateUtc(Interpreter& vm, const Value&, std::span<const Value> args) {
    if (args.size() < 2)
        return Value();
    return timeFromFields(vm, args);
}

// The fields of a time, in local time or UTC.
struct Fields {
    double year, month, date, hours, minutes, seconds, ms;
};

Fields fieldsOf(double t) {
    return {yearFromTime(t), monthFromTime(t), dateFromTime(t), hourFromTime(t),
            minFromTime(t),  secFromTime(t),   msFromTime(t)};
}

// Getters. A date whose time is not finite answers NaN.
enum class Field { FullYear, Year, Month, Date, Day, Hours, Minutes, Seconds, Milliseconds };

template <Field F, bool Utc>
Value dateGetter(Interpreter&, const Value& thisValue, std::span<const Value>) {
    DateRef date = dateOf(thisValue);
    if (!date)
        return Value();
    const double time = date.time();
    if (!std::isfinite(time))
        return NAN;
    const double t = Utc ? time : localTime(time);
    switch (F) {
    case Field::FullYear:
        return yearFromTime(t);
    case Field::Year:
        return yearFromTime(t) - 1900;
    case Field::Month:
        return monthFromTime(t);
    case Field::Date:
        return dateFromTime(t);
    case Field::Day:
        return weekDay(t);
    case Field::Hours:
        return hourFromTime(t);
    case Field::Minutes:
        return minFromTime(t);
    case Field::Seconds:
        return secFromTime(t);
    case Field::Milliseconds:
        return msFromTime(t);
    }
    return NAN;
}

Value getTime(Interpreter&, const Value& thisValue, std::span<const Value>) {
    DateRef date = dateOf(thisValue);
    return date ? Value(date.time()) : Value();
}

Value getTimezoneOffset(Interpreter&, const Value& thisValue, std::span<const Value>) {
    DateRef date = dateOf(thisValue);
    if (!date)
        return Value();
    const double time = date.time();
    if (!std::isfinite(time))
        return NAN;
    return -localOffsetMs(time) / kMsPerMinute;
}

Value dateToStringMethod(Interpreter&, const Value& thisValue, std::span<const Value>) {
    DateRef date = dateOf(thisValue);
    // Date.prototype.toString on another object gives the text of an invalid date.
    return dateToString(date ? date.time() : NAN);
}

Value setTime(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    const double time = timeClip(numberAt(vm, args, 0, NAN));
    DateRef date = dateOf(thisValue);
    if (!date)
        return Value();
    date.setTime(time);
    return time;
}

// Setters: the first field given replaces the one named, the next ones (when given) the
// fields after it; the others stay. A date that is not valid stays invalid, and the result is
// clipped to the range of dates.
enum class Setter { FullYear, Year, Month, Date, Hours, Minutes, Seconds, Milliseconds };

template <Setter S, bool Utc>
Value dateSetter(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    // Every argument is converted, even for an invalid date (valueOf runs).
    double given[4] = {NAN, NAN, NAN, NAN};
    const std::size_t count = std::min<std::size_t>(args.size(), 4);
    for (std::size_t i = 0; i < count; ++i)
        given[i] = vm.toNumber(args[i]);
    DateRef date = dateOf(thisValue);
    if (!date)
        return Value();
    const double time = date.time();
    if (!std::isfinite(time)) {
        date.setTime(NAN);
        return NAN;
    }
    const double t = Utc ? time : localTime(time);
    Fields f = fieldsOf(t);
    auto field = [&](std::size_t i, double current) { return i < count ? given[i] : current; };
    switch (S) {
    case Setter::FullYear:
        f.year = given[0];
        f.month = field(1, f.month);
        f.date = field(2, f.date);
        break;
    case Setter::Year:
        f.year = given[0];
        if (std::isfinite(f.year)) {
            f.year = std::trunc(f.year);
            if (f.year >= 0 && f.year < 100)
                f.year += 1900;
        }
        f.month = field(1, f.month);
        f.date = field(2, f.date);
        break;
    case Setter::Month:
        // A missing or NaN month is January here, unlike every other field.
        f.month = std::isnan(given[0]) ? 0 : given[0];
        f.date = field(1, f.date);
        break;
    case Setter::Date:
        f.date = given[0];
        break;
    case Setter::Hours:
        f.hours = given[0];
        f.minutes = field(1, f.minutes);
        f.seconds = field(2, f.seconds);
        f.ms = field(3, f.ms);
        break;
    case Setter::Minutes:
        // Only this setter takes its fields through the integer conversion.
        f.minutes = wrappedInteger(given[0]);
        f.seconds = wrappedInteger(field(1, f.seconds));
        f.ms = wrappedInteger(field(2, f.ms));
        break;
    case Setter::Seconds:
        f.seconds = given[0];
        f.ms = field(1, f.ms);
        break;
    case Setter::Milliseconds:
        f.ms = given[0];
        break;
    }
    double result = composeTime(f.year, f.month, f.date, f.hours, f.minutes, f.seconds, f.ms);
    if (!Utc && std::isfinite(result))
        result = utcFromLocal(result);
    result = timeClip(result);
    date.setTime(result);
    return result;
}

} // namespace

void installDateBuiltins(Interpreter& vm) {
    Object* proto = vm.makeObject();
    FunctionObject* ctor = vm.defineClass("Date", dateConstructor, proto, allocateDate);
    // A subclass's object becomes a date only when its constructor calls Date's.
    ctor->allocatorInherited = false;
    vm.defineMethod(ctor, "UTC", dateUtc);

    struct Method {
        const char* name;
        NativeFunction function;
    };
    const Method methods[] = {
        {"getFullYear", dateGetter<Field::FullYear, false>},
        {"getYear", dateGetter<Field::Year, false>},
        {"getMonth", dateGetter<Field::Month, false>},
        {"getDate", dateGetter<Field::Date, false>},
        {"getDay", dateGetter<Field::Day, false>},
        {"getHours", dateGetter<Field::Hours, false>},
        {"getMinutes", dateGetter<Field::Minutes, false>},
        {"getSeconds", dateGetter<Field::Seconds, false>},
        {"getMilliseconds", dateGetter<Field::Milliseconds, false>},
        {"getUTCFullYear", dateGetter<Field::FullYear, true>},
        {"getUTCYear", dateGetter<Field::Year, true>},
        {"getUTCMonth", dateGetter<Field::Month, true>},
        {"getUTCDate", dateGetter<Field::Date, true>},
        {"getUTCDay", dateGetter<Field::Day, true>},
        {"getUTCHours", dateGetter<Field::Hours, true>},
        {"getUTCMinutes", dateGetter<Field::Minutes, true>},
        {"getUTCSeconds", dateGetter<Field::Seconds, true>},
        {"getUTCMilliseconds", dateGetter<Field::Milliseconds, true>},
        {"getTime", getTime},
        {"getTimezoneOffset", getTimezoneOffset},
        {"toString", dateToStringMethod},
        {"setTime", setTime},
        {"setFullYear", dateSetter<Setter::FullYear, false>},
        {"setYear", dateSetter<Setter::Year, false>},
        {"setMonth", dateSetter<Setter::Month, false>},
        {"setDate", dateSetter<Setter::Date, false>},
        {"setHours", dateSetter<Setter::Hours, false>},
        {"setMinutes", dateSetter<Setter::Minutes, false>},
        {"setSeconds", dateSetter<Setter::Seconds, false>},
        {"setMilliseconds", dateSetter<Setter::Milliseconds, false>},
        {"setUTCFullYear", dateSetter<Setter::FullYear, true>},
        {"setUTCMonth", dateSetter<Setter::Month, true>},
        {"setUTCDate", dateSetter<Setter::Date, true>},
        {"setUTCHours", dateSetter<Setter::Hours, true>},
        {"setUTCMinutes", dateSetter<Setter::Minutes, true>},
        {"setUTCSeconds", dateSetter<Setter::Seconds, true>},
        {"setUTCMilliseconds", dateSetter<Setter::Milliseconds, true>},
    };
    for (const Method& m : methods)
        vm.defineMethod(proto, m.name, m.function);
    // valueOf is getTime itself, the same function object.
    proto->define("valueOf", vm.getMember(proto, "getTime"), kDontEnum);
}

} // namespace swivio::swf::avm1
