// Array.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "swf/avm1/builtins.h"
#include "swf/avm1/number_conversion.h"
#include "swf/avm1/string_functions.h"

namespace swivio::swf::avm1 {

namespace {

// Sort and sortOn flags, as the constants on the constructor name them.
enum SortFlag : int32_t {
    kCaseInsensitive = 1,
    kDescending = 2,
    kUniqueSort = 4,
    kReturnIndexedArray = 8,
    kNumeric = 16,
};

// Past this many comparisons a sort finishes with a merge sort: the player's quicksort is
// quadratic on sorted or equal elements, and a large array of them must not hang.
constexpr uint64_t kMaxQuicksortComparisons = 1u << 22;

[[noreturn]] void tooLong(Interpreter& vm) {
    vm.abortScript("an array grew past " + std::to_string(kMaxArrayLength) + " elements");
}

ArrayObject* asArray(Object* object) {
    return object && object->kind() == ObjectKind::Array ? static_cast<ArrayObject*>(object)
                                                         : nullptr;
}

// The elements of this: an Array's own storage, or the indexed properties and length of any
// other object (classes that extend Array call these methods on their own instances).
class Elements {
public:
    Elements(Interpreter& vm, Object* object)
        : m_vm(vm), m_object(object), m_array(asArray(object)) {}

    bool isArray() const { return m_array != nullptr; }
    Object* object() const { return m_object; }

