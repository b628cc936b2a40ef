#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cs_json.h"

namespace {

bool needsEscape(unsigned char b) {
    return b < 0x20 || b == '"' || b == '\\';
}

} // namespace

class CSJsonWriter::Writer {
public:
    explicit Writer(CSJsonWriter& owner) : owner_(owner) { out_.reserve(128); }

    bool write(const CSJsonValue& value);
    std::string take() { return std::move(out_); }

private:
    bool enter();
    void indent();
    void writeString(std::string_view text);
    void writeNumber(const CSJsonValue& value);
    bool writeArray(const CSJsonValue& value);
    bool writeObject(const CSJsonValue& value);

    CSJsonWriter& owner_;
    std::string out_;
};

bool CSJsonWriter::Writer::enter() {
    ++owner_.depth_;
    const uint64_t limit =
        owner_.maxDepth_ ? std::min(owner_.maxDepth_, kDepthCeiling) : kDepthCeiling;
    if (owner_.depth_ > limit) {
        owner_.addErrorWithCode(CSJsonErrorDepth, "Nested too deep");
        return false;
    }
    return true;
}

void CSJsonWriter::Writer::indent() {
    out_ += '\n';
    out_.append(static_cast<std::size_t>(owner_.depth_) * 2, ' ');
}

void CSJsonWriter::Writer::writeString(std::string_view text) {
    out_ += '"';
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto* first = std::find_if(bytes, bytes + text.size(), needsEscape);
    out_.append(text.data(), static_cast<std::size_t>(first - bytes));
    for (const auto* p = first; p < bytes + text.size(); ++p) {
        const unsigned char b = *p;
        switch (b) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '\t':
            out_ += "\\t";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\r':
            out_ += "\\r";
            break;
        case '\b':
            out_ += "\\b";
            break;
        case '\f':
            out_ += "\\f";
            break;
        default:
            if (b < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", b);
                out_ += escape;
            } else {
                out_ += static_cast<char>(b);
            }
        }
    }
    out_ += '"';
}

void CSJsonWriter::Writer::writeNumber(const CSJsonValue& value) {
    const CSJsonDecimal d = value.asDecimal();
    if (d.exponent == 0 && d.mantissa <= UINT64_MAX) {
        char buffer[24];
        const int n = std::snprintf(buffer, sizeof buffer, "%s%llu", d.negative ? "-" : "",
                                    static_cast<unsigned long long>(d.mantissa));
        out_.append(buffer, static_cast<std::size_t>(n));
        return;
    }
    out_ += d.toString();
}

bool CSJsonWriter::Writer::writeArray(const CSJsonValue& value) {
    out_ += '[';
    if (!enter())
        return false;
    bool first = true;
    for (const CSJsonValue& element : value.elements()) {
        if (!first)
            out_ += ',';
        first = false;
        if (owner_.humanReadable_)
            indent();
        if (!write(element))
            return false;
    }
    --owner_.depth_;
    if (owner_.humanReadable_ && !value.elements().empty())
        indent();
    out_ += ']';
    return true;
}

bool CSJsonWriter::Writer::writeObject(const CSJsonValue& value) {
    out_ += '{';
    if (!enter())
        return false;
    const CSJsonValue::Object& members = value.members();
    std::vector<const CSJsonMember*> order;
    order.reserve(members.size());
    for (const CSJsonMember& member : members)
        order.push_back(&member);
    if (owner_.sortKeys_)
        std::sort(order.begin(), order.end(),
                  [](const CSJsonMember* a, const CSJsonMember* b) { return a->key() < b->key(); });
    bool first = true;
    for (const CSJsonMember* member : order) {
        if (!first)
            out_ += ',';
        first = false;
        if (owner_.humanReadable_)
            indent();
        if (!member->name.isString()) {
            owner_.addErrorWithCode(CSJsonErrorUnsupported, "JSON object key must be string");
            return false;
        }
        writeString(member->key());
        out_ += owner_.humanReadable_ ? " : " : ":";
        if (!write(member->value)) {
            owner_.addErrorWithCode(CSJsonErrorUnsupported, "Unsupported value for key " +
                                                                std::string(member->key()) +
                                                                " in object");
            return false;
        }
    }
    --owner_.depth_;
    if (owner_.humanReadable_ && !members.empty())
        indent();
    out_ += '}';
    return true;
}

bool CSJsonWriter::Writer::write(const CSJsonValue& value) {
    switch (value.kind()) {
    case CSJsonValue::Kind::Object:
        return writeObject(value);
    case CSJsonValue::Kind::Array:
        return writeArray(value);
    case CSJsonValue::Kind::String:
        writeString(value.stringView());
        return true;
    case CSJsonValue::Kind::Boolean:
        out_ += value.asBool() ? "true" : "false";
        return true;
    case CSJsonValue::Kind::Number:
        writeNumber(value);
        return true;
    case CSJsonValue::Kind::Null:
        out_ += "null";
        return true;
    }
    owner_.addErrorWithCode(CSJsonErrorUnsupported,
                            "JSON serialisation not supported for unknown kind");
    return false;
}

std::optional<std::string> CSJsonWriter::stringWithFragment(const CSJsonValue& value) {
    clearErrorTrace();
    depth_ = 0;
    Writer writer(*this);
    if (!writer.write(value))
        return std::nullopt;
    return writer.take();
}

std::optional<std::string> CSJsonWriter::stringWithObject(const CSJsonValue& value) {
    if (value.isObject() || value.isArray())
        return stringWithFragment(value);
    clearErrorTrace();
    addErrorWithCode(CSJsonErrorTopLevelKind, "Not valid type for JSON");
    return std::nullopt;
}

std::optional<std::string> CSJsonWriter::stringWithObject(const CSJsonProxy& value) {
    if (std::optional<CSJsonValue> replacement = value.proxyForJson()) {
        if (std::optional<std::string> text = stringWithObject(*replacement))
            return text;
    }
    clearErrorTrace();
    addErrorWithCode(CSJsonErrorTopLevelKind, "Not valid type for JSON");
    return std::nullopt;
}
