#pragma once
// printf-style formatting over objects: each "%@" is replaced by the
// description of the next argument ("(null)" for an absent one), and "%%"
// by "%". Other text is copied as it stands.

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "Corral/base/Object.h"

namespace base {

BASE_EXPORT std::string format(std::string_view fmt, std::span<const ObjectRef> arguments);
BASE_EXPORT std::string format(std::string_view fmt, std::initializer_list<ObjectRef> arguments);

}  // namespace base
