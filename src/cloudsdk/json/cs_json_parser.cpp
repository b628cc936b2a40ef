#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "cs_json.h"
#include "cs_json_key_merge.h"
#include "cs_utf8_check.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Blanks between tokens: space, tab, line feed, vertical tab, form feed, return.
constexpr bool isBlank(unsigned char b) {
    return b == ' ' || (b >= 0x09 && b <= 0x0D);
}

constexpr bool isDigit(unsigned char b) {
    return b >= '0' && b <= '9';
}

// The next double quote, backslash or control byte at or after p, or end.
// highSeen tells whether a byte of 0x80 or more was passed.
const char* scanStringRun(const char* p, const char* end, bool& highSeen) {
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i control = _mm_set1_epi8(0x1F);
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i stops = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)),
            _mm_cmpeq_epi8(_mm_min_epu8(chunk, control), chunk));
        const unsigned stopMask = static_cast<unsigned>(_mm_movemask_epi8(stops));
        const unsigned highMask = static_cast<unsigned>(_mm_movemask_epi8(chunk));
        if (stopMask) {
            const unsigned at = static_cast<unsigned>(__builtin_ctz(stopMask));
            if (highMask & ((1u << at) - 1))
                highSeen = true;
            return p + at;
        }
        if (highMask)
            highSeen = true;
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (b == '"' || b == '\\' || b < 0x20)
            return p;
        if (b >= 0x80)
            highSeen = true;
    }
    return p;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string hexDescription(const char* format, unsigned value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

// One read of one text. Iterative, with an explicit stack of open arrays and
// objects: elements and key/value pairs wait on `stack` until their
// container closes, and then move into an exactly sized list.
class CSJsonParser::Reader {
public:
    Reader(CSJsonParser& owner, std::string_view text)
        : owner_(owner), c(text.data()), end_(text.data() + text.size()) {}

    std::optional<CSJsonValue> read();

private:
    struct Frame {
        std::size_t start; // first stack slot of this container
        bool isObject;
    };

    bool atEnd() const { return c >= end_; }
    unsigned char peek() const { return static_cast<unsigned char>(*c); }
    void skipBlanks() {
        while (c < end_ && isBlank(static_cast<unsigned char>(*c)))
            ++c;
    }
    void fail(int code, std::string description) {
        owner_.addErrorWithCode(code, std::move(description));
    }

    bool readLiteral(const char* rest, std::size_t length, CSJsonValue value, const char* message);
    bool readNumber();
    bool readString(); // into text_ (a view of the input or of scratch_)
    bool readEscape();
    bool readUnicodeEscape();
    bool readHexQuad(uint32_t& value);
    bool openContainer(bool isObject);
    void closeArray();
    void closeObject();
    void addValueRecord(std::size_t frameIndex);
    void unwind(std::size_t firstFrameToReport);

    CSJsonParser& owner_;
    const char* c;
    const char* end_;
    std::vector<CSJsonValue> stack_;
    std::vector<Frame> frames_;
    std::string scratch_;
    std::string_view text_;
};

bool CSJsonParser::Reader::readLiteral(const char* rest, std::size_t length, CSJsonValue value,
                                       const char* message) {
    if (static_cast<std::size_t>(end_ - c) < length || std::memcmp(c, rest, length) != 0) {
        fail(CSJsonErrorParse, message);
        return false;
    }
    c += length;
    stack_.push_back(std::move(value));
    return true;
}

bool CSJsonParser::Reader::readNumber() {
    bool negative = false;
    if (*c == '-') {
        negative = true;
        ++c;
        if (atEnd() || !isDigit(peek())) {
            fail(CSJsonErrorNumber, "No digits after initial minus");
            return false;
        }
    }
    const char* const integerStart = c;
    uint64_t fast = 0;
    if (*c == '0') {
        ++c;
        if (!atEnd() && isDigit(peek())) {
            fail(CSJsonErrorNumber, "Leading 0 disallowed in number");
            return false;
        }
    } else {
        while (!atEnd() && isDigit(peek()))
            fast = fast * 10 + static_cast<unsigned>(*c++ - '0');
    }
    const char* const integerEnd = c;
    const char* fractionEnd = c;
    bool simple = integerEnd - integerStart <= 19;
    if (!atEnd() && *c == '.') {
        ++c;
        if (atEnd() || !isDigit(peek())) {
            fail(CSJsonErrorNumber, "No digits after decimal point");
            return false;
        }
        while (!atEnd() && isDigit(peek()))
            ++c;
        fractionEnd = c;
        simple = false;
    }
    const char* const exponentStart = c;
    if (!atEnd() && (*c == 'e' || *c == 'E')) {
        ++c;
        if (!atEnd() && (*c == '+' || *c == '-'))
            ++c;
        if (atEnd() || !isDigit(peek())) {
            fail(CSJsonErrorNumber, "No digits after exponent");
            return false;
        }
        while (!atEnd() && isDigit(peek()))
            ++c;
        simple = false;
    }
    if (simple) {
        stack_.emplace_back();
        stack_.back().assignSmallNumber(fast, 0, negative);
        return true;
    }

    // Significant digits into a 128-bit mantissa; zeros after the last
    // non-zero digit only move the exponent.
    CSJsonUInt128 mantissa = 0;
    int64_t pendingZeros = 0;
    int64_t fractionDigits = 0;
    bool overflow = false;
    auto take = [&](char ch) {
        if (ch == '0') {
            if (mantissa)
                ++pendingZeros;
            return;
        }
        for (int64_t i = 0; i <= pendingZeros && !overflow; ++i) {
            const unsigned digit = i == pendingZeros ? static_cast<unsigned>(ch - '0') : 0;
            if (mantissa > (~CSJsonUInt128{0} - digit) / 10)
                overflow = true;
            else
                mantissa = mantissa * 10 + digit;
        }
        pendingZeros = 0;
    };
    for (const char* p = integerStart; p < integerEnd && !overflow; ++p)
        take(*p);
    for (const char* p = integerEnd + 1; p < fractionEnd && !overflow; ++p) {
        take(*p);
        ++fractionDigits;
    }
    int64_t explicitExponent = 0;
    if (exponentStart < c) {
        const char* p = exponentStart + 1;
        bool negativeExponent = false;
        if (*p == '+' || *p == '-')
            negativeExponent = *p++ == '-';
        for (; p < c; ++p)
            if (explicitExponent < 1000000000)
                explicitExponent = explicitExponent * 10 + (*p - '0');
        if (negativeExponent)
            explicitExponent = -explicitExponent;
    }
    int64_t exponent = mantissa ? explicitExponent + pendingZeros - fractionDigits : 0;
    while (!overflow && exponent > CSJsonDecimal::kMaxExponent &&
           mantissa <= ~CSJsonUInt128{0} / 10) {
        mantissa *= 10;
        --exponent;
    }
    if (overflow || exponent > CSJsonDecimal::kMaxExponent ||
        exponent < CSJsonDecimal::kMinExponent) {
        fail(CSJsonErrorNumber, "Failed creating decimal instance");
        return false;
    }
    stack_.emplace_back(CSJsonDecimal{mantissa, static_cast<int>(exponent), negative});
    return true;
}

bool CSJsonParser::Reader::readHexQuad(uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (atEnd()) {
            fail(CSJsonErrorUnicodeEscape, "Missing hex digit in quad");
            return false;
        }
        const unsigned char b = peek();
        ++c;
        unsigned digit;
        if (b >= '0' && b <= '9')
            digit = b - '0';
        else if (b >= 'a' && b <= 'f')
            digit = b - 'a' + 10;
        else if (b >= 'A' && b <= 'F')
            digit = b - 'A' + 10;
        else {
            fail(CSJsonErrorUnicodeEscape, "Missing hex digit in quad");
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

bool CSJsonParser::Reader::readUnicodeEscape() {
    uint32_t high;
    if (!readHexQuad(high)) {
        fail(CSJsonErrorUnicodeEscape, "Missing hex quad");
        return false;
    }
    if (high < 0xD800 || high >= 0xE000) {
        appendUtf8(scratch_, high);
        return true;
    }
    if (high >= 0xDC00) {
        fail(CSJsonErrorUnicodeEscape, "Invalid high character in surrogate pair");
        return false;
    }
    uint32_t low;
    if (end_ - c < 2 || c[0] != '\\' || c[1] != 'u') {
        fail(CSJsonErrorUnicodeEscape, "Missing low character in surrogate pair");
        return false;
    }
    c += 2;
    if (!readHexQuad(low)) {
        fail(CSJsonErrorUnicodeEscape, "Missing low character in surrogate pair");
        return false;
    }
    if (low < 0xDC00 || low > 0xDFFF) {
        fail(CSJsonErrorUnicodeEscape, "Invalid low surrogate char");
        return false;
    }
    appendUtf8(scratch_, 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00));
    return true;
}

// The cursor stands on the backslash.
bool CSJsonParser::Reader::readEscape() {
    ++c;
    const unsigned char b = atEnd() ? 0 : peek();
    char replacement = 0;
    switch (b) {
    case '"':
        replacement = '"';
        break;
    case '\\':
        replacement = '\\';
        break;
    case '/':
        replacement = '/';
        break;
    case 'b':
        replacement = '\b';
        break;
    case 'f':
        replacement = '\f';
        break;
    case 'n':
        replacement = '\n';
        break;
    case 'r':
        replacement = '\r';
        break;
    case 't':
        replacement = '\t';
        break;
    case 'u':
        ++c;
        if (!readUnicodeEscape()) {
            fail(CSJsonErrorUnicodeEscape, "Broken unicode character");
            return false;
        }
        return true;
    default:
        fail(CSJsonErrorEscape, hexDescription("Illegal escape sequence '0x%x'", b));
        return false;
    }
    scratch_ += replacement;
    ++c;
    return true;
}

// The cursor stands after the opening quote. Runs without escapes are not
// copied: text_ then views the input itself.
bool CSJsonParser::Reader::readString() {
    bool escaped = false;
    for (;;) {
        bool highSeen = false;
        const char* const runStart = c;
        c = scanStringRun(c, end_, highSeen);
        if (highSeen && !CSUtf8IsValid(runStart, static_cast<std::size_t>(c - runStart))) {
            fail(CSJsonErrorParse, "Invalid UTF-8 in string");
            return false;
        }
        if (!atEnd() && peek() == '"') {
            if (escaped) {
                scratch_.append(runStart, c);
                text_ = scratch_;
            } else {
                text_ = std::string_view(runStart, static_cast<std::size_t>(c - runStart));
            }
            ++c;
            return true;
        }
        if (!atEnd() && peek() == '\\') {
            if (!escaped) {
                scratch_.clear();
                escaped = true;
            }
            scratch_.append(runStart, c);
            if (!readEscape())
                return false;
            if (atEnd()) {
                fail(CSJsonErrorEndOfInput, "Unexpected EOF while parsing string");
                return false;
            }
            continue;
        }
        fail(CSJsonErrorControlCharacter,
             hexDescription("Unescaped control character '0x%x'", atEnd() ? 0 : peek()));
        return false;
    }
}

bool CSJsonParser::Reader::openContainer(bool isObject) {
    ++owner_.depth_;
    const uint64_t limit =
        owner_.maxDepth_ ? std::min(owner_.maxDepth_, kDepthCeiling) : kDepthCeiling;
    if (owner_.depth_ > limit) {
        fail(CSJsonErrorDepth, "Nested too deep");
        return false;
    }
    frames_.push_back(Frame{stack_.size(), isObject});
    return true;
}

void CSJsonParser::Reader::closeArray() {
    const std::size_t start = frames_.back().start;
    frames_.pop_back();
    --owner_.depth_;
    CSJsonValue::Array list(
        std::make_move_iterator(stack_.begin() + static_cast<std::ptrdiff_t>(start)),
        std::make_move_iterator(stack_.end()));
    stack_.resize(start);
    stack_.emplace_back(std::move(list));
}

void CSJsonParser::Reader::closeObject() {
    const std::size_t start = frames_.back().start;
    frames_.pop_back();
    --owner_.depth_;
    CSJsonValue::Object members;
    members.reserve((stack_.size() - start) / 2);
    for (std::size_t i = start; i + 1 < stack_.size(); i += 2)
        members.push_back(CSJsonMember{std::move(stack_[i]), std::move(stack_[i + 1])});
    mergeRepeatedKeys(members);
    stack_.resize(start);
    stack_.emplace_back(std::move(members));
}

// The record a container adds when a value inside it failed.
void CSJsonParser::Reader::addValueRecord(std::size_t frameIndex) {
    if (!frames_[frameIndex].isObject) {
        fail(CSJsonErrorParse, "Expected value while parsing array");
        return;
    }
    const std::size_t keySlot =
        frameIndex + 1 < frames_.size() ? frames_[frameIndex + 1].start - 1 : stack_.size() - 1;
    fail(CSJsonErrorParse,
         "Object value expected for key: " + std::string(stack_[keySlot].stringView()));
}

// Every open container from frame firstFrameToReport outwards reports that
// the value it was reading failed.
void CSJsonParser::Reader::unwind(std::size_t firstFrameToReport) {
    for (std::size_t i = firstFrameToReport; i-- > 0;)
        addValueRecord(i);
}

std::optional<CSJsonValue> CSJsonParser::Reader::read() {
    enum class Step { Value, AfterValue, ArrayLoop, ObjectKey };
    Step step = Step::Value;
    for (;;) {
        switch (step) {
        case Step::Value: {
            skipBlanks();
            if (atEnd()) {
                fail(CSJsonErrorEndOfInput, "Unexpected end of string");
                unwind(frames_.size());
                return std::nullopt;
            }
            bool ok = true;
            const unsigned char b = peek();
            switch (b) {
            case '"':
                ++c;
                ok = readString();
                if (ok)
                    stack_.emplace_back(text_);
                step = Step::AfterValue;
                break;
            case '[':
                ++c;
                ok = openContainer(false);
                step = Step::ArrayLoop;
                break;
            case '{':
                ++c;
                ok = openContainer(true);
                if (ok && atEnd()) {
                    fail(CSJsonErrorEndOfInput, "End of input while parsing object");
                    unwind(frames_.size() - 1);
                    return std::nullopt;
                }
                step = Step::ObjectKey;
                break;
            case 't':
                ++c;
                ok = readLiteral("rue", 3, CSJsonValue(true), "Expected 'true'");
                step = Step::AfterValue;
                break;
            case 'f':
                ++c;
                ok = readLiteral("alse", 4, CSJsonValue(false), "Expected 'false'");
                step = Step::AfterValue;
                break;
            case 'n':
                ++c;
                ok = readLiteral("ull", 3, CSJsonValue(), "Expected 'null'");
                step = Step::AfterValue;
                break;
            case '+':
                ++c;
                fail(CSJsonErrorNumber, "Leading + disallowed in number");
                ok = false;
                break;
            default:
                if (b == '-' || isDigit(b)) {
                    ok = readNumber();
                    step = Step::AfterValue;
                } else {
                    ++c;
                    fail(CSJsonErrorParse, "Unrecognised leading character");
                    ok = false;
                }
                break;
            }
            if (!ok) {
                unwind(frames_.size());
                return std::nullopt;
            }
            break;
        }
        case Step::AfterValue: {
            if (frames_.empty()) {
                skipBlanks();
                if (!atEnd()) {
                    fail(CSJsonErrorGarbage, "Garbage after JSON");
                    return std::nullopt;
                }
                CSJsonValue result = std::move(stack_.back());
                stack_.pop_back();
                return result;
            }
            const bool isObject = frames_.back().isObject;
            const char close = isObject ? '}' : ']';
            skipBlanks();
            if (!atEnd() && peek() == ',') {
                ++c;
                skipBlanks();
                if (!atEnd() && peek() == static_cast<unsigned char>(close)) {
                    fail(CSJsonErrorTrailingComma, isObject ? "Trailing comma disallowed in object"
                                                            : "Trailing comma disallowed in array");
                    unwind(frames_.size() - 1);
                    return std::nullopt;
                }
            } else if (!atEnd() && peek() != static_cast<unsigned char>(close)) {
                // Two values with only blanks between them.
                fail(CSJsonErrorParse, isObject ? "Expected ',' or '}' while parsing object"
                                                : "Expected ',' or ']' while parsing array");
                unwind(frames_.size() - 1);
                return std::nullopt;
            }
            if (atEnd()) {
                fail(CSJsonErrorEndOfInput, isObject ? "End of input while parsing object"
                                                     : "End of input while parsing array");
                unwind(frames_.size() - 1);
                return std::nullopt;
            }
            step = isObject ? Step::ObjectKey : Step::ArrayLoop;
            break;
        }
        case Step::ArrayLoop:
            if (atEnd()) {
                fail(CSJsonErrorEndOfInput, "End of input while parsing array");
                unwind(frames_.size() - 1);
                return std::nullopt;
            }
            skipBlanks();
            if (!atEnd() && peek() == ']') {
                ++c;
                closeArray();
                step = Step::AfterValue;
            } else {
                step = Step::Value;
            }
            break;
        case Step::ObjectKey:
            skipBlanks();
            if (!atEnd() && peek() == '}') {
                ++c;
                closeObject();
                step = Step::AfterValue;
                break;
            }
            if (atEnd() || peek() != '"') {
                fail(CSJsonErrorParse, "Object key string expected");
                unwind(frames_.size() - 1);
                return std::nullopt;
            }
            ++c;
            if (!readString()) {
                fail(CSJsonErrorParse, "Object key string expected");
                unwind(frames_.size() - 1);
                return std::nullopt;
            }
            stack_.emplace_back(text_);
            skipBlanks();
            if (atEnd() || peek() != ':') {
                fail(CSJsonErrorParse, "Expected ':' separating key and value");
                unwind(frames_.size() - 1);
                return std::nullopt;
            }
            ++c;
            step = Step::Value;
            break;
        }
    }
}

std::optional<CSJsonValue> CSJsonParser::fragmentWithString(std::string_view text) {
    clearErrorTrace();
    depth_ = 0;
    return Reader(*this, text).read();
}

std::optional<CSJsonValue> CSJsonParser::fragmentWithString(const char* text) {
    if (!text)
        return fragmentWithString(std::nullopt);
    return fragmentWithString(std::string_view(text));
}

std::optional<CSJsonValue> CSJsonParser::fragmentWithString(std::nullopt_t) {
    clearErrorTrace();
    depth_ = 0;
    addErrorWithCode(CSJsonErrorNoInput, "Input was 'nil'");
    return std::nullopt;
}

namespace {

std::optional<CSJsonValue> onlyContainer(CSJsonBase& base, std::optional<CSJsonValue> value) {
    if (value && !value->isObject() && !value->isArray()) {
        base.addErrorWithCode(CSJsonErrorTopLevelKind, "Valid fragment, but not JSON");
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<CSJsonValue> CSJsonParser::objectWithString(std::string_view text) {
    return onlyContainer(*this, fragmentWithString(text));
}

std::optional<CSJsonValue> CSJsonParser::objectWithString(const char* text) {
    return onlyContainer(*this, fragmentWithString(text));
}

std::optional<CSJsonValue> CSJsonParser::objectWithString(std::nullopt_t) {
    return fragmentWithString(std::nullopt);
}
