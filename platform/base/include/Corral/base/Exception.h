#pragma once
// Exceptions the platform raises, and the fatal-error report that stops the
// process on a programming error.

#include <exception>
#include <string>
#include <string_view>

#include "Corral/base/Dictionary.h"

namespace base {

class BASE_EXPORT Exception : public std::exception {
public:
    Exception(std::string name, std::string reason, Ref<Dictionary> userInfo = nullptr);
    const std::string& name() const noexcept { return name_; }
    const std::string& reason() const noexcept { return reason_; }
    const Ref<Dictionary>& userInfo() const noexcept { return userInfo_; }
    const char* what() const noexcept override { return reason_.c_str(); }

private:
    std::string name_;
    std::string reason_;
    Ref<Dictionary> userInfo_;
};

// The invalid-argument exception: a call made with an argument (or a
// selector) the callee does not accept.
class BASE_EXPORT InvalidArgumentException : public Exception {
public:
    static constexpr const char* exceptionName = "InvalidArgumentException";
    explicit InvalidArgumentException(std::string reason, Ref<Dictionary> userInfo = nullptr)
        : Exception(exceptionName, std::move(reason), std::move(userInfo)) {}
};

[[noreturn]] BASE_EXPORT void raiseInvalidArgument(std::string reason,
                                                   Ref<Dictionary> userInfo = nullptr);

// Writes "<source>:<line>: Fatal error: <message>" (without ": <message>"
// when the message is empty) as one line on standard error, then aborts.
[[noreturn]] BASE_EXPORT void fatalError(std::string_view source, unsigned line,
                                         std::string_view message = {});

}  // namespace base
