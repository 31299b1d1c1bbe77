#pragma once
// Expands a whole property list given as bytes: reads it, expands its
// strings and writes it in the format it came in, with the outcome the
// command reports.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "MacroExpander.h"

namespace macrofill {

struct PropertyListExpansion {
    enum class Outcome { expanded, invalidInput, expansionFailed, notWritable };
    Outcome outcome = Outcome::expanded;
    std::string failure;              // expansionFailed: the reason
    KeyPath failurePath;              // expansionFailed: where the string sits
    std::vector<std::uint8_t> bytes;  // expanded: the output

    static PropertyListExpansion failed(Outcome outcome, std::string reason = {},
                                        KeyPath path = {});
    static PropertyListExpansion written(std::vector<std::uint8_t> bytes);
};

// In one pass, values streaming from the reader through the expansion to the
// writer, so that a large list is never held as objects; for the rare list
// that needs it (a dictionary giving a key twice) through objects. The
// objects read and made are left in `keep` (see runMacrofill).
PropertyListExpansion expandPropertyList(std::span<const std::uint8_t> input,
                                         const base::Dictionary& definitions,
                                         std::vector<base::ObjectRef>& keep);

// Through objects only: read the whole list, expand it, write it. The
// reference the streaming pass is measured against.
PropertyListExpansion expandPropertyListObjects(std::span<const std::uint8_t> input,
                                                MacroExpander& expander,
                                                std::vector<base::ObjectRef>& keep);

}  // namespace macrofill
