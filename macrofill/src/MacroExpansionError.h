#pragma once
// The failures of an expansion other than a definition of the wrong kind
// (which raises base::InvalidArgumentException): definitions that refer to
// themselves, results that grow past the size limit, and nesting past the
// depth limit.

#include <string>

#include "Corral/base/Exception.h"

namespace macrofill {

class MacroExpansionError : public base::Exception {
public:
    static constexpr const char* exceptionName = "MacroExpansionError";
    explicit MacroExpansionError(std::string reason)
        : Exception(exceptionName, std::move(reason)) {}
};

}  // namespace macrofill