    uint32_t length() {
        if (m_array)
            return m_array->length();
        double n = m_vm.toInteger(m_vm.getMember(m_object, "length"));
        return n <= 0 ? 0 : uint32_t(std::min(n, double(kMaxArrayLength)));
    }
    Value get(uint32_t index) {
        if (m_array)
            return m_array->at(index);
        return m_vm.getMember(m_object, std::to_string(index));
    }
    bool has(uint32_t index) {
        if (m_array)
            return m_array->has(index);
        return m_vm.hasProperty(m_object, std::to_string(index));
    }
    void set(uint64_t index, const Value& value) {
        if (index >= kMaxArrayLength)
            tooLong(m_vm);
        if (m_array)
            m_array->set(uint32_t(index), value);
        else
            m_vm.setMember(m_object, std::to_string(index), value);
    }
    void remove(uint32_t index) {
        if (m_array)
            m_array->erase(index);
        else
            m_vm.deleteMember(m_object, std::to_string(index));
    }
    // Writes an element anew: on an object that is no Array the old property goes first, so
    // the new one enumerates as the newest (as shift, unshift, reverse and sort leave them).
    void replace(uint64_t index, const Value& value) {
        if (!m_array && index < kMaxArrayLength)
            remove(uint32_t(index));
        set(index, value);
    }
    void setLength(uint64_t length) {
        if (length > kMaxArrayLength)
            tooLong(m_vm);
        if (m_array)
            m_array->setLength(double(length));
        else
            m_vm.setMember(m_object, "length", double(length));
    }

private:
    Interpreter& m_vm;
    Object* m_object;
    ArrayObject* m_array;
};

// Methods that rewrite every element (unshift, splice, reverse) leave no holes behind.
void fillHoles(ArrayObject& array) {
    for (auto& element : array.elements())
        if (!element)
            element = Value();
}

ArrayObject* newArray(Interpreter& vm, std::vector<Value> values) {
    if (values.size() > kMaxArrayLength)
        tooLong(vm);
    return vm.makeArray(values);
}

// An index argument: negative counts from the end; the result lies in [0, length].
uint32_t absoluteIndex(Interpreter& vm, const Value& value, uint32_t length) {
    const int64_t index = vm.toInt32(value);
    if (index < 0)
        return uint32_t(std::max<int64_t>(index + length, 0));
    return uint32_t(std::min<int64_t>(index, length));
}

Object* allocateArray(Interpreter& vm, Object* proto) {
    ArrayObject* array = vm.makeArray();
    array->setProto(proto);
    return array;
}

Value arrayConstructor(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    // new Array fills the array it allocated; called as a function (Array.call(a, x) too) it
    // answers a new one and leaves this alone.
    ArrayObject* array = asArray(thisValue.object());
    if (array) {
        const Property* ctor = array->properties().find("__constructor__", false);
        if (array->length() != 0 || !ctor ||
            ctor->value.object() != vm.builtins().arrayCtor)
            array = nullptr;
    }
    if (!array)
        array = vm.makeArray();
    if (args.size() == 1 && args[0].isNumber()) {
        const double length = vm.toInteger(args[0]);
        if (length > kMaxArrayLength)
            tooLong(vm);
        array->setLength(std::max(length, 0.0));
    } else {
        for (const Value& v : args)
            array->push(v);
    }
    return array;
}

Value joinElements(Interpreter& vm, Object* object, const std::string& separator) {
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    std::string out;
    for (uint32_t i = 0; i < length; ++i) {
        if (i)
            out += separator;
        out += vm.toString(elements.get(i));
        vm.checkStringLength(out.size());
    }
    return out;
}

Value join(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    // An explicit undefined separator is its string, as the version writes it.
    return joinElements(vm, object, args.empty() ? std::string(",") : vm.toString(args[0]));
}

Value toStringMethod(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    return joinElements(vm, object, ",");
}

Value push(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    Elements elements(vm, object);
    const uint64_t length = elements.length();
    for (std::size_t i = 0; i < args.size(); ++i)
        elements.set(length + i, args[i]);
    elements.setLength(length + args.size());
    return double(length + args.size());
}

Value pop(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    if (length == 0)
        return Value();
    Value last = elements.get(length - 1);
    elements.remove(length - 1);
    // Only a real array's length follows; another object keeps the length it had.
    if (elements.isArray())
        elements.setLength(length - 1);
    return last;
}

Value shift(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    if (length == 0)
        return Value();
    Value first = elements.get(0);
    if (ArrayObject* array = asArray(object)) {
        auto& storage = array->elements();
        storage.erase(storage.begin());
        return first;
    }
    // Another object keeps its last element and its length.
    for (uint32_t i = 1; i < length; ++i) {
        if (elements.has(i))
            elements.replace(i - 1, elements.get(i));
        else
            elements.remove(i - 1);
    }
    return first;
}

Value unshift(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    Elements elements(vm, object);
    const uint64_t length = elements.length();
    const uint64_t newLength = length + args.size();
    if (newLength > kMaxArrayLength)
        tooLong(vm);
    if (ArrayObject* array = asArray(object)) {
        fillHoles(*array);
        auto& storage = array->elements();
        storage.insert(storage.begin(), args.begin(), args.end());
        return double(newLength);
    }
    // Another object keeps its length.
    for (uint64_t i = length; i-- > 0;)
        elements.replace(i + args.size(), elements.get(uint32_t(i)));
    for (std::size_t i = 0; i < args.size(); ++i)
        elements.replace(i, args[i]);
    return double(newLength);
}

Value reverse(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    if (ArrayObject* array = asArray(object)) {
        fillHoles(*array);
        std::reverse(array->elements().begin(), array->elements().end());
        return thisValue;
    }
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    for (uint32_t low = 0; low < length / 2; ++low) {
        const uint32_t high = length - 1 - low;
        Value lowValue = elements.get(low);
        Value highValue = elements.get(high);
        elements.replace(low, highValue);
        elements.replace(high, lowValue);
    }
    return thisValue;
}

Value slice(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    const uint32_t start = absoluteIndex(vm, argAt(args, 0), length);
    const uint32_t end =
        argAt(args, 1).isUndefined() ? length : absoluteIndex(vm, argAt(args, 1), length);
    std::vector<Value> values;
    for (uint32_t i = start; i < end; ++i)
        values.push_back(elements.get(i));
    return newArray(vm, std::move(values));
}

Value splice(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    // An undefined start or count (even one passed explicitly) does nothing.
    if (!object || args.empty() || args[0].isUndefined() ||
        (args.size() > 1 && args[1].isUndefined()))
        return Value();
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    const uint32_t start = absoluteIndex(vm, args[0], length);
    uint32_t deleteCount = length - start;
    if (args.size() > 1) {
        const int32_t count = vm.toInt32(args[1]);
        if (count < 0)
            return Value();
        deleteCount = std::min<uint32_t>(uint32_t(count), deleteCount);
    }
    std::span<const Value> items = args.size() > 2 ? args.subspan(2) : std::span<const Value>();
    const uint64_t newLength = uint64_t(length) - deleteCount + items.size();
    if (newLength > kMaxArrayLength)
        tooLong(vm);

    std::vector<Value> removed;
    for (uint32_t i = 0; i < deleteCount; ++i)
        removed.push_back(elements.get(start + i));
    ArrayObject* result = newArray(vm, std::move(removed));

    if (ArrayObject* array = asArray(object)) {
        fillHoles(*array);
        auto& storage = array->elements();
        auto first = storage.begin() + start;
        storage.erase(first, first + deleteCount);
        storage.insert(storage.begin() + start, items.begin(), items.end());
        return result;
    }
    // Another object gets every index up to the new length written in place, in order (the
    // ones past it stay).
    std::vector<Value> values;
    values.reserve(newLength);
    for (uint32_t i = 0; i < start; ++i)
        values.push_back(elements.get(i));
    values.insert(values.end(), items.begin(), items.end());
    for (uint32_t i = start + deleteCount; i < length; ++i)
        values.push_back(elements.get(i));
    for (std::size_t i = 0; i < values.size(); ++i)
        elements.set(i, values[i]);
    elements.setLength(newLength);
    return result;
}

Value concat(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    std::vector<Value> values;
    auto append = [&](const Value& value) {
        // Arrays give their elements (one level only); anything else is one element.
        if (ArrayObject* array = asArray(value.object())) {
            if (values.size() + array->length() > kMaxArrayLength)
                tooLong(vm);
            for (uint32_t i = 0; i < array->length(); ++i)
                values.push_back(array->at(i));
        } else {
            values.push_back(value);
        }
    };
    append(thisValue);
    for (const Value& v : args)
        append(v);
    return newArray(vm, std::move(values));
}

// ---- sort and sortOn ----

// What a comparison sees of one value: the value, and the string of a primitive, made once.
// An object's string is asked for at each comparison, as the player does (its toString may
// be a script that sees every call).
struct SortKey {
    Value value;
    std::string text;
};

struct SortItem {
    uint32_t index;
    bool hole;
    Value value;
    SortKey self;
    std::vector<SortKey> fields; // sortOn: one per field name, when value is an object
};

struct SortField {
    std::string name;
    int32_t flags;
};

std::string sortText(Interpreter& vm, const Value& value, int32_t flags) {
    std::string text = vm.toString(value);
    return (flags & kCaseInsensitive) ? toLowerCase(text) : text;
}

SortKey makeKey(Interpreter& vm, Value value, int32_t flags) {
    SortKey key{std::move(value), {}};
    if (!key.value.isObject() && !((flags & kNumeric) && key.value.isNumber()))
        key.text = sortText(vm, key.value, flags);
    return key;
}

// The default comparison: numbers by value with NUMERIC, everything else by string.
int compareKeys(Interpreter& vm, const SortKey& a, const SortKey& b, int32_t flags) {
    int result;
    if ((flags & kNumeric) && a.value.isNumber() && b.value.isNumber()) {
        const double x = a.value.number(), y = b.value.number();
        result = x < y ? -1 : (x > y ? 1 : 0); // NaN is equal to everything
    } else {
        std::string objectA, objectB;
        if (a.value.isObject())
            objectA = sortText(vm, a.value, flags);
        if (b.value.isObject())
            objectB = sortText(vm, b.value, flags);
        result = compareStrings(a.value.isObject() ? objectA : a.text,
                                b.value.isObject() ? objectB : b.text);
        result = result < 0 ? -1 : (result > 0 ? 1 : 0);
    }
    return (flags & kDescending) ? -result : result;
}

class Sorter {
public:
    Sorter(Interpreter& vm, const Value& compareFunction, std::vector<SortField> fields,
           int32_t flags)
        : m_vm(vm), m_function(compareFunction), m_fields(std::move(fields)), m_flags(flags) {}

