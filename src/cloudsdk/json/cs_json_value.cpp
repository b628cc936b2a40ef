#include "cs_json_value.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

const CSJsonValue::Array& emptyArray() {
    static const CSJsonValue::Array empty;
    return empty;
}

const CSJsonValue::Object& emptyObject() {
    static const CSJsonValue::Object empty;
    return empty;
}

const CSJsonValue& nullValue() {
    static const CSJsonValue null;
    return null;
}

int64_t leadingInteger(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    uint64_t magnitude = 0;
    const uint64_t limit =
        negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative)
        return static_cast<int64_t>(magnitude);
    return magnitude == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                            : -static_cast<int64_t>(magnitude);
}

} // namespace

CSJsonValue::CSJsonValue(bool value) noexcept {
    clearBytes();
    setTag(Kind::Boolean);
    setWord(value ? 1 : 0);
}

CSJsonValue::CSJsonValue(long long value) noexcept {
    clearBytes();
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    assignSmallNumber(magnitude, 0, negative);
}

CSJsonValue::CSJsonValue(unsigned long long value) noexcept {
    clearBytes();
    assignSmallNumber(value, 0, false);
}

CSJsonValue::CSJsonValue(const CSJsonDecimal& value) {
    clearBytes();
    assignNumber(value);
}

CSJsonValue::CSJsonValue(std::string_view text) {
    clearBytes();
    assignString(text.data(), text.size());
}

CSJsonValue::CSJsonValue(Array elements) {
    clearBytes();
    setPointer(new Array(std::move(elements)));
    setTag(Kind::Array);
}

CSJsonValue::CSJsonValue(Object members) {
    clearBytes();
    setPointer(new Object(std::move(members)));
    setTag(Kind::Object);
}

CSJsonValue CSJsonValue::array(std::initializer_list<CSJsonValue> elements) {
    return CSJsonValue(Array(elements));
}

CSJsonValue
CSJsonValue::object(std::initializer_list<std::pair<std::string_view, CSJsonValue>> members) {
    CSJsonValue result{Object{}};
    for (const auto& [key, value] : members)
        result.set(key, value);
    return result;
}

CSJsonValue::CSJsonValue(const CSJsonValue& other) {
    clearBytes();
    copyFrom(other);
}

