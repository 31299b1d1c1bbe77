#include "Corral/base/Format.h"

namespace base {

std::string format(std::string_view fmt, std::span<const ObjectRef> arguments) {
    std::string out;
    out.reserve(fmt.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            if (fmt[i + 1] == '@') {
                const ObjectRef* argument = next < arguments.size() ? &arguments[next] : nullptr;
                ++next;
                out += argument && *argument ? (*argument)->description() : "(null)";
                ++i;
                continue;
            }
            if (fmt[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += fmt[i];
    }
    return out;
}

std::string format(std::string_view fmt, std::initializer_list<ObjectRef> arguments) {
    return format(fmt, std::span<const ObjectRef>(arguments.begin(), arguments.size()));
}

}  // namespace base
