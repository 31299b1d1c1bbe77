#pragma once
// Turns the bytes a page writes to one of its output streams into console
// events, line by line: {"event":"console","stream":"stdout"|"stderr",
// "text":<the line without its newline>,"partial":false}. A last line
// without a newline comes out at finish() with "partial":true, and so do
// the pieces of a line longer than maxLine, so that one endless line is
// still seen as it grows.

#include <string>
#include <string_view>
#include <vector>

#include "ProtocolValue.h"

namespace host {

class ConsoleStream {
public:
    static constexpr std::size_t maxLine = 64 * 1024;

    explicit ConsoleStream(std::string stream) : stream_(std::move(stream)) {}

    std::vector<Json> add(std::string_view bytes);
    // The rest, if there is any; the stream starts afresh afterwards.
    std::vector<Json> finish();

private:
    Json line(std::string text, bool partial) const;
    std::string stream_;
    std::string pending_;
};

}  // namespace host
