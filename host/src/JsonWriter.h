#pragma once
// Renders objects as JSON for the host's machine-readable transcript.
// Strings, numbers (Booleans for the type codes "c" and "B"), arrays,
// dictionaries (keys as their description) and null map directly; data
// becomes {"data": "<base64>"}, a date {"date": "<ISO 8601>"}, a boxed rect
// {"rect": [x, y, width, height]}, and any other object {"object": "<class>"}.

#include <string>
#include <string_view>

#include "Corral/base/Object.h"

namespace host {

std::string jsonString(std::string_view text);
std::string toJson(const base::ObjectRef& object);

}  // namespace host
