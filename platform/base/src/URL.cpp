#include "Corral/base/URL.h"

namespace base {

URL URL::fileURLWithPath(std::string_view path) { return URL("file://" + std::string(path)); }

std::string URL::scheme() const {
    auto colon = absoluteString_.find(':');
    return colon == std::string::npos ? std::string() : absoluteString_.substr(0, colon);
}

}  // namespace base
