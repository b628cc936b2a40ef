#pragma once
// The client's JSON reader and writer. Every failure returns nothing and leaves
// an error trace: one coded record per failing level, the last naming the
// outermost construct, each pointing at the record added before it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cs_json_value.h"

extern const char* const CSJSONErrorDomain;

struct CSJsonError;
using CSJsonErrorPtr = std::shared_ptr<const CSJsonError>;

struct CSJsonError {
    std::string domain;
    int code = 0;
    std::string description;
    CSJsonErrorPtr underlying; // the record that was last in the trace before this one
};

enum CSJsonErrorCode : int {
    CSJsonErrorUnsupported = 1,
    CSJsonErrorNumber = 2,
    CSJsonErrorParse = 3,
    CSJsonErrorTopLevelKind = 4,
    CSJsonErrorControlCharacter = 5,
    CSJsonErrorUnicodeEscape = 6,
    CSJsonErrorDepth = 7,
    CSJsonErrorEscape = 8,
    CSJsonErrorTrailingComma = 9,
    CSJsonErrorGarbage = 10,
    CSJsonErrorEndOfInput = 11,
    CSJsonErrorNoInput = 12,
};

using CSJsonErrorTrace = std::vector<CSJsonErrorPtr>;

// Printed form of a trace for log lines: ("Code 3: Expected 'true'", ...).
std::string CSJsonDescribeTrace(const CSJsonErrorTrace& trace);

// A value of a kind the writer does not know may offer a replacement.
class CSJsonProxy {
public:
    virtual ~CSJsonProxy() = default;
    virtual std::optional<CSJsonValue> proxyForJson() const = 0;
};

class CSJsonBase {
public:
    static constexpr uint64_t kDefaultMaxDepth = 512;
    // Even with maxDepth 0 (no limit) nothing nests deeper than this, so that
    // code walking a tree recursively (copy, compare, write, destroy, records)
    // cannot exhaust a thread's stack.
    static constexpr uint64_t kDepthCeiling = 2048;

    const CSJsonErrorTrace& errorTrace() const { return errorTrace_; }
    void addErrorWithCode(int code, std::string description);
    void clearErrorTrace() { errorTrace_.clear(); }
    uint64_t maxDepth() const { return maxDepth_; } // 0: no limit
    void setMaxDepth(uint64_t maxDepth) { maxDepth_ = maxDepth; }

protected:
    CSJsonErrorTrace errorTrace_;
    uint64_t depth_ = 0;
    uint64_t maxDepth_ = kDefaultMaxDepth;
};

class CSJsonParser : public CSJsonBase {
public:
    // Any kind of value; only blanks may follow it.
    std::optional<CSJsonValue> fragmentWithString(std::string_view text);
    std::optional<CSJsonValue> fragmentWithString(const char* text); // nullptr: no input (code 12)
    std::optional<CSJsonValue> fragmentWithString(std::nullopt_t);
    // Only an object or array (code 4 otherwise).
    std::optional<CSJsonValue> objectWithString(std::string_view text);
    std::optional<CSJsonValue> objectWithString(const char* text);
    std::optional<CSJsonValue> objectWithString(std::nullopt_t);

private:
    class Reader;
};

class CSJsonWriter : public CSJsonBase {
public:
    std::optional<std::string> stringWithFragment(const CSJsonValue& value);
    // Only an object or array (code 4 otherwise).
    std::optional<std::string> stringWithObject(const CSJsonValue& value);
    // Writes the proxy's replacement, which must itself be an object or array.
    std::optional<std::string> stringWithObject(const CSJsonProxy& value);

    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }

private:
    class Writer;
    bool sortKeys_ = false;
    bool humanReadable_ = false;
};

// Holds one reader and one writer; keeps a copy of the trace of its last failure.
class CSJSON : public CSJsonBase {
public:
    CSJSON();

    CSJsonParser& jsonParser() { return jsonParser_; }
    CSJsonWriter& jsonWriter() { return jsonWriter_; }

    std::optional<CSJsonValue> objectWithString(std::string_view text);
    std::optional<CSJsonValue> objectWithString(std::string_view text, bool allowScalar,
                                                CSJsonErrorPtr* error);
    std::optional<CSJsonValue> objectWithString(std::string_view text, CSJsonErrorPtr* error);
    std::optional<CSJsonValue> fragmentWithString(std::string_view text, CSJsonErrorPtr* error);

    std::optional<std::string> stringWithObject(const CSJsonValue& value);
    std::optional<std::string> stringWithObject(const CSJsonValue& value, bool allowScalar,
                                                CSJsonErrorPtr* error);
    std::optional<std::string> stringWithObject(const CSJsonValue& value, CSJsonErrorPtr* error);
    std::optional<std::string> stringWithFragment(const CSJsonValue& value, CSJsonErrorPtr* error);

    uint64_t maxDepth() const { return jsonParser_.maxDepth(); }
    void setMaxDepth(uint64_t maxDepth);
    bool humanReadable() const { return jsonWriter_.humanReadable(); }
    void setHumanReadable(bool value) { jsonWriter_.setHumanReadable(value); }
    bool sortKeys() const { return jsonWriter_.sortKeys(); }
    void setSortKeys(bool value) { jsonWriter_.setSortKeys(value); }

private:
    void keepFailure(const CSJsonErrorTrace& trace, CSJsonErrorPtr* error);

    CSJsonParser jsonParser_;
    CSJsonWriter jsonWriter_;
};

// Convenience operations: a fresh reader or writer per call. A failure logs
// one line with the error trace and returns nothing; absent text (nullopt or
// a null pointer) returns nothing and logs nothing.
std::optional<CSJsonValue> JSONValue(std::string_view text);
std::optional<CSJsonValue> JSONValue(const char* text);
std::optional<CSJsonValue> JSONValue(std::nullopt_t);
std::optional<CSJsonValue> JSONFragmentValue(std::string_view text);
std::optional<CSJsonValue> JSONFragmentValue(const char* text);
std::optional<CSJsonValue> JSONFragmentValue(std::nullopt_t);
std::optional<std::string> JSONRepresentation(const CSJsonValue& value);
std::optional<std::string> JSONFragment(const CSJsonValue& value);