    // a against b: negative, 0 or positive.
    int compare(const SortItem& a, const SortItem& b) {
        ++m_comparisons;
        if (m_function.isObject()) {
            Value args[] = {a.value, b.value};
            const double r = m_vm.toNumber(m_vm.call(m_function, Value(), args));
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        return compareDefault(a, b);
    }

    // Without a compare function: by fields for two objects in sortOn, else by value.
    int compareDefault(const SortItem& a, const SortItem& b) {
        if (!m_fields.empty() && !a.fields.empty() && !b.fields.empty()) {
            for (std::size_t i = 0; i < m_fields.size(); ++i)
                if (int r = compareKeys(m_vm, a.fields[i], b.fields[i], m_fields[i].flags))
                    return r;
            return 0;
        }
        return compareKeys(m_vm, a.self, b.self, m_flags);
    }

    // The player's quicksort: the first element is the pivot, the rest is split from both
    // ends, and the part before the pivot is sorted before the part after. Equal elements
    // end in the order this gives, and a compare function sees the same calls.
    void sort(std::vector<SortItem>& items) {
        std::vector<std::pair<std::size_t, std::size_t>> ranges{{0, items.size()}};
        while (!ranges.empty()) {
            auto [lo, hi] = ranges.back();
            ranges.pop_back();
            if (hi - lo < 2)
                continue;
            if (m_comparisons > kMaxQuicksortComparisons) {
                mergeSort(items);
                return;
            }
            if (hi - lo == 2) {
                if (compare(items[lo], items[lo + 1]) > 0)
                    std::swap(items[lo], items[lo + 1]);
                continue;
            }
            const SortItem pivot = items[lo];
            std::size_t left = lo + 1, right = hi - 1;
            for (;;) {
                while (left < right && compare(pivot, items[left]) > 0)
                    ++left;
                while (right > lo && compare(pivot, items[right]) <= 0)
                    --right;
                if (left >= right)
                    break;
                std::swap(items[left], items[right]);
            }
            std::swap(items[lo], items[right]);
            ranges.emplace_back(right + 1, hi);
            ranges.emplace_back(lo, right);
        }
    }

private:
    // Stable, and safe with a compare function that contradicts itself.
    void mergeSort(std::vector<SortItem>& items) {
        std::vector<SortItem> buffer(items.size());
        for (std::size_t width = 1; width < items.size(); width *= 2) {
            for (std::size_t lo = 0; lo < items.size(); lo += 2 * width) {
                const std::size_t mid = std::min(lo + width, items.size());
                const std::size_t hi = std::min(lo + 2 * width, items.size());
                std::size_t i = lo, j = mid, k = lo;
                while (i < mid && j < hi)
                    buffer[k++] = compare(items[j], items[i]) < 0 ? items[j++] : items[i++];
                while (i < mid)
                    buffer[k++] = items[i++];
                while (j < hi)
                    buffer[k++] = items[j++];
            }
            items.swap(buffer);
        }
    }

    Interpreter& m_vm;
    Value m_function;
    std::vector<SortField> m_fields;
    int32_t m_flags;
    uint64_t m_comparisons = 0;
};

// Sorts a copy of the elements, so a compare function that throws leaves this as it was.
Value sortElements(Interpreter& vm, Object* object, const Value& compareFunction,
                   std::vector<SortField> fields, int32_t flags, bool isSortOn) {
    Elements elements(vm, object);
    const uint32_t length = elements.length();
    // sort reverses its ascending result; sortOn compares descending field by field.
    const bool reverseAfter = !isSortOn && (flags & kDescending);
    const int32_t keyFlags = isSortOn ? flags : (flags & ~kDescending);
    std::vector<SortItem> items;
    items.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
        SortItem item{i, !elements.has(i), elements.get(i), {}, {}};
        if (!compareFunction.isObject() || (flags & kUniqueSort))
            item.self = makeKey(vm, item.value, keyFlags);
        if (!fields.empty() && item.value.isObject())
            for (const SortField& field : fields)
                item.fields.push_back(
                    makeKey(vm, vm.getMember(item.value, field.name), field.flags));
        items.push_back(std::move(item));
    }

