#pragma once
// A sink that passes every value on to another, and passes on repeated()
// only when identity is on, so that one reading can be made with and
// without values taken by identity. It counts the repeated() calls it got
// and those the other sink took.

#include "Corral/plist/PropertyListStream.h"

namespace testing_support {

class PassOnSink final : public base::ForwardingSink {
public:
    PassOnSink(base::PropertyListSink& to, bool identity)
        : ForwardingSink(to), identity_(identity) {}

    bool repeated(const StoredObject& object) override {
        ++repeats;
        bool took = identity_ && ForwardingSink::repeated(object);
        taken += took;
        return took;
    }

    int repeats = 0;
    int taken = 0;

private:
    bool identity_;
};

}  // namespace testing_support
