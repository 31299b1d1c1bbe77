#pragma once
// The expansion operations on strings, arrays and dictionaries. Each takes
// the definitions table and returns an expanded copy of its receiver, which
// it leaves unchanged (an unchanged result may be the receiver itself, as
// both are immutable).
//
// Failures: a reference that looks up a definition that is not a string
// raises base::InvalidArgumentException with the reason "The value for the
// macro NAME is not an Utterance but is a CLASS"; definitions that refer to
// themselves, a result past the size limit, or nesting past the depth limit
// raise MacroExpansionError. Either way no partial result is returned.

#include "Corral/base/Objects.h"
#include "MacroExpansionError.h"

namespace macrofill {

base::Ref<base::String> mxp_stringByExpandingMacrosUsingTable(const base::Ref<base::String>& string,
                                                              const base::Dictionary& table);

// Elements that are strings, arrays or dictionaries are expanded; others are
// kept as they are.
base::Ref<base::Array> mxp_arrayByExpandingMacrosUsingTable(const base::Ref<base::Array>& array,
                                                            const base::Dictionary& table);

// Values are expanded as array elements are; keys never are.
base::Ref<base::Dictionary> mxp_dictionaryByExpandingMacrosInValuesUsingTable(
    const base::Ref<base::Dictionary>& dictionary, const base::Dictionary& table);

}  // namespace macrofill
