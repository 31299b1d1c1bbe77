#pragma once
// Library-internal: which payloads a value shares with other values. A
// conversion uses it to convert a payload that many values hold once and
// share the result, so that its work follows the size of the value as built
// rather than the size of the tree it spells out.

#include <variant>

#include "Corral/PaddockValue.h"

class PaddockValueSharing {
public:
    // The address of the value's array, dictionary, string or data payload
    // when other values share it; null when the value holds it alone or has
    // no such payload. A payload held alone is reached once by any walk of
    // its holder, so only shared ones need remembering.
    static const void* sharedPayload(const PaddockValue& value) noexcept {
        return std::visit(
            [](const auto& payload) -> const void* {
                if constexpr (requires { payload.sharedAddress(); }) {
                    return payload.sharedAddress();
                } else {
                    return nullptr;
                }
            },
            value.storage_);
    }
};
