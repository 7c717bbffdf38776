// A value, or the reason it was refused: what the protocol functions return when their input
// (a reply, a read, an image) may not hold what the editor needs. The reason is one sentence
// fit for the console or a message box; nothing is thrown across the protocol layer.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace qeltx::core {

template <class T>
class Refusable {
public:
    static Refusable accepted(T value) {
        Refusable r;
        r.value_ = std::move(value);
        return r;
    }
    static Refusable refused(std::string reason) {
        Refusable r;
        r.reason_ = std::move(reason);
        return r;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T& value() const { return *value_; }
    const T& operator*() const { return *value_; }
    const T* operator->() const { return &*value_; }

    // Empty when ok().
    const std::string& reason() const { return reason_; }

private:
    Refusable() = default;
    std::optional<T> value_;
    std::string reason_;
};

}  // namespace qeltx::core
