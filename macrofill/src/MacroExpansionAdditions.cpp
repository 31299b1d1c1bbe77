#include "MacroExpansionAdditions.h"

#include "MacroExpander.h"

namespace macrofill {

base::Ref<base::String> mxp_stringByExpandingMacrosUsingTable(const base::Ref<base::String>& string,
                                                              const base::Dictionary& table) {
    return MacroExpander(table).expandString(string);
}

base::Ref<base::Array> mxp_arrayByExpandingMacrosUsingTable(const base::Ref<base::Array>& array,
                                                            const base::Dictionary& table) {
    return MacroExpander(table).expandArray(array);
}

base::Ref<base::Dictionary> mxp_dictionaryByExpandingMacrosInValuesUsingTable(
    const base::Ref<base::Dictionary>& dictionary, const base::Dictionary& table) {
    return MacroExpander(table).expandDictionary(dictionary);
}

}  // namespace macrofill
