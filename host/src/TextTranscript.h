#pragma once
// The readable form of a run, for a person at a terminal: page output line
// by line ("page | " for standard output, "page ! " for standard error),
// compiler messages as "file:line:column: severity: message", and every
// other event as "host | " and what it says.

#include <cstdio>

#include "ProtocolValue.h"

namespace host {

class TextTranscript {
public:
    explicit TextTranscript(std::FILE* out) : out_(out) {}
    void render(const Json& event);

private:
    void line(const std::string& text);
    std::FILE* out_;
};

}  // namespace host