    Sorter sorter(vm, compareFunction, std::move(fields), keyFlags);
    sorter.sort(items);
    if (reverseAfter)
        std::reverse(items.begin(), items.end());

    if (flags & kUniqueSort) {
        for (std::size_t i = 1; i < items.size(); ++i)
            if (sorter.compareDefault(items[i - 1], items[i]) == 0)
                return 0;
    }
    if (flags & kReturnIndexedArray) {
        std::vector<Value> indices;
        indices.reserve(items.size());
        for (const SortItem& item : items)
            indices.emplace_back(double(item.index));
        return newArray(vm, std::move(indices));
    }
    // Only moved elements are written: a hole lands as undefined where an element was and
    // stays a hole elsewhere, and what a compare function removed is not brought back.
    for (uint32_t i = 0; i < items.size(); ++i) {
        const SortItem& item = items[i];
        if (item.index == i)
            continue;
        if (!item.hole)
            elements.replace(i, item.value);
        else if (elements.has(i))
            elements.replace(i, Value());
    }
    return object;
}

// sort(), sort(flags), sort(compare), sort(compare, flags).
Value sortMethod(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object)
        return Value();
    Value compareFunction;
    int32_t flags = 0;
    if (!args.empty()) {
        const Value& first = args[0];
        const Value& second = argAt(args, 1);
        if (first.isObject()) {
            // An object that is no function answers undefined: every pair is equal.
            compareFunction = first;
            if (second.isNumber())
                flags = toInt32(second.number());
        } else if (first.isNumber()) {
            flags = toInt32(second.isNumber() ? second.number() : first.number());
        } else {
            return Value();
        }
    }
    return sortElements(vm, object, compareFunction, {}, flags, false);
}

// sortOn(name, flags), sortOn([names], flags), sortOn([names], [flags per name]).
Value sortOn(Interpreter& vm, const Value& thisValue, std::span<const Value> args) {
    Object* object = thisValue.object();
    if (!object || args.empty())
        return Value();
    std::vector<SortField> fields;
    if (args[0].isObject()) {
        ArrayObject* names = asArray(args[0].object());
        if (!names) // not a list of names: sorts the elements themselves
            return sortElements(vm, object, Value(), {}, 0, true);
        if (names->length() == 0)
            return thisValue;
        for (uint32_t i = 0; i < names->length(); ++i)
            fields.push_back({vm.toString(names->at(i)), 0});
        const Value& options = argAt(args, 1);
        if (ArrayObject* list = asArray(options.object())) {
            // Flags per field only when there is one for each; otherwise none.
            if (list->length() == fields.size())
                for (uint32_t i = 0; i < list->length(); ++i)
                    fields[i].flags = vm.toInt32(list->at(i));
        } else if (!options.isObject()) {
            const int32_t flags = vm.toInt32(options);
            for (SortField& field : fields)
                field.flags = flags;
        }
    } else {
        const Value& options = argAt(args, 1);
        fields.push_back(
            {vm.toString(args[0]), options.isNumber() ? toInt32(options.number()) : 0});
    }
    const int32_t mainFlags = fields.front().flags;
    return sortElements(vm, object, Value(), std::move(fields), mainFlags, true);
}

} // namespace

