#include "RequestGuard.h"

#include <random>

namespace studio {

RequestGuard::RequestGuard(std::string listenHost, int port, std::string token)
    : listenHost_(std::move(listenHost)), port_(port), token_(std::move(token)) {}

bool RequestGuard::hostIsOwn(const std::string& hostHeader) const {
    const std::string suffix = ":" + std::to_string(port_);
    if (hostHeader.size() <= suffix.size() ||
        hostHeader.compare(hostHeader.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string name = hostHeader.substr(0, hostHeader.size() - suffix.size());
    if (name == listenHost_) return true;
    // Loopback names are the server's own when it listens on loopback.
    const bool loopback =
        listenHost_ == "127.0.0.1" || listenHost_ == "localhost" || listenHost_ == "::1";
    return loopback && (name == "127.0.0.1" || name == "localhost" || name == "[::1]");
}

bool RequestGuard::originIsOwn(const std::string& originHeader) const {
    if (originHeader.empty()) return true;
    const std::string scheme = "http://";
    if (originHeader.rfind(scheme, 0) != 0) return false;
    return hostIsOwn(originHeader.substr(scheme.size()));
}

bool RequestGuard::tokenMatches(const std::string& candidate) const {
    // Compare in time independent of where the first difference is.
    if (candidate.size() != token_.size() || token_.empty()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < token_.size(); ++i)
        difference |= static_cast<unsigned char>(candidate[i] ^ token_[i]);
    return difference == 0;
}

std::string makeRandomToken() {
    std::random_device source;
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) token += digits[source() % 16];
    return token;
}

std::string cookieValue(const std::string& cookieHeader, const std::string& name) {
    std::size_t position = 0;
    while (position < cookieHeader.size()) {
        std::size_t end = cookieHeader.find(';', position);
        if (end == std::string::npos) end = cookieHeader.size();
        std::string pair = cookieHeader.substr(position, end - position);
        const std::size_t start = pair.find_first_not_of(' ');
        if (start != std::string::npos) pair.erase(0, start);
        if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
        position = end + 1;
    }
    return "";
}

}  // namespace studio
