#pragma once
// The user info of one "PaddockKeyValueStoreDidChange" notification, as the
// store posts it: `key` written with `value` (the null object: removed).

#include <string>

#include "Corral/PaddockNotifications.h"
#include "Corral/base/Objects.h"

namespace testing_support {

inline base::ObjectRef storeChange(const std::string& key, base::ObjectRef value) {
    namespace N = PaddockNotifications;
    return base::Dictionary::withStringKeys(
        {{N::Key::keyValueStoreChange,
          base::Dictionary::withStringKeys(
              {{N::Key::changeKey, base::String::make(key)}, {N::Key::changeValue, value}})}});
}

}  // namespace testing_support