void installArrayBuiltins(Interpreter& vm) {
    Builtins& b = vm.builtins();
    b.arrayProto = vm.makeObject();
    b.arrayCtor = vm.defineClass("Array", arrayConstructor, b.arrayProto, allocateArray);
    struct Method {
        const char* name;
        NativeFunction function;
    };
    // In the player's order (for..in lists the newest first once they are unhidden).
    static constexpr Method kMethods[] = {
        {"push", push},       {"pop", pop},       {"concat", concat},
        {"shift", shift},     {"unshift", unshift}, {"slice", slice},
        {"join", join},       {"splice", splice}, {"toString", toStringMethod},
        {"sort", sortMethod}, {"reverse", reverse}, {"sortOn", sortOn},
    };
    for (const Method& m : kMethods)
        vm.defineMethod(b.arrayProto, m.name, m.function, kDontEnum | kDontDelete);
    struct Constant {
        const char* name;
        int32_t value;
    };
    static constexpr Constant kConstants[] = {
        {"CASEINSENSITIVE", kCaseInsensitive}, {"DESCENDING", kDescending},
        {"UNIQUESORT", kUniqueSort},           {"RETURNINDEXEDARRAY", kReturnIndexedArray},
        {"NUMERIC", kNumeric},
    };
    for (const Constant& c : kConstants)
        b.arrayCtor->define(c.name, double(c.value), 0); // plain, enumerable values
}

} // namespace swivio::swf::avm1
