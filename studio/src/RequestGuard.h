#pragma once
// Decides whether a request may reach the studio: its Host (and Origin, when
// it has one) must name the server itself, so a page on another site cannot
// drive it through the learner's browser or a rebinding DNS name, and it must
// carry the server's token.

#include <string>

namespace studio {

class RequestGuard {
public:
    RequestGuard(std::string listenHost, int port, std::string token);

    bool hostIsOwn(const std::string& hostHeader) const;
    bool originIsOwn(const std::string& originHeader) const;  // empty: no Origin, allowed
    bool tokenMatches(const std::string& candidate) const;

    const std::string& token() const { return token_; }

private:
    std::string listenHost_;
    int port_;
    std::string token_;
};

// 32 hexadecimal digits from the system's random source.
std::string makeRandomToken();
// The value of `name` in a Cookie header, or "".
std::string cookieValue(const std::string& cookieHeader, const std::string& name);

}  // namespace studio
