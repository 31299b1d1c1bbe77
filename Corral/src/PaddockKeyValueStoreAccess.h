#pragma once
// Library-internal access to the store: the host's silent writes, and the
// contents for tests.

#include "Corral/PaddockKeyValueStore.h"
#include "Corral/base/Dictionary.h"

class PaddockKeyValueStoreAccess {
public:
    static const PaddockValue::Dictionary& contents(const PaddockKeyValueStore& store) {
        return store.contents_;
    }
    // Replaces the whole contents with the entries of `objects` that convert;
    // an entry whose key is not a string object, or whose value does not
    // convert, is left out on its own. Posts nothing.
    static void replaceContents(PaddockKeyValueStore& store, const base::Dictionary& objects);
    // Sets `key` to the value `object` represents, or removes the key when
    // it does not convert (the null object, an absent object). Posts nothing.
    static void setEntry(PaddockKeyValueStore& store, const std::string& key,
                         const base::ObjectRef& object);
};
