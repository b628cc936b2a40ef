#pragma once

#include <string>
#include <utility>
#include <variant>

// The outcome of a step outside the cloud client: a value, or an error with a
// message meant for the user ("cannot replace Notes.zip: no space left on the
// device"). The cloud client keeps its own error records.
namespace platform {

struct Error {
    std::string message;
    int code = 0; // errno when the cause is a system call, else 0
};

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

// A step that gives nothing back but may fail.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Error& error() const { return error_; }

private:
    Error error_;
    bool ok_ = true;
};

using Status = Result<void>;

// "what: strerror(code)" for a failed system call.
Error systemError(const std::string& what, int code);

} // namespace platform
