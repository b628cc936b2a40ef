#pragma once
// One request parameter (name and optional value) and the parameter text.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class URLRequestParameter;
using URLRequestParameters = std::vector<URLRequestParameter>;
using URLParameterPairs = std::vector<std::pair<std::string, std::string>>;

class URLRequestParameter {
public:
    URLRequestParameter(std::string name, std::optional<std::string> value)
        : name_(std::move(name)), value_(std::move(value)) {}

    const std::string& name() const { return name_; }
    const std::optional<std::string>& value() const { return value_; }
    void setName(std::string name) { name_ = std::move(name); }
    void setValue(std::optional<std::string> value) { value_ = std::move(value); }

    // Escaped name, "=", escaped value (nothing after "=" when absent).
    std::string URLEncodedParameterString() const;

    // By name, then by value (absent first); plain byte comparison. <0, 0, >0.
    int compare(const URLRequestParameter& other) const;
    bool operator<(const URLRequestParameter& other) const { return compare(other) < 0; }
    bool operator==(const URLRequestParameter& other) const = default;

    // One parameter per pair, in the given order.
    static URLRequestParameters parametersFromDictionary(const URLParameterPairs& dictionary);

    // Encoded parameters in order, joined with "&"; "" for none.
    static std::string parameterStringForParameters(const URLRequestParameters& parameters);
    static std::string parameterStringForDictionary(const URLParameterPairs& dictionary);

    // Splits at "&" and each piece at its first "="; the name is unchanged, the
    // value percent-decoded as UTF-8. Pieces without "=" are skipped.
    static URLRequestParameters parametersFromString(std::string_view text);
    // The same as a dictionary; a name given twice keeps its last value.
    static std::map<std::string, std::string> parameterDictionaryFromString(std::string_view text);

private:
    std::string name_;
    std::optional<std::string> value_;
};
