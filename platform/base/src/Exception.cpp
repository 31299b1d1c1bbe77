#include "Corral/base/Exception.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace base {

Exception::Exception(std::string name, std::string reason, Ref<Dictionary> userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {}

void raiseInvalidArgument(std::string reason, Ref<Dictionary> userInfo) {
    throw InvalidArgumentException(std::move(reason), std::move(userInfo));
}

void fatalError(std::string_view source, unsigned line, std::string_view message) {
    std::string report(source);
    report += ":" + std::to_string(line) + ": Fatal error";
    if (!message.empty()) {
        report += ": ";
        report += message;
    }
    report += "\n";
    std::fflush(stdout);
    std::fwrite(report.data(), 1, report.size(), stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace base