CSJsonValue& CSJsonValue::operator=(const CSJsonValue& other) {
    if (this != &other) {
        CSJsonValue copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CSJsonValue& CSJsonValue::operator=(CSJsonValue&& other) noexcept {
    if (this != &other) {
        // other may live inside this value's own tree: take it before destroying.
        unsigned char taken[sizeof bytes_];
        std::memcpy(taken, other.bytes_, sizeof bytes_);
        other.clearBytes();
        destroy();
        std::memcpy(bytes_, taken, sizeof bytes_);
    }
    return *this;
}

void* CSJsonValue::pointer() const noexcept {
    void* p;
    std::memcpy(&p, bytes_, sizeof p);
    return p;
}

void CSJsonValue::setPointer(const void* p) noexcept {
    std::memcpy(bytes_, &p, sizeof p);
}

uint64_t CSJsonValue::word() const noexcept {
    uint64_t w;
    std::memcpy(&w, bytes_, sizeof w);
    return w;
}

void CSJsonValue::setWord(uint64_t w) noexcept {
    std::memcpy(bytes_, &w, sizeof w);
}

void CSJsonValue::destroy() noexcept {
    switch (kind()) {
    case Kind::String:
        if (flags() & kHeapString)
            delete[] static_cast<char*>(pointer());
        break;
    case Kind::Number:
        if (flags() & kBigMantissa)
            delete static_cast<CSJsonUInt128*>(pointer());
        break;
    case Kind::Array:
        delete static_cast<Array*>(pointer());
        break;
    case Kind::Object:
        delete static_cast<Object*>(pointer());
        break;
    default:
        break;
    }
    clearBytes();
}

void CSJsonValue::copyFrom(const CSJsonValue& other) {
    switch (other.kind()) {
    case Kind::String: {
        const std::string_view text = other.stringView();
        assignString(text.data(), text.size());
        return;
    }
    case Kind::Number:
        if (other.flags() & kBigMantissa) {
            assignNumber(other.asDecimal());
            return;
        }
        break;
    case Kind::Array:
        setPointer(new Array(*static_cast<const Array*>(other.pointer())));
        setTag(Kind::Array);
        return;
    case Kind::Object:
        setPointer(new Object(*static_cast<const Object*>(other.pointer())));
        setTag(Kind::Object);
        return;
    default:
        break;
    }
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
}

void CSJsonValue::assignString(const char* data, std::size_t size) {
    if (size <= kInlineCapacity) {
        if (size)
            std::memcpy(bytes_, data, size);
        bytes_[kAux] = static_cast<unsigned char>(size);
        setTag(Kind::String);
        return;
    }
    if (size > std::numeric_limits<uint32_t>::max())
        throw std::length_error("CSJsonValue: string longer than 4 GiB");
    char* heap = new char[size];
    std::memcpy(heap, data, size);
    setPointer(heap);
    const uint32_t size32 = static_cast<uint32_t>(size);
    std::memcpy(bytes_ + 8, &size32, sizeof size32);
    setTag(Kind::String, kHeapString);
}

void CSJsonValue::assignSmallNumber(uint64_t mantissa, int exponent, bool negative) noexcept {
    setWord(mantissa);
    bytes_[kAux] = static_cast<unsigned char>(static_cast<int8_t>(exponent));
    setTag(Kind::Number, negative && mantissa ? kNegative : 0);
}

void CSJsonValue::assignNumber(const CSJsonDecimal& value) {
    CSJsonDecimal d = value.normalized();
    while (d.exponent > CSJsonDecimal::kMaxExponent && d.mantissa <= ~CSJsonUInt128{0} / 10) {
        d.mantissa *= 10;
        --d.exponent;
    }
    if (d.exponent > CSJsonDecimal::kMaxExponent || d.exponent < CSJsonDecimal::kMinExponent)
        throw std::out_of_range("CSJsonValue: decimal exponent outside -128..127");
    if (d.mantissa <= std::numeric_limits<uint64_t>::max()) {
        assignSmallNumber(static_cast<uint64_t>(d.mantissa), d.exponent, d.negative);
        return;
    }
    setPointer(new CSJsonUInt128(d.mantissa));
    bytes_[kAux] = static_cast<unsigned char>(static_cast<int8_t>(d.exponent));
    setTag(Kind::Number, static_cast<uint8_t>(kBigMantissa | (d.negative ? kNegative : 0)));
}

CSJsonDecimal CSJsonValue::asDecimal() const noexcept {
    CSJsonDecimal d;
    if (isBool()) {
        d.mantissa = word();
    } else if (isNumber()) {
        d.mantissa =
            (flags() & kBigMantissa) ? *static_cast<const CSJsonUInt128*>(pointer()) : word();
        d.exponent = static_cast<int8_t>(bytes_[kAux]);
        d.negative = flags() & kNegative;
    }
    return d;
}

int64_t CSJsonValue::asInt64() const noexcept {
    switch (kind()) {
    case Kind::Boolean:
        return static_cast<int64_t>(word());
    case Kind::Number:
        if (!(flags() & kBigMantissa) && bytes_[kAux] == 0) {
            const uint64_t m = word();
            if (!(flags() & kNegative))
                return m > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                           ? std::numeric_limits<int64_t>::max()
                           : static_cast<int64_t>(m);
        }
        return asDecimal().toInt64();
    case Kind::String:
        return leadingInteger(stringView());
    default:
        return 0;
    }
}

bool CSJsonValue::asBool() const noexcept {
    if (isBool())
        return word() != 0;
    if (isNumber())
        return asDecimal().mantissa != 0;
    return false;
}

const CSJsonValue::Array& CSJsonValue::elements() const noexcept {
    return isArray() ? *static_cast<const Array*>(pointer()) : emptyArray();
}

CSJsonValue::Array& CSJsonValue::mutableElements() {
    if (!isArray())
        *this = CSJsonValue(Array{});
    return *static_cast<Array*>(pointer());
}

const CSJsonValue::Object& CSJsonValue::members() const noexcept {
    return isObject() ? *static_cast<const Object*>(pointer()) : emptyObject();
}

std::size_t CSJsonValue::size() const noexcept {
    if (isArray())
        return elements().size();
    if (isObject())
        return members().size();
    return 0;
}

const CSJsonValue& CSJsonValue::operator[](std::size_t index) const noexcept {
    const Array& list = elements();
    return index < list.size() ? list[index] : nullValue();
}

void CSJsonValue::append(CSJsonValue value) {
    mutableElements().push_back(std::move(value));
}

const CSJsonValue* CSJsonValue::find(std::string_view key) const noexcept {
    if (!isObject())
        return nullptr;
    for (const CSJsonMember& member : *static_cast<const Object*>(pointer()))
        if (member.key() == key)
            return &member.value;
    return nullptr;
}

CSJsonValue* CSJsonValue::find(std::string_view key) noexcept {
    return const_cast<CSJsonValue*>(std::as_const(*this).find(key));
}

void CSJsonValue::set(std::string_view key, CSJsonValue value) {
    if (CSJsonValue* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    if (!isObject())
        *this = CSJsonValue(Object{});
    static_cast<Object*>(pointer())->push_back(CSJsonMember{CSJsonValue(key), std::move(value)});
}

bool CSJsonValue::remove(std::string_view key) {
    if (!isObject())
        return false;
    Object& list = *static_cast<Object*>(pointer());
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->key() == key) {
            list.erase(it);
            return true;
        }
    }
    return false;
}

bool CSJsonValue::operator==(const CSJsonValue& other) const noexcept {
    if (kind() != other.kind())
        return false;
    switch (kind()) {
    case Kind::Null:
        return true;
    case Kind::Boolean:
        return word() == other.word();
    case Kind::Number:
        return asDecimal() == other.asDecimal();
    case Kind::String:
        return stringView() == other.stringView();
    case Kind::Array:
        return elements() == other.elements();
    case Kind::Object: {
        const Object& mine = members();
        if (mine.size() != other.members().size())
            return false;
        for (const CSJsonMember& member : mine) {
            const CSJsonValue* theirs = other.find(member.key());
            if (!theirs || !(*theirs == member.value))
                return false;
        }
        return true;
    }
    }
    return false;
}

const char* CSJsonValue::kindName(Kind kind) noexcept {
    switch (kind) {
    case Kind::Null:
        return "null";
    case Kind::Boolean:
        return "boolean";
    case Kind::Number:
        return "number";
    case Kind::String:
        return "string";
    case Kind::Array:
        return "array";
    case Kind::Object:
        return "object";
    }
    return "unknown";
}
