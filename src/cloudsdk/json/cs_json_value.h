#pragma once
// The JSON value tree: null, boolean, decimal number, UTF-8 string, array and
// object (members in first-insertion order; a key set twice keeps the last
// value at its first position). A value is 16 bytes: short strings live inline,
// everything else behind one owning pointer, so a parsed folder listing stays
// within about twice its text size.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

__extension__ typedef unsigned __int128 CSJsonUInt128;

// A decimal number as read from the text: (-1)^negative * mantissa * 10^exponent,
// never a binary float. Mantissas hold at least 38 significant digits.
struct CSJsonDecimal {
    CSJsonUInt128 mantissa = 0;
    int exponent = 0; // -128..127
    bool negative = false;

    static constexpr int kMinExponent = -128;
    static constexpr int kMaxExponent = 127;

    // Strips trailing zeros into the exponent; zero becomes +0e0.
    CSJsonDecimal normalized() const;
    // Integer part, saturating at the 64-bit limits.
    int64_t toInt64() const;
    // Plain digits for integers ("-42", "1000"), otherwise digits with a
    // decimal point or an "e" exponent; reads back to the same value.
    std::string toString() const;
    bool operator==(const CSJsonDecimal& other) const; // by value: 1.0 == 1
};

class CSJsonValue;

struct CSJsonMember;

class CSJsonValue {
public:
    enum class Kind : uint8_t { Null, Boolean, Number, String, Array, Object };
    using Array = std::vector<CSJsonValue>;
    using Object = std::vector<CSJsonMember>;

    CSJsonValue() noexcept { clearBytes(); }
    CSJsonValue(std::nullptr_t) noexcept : CSJsonValue() {}
    CSJsonValue(bool value) noexcept;
    CSJsonValue(int value) noexcept : CSJsonValue(static_cast<long long>(value)) {}
    CSJsonValue(long value) noexcept : CSJsonValue(static_cast<long long>(value)) {}
    CSJsonValue(long long value) noexcept;
    CSJsonValue(unsigned value) noexcept : CSJsonValue(static_cast<unsigned long long>(value)) {}
    CSJsonValue(unsigned long value) noexcept
        : CSJsonValue(static_cast<unsigned long long>(value)) {}
    CSJsonValue(unsigned long long value) noexcept;
    CSJsonValue(const CSJsonDecimal& value);
    CSJsonValue(std::string_view text);
    CSJsonValue(const std::string& text) : CSJsonValue(std::string_view(text)) {}
    CSJsonValue(const char* text) : CSJsonValue(std::string_view(text ? text : "")) {}
    CSJsonValue(Array elements);
    CSJsonValue(Object members);

    static CSJsonValue array(std::initializer_list<CSJsonValue> elements = {});
    // Builds an object from key/value pairs; a repeated key keeps the last value.
    static CSJsonValue
    object(std::initializer_list<std::pair<std::string_view, CSJsonValue>> members = {});

    CSJsonValue(const CSJsonValue& other);
    CSJsonValue(CSJsonValue&& other) noexcept {
        __builtin_memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.clearBytes();
    }
    CSJsonValue& operator=(const CSJsonValue& other);
    CSJsonValue& operator=(CSJsonValue&& other) noexcept;
    ~CSJsonValue() {
        if (ownsMemory())
            destroy();
    }

    Kind kind() const noexcept { return static_cast<Kind>(bytes_[kTag] & kKindMask); }
    bool isNull() const noexcept { return kind() == Kind::Null; }
    bool isBool() const noexcept { return kind() == Kind::Boolean; }
    bool isNumber() const noexcept { return kind() == Kind::Number; }
    bool isString() const noexcept { return kind() == Kind::String; }
    bool isArray() const noexcept { return kind() == Kind::Array; }
    bool isObject() const noexcept { return kind() == Kind::Object; }

    // Strings: the text; other kinds: "".
    std::string_view stringView() const noexcept {
        if (!isString())
            return {};
        if (!(bytes_[kTag] & kHeapString))
            return {reinterpret_cast<const char*>(bytes_), bytes_[kAux]};
        const char* data;
        uint32_t size;
        __builtin_memcpy(&data, bytes_, sizeof data);
        __builtin_memcpy(&size, bytes_ + 8, sizeof size);
        return {data, size};
    }
    std::string asString() const { return std::string(stringView()); }
    // Numbers: the integer part; booleans: 0 or 1; strings: the integer that
    // the text begins with (after blanks); otherwise 0. Saturates at the limits.
    int64_t asInt64() const noexcept;
    // Booleans; numbers: non-zero; otherwise false.
    bool asBool() const noexcept;
    // Numbers: the decimal; booleans: 0 or 1; otherwise zero.
    CSJsonDecimal asDecimal() const noexcept;

    // Arrays: elements; objects: members; otherwise empty.
    const Array& elements() const noexcept;
    Array& mutableElements(); // turns a non-array into an empty array first
    const Object& members() const noexcept;
    std::size_t size() const noexcept;                               // elements or members
    const CSJsonValue& operator[](std::size_t index) const noexcept; // null when out of range
    void append(CSJsonValue value); // turns a non-array into an array first

    // Objects: the value stored under key, or nullptr.
    const CSJsonValue* find(std::string_view key) const noexcept;
    CSJsonValue* find(std::string_view key) noexcept;
    // Turns a non-object into an empty object first.
    void set(std::string_view key, CSJsonValue value);
    bool remove(std::string_view key);

    // Deep equality; objects compare regardless of member order, numbers by value.
    bool operator==(const CSJsonValue& other) const noexcept;

    // Name of the kind, for messages: "null", "boolean", "number", "string", "array", "object".
    static const char* kindName(Kind kind) noexcept;

private:
    friend class CSJsonParser;

    static constexpr std::size_t kTag = 15;
    static constexpr std::size_t kAux = 14;
    static constexpr std::size_t kInlineCapacity = 14;
    static constexpr uint8_t kKindMask = 0x07;
    static constexpr uint8_t kNegative = 0x10;
    static constexpr uint8_t kBigMantissa = 0x20;
    static constexpr uint8_t kHeapString = 0x40;

    void clearBytes() noexcept {
        for (auto& b : bytes_)
            b = 0;
    }
    bool ownsMemory() const noexcept {
        return kind() >= Kind::Array || (bytes_[kTag] & (kHeapString | kBigMantissa));
    }
    void destroy() noexcept;
    void copyFrom(const CSJsonValue& other);
    void setTag(Kind kind, uint8_t flags = 0) noexcept {
        bytes_[kTag] = static_cast<uint8_t>(kind) | flags;
    }
    uint8_t flags() const noexcept { return bytes_[kTag] & ~kKindMask; }
    void* pointer() const noexcept;
    void setPointer(const void* p) noexcept;
    uint64_t word() const noexcept;
    void setWord(uint64_t w) noexcept;
    void assignString(const char* data, std::size_t size);
    void assignNumber(const CSJsonDecimal& value);
    // Fast path for the reader: an integer that fits 64 bits.
    void assignSmallNumber(uint64_t mantissa, int exponent, bool negative) noexcept;

    alignas(8) unsigned char bytes_[16];
};

// One member of an object.
struct CSJsonMember {
    CSJsonValue name; // always a string
    CSJsonValue value;

    std::string_view key() const noexcept { return name.stringView(); }
};

static_assert(sizeof(CSJsonValue) == 16);
